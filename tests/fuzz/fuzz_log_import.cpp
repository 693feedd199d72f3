// Adding addresses from arbitrary text, with and without log filter patterns and
// host-name conversion: never a crash or hang, and the count, records, notes and
// progress always agree with each other. The same text read piece by piece (pieces
// of 1 + byte 1 % 16 bytes) gives exactly the same records, notes and count.
//
// Input: byte 0 holds the switches (bit 0 patterns, bit 1 convert host names,
// bit 2 cancel at the poll numbered by byte 1); with patterns, the pattern list
// runs up to the first zero byte; the rest is the text.

#include "../support/PieceSource.h"
#include "core/document/NetloreDoc.h"
#include "core/document/Progress.h"
#include "core/record/DottedQuad.h"
#include "core/record/IPAddress.h"
#include "core/record/NameResolver.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Names ending in ".example" resolve to an address made from their length; the
// rest do not resolve. No network.
class CFuzzResolver : public CNameResolver
{
public:
    bool ResolveName(const std::string& strName, uint32_t& dwAddress) override
    {
        if (strName.size() < 8 || strName.compare(strName.size() - 8, 8, ".example") != 0)
            return false;
        dwAddress = 0xC0000200u | uint32_t(strName.size() & 255);
        return true;
    }
    bool ResolveAddress(uint32_t, std::string&) override { return false; }
};

class CCheckingProgress : public CProgress
{
public:
    explicit CCheckingProgress(int nCancelAt)
        : m_nCancelAt(nCancelAt)
    { }
    bool Show(const std::string&) override
    {
        ++m_nShows;
        return true;
    }
    void SetText(const std::string&) override { }
    void SetPos(int nPos) override
    {
        if (nPos < 0 || nPos > 100 || nPos < m_nLastPos)
            std::abort();
        m_nLastPos = nPos;
    }
    bool PollCancel() override { return ++m_nPolls == m_nCancelAt; }
    void Close() override { ++m_nCloses; }

    int m_nCancelAt;
    int m_nPolls = 0;
    int m_nLastPos = 0;
    int m_nShows = 0;
    int m_nCloses = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const bool bPatterns = data[0] & 1;
    const bool bConvert = data[0] & 2;
    const int nCancelAt = (data[0] & 4) ? data[1] + 1 : 0;
    const char* p = reinterpret_cast<const char*>(data) + 2;
    const char* end = reinterpret_cast<const char*>(data) + size;

    std::string strPatterns;
    if (bPatterns) {
        const char* zero = static_cast<const char*>(std::memchr(p, 0, size_t(end - p)));
        const char* stop = zero ? zero : end;
        strPatterns.assign(p, stop);
        p = zero ? zero + 1 : end;
    }
    std::string strText(p, end);
    const std::string strOriginal = strText;

    CNetloreDoc doc;
    CFuzzResolver resolver;
    CCheckingProgress progress(nCancelAt);
    const int nAdded = doc.AddIPsFromText(strText, bConvert, bPatterns ? &strPatterns : nullptr, resolver, progress);

    if (nAdded != doc.GetData().GetSize() || progress.m_nShows != 1 || progress.m_nCloses != 1)
        std::abort();
    if (nAdded > 0 && !doc.IsModified())
        std::abort();
    // Every record is a valid dotted quad (tokens as written, or converted names)
    // or an IPv6 address in its canonical text.
    for (int i = 0; i < nAdded; ++i) {
        const std::string a = doc.GetData().GetIPAddressAt(i);
        const CParseResult<CIPAddress> parsed = ParseIPAddress(a);
        if (!IsValidDottedQuad(a) && !(parsed && parsed->IsIPv6() && parsed->ToString() == a))
            std::abort();
        // Without patterns no note is written; with them a note is part of the text.
        const std::string note = doc.GetData().GetNote(a, 3);
        if (!bPatterns && !note.empty())
            std::abort();
        if (note.size() > strOriginal.size())
            std::abort();
    }
    if (nAdded != 1 && strText != strOriginal)
        std::abort();
    if (nAdded == 1 && strText.empty())
        std::abort();

    CNetloreDoc pieces;
    CCheckingProgress progress2(nCancelAt);
    CPieceSource source(strOriginal, 1 + data[1] % 16);
    if (pieces.AddIPsFromSource(source, bConvert, bPatterns ? &strPatterns : nullptr, resolver, progress2) != nAdded ||
        pieces.GetData().GetSize() != nAdded || progress2.m_nPolls != progress.m_nPolls)
        std::abort();
    for (int i = 0; i < nAdded; ++i) {
        const std::string a = doc.GetData().GetIPAddressAt(i);
        if (pieces.GetData().GetIPAddressAt(i) != a || pieces.GetData().GetNote(a, 3) != doc.GetData().GetNote(a, 3) ||
            pieces.GetData().GetHostName(a) != doc.GetData().GetHostName(a))
            std::abort();
    }
    return 0;
}
