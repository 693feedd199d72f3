#pragma once

#include "core/record/OleDateTime.h"

// "Now" as a local date-time, for result times, the rescan gap and the whois interval.
class CClock
{
public:
    virtual ~CClock() = default;
    virtual COleDateTime Now() const = 0;
};

class CSystemClock : public CClock
{
public:
    COleDateTime Now() const override { return COleDateTime::GetCurrentTime(); }
};
