#include "core/document/ArchiveClass.h"

const CArchiveClass CArchiveClass::classCObject {"CObject", 0xFFFF, nullptr};
const CArchiveClass CArchiveClass::classCIPAddressData {"CIPAddressData", 1, &CArchiveClass::classCObject};
const CArchiveClass CArchiveClass::classCIPv6AddressData {"CIPv6AddressData", 1, &CArchiveClass::classCObject};
const CArchiveClass CArchiveClass::classCSerStringArray {"CSerStringArray", 1, &CArchiveClass::classCObject};
const CArchiveClass CArchiveClass::classCIPDataArray {"CIPDataArray", 1, &CArchiveClass::classCObject};

const CArchiveClass* CArchiveClass::FromName(std::string_view name)
{
    // CObject itself is abstract: a file naming it holds nothing we could create.
    for (const CArchiveClass* p :
         {&classCIPAddressData, &classCIPv6AddressData, &classCSerStringArray, &classCIPDataArray})
        if (name == p->m_pszName)
            return p;
    return nullptr;
}
