#pragma once

#include "core/record/OleDateTime.h"

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// When the last whois result was stored, process-wide and for each registry:
// written by whois workers, read by the whois start rule on the UI thread. Null
// until the first result.
class CLastWhoisDone
{
public:
    COleDateTime Get() const;
    void Set(const COleDateTime& dtWhen);
    // The latest result of the lookups paced under this registry.
    COleDateTime Get(std::string_view strRegistry) const;
    // Sets both the registry's time and the process-wide one.
    void Set(std::string_view strRegistry, const COleDateTime& dtWhen);

private:
    mutable std::mutex m_mutex;
    COleDateTime m_dtWhen;
    // A handful of registries: a vector is quicker than a map.
    std::vector<std::pair<std::string, COleDateTime>> m_byRegistry;
};
