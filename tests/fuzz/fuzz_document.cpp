// The document reader on arbitrary bytes: it must report, keep what it read, and
// never crash, hang or allocate beyond the input's size. What it read must also
// write back and read again to the same records.

#include "core/document/Archive.h"
#include "core/record/IPDataArray.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CIPDataArray coll;
    {
        CMemoryByteSource src(std::string_view(reinterpret_cast<const char*>(data), size));
        CArchive ar(src, "fuzz.qdl", [](const std::string&) {});
        coll.Serialize(ar);
        for (int i = 0; i < coll.GetSize(); ++i) {
            const CIPAddressData* p = coll.GetAt(i);
            if (!p || coll.IndexOfRecord(p) != i)
                std::abort();
            // The first record with this address text is found at or before it.
            const int nFound = coll.IndexOfIP(p->IPAddressView());
            if (!p->IPAddressView().empty() && (nFound < 0 || nFound > i))
                std::abort();
        }
    }

    CStringByteSink sink;
    {
        CArchive ar(sink);
        coll.Serialize(ar);
        ar.Flush();
    }
    CIPDataArray again;
    int nErrors = 0;
    {
        CMemoryByteSource src(sink.Bytes());
        CArchive ar(src, "again.qdl", [&](const std::string&) { ++nErrors; });
        again.Serialize(ar);
    }
    if (nErrors != 0 || again.GetSize() != coll.GetSize())
        std::abort();
    // The file holds the IPv4 records first, then the IPv6 ones, each in their order:
    // a hostile file may have mixed them, so that is the order read back.
    std::vector<int> order;
    for (const bool bIPv6 : {false, true})
        for (int i = 0; i < coll.GetSize(); ++i)
            if (coll.GetAt(i)->IsIPv6() == bIPv6)
                order.push_back(i);
    for (int j = 0; j < again.GetSize(); ++j) {
        const int i = order[size_t(j)];
        if (again.GetRawWhoisAt(j) != coll.GetRawWhoisAt(i) || again.GetIPAddressAt(j) != coll.GetIPAddressAt(i))
            std::abort();
    }
    return 0;
}
