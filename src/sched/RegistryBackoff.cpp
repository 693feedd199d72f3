#include "sched/RegistryBackoff.h"

#include "core/record/Clock.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

bool IsBefore(const COleDateTime& a, const COleDateTime& b)
{
    // Valid local dates after 1899 only: the pauses start from now.
    return a.IsValid() && b.IsValid() && a.GetDays() < b.GetDays();
}

std::string ClockText(const COleDateTime& dt)
{
    struct tm parts = {};
    if (!dt.GetAsTm(parts))
        return "?";
    char szText[16];
    std::snprintf(szText, sizeof szText, "%02d:%02d:%02d", parts.tm_hour, parts.tm_min, parts.tm_sec);
    return szText;
}

} // namespace

int CRegistryBackoff::OnLimit(std::string_view strRegistry, long nAtLeastSeconds)
{
    if (strRegistry.empty())
        return 0;
    auto it = m_pauses.find(strRegistry);
    if (it == m_pauses.end())
        it = m_pauses.emplace(std::string(strRegistry), CPause()).first;
    CPause& pause = it->second;
    pause.m_nMinutes =
        pause.m_nMinutes == 0 ? kFirstPauseMinutes : std::min(pause.m_nMinutes * 2, int(kLongestPauseMinutes));
    const COleDateTime dtNow = m_clock.Now();
    const double dSeconds = std::max(double(pause.m_nMinutes) * 60.0,
                                     double(std::clamp(nAtLeastSeconds, 0L, long(kLongestPauseMinutes) * 60)));
    pause.m_dtUntil = COleDateTime(dtNow.GetDays() + dSeconds / 86400.0, COleDateTime::valid);
    return pause.m_nMinutes;
}

void CRegistryBackoff::OnGoodAnswer(std::string_view strRegistry)
{
    const auto it = m_pauses.find(strRegistry);
    if (it != m_pauses.end())
        m_pauses.erase(it);
}

bool CRegistryBackoff::IsPaused(std::string_view strRegistry) const
{
    return PausedUntil(strRegistry).IsValid();
}

COleDateTime CRegistryBackoff::PausedUntil(std::string_view strRegistry) const
{
    const auto it = m_pauses.find(strRegistry);
    if (it == m_pauses.end() || !IsBefore(m_clock.Now(), it->second.m_dtUntil))
        return COleDateTime();
    return it->second.m_dtUntil;
}

bool CRegistryBackoff::AnyPaused() const
{
    const COleDateTime dtNow = m_clock.Now();
    return std::any_of(m_pauses.begin(), m_pauses.end(),
                       [&](const auto& entry) { return IsBefore(dtNow, entry.second.m_dtUntil); });
}

std::vector<std::string> CRegistryBackoff::PausedRegistries() const
{
    const COleDateTime dtNow = m_clock.Now();
    std::vector<std::string> registries;
    for (const auto& [strRegistry, pause] : m_pauses)
        if (IsBefore(dtNow, pause.m_dtUntil))
            registries.push_back(strRegistry);
    return registries;
}

std::string CRegistryBackoff::StatusText() const
{
    const COleDateTime dtNow = m_clock.Now();
    std::string strText;
    for (const auto& [strRegistry, pause] : m_pauses) {
        if (!IsBefore(dtNow, pause.m_dtUntil))
            continue;
        strText += strText.empty() ? "Query limit: " : "; ";
        strText += strRegistry + " paused until " + ClockText(pause.m_dtUntil);
    }
    return strText;
}
