#pragma once

#include "core/record/NameResolver.h"

#include <atomic>
#include <map>
#include <mutex>

// A name table the test fills; counts the lookups so tests can see that none was made.
class CFakeNameResolver : public CNameResolver
{
public:
    void AddHost(const std::string& name, uint32_t address)
    {
        std::lock_guard lock(m_mutex);
        m_forward[name] = address;
        m_reverse.emplace(address, name);
    }
    bool ResolveName(const std::string& strName, uint32_t& dwAddress) override
    {
        ++m_forwardCalls;
        std::lock_guard lock(m_mutex);
        auto it = m_forward.find(strName);
        if (it == m_forward.end())
            return false;
        dwAddress = it->second;
        return true;
    }
    bool ResolveAddress(uint32_t dwAddress, std::string& strName) override
    {
        ++m_reverseCalls;
        std::lock_guard lock(m_mutex);
        auto it = m_reverse.find(dwAddress);
        if (it == m_reverse.end())
            return false;
        strName = it->second;
        return true;
    }
    int ForwardCalls() const { return m_forwardCalls; }
    int ReverseCalls() const { return m_reverseCalls; }

private:
    std::mutex m_mutex;
    std::map<std::string, uint32_t> m_forward;
    std::map<uint32_t, std::string> m_reverse;
    std::atomic<int> m_forwardCalls {0};
    std::atomic<int> m_reverseCalls {0};
};
