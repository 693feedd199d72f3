#include "sched/RangeReuse.h"

#include "core/record/DottedQuad.h"
#include "core/record/IPDataArray.h"
#include "core/record/LookupKind.h"
#include "core/record/SerStringArray.h"
#include "facts/WhoisFacts.h"
#include "net/RdapBootstrap.h"

#include <cmath>
#include <optional>

namespace {

constexpr uint64_t kWidestRange = uint64_t(1) << 24; // a /8

bool IsFresh(const COleDateTime& dtDone, uint32_t nGapMinutes, const COleDateTime& dtNow)
{
    if (!dtDone.IsValid() || !dtNow.IsValid())
        return false;
    return dtDone.GetLinearDays() > dtNow.GetLinearDays() - double(nGapMinutes) / 1440.0;
}

int SizeClass(uint32_t dwStart, uint32_t dwEnd)
{
    const uint64_t nWidth = uint64_t(dwEnd) - dwStart + 1;
    int k = 0;
    while ((uint64_t(2) << k) <= nWidth)
        ++k;
    return k;
}

using U128 = unsigned __int128;
constexpr U128 kWidestRange6 = U128(1) << 109; // a /19

U128 Value6(const CIPAddress& a)
{
    return (U128(a.High()) << 64) | a.Low();
}

int SizeClass6(U128 start, U128 end)
{
    const U128 width = end - start + 1; // at most 2^109: reusable ranges only
    int k = 0;
    while ((U128(2) << k) <= width)
        ++k;
    return k;
}

// The IPv6 address a text names; none for dotted quads, IPv4-mapped texts and host names.
std::optional<CIPAddress> Address6Of(std::string_view strText)
{
    if (strText.find(':') == std::string_view::npos)
        return std::nullopt;
    const CParseResult<CIPAddress> a = ParseIPAddress(strText);
    if (!a || !a->IsIPv6())
        return std::nullopt;
    return *a;
}

// A range that holds a block IANA gave a registry (2001:4200::/23 to AFRINIC,
// 2600::/12 to ARIN, ...) is the registry's own, whoever's answer names it.
bool HoldsRegistryBlock(const CIPRange& range)
{
    static const std::vector<CIPRange> kBlocks = CRdapBootstrap::Shipped().Prefixes6();
    for (const CIPRange& block : kBlocks)
        if (range.Contains(block))
            return true;
    return false;
}

} // namespace

namespace {

// A range that does not hold the address it was asked for says nothing about the
// addresses it does hold.
bool HoldsSource(const CWhoisFacts& facts, std::string_view strSource)
{
    if (facts.m_range6) {
        const CParseResult<CIPAddress> a = ParseIPAddress(strSource);
        return !a || facts.m_range6->Contains(*a);
    }
    const std::string strAddress(strSource);
    if (!IsValidDottedQuad(strAddress))
        return true;
    const uint32_t dwAddress = ParseDottedQuad(strAddress);
    return dwAddress >= facts.m_dwRangeStart && dwAddress <= facts.m_dwRangeEnd;
}

} // namespace

bool IsReusableRange(const CWhoisFacts& facts)
{
    static constexpr std::string_view kRegistries[] = {"ARIN", "RIPE", "APNIC", "LACNIC", "AFRINIC"};
    if (facts.m_range6) {
        const CIPRange& range = *facts.m_range6;
        if (facts.m_bIsRegistryStub || facts.m_bMissesAddress || !range.First().IsIPv6() ||
            Value6(range.Last()) - Value6(range.First()) >= kWidestRange6 || HoldsRegistryBlock(range))
            return false;
        for (std::string_view strRegistry : kRegistries)
            if (facts.m_strRegistry == strRegistry)
                return true;
        return false;
    }
    if (!facts.m_bHasRange || facts.m_bIsRegistryStub || facts.m_bMissesAddress ||
        facts.m_dwRangeStart > facts.m_dwRangeEnd)
        return false;
    if (uint64_t(facts.m_dwRangeEnd) - facts.m_dwRangeStart + 1 > kWidestRange)
        return false;
    for (std::string_view strRegistry : kRegistries)
        if (facts.m_strRegistry == strRegistry)
            return true;
    return false;
}

