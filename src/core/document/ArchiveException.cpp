#include "core/document/ArchiveException.h"

namespace {

const char* MessageTemplate(CArchiveException::Cause cause)
{
    switch (cause) {
    case CArchiveException::endOfFile:
        return "An attempt was made to access %1 past its end.";
    case CArchiveException::badSchema:
        return "%1 contains an incorrect schema.";
    case CArchiveException::badClass:
        return "%1 contained an unexpected object.";
    case CArchiveException::badIndex:
        return "%1 has a bad format.";
    case CArchiveException::generic:
        break;
    }
    return "An unknown error occurred while accessing %1.";
}

} // namespace

std::string CArchiveException::FormatMessage(Cause cause, const std::string& strFileName)
{
    std::string strText = MessageTemplate(cause);
    const size_t nAt = strText.find("%1");
    if (nAt != std::string::npos)
        strText.replace(nAt, 2, strFileName);
    return strText;
}
