#pragma once

#include "core/record/OleDateTime.h"

#include <mutex>

// When the last whois result was stored: written by whois workers, read by the
// whois start rule on the UI thread. Null until the first result.
class CLastWhoisDone
{
public:
    COleDateTime Get() const;
    void Set(const COleDateTime& dtWhen);

private:
    mutable std::mutex m_mutex;
    COleDateTime m_dtWhen;
};