std::string ReHeadWhoisText(std::string_view strText, std::string_view strAddress)
{
    std::string strResult(strAddress);
    size_t nLineEnd = strText.find('\n');
    if (nLineEnd == std::string_view::npos)
        return strResult;
    if (nLineEnd > 0 && strText[nLineEnd - 1] == '\r')
        --nLineEnd;
    strResult.append(strText.substr(nLineEnd));
    return strResult;
}

void CRangeReuse::NoteWaiting(std::string_view strAddress)
{
    if (IsValidDottedQuad(strAddress))
        m_waiting.emplace(ParseDottedQuad(strAddress), std::string(strAddress));
    else if (const std::optional<CIPAddress> a = Address6Of(strAddress))
        m_waiting6.emplace(Value6(*a), std::string(strAddress));
}

void CRangeReuse::RebuildWaiting(const CSerStringArray& waiting)
{
    m_waiting.clear();
    m_waiting6.clear();
    for (int i = 0; i < waiting.GetSize(); ++i)
        NoteWaiting(waiting.GetString(i));
}

std::vector<std::string> CRangeReuse::ApplyFinalAnswer(CIPDataArray& data, std::string_view strSource,
                                                       std::string_view strText, const CWhoisFacts& facts,
                                                       const COleDateTime& dtWhen)
{
    ForgetReusedFrom(strSource);
    m_explicit.erase(std::string(strSource));
    std::vector<std::string> answered;
    if (!IsReusableRange(facts) || !HoldsSource(facts, strSource))
        return answered;
    RememberRange(strSource, facts, dtWhen);

    CSerStringArray& waiting = data.GetWaitingList(lookupWhois);
    // The index only grows between answers (started addresses stay in it until a
    // range covers them); it is rebuilt when it misses addresses or has gone stale.
    const size_t nWaiting = size_t(waiting.GetSize());
    const size_t nIndexed = m_waiting.size() + m_waiting6.size();
    if (nIndexed < nWaiting || nIndexed > 2 * nWaiting + 1024)
        RebuildWaiting(waiting);

    const auto collect = [&](auto& index, auto first, auto last) {
        auto it = index.lower_bound({first, std::string()});
        while (it != index.end() && it->first <= last) {
            const std::string& strAddress = it->second;
            if (!waiting.Contains(strAddress)) {
                it = index.erase(it);
                continue;
            }
            // A waiting address deleted from the document keeps its own query, as before.
            if (EqualNoCase(strAddress, strSource) || m_explicit.count(strAddress) != 0 || !data.FindByIP(strAddress)) {
                ++it;
                continue;
            }
            answered.push_back(strAddress);
            it = index.erase(it);
        }
    };
    if (facts.m_range6)
        collect(m_waiting6, Value6(facts.m_range6->First()), Value6(facts.m_range6->Last()));
    else
        collect(m_waiting, facts.m_dwRangeStart, facts.m_dwRangeEnd);
    waiting.RemoveTexts(answered);
    for (const std::string& strAddress : answered) {
        data.SetWhoisResult(strAddress, ReHeadWhoisText(strText, strAddress), dtWhen);
        m_reusedFrom[strAddress] = std::string(strSource);
    }
    return answered;
}

void CRangeReuse::NoteKnownRange(std::string_view strSource, const CWhoisFacts& facts, const COleDateTime& dtWhen)
{
    if (IsReusableRange(facts) && HoldsSource(facts, strSource))
        RememberRange(strSource, facts, dtWhen);
}

void CRangeReuse::RememberRange(std::string_view strSource, const CWhoisFacts& facts, const COleDateTime& dtWhen)
{
    CKnownRange* pKnown;
    if (facts.m_range6) {
        const U128 first = Value6(facts.m_range6->First());
        const U128 last = Value6(facts.m_range6->Last());
        pKnown = &m_known6[size_t(SizeClass6(first, last))][{first, last}];
    } else {
        auto& ranges = m_known[size_t(SizeClass(facts.m_dwRangeStart, facts.m_dwRangeEnd))];
        pKnown = &ranges[{facts.m_dwRangeStart, facts.m_dwRangeEnd}];
    }
    CKnownRange& known = *pKnown;
    // The newest answer for a range wins; an older one arriving late does not replace
    // it, nor does one of the same time (the copies a reused answer left in its
    // neighbours' records carry its time: the address it came from stays the source).
    if (!known.m_strSource.empty() && known.m_dtWhen.IsValid() && dtWhen.IsValid() &&
        known.m_dtWhen.GetLinearDays() >= dtWhen.GetLinearDays())
        return;
    known.m_strSource = std::string(strSource);
    known.m_dtWhen = dtWhen;
}

