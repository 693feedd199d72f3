#pragma once

#include "core/record/OleDateTime.h"

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

class CIPDataArray;
class CSerStringArray;
struct CWhoisFacts;

// Switched by ProgramSettings::kReuseKnownRanges.

// True when an answer's range may answer other addresses: it comes from a regional
// registry's own answer (ARIN, RIPE, APNIC, LACNIC, AFRINIC), is not a stub that
// only names another registry, has start <= end and is no wider than a /8. A
// referred rwhois host may claim any range, so its ranges never count. An IPv6
// range is no wider than a /19 and holds none of the blocks IANA gave the
// registries (those name the registry, not a holder).
bool IsReusableRange(const CWhoisFacts& facts);

// The stored text with its first line (the address that was looked up, maybe
// with a host name) replaced by strAddress.
std::string ReHeadWhoisText(std::string_view strText, std::string_view strAddress);

// One query per network: a final whois answer covers every address that waits for
// whois inside its range, and an address queued later inside a range a fresh
// record holds is answered at once. Addresses that waits are kept sorted by number
// beside the waiting list, so an answer finds its neighbours without scanning the
// list; known ranges are kept by size, so the most specific one covering an
// address is found in logarithmic time. UI thread only.
class CRangeReuse
{
public:
    // An address was put in the whois waiting list. Texts that are not addresses
    // (host names) are not indexed.
    void NoteWaiting(std::string_view strAddress);
    // An explicit request for one address (F5): it is asked itself, never answered
    // from a neighbour's range, until its own answer arrives.
    void NoteExplicit(std::string_view strAddress) { m_explicit.emplace(strAddress); }

    // A final answer (not a fall-back to an earlier server's answer) for strSource,
    // received at dtWhen: every address waiting in data's whois list inside the
    // facts' range that still has a record gets the answer under its own header
    // line and the same time, leaves the waiting list and remembers strSource as
    // its origin. The range is also remembered for addresses queued later. Returns
    // the addresses answered; nothing when the range is not reusable.
    std::vector<std::string> ApplyFinalAnswer(CIPDataArray& data, std::string_view strSource, std::string_view strText,
                                              const CWhoisFacts& facts, const COleDateTime& dtWhen);

    // Remembers a reusable range held by a record (e.g. of a document just read)
    // without answering anyone.
    void NoteKnownRange(std::string_view strSource, const CWhoisFacts& facts, const COleDateTime& dtWhen);

    // At queue time: when a known range covers strAddress, is younger than the gap
    // and its record still holds the answer it came from, stores that answer for
    // strAddress (creating no record) and returns the source; empty otherwise.
    std::string AnswerFromKnownRange(CIPDataArray& data, std::string_view strAddress, uint32_t nGapMinutes,
                                     const COleDateTime& dtNow);

    // The address whose answer strAddress received; empty when it was asked itself.
    std::string GetReusedFrom(std::string_view strAddress) const;
    // strAddress got an answer of its own.
    void ForgetReusedFrom(std::string_view strAddress);
    // strAddress was answered from elsewhere (the answer cache: "cache").
    void NoteReusedFrom(std::string_view strAddress, std::string_view strFrom)
    {
        m_reusedFrom[std::string(strAddress)] = std::string(strFrom);
    }
    size_t ReusedCount() const { return m_reusedFrom.size(); }

    // The waiting list was emptied (Stop All).
    void ClearWaiting()
    {
        m_waiting.clear();
        m_waiting6.clear();
        m_explicit.clear();
    }
    // Another document: nothing known carries over.
    void Clear();

private:
    struct CKnownRange {
        std::string m_strSource;
        COleDateTime m_dtWhen;
    };
    using RangeKey = std::pair<uint32_t, uint32_t>;
    // Ranges of 2^k .. 2^(k+1)-1 addresses in class k; a /8 is the widest.
    static constexpr int kSizeClasses = 25;

    using Address6 = unsigned __int128;
    using RangeKey6 = std::pair<Address6, Address6>;
    // IPv6 ranges of 2^k .. 2^(k+1)-1 addresses in class k; a /19 is the widest.
    static constexpr int kSizeClasses6 = 110;

    void RebuildWaiting(const CSerStringArray& waiting);
    // The source of the most specific valid range of a family's size classes that
    // covers the address, empty when none; Span holds a class's widest width.
    template <typename Key, typename Span, size_t N>
    static std::string FindIn(std::array<std::map<std::pair<Key, Key>, CKnownRange>, N>& known,
                              const CIPDataArray& data, Key address, uint32_t nGapMinutes, const COleDateTime& dtNow);
    void RememberRange(std::string_view strSource, const CWhoisFacts& facts, const COleDateTime& dtWhen);
    // The source of the most specific valid range covering dwAddress, empty when none.
    std::string FindSource(const CIPDataArray& data, uint32_t dwAddress, uint32_t nGapMinutes,
                           const COleDateTime& dtNow);

    std::set<std::pair<uint32_t, std::string>> m_waiting;
    std::array<std::map<RangeKey, CKnownRange>, kSizeClasses> m_known;
    std::set<std::pair<Address6, std::string>> m_waiting6;
    std::array<std::map<RangeKey6, CKnownRange>, kSizeClasses6> m_known6;
    std::unordered_map<std::string, std::string> m_reusedFrom;
    std::unordered_set<std::string> m_explicit;
};
