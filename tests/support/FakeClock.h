#pragma once

#include "core/record/Clock.h"

#include <atomic>

// A clock the test sets and moves.
class CFakeClock : public CClock
{
public:
    explicit CFakeClock(COleDateTime now = COleDateTime::FromComponents(2026, 12, 7, 12, 0, 0))
        : m_days(now.GetDays())
    { }
    COleDateTime Now() const override { return COleDateTime(m_days.load(), COleDateTime::valid); }
    void Set(COleDateTime now) { m_days = now.GetDays(); }
    void AdvanceSeconds(double seconds) { m_days = m_days.load() + seconds / 86400.0; }

private:
    std::atomic<double> m_days;
};
