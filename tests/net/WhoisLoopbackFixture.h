#pragma once

#include "LoopbackWhoisServer.h"
#include "net/WhoisServerTable.h"
#include "support/ProcStats.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <string>

// Loopback whois servers for every role on one port, and a server table that points at them
// with time-outs short enough for tests.
namespace WhoisLoopback {

inline constexpr const char* kArin = "127.0.0.2";
inline constexpr const char* kRipe = "127.0.0.3";
inline constexpr const char* kApnic = "127.0.0.4";
inline constexpr const char* kLacnic = "127.0.0.5";
inline constexpr const char* kAunic = "127.0.0.6";
inline constexpr const char* kRWhoisA = "127.0.0.7";
inline constexpr const char* kRWhoisB = "127.0.0.8";
inline constexpr const char* kAfrinic = "127.0.0.9";
inline constexpr const char* kOther = "127.0.0.10";

inline const char* const kAll[] = {kArin, kRipe, kApnic, kLacnic, kAunic, kRWhoisA, kRWhoisB, kAfrinic, kOther};

inline void StartAll(CLoopbackWhoisServer& server)
{
    for (const char* a : kAll)
        server.AddAddress(a);
    ASSERT_TRUE(server.Start());
}

inline CWhoisServerTable TableFor(const CLoopbackWhoisServer& server)
{
    CWhoisServerTable t;
    const char* hosts[] = {kArin, kRipe, kApnic, kLacnic, kAunic, kRWhoisA, kRWhoisB, kAfrinic};
    for (size_t i = 0; i < kWhoisRoleCount; ++i)
        t.SetHost(EWhoisRole(i), hosts[i]);
    t.m_nWhoisPort = server.Port();
    t.m_nRWhoisPort = server.Port();
    t.m_nConnectTimeoutMs = 1000;
    t.m_nIdleTimeoutMs = 300;
    t.m_nAnswerTimeoutMs = 5000;
    t.m_nMaxAnswerBytes = 1024 * 1024;
    t.m_nRetryPauseMs = 100;
    return t;
}

} // namespace WhoisLoopback
