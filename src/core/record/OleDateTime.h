#pragma once

#include <cstdint>
#include <ctime>

// A point in local wall-clock time as an OLE Automation date: days since
// 30 December 1899 with the time of day as the fraction, plus a status.
// For dates before 1899-12-30 the integer part counts days backwards and the
// fraction is still the (positive) time of day: -1.25 is 29 Dec 1899 06:00.
class COleDateTime
{
public:
    enum DateTimeStatus : int32_t
    {
        valid = 0,
        invalid = 1,
        null = 2
    };

    // Fresh values are null, as a lookup that never happened.
    COleDateTime() = default;
    COleDateTime(double dt, DateTimeStatus status)
        : m_dt(dt)
        , m_status(status)
    { }

    // From calendar components of local time; invalid when a component is out of range
    // or the year is outside 100..9999.
    static COleDateTime FromComponents(int year, int month, int day, int hour, int minute, int second);
    // From a time_t, converted to the local clock.
    static COleDateTime FromTimeT(time_t t);
    // The local time now.
    static COleDateTime GetCurrentTime();

    double GetDays() const { return m_dt; }
    // The value on a line where every date counts plain days, so that differences
    // work: dates before 30 December 1899 count whole days backwards but keep a
    // positive time of day.
    double GetLinearDays() const;
    DateTimeStatus GetStatus() const { return m_status; }
    bool IsValid() const { return m_status == valid; }
    void SetStatus(DateTimeStatus status) { m_status = status; }

    // Splits a valid value into local calendar fields (tm_year is years since 1900,
    // tm_mon 0-based, as struct tm); false when the value is not valid or not in the
    // range of years 100..9999. Rounds to the nearest second.
    bool GetAsTm(struct tm& out) const;
    // The value as a time_t through the local clock (mktime); false as GetAsTm.
    bool GetAsTimeT(time_t& out) const;
    // Year of a convertible value, 0 otherwise.
    int GetYear() const;

    bool operator==(const COleDateTime& other) const = default;

private:
    double m_dt = 0.0;
    DateTimeStatus m_status = null;
};
