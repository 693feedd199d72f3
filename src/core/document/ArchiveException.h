#pragma once

#include <string>

// A failure while reading the object archive. Thrown inside the reader only: the
// record and the collection catch it, report its message and keep what was read.
class CArchiveException
{
public:
    enum Cause
    {
        generic,
        endOfFile,
        badSchema,
        badClass,
        badIndex
    };

    explicit CArchiveException(Cause cause)
        : m_cause(cause)
    { }
    Cause GetCause() const { return m_cause; }

    // The user-visible message with the file's path in place of %1.
    static std::string FormatMessage(Cause cause, const std::string& strFileName);

private:
    Cause m_cause;
};
