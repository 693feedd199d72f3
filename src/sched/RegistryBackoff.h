#pragma once

#include "core/record/OleDateTime.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

class CClock;

// Queries to a registry that answered "query limit" (a whois limit text, an RDAP
// 429 or 503) pause while the other registries go on: 1 minute after the first
// limit answer, doubling with each further one up to 60 minutes, and forgotten with
// the registry's next good answer. UI thread only.
class CRegistryBackoff
{
public:
    static constexpr int kFirstPauseMinutes = 1;
    static constexpr int kLongestPauseMinutes = 60;

    explicit CRegistryBackoff(const CClock& clock)
        : m_clock(clock)
    { }

    // A limit answer from the registry: pauses it from now, for twice as long as the
    // pause before (the first time, one minute), or for as long as the registry
    // asked (RDAP's Retry-After) when that is longer. Returns the pause in minutes
    // of the doubling; an empty name pauses nothing and returns 0.
    int OnLimit(std::string_view strRegistry, long nAtLeastSeconds = 0);
    // A good answer: the registry's next limit starts again at one minute.
    void OnGoodAnswer(std::string_view strRegistry);

    bool IsPaused(std::string_view strRegistry) const;
    // The end of the registry's pause; not valid when it is not paused.
    COleDateTime PausedUntil(std::string_view strRegistry) const;
    // Whether any registry is paused now.
    bool AnyPaused() const;
    // The registries paused now, by name.
    std::vector<std::string> PausedRegistries() const;

    // "Query limit: RIPE paused until 06:12:30" for every registry paused now,
    // joined by "; "; empty when none is.
    std::string StatusText() const;

private:
    struct CPause {
        int m_nMinutes = 0;
        COleDateTime m_dtUntil;
    };

    const CClock& m_clock;
    std::map<std::string, CPause, std::less<>> m_pauses;
};
