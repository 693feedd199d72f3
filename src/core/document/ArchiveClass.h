#pragma once

#include <cstdint>
#include <string_view>

// The run-time class record written into the archive: a name, a schema number and
// the class it derives from. The archive only creates objects of classes it knows.
struct CArchiveClass {
    const char* m_pszName;
    uint16_t m_wSchema;
    const CArchiveClass* m_pBase;

    bool IsDerivedFrom(const CArchiveClass& base) const
    {
        for (const CArchiveClass* p = this; p; p = p->m_pBase)
            if (p == &base)
                return true;
        return false;
    }

    // The known class of that name, or nullptr.
    static const CArchiveClass* FromName(std::string_view name);

    static const CArchiveClass classCObject;
    static const CArchiveClass classCIPAddressData;
    // An IPv6 record; not derived from the IPv4 class, so a reader that asks for
    // that one refuses it.
    static const CArchiveClass classCIPv6AddressData;
    static const CArchiveClass classCSerStringArray;
    static const CArchiveClass classCIPDataArray;
};