template <typename Key, typename Span, size_t N>
std::string CRangeReuse::FindIn(std::array<std::map<std::pair<Key, Key>, CKnownRange>, N>& known,
                                const CIPDataArray& data, Key address, uint32_t nGapMinutes, const COleDateTime& dtNow)
{
    for (size_t k = 0; k < N; ++k) {
        auto& ranges = known[k];
        if (ranges.empty())
            continue;
        // A range of this class that covers the address starts at most its width below it.
        const Span nSpan = (Span(2) << k) - 1;
        const Key low = address > nSpan ? Key(address - nSpan) : Key(0);
        std::string strBest;
        Span nBestWidth = ~Span(0);
        auto it = ranges.lower_bound({low, Key(0)});
        while (it != ranges.end() && it->first.first <= address) {
            const auto [start, end] = it->first;
            if (end < address || !IsFresh(it->second.m_dtWhen, nGapMinutes, dtNow)) {
                ++it;
                continue;
            }
            // The record must still hold the very answer the range came from.
            const CIPAddressData* pSource = data.FindByIP(it->second.m_strSource);
            if (!pSource || pSource->RawWhoisView().empty() || !(pSource->GetWhoisDone() == it->second.m_dtWhen)) {
                it = ranges.erase(it);
                continue;
            }
            const Span nWidth = Span(end) - start + 1;
            if (nWidth < nBestWidth) {
                nBestWidth = nWidth;
                strBest = it->second.m_strSource;
            }
            ++it;
        }
        if (!strBest.empty())
            return strBest;
    }
    return {};
}

std::string CRangeReuse::FindSource(const CIPDataArray& data, uint32_t dwAddress, uint32_t nGapMinutes,
                                    const COleDateTime& dtNow)
{
    return FindIn<uint32_t, uint64_t>(m_known, data, dwAddress, nGapMinutes, dtNow);
}

std::string CRangeReuse::AnswerFromKnownRange(CIPDataArray& data, std::string_view strAddress, uint32_t nGapMinutes,
                                              const COleDateTime& dtNow)
{
    std::string strSource;
    if (IsValidDottedQuad(strAddress)) {
        if (!data.FindByIP(strAddress))
            return {};
        strSource = FindSource(data, ParseDottedQuad(strAddress), nGapMinutes, dtNow);
    } else if (const std::optional<CIPAddress> a = Address6Of(strAddress)) {
        if (!data.FindByIP(strAddress))
            return {};
        strSource = FindIn<U128, U128>(m_known6, data, Value6(*a), nGapMinutes, dtNow);
    } else {
        return {};
    }
    if (strSource.empty() || EqualNoCase(strSource, strAddress))
        return {};
    const CIPAddressData* pSource = data.FindByIP(strSource);
    const COleDateTime dtWhen = pSource->GetWhoisDone();
    const std::string strText = ReHeadWhoisText(pSource->RawWhoisView(), strAddress);
    data.SetWhoisResult(strAddress, strText, dtWhen);
    m_reusedFrom[std::string(strAddress)] = strSource;
    return strSource;
}

std::string CRangeReuse::GetReusedFrom(std::string_view strAddress) const
{
    const auto it = m_reusedFrom.find(std::string(strAddress));
    return it == m_reusedFrom.end() ? std::string() : it->second;
}

void CRangeReuse::ForgetReusedFrom(std::string_view strAddress)
{
    m_reusedFrom.erase(std::string(strAddress));
}

void CRangeReuse::Clear()
{
    m_waiting.clear();
    m_waiting6.clear();
    for (auto& ranges : m_known)
        ranges.clear();
    for (auto& ranges : m_known6)
        ranges.clear();
    m_reusedFrom.clear();
    m_explicit.clear();
}
