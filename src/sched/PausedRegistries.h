#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// The registries the back-off pauses now, as the worker threads see them: the UI
// thread replaces the set whenever a pause begins or ends, and a whois chain asks it
// before each new server.
class CPausedRegistries
{
public:
    void Set(std::vector<std::string> registries);
    bool IsPaused(std::string_view strRegistry) const;
    std::vector<std::string> Get() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_registries;
};
