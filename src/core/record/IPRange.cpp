#include "core/record/IPRange.h"

namespace {

// The mask of the host bits of an nPrefix-bit block in the 128-bit value.
void HostMask(unsigned nPrefix, uint64_t& qwHigh, uint64_t& qwLow)
{
    qwHigh = nPrefix >= 64 ? 0 : (nPrefix == 0 ? ~uint64_t(0) : ~uint64_t(0) >> nPrefix);
    qwLow = nPrefix >= 128 ? 0 : (nPrefix <= 64 ? ~uint64_t(0) : ~uint64_t(0) >> (nPrefix - 64));
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace

CParseResult<CIPRange> CIPRange::Make(const CIPAddress& first, const CIPAddress& last)
{
    if (first.IsIPv4() != last.IsIPv4())
        return CParseResult<CIPRange>::Fail("the first and last address are of different families");
    if (last < first)
        return CParseResult<CIPRange>::Fail("the first address lies above the last");
    return CParseResult<CIPRange>::Ok(CIPRange(first, last));
}

CParseResult<CIPRange> CIPRange::FromPrefix(const CIPAddress& address, unsigned nPrefix)
{
    if (nPrefix > address.Bits())
        return CParseResult<CIPRange>::Fail(address.IsIPv4() ? "a prefix length above 32"
                                                             : "a prefix length above 128");
    uint64_t mh = 0, ml = 0;
    HostMask(nPrefix + (address.IsIPv4() ? 96 : 0), mh, ml);
    const CIPAddress first = CIPAddress::FromIPv6(address.High() & ~mh, address.Low() & ~ml);
    const CIPAddress last = CIPAddress::FromIPv6(address.High() | mh, address.Low() | ml);
    return CParseResult<CIPRange>::Ok(CIPRange(first, last));
}

std::optional<unsigned> CIPRange::PrefixLength() const
{
    // A block: first and last differ only in a run of trailing bits, zero in first, one in last.
    const uint64_t xh = m_first.High() ^ m_last.High(), xl = m_first.Low() ^ m_last.Low();
    unsigned nHost = 0;
    if (xh == 0)
        nHost = xl == 0 ? 0 : 64 - unsigned(__builtin_clzll(xl));
    else
        nHost = 128 - unsigned(__builtin_clzll(xh));
    uint64_t mh = 0, ml = 0;
    HostMask(128 - nHost, mh, ml);
    if (xh != mh || xl != ml || (m_first.High() & mh) != 0 || (m_first.Low() & ml) != 0)
        return std::nullopt;
    return m_first.Bits() - nHost;
}

bool CIPRange::IsWholeSpace() const
{
    return PrefixLength() == 0u;
}

std::pair<uint64_t, uint64_t> CIPRange::Span() const
{
    const uint64_t lo = m_last.Low() - m_first.Low();
    const uint64_t hi = m_last.High() - m_first.High() - (m_last.Low() < m_first.Low() ? 1 : 0);
    return {hi, lo};
}

std::string CIPRange::ToString() const
{
    if (const std::optional<unsigned> n = PrefixLength())
        return m_first.ToString() + "/" + std::to_string(*n);
    return m_first.ToString() + " - " + m_last.ToString();
}

CParseResult<CIPRange> ParseIPRange(std::string_view s)
{
    using R = CParseResult<CIPRange>;
    s = Trim(s);
    if (const size_t nSlash = s.find('/'); nSlash != std::string_view::npos) {
        const CParseResult<CIPAddress> a = ParseIPAddress(Trim(s.substr(0, nSlash)));
        if (!a)
            return R::Fail(a.Reason());
        const std::string_view digits = Trim(s.substr(nSlash + 1));
        if (digits.empty() || digits.size() > 3)
            return R::Fail("a bad prefix length");
        unsigned n = 0;
        for (char c : digits) {
            if (c < '0' || c > '9')
                return R::Fail("a bad prefix length");
            n = n * 10 + unsigned(c - '0');
        }
        return CIPRange::FromPrefix(*a, n);
    }
    const size_t nDash = s.find('-');
    if (nDash == std::string_view::npos)
        return R::Fail("neither a prefix (\"/n\") nor a range (\"first - last\")");
    const CParseResult<CIPAddress> a = ParseIPAddress(Trim(s.substr(0, nDash)));
    if (!a)
        return R::Fail(a.Reason());
    const CParseResult<CIPAddress> b = ParseIPAddress(Trim(s.substr(nDash + 1)));
    if (!b)
        return R::Fail(b.Reason());
    return CIPRange::Make(*a, *b);
}
