#pragma once

#include "core/record/HostLookup.h"
#include "core/record/NameResolver.h"

#include <atomic>
#include <map>
#include <mutex>

// A name table the test fills; counts the lookups so tests can see that none was made
// (IPv6 forward lookups apart).
class CFakeNameResolver : public CNameResolver
{
public:
    void AddHost(const std::string& name, uint32_t address)
    {
        std::lock_guard lock(m_mutex);
        m_forward[name] = address;
        m_reverse.emplace(address, name);
    }
    // An IPv6 host: its AAAA address and the PTR entry under its ip6.arpa name.
    void AddHost6(const std::string& name, const CIPAddress& address)
    {
        std::lock_guard lock(m_mutex);
        m_forward6[name] = address;
        m_ptr.emplace(ReverseDnsName(address), name);
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
    bool ResolveNameIPv6(const std::string& strName, CIPAddress& address) override
    {
        ++m_forward6Calls;
        std::lock_guard lock(m_mutex);
        auto it = m_forward6.find(strName);
        if (it == m_forward6.end())
            return false;
        address = it->second;
        return true;
    }
    bool ResolveIPAddress(const CIPAddress& address, std::string& strName) override
    {
        if (address.IsIPv4())
            return ResolveAddress(address.IPv4(), strName);
        ++m_reverseCalls;
        std::lock_guard lock(m_mutex);
        auto it = m_ptr.find(ReverseDnsName(address));
        if (it == m_ptr.end())
            return false;
        strName = it->second;
        return true;
    }
    int ForwardCalls() const { return m_forwardCalls; }
    int ReverseCalls() const { return m_reverseCalls; }
    int Forward6Calls() const { return m_forward6Calls; }

private:
    std::mutex m_mutex;
    std::map<std::string, uint32_t> m_forward;
    std::map<uint32_t, std::string> m_reverse;
    std::map<std::string, CIPAddress> m_forward6;
    std::map<std::string, std::string> m_ptr; // ip6.arpa name -> host name
    std::atomic<int> m_forwardCalls {0};
    std::atomic<int> m_reverseCalls {0};
    std::atomic<int> m_forward6Calls {0};
};
