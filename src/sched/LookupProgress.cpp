#include "sched/LookupProgress.h"

#include "core/record/Clock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr const char* kKindNames[kLookupKindCount] = {"Whois", "Host name", "Ping", "Traceroute"};

bool ValidKind(int nKind)
{
    return nKind >= 0 && nKind < kLookupKindCount;
}

} // namespace

std::string FormatTimeLeft(double dSeconds)
{
    // More than a year at the current pace is no estimate worth showing.
    if (!std::isfinite(dSeconds) || dSeconds < 0 || dSeconds > 366.0 * 86400.0)
        return {};
    if (dSeconds < 60)
        return "less than a minute left";
    const long long nMinutes = std::llround(dSeconds / 60.0);
    char szText[64];
    if (nMinutes < 60)
        std::snprintf(szText, sizeof szText, "about %lld min left", nMinutes);
    else
        std::snprintf(szText, sizeof szText, "about %lld h %02lld min left", nMinutes / 60, nMinutes % 60);
    return szText;
}

std::string FormatLookupProgress(int nDone, int nTotal, double dElapsedSeconds)
{
    std::string strText = "Looking up " + std::to_string(nDone) + " of " + std::to_string(nTotal);
    if (nDone > 0 && nDone < nTotal && std::isfinite(dElapsedSeconds) && dElapsedSeconds > 0) {
        const double dLeft = double(nTotal - nDone) * dElapsedSeconds / double(nDone);
        const std::string strLeft = FormatTimeLeft(dLeft);
        if (!strLeft.empty())
            strText += ", " + strLeft;
    }
    return strText;
}

void CLookupProgress::Queued(int nKind, std::string_view strAddress)
{
    if (!ValidKind(nKind))
        return;
    if (!m_dtStart.IsValid())
        m_dtStart = m_clock.Now();
    CCounts& counts = m_counts[size_t(nKind)];
    if (counts.m_pending.emplace(strAddress).second)
        ++counts.m_nTotal;
}

void CLookupProgress::Finished(int nKind, std::string_view strAddress)
{
    if (!ValidKind(nKind))
        return;
    CCounts& counts = m_counts[size_t(nKind)];
    if (counts.m_pending.erase(std::string(strAddress)) != 0)
        ++counts.m_nDone;
}

void CLookupProgress::Reset()
{
    for (CCounts& counts : m_counts)
        counts = CCounts();
    m_dtStart = COleDateTime();
}

bool CLookupProgress::IsRunning() const
{
    for (const CCounts& counts : m_counts)
        if (counts.m_nDone < counts.m_nTotal)
            return true;
    return false;
}

int CLookupProgress::GetDone(int nKind) const
{
    return ValidKind(nKind) ? m_counts[size_t(nKind)].m_nDone : 0;
}

int CLookupProgress::GetTotal(int nKind) const
{
    return ValidKind(nKind) ? m_counts[size_t(nKind)].m_nTotal : 0;
}

double CLookupProgress::ElapsedSeconds() const
{
    if (!m_dtStart.IsValid())
        return 0;
    return (m_clock.Now().GetDays() - m_dtStart.GetDays()) * 86400.0;
}

std::string CLookupProgress::Text() const
{
    if (!IsRunning())
        return {};
    int nKinds = 0;
    for (const CCounts& counts : m_counts)
        if (counts.m_nTotal > 0)
            ++nKinds;
    const double dElapsed = ElapsedSeconds();
    std::string strText;
    for (int k = 0; k < kLookupKindCount; ++k) {
        const CCounts& counts = m_counts[size_t(k)];
        if (counts.m_nTotal == 0)
            continue;
        if (!strText.empty())
            strText += "; ";
        if (nKinds > 1)
            strText += std::string(kKindNames[k]) + ": ";
        strText += FormatLookupProgress(counts.m_nDone, counts.m_nTotal, dElapsed);
    }
    return strText;
}
