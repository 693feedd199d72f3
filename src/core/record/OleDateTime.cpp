#include "core/record/OleDateTime.h"

#include <cmath>

namespace {

// Days from 1 January of year 1 (proleptic Gregorian) to the given date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468; // days since 1970-01-01
}

void CivilFromDays(int64_t z, int& year, unsigned& month, unsigned& day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = int(y + (month <= 2));
}

// 1899-12-30 counted from 1970-01-01.
const int64_t kOleEpoch = DaysFromCivil(1899, 12, 30);
// Years 100 to 9999, the range an OLE date may hold.
const double kMinDate = -657434.0;
const double kMaxDate = 2958465.99999999;

bool IsLeap(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

} // namespace

COleDateTime COleDateTime::FromComponents(int year, int month, int day, int hour, int minute, int second)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59)
        return COleDateTime(0.0, invalid);
    const int dim = kDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
    if (day > dim)
        return COleDateTime(0.0, invalid);
    const int64_t days = DaysFromCivil(year, unsigned(month), unsigned(day)) - kOleEpoch;
    const double fraction = (hour * 3600 + minute * 60 + second) / 86400.0;
    // Before the epoch the fraction is added to the magnitude: the day part counts backwards.
    const double dt = days >= 0 ? double(days) + fraction : double(days) - fraction;
    return COleDateTime(dt, valid);
}

COleDateTime COleDateTime::FromTimeT(time_t t)
{
    struct tm local { };
    if (!localtime_r(&t, &local))
        return COleDateTime(0.0, invalid);
    return FromComponents(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          local.tm_sec);
}

COleDateTime COleDateTime::GetCurrentTime()
{
    return FromTimeT(time(nullptr));
}

bool COleDateTime::GetAsTm(struct tm& out) const
{
    if (m_status != valid || !std::isfinite(m_dt) || m_dt < kMinDate || m_dt > kMaxDate)
        return false;
    double dayPart = std::trunc(m_dt);
    double seconds = std::round(std::fabs(m_dt - dayPart) * 86400.0);
    if (seconds >= 86400.0) {
        // The time of day rounded up to midnight: that is the next calendar day, which
        // is one up from here also for the backward-counting days before the epoch.
        seconds -= 86400.0;
        dayPart += 1.0;
    }
    int year;
    unsigned month, day;
    CivilFromDays(int64_t(dayPart) + kOleEpoch, year, month, day);
    if (year < 100 || year > 9999)
        return false;
    const int secs = int(seconds);
    out = {};
    out.tm_year = year - 1900;
    out.tm_mon = int(month) - 1;
    out.tm_mday = int(day);
    out.tm_hour = secs / 3600;
    out.tm_min = secs / 60 % 60;
    out.tm_sec = secs % 60;
    const int64_t days1970 = DaysFromCivil(year, month, day);
    out.tm_wday = int(((days1970 % 7) + 11) % 7); // 1970-01-01 was a Thursday
    out.tm_yday = int(days1970 - DaysFromCivil(year, 1, 1));
    out.tm_isdst = -1;
    return true;
}

bool COleDateTime::GetAsTimeT(time_t& out) const
{
    struct tm local;
    if (!GetAsTm(local))
        return false;
    out = mktime(&local);
    return true;
}

int COleDateTime::GetYear() const
{
    struct tm local;
    return GetAsTm(local) ? local.tm_year + 1900 : 0;
}

double COleDateTime::GetLinearDays() const
{
    if (m_dt >= 0)
        return m_dt;
    const double dWhole = std::ceil(m_dt);
    return dWhole + (dWhole - m_dt);
}
