#pragma once

#include "core/record/LookupKind.h"
#include "core/record/OleDateTime.h"

#include <array>
#include <string>
#include <string_view>
#include <unordered_set>

class CClock;

// "Looking up 12 of 100, about 3 min left": nDone of nTotal at the pace of the
// elapsed seconds so far (no estimate before the first result).
std::string FormatLookupProgress(int nDone, int nTotal, double dElapsedSeconds);
// "less than a minute left", "about 7 min left", "about 2 h 05 min left"; empty for
// a negative or unmeasurable time.
std::string FormatTimeLeft(double dSeconds);

// The counts of the current bulk run, per lookup kind: what was queued since the
// run began and what has finished (answered, answered from a known range, or
// given up). The owner ends the run (Reset) once nothing waits or runs, so an
// address answered at once cannot end a run that is still being queued. The
// status bar, the tray tooltip and the command line's progress line show its
// text. UI thread only.
class CLookupProgress
{
public:
    explicit CLookupProgress(const CClock& clock)
        : m_clock(clock)
    { }

    // The address joins the run (once per kind).
    void Queued(int nKind, std::string_view strAddress);
    // The address's lookup of the kind finished; addresses outside the run (an F5
    // beside a bulk run) do not count.
    void Finished(int nKind, std::string_view strAddress);
    // Nothing waits or runs any more, Stop All, another document: the run is over.
    void Reset();

    // Some kind has not finished what it queued.
    bool IsRunning() const;
    int GetDone(int nKind) const;
    int GetTotal(int nKind) const;

    // The run's text: one kind alone as FormatLookupProgress, several prefixed with
    // their names and joined by "; "; empty while no run goes on.
    std::string Text() const;

private:
    struct CCounts {
        int m_nDone = 0;
        int m_nTotal = 0;
        std::unordered_set<std::string> m_pending;
    };
    double ElapsedSeconds() const;

    const CClock& m_clock;
    std::array<CCounts, kLookupKindCount> m_counts {};
    COleDateTime m_dtStart;
};
