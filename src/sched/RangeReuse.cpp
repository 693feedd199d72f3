#include "sched/RangeReuse.h"

#include "core/record/DottedQuad.h"
#include "core/record/IPDataArray.h"
#include "core/record/LookupKind.h"
#include "core/record/SerStringArray.h"
#include "facts/WhoisFacts.h"

#include <cmath>

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

} // namespace

namespace {

// A range that does not hold the address it was asked for says nothing about the
// addresses it does hold.
bool HoldsSource(const CWhoisFacts& facts, std::string_view strSource)
{
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
}

void CRangeReuse::RebuildWaiting(const CSerStringArray& waiting)
{
    m_waiting.clear();
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
    if (m_waiting.size() < nWaiting || m_waiting.size() > 2 * nWaiting + 1024)
        RebuildWaiting(waiting);

    auto it = m_waiting.lower_bound({facts.m_dwRangeStart, std::string()});
    while (it != m_waiting.end() && it->first <= facts.m_dwRangeEnd) {
        const std::string& strAddress = it->second;
        if (!waiting.Contains(strAddress)) {
            it = m_waiting.erase(it);
            continue;
        }
        // A waiting address deleted from the document keeps its own query, as before.
        if (EqualNoCase(strAddress, strSource) || m_explicit.count(strAddress) != 0 || !data.FindByIP(strAddress)) {
            ++it;
            continue;
        }
        answered.push_back(strAddress);
        it = m_waiting.erase(it);
    }
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
    auto& ranges = m_known[size_t(SizeClass(facts.m_dwRangeStart, facts.m_dwRangeEnd))];
    CKnownRange& known = ranges[{facts.m_dwRangeStart, facts.m_dwRangeEnd}];
    // The newest answer for a range wins; an older one arriving late does not replace
    // it, nor does one of the same time (the copies a reused answer left in its
    // neighbours' records carry its time: the address it came from stays the source).
    if (!known.m_strSource.empty() && known.m_dtWhen.IsValid() && dtWhen.IsValid() &&
        known.m_dtWhen.GetLinearDays() >= dtWhen.GetLinearDays())
        return;
    known.m_strSource = std::string(strSource);
    known.m_dtWhen = dtWhen;
}

std::string CRangeReuse::FindSource(const CIPDataArray& data, uint32_t dwAddress, uint32_t nGapMinutes,
                                    const COleDateTime& dtNow)
{
    for (int k = 0; k < kSizeClasses; ++k) {
        auto& ranges = m_known[size_t(k)];
        if (ranges.empty())
            continue;
        // A range of this class that covers the address starts at most its width below it.
        const uint64_t nSpan = (uint64_t(2) << k) - 1;
        const uint32_t dwLow = dwAddress > nSpan ? uint32_t(dwAddress - nSpan) : 0;
        std::string strBest;
        uint64_t nBestWidth = UINT64_MAX;
        auto it = ranges.lower_bound({dwLow, 0});
        while (it != ranges.end() && it->first.first <= dwAddress) {
            const auto [dwStart, dwEnd] = it->first;
            if (dwEnd < dwAddress || !IsFresh(it->second.m_dtWhen, nGapMinutes, dtNow)) {
                ++it;
                continue;
            }
            // The record must still hold the very answer the range came from.
            const CIPAddressData* pSource = data.FindByIP(it->second.m_strSource);
            if (!pSource || pSource->RawWhoisView().empty() || !(pSource->GetWhoisDone() == it->second.m_dtWhen)) {
                it = ranges.erase(it);
                continue;
            }
            const uint64_t nWidth = uint64_t(dwEnd) - dwStart + 1;
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

std::string CRangeReuse::AnswerFromKnownRange(CIPDataArray& data, std::string_view strAddress, uint32_t nGapMinutes,
                                              const COleDateTime& dtNow)
{
    if (!IsValidDottedQuad(strAddress) || !data.FindByIP(strAddress))
        return {};
    std::string strSource = FindSource(data, ParseDottedQuad(strAddress), nGapMinutes, dtNow);
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
    for (auto& ranges : m_known)
        ranges.clear();
    m_reusedFrom.clear();
    m_explicit.clear();
}
