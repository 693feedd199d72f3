#pragma once

#include "facts/RecordStatus.h"

#include <string>

struct CRunFinished;

// The status a finished whois lookup gives its record, the same in the Details
// table, the exports and "lookup --json". eAnswered is what the record and its
// facts tell by themselves (RecordStatusOf); it stands for a lookup the servers
// answered. Reused and cached answers say where they came from; a lookup that
// spent its tries without an answer is failed with the reason of its last try, one
// the run stopped asking before then gave up.
CRecordStatus FinishedStatus(const CRunFinished& finished, ERecordStatus eAnswered);

// What the whois lookups of a run came to, for the line at its end.
struct CRunTally {
    int m_nOk = 0; // the servers answered (stub and range-mismatch answers included)
    int m_nReused = 0;
    int m_nCached = 0;
    int m_nFailed = 0;
    int m_nGaveUp = 0;

    // Counts a finished whois lookup; other kinds are not counted.
    void Add(const CRunFinished& finished);
    int Total() const { return m_nOk + m_nReused + m_nCached + m_nFailed + m_nGaveUp; }
};

// "Looked up 5,000: 4,870 ok, 110 reused, 20 failed — see Messages": the parts that
// are not zero, in the order ok, reused, cached, failed, gave up. bSeeMessages: the
// window, whose Messages log names every failure with its reason; "— see Messages"
// then follows when a lookup failed or was given up.
std::string FormatRunSummary(const CRunTally& tally, bool bSeeMessages);

// "130.66.76.222: whois lookup failed after 3 tries: time-out" (the address as
// given: the caller makes it safe for where it goes).
std::string DescribeFailure(const CRunFinished& finished);

namespace RunTexts {
// Said of an address whose whois answer a zero byte cut short.
inline constexpr const char* kZeroByteCut =
    "its whois answer held a zero byte: what followed it in that piece of the answer was dropped";
} // namespace RunTexts

// 5000 as "5,000".
std::string WithThousands(long long n);
