// Pacing per registry: a bulk run of ADDRESSES (default 200) addresses in as many
// networks, spread evenly over the five regional registries, looked up against
// loopback whois servers that each answer after DELAY_MS (default 500) ms, with
// interval 1 s, a 100 ms tick and limit 5 — once with "Pace Per Registry" and
// once without it, in the same run. Without pacing every chain starts at ARIN,
// which refers the other registries' addresses on; with it each chain starts at
// the address's registry. Prints both times, their ratio, and the queries each
// server received, so that no registry is seen asked more often with pacing.
// Usage: bench_sched_pacing [ADDRESSES] [DELAY_MS] [LIMIT] [INTERVAL_S]

#include "LoopbackWhoisServer.h"
#include "core/document/NetloreDoc.h"
#include "core/record/Clock.h"
#include "net/SystemNameResolver.h"
#include "net/WhoisServerTable.h"
#include "sched/LookupRun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct CRegistry {
    EWhoisRole m_role;
    const char* pszHost; // the loopback address playing its server
    const char* pszFirstOctet; // a /8 the shipped bootstrap gives it
    const char* pszReferral; // how ARIN's answer sends the query on
};

const CRegistry kRegistries[] = {
    {EWhoisRole::arin, "127.0.0.2", "24", ""},
    {EWhoisRole::ripe, "127.0.0.3", "193", "ReferralServer:  whois://whois.ripe.net\n"},
    {EWhoisRole::apnic, "127.0.0.4", "202", "ReferralServer:  whois://whois.apnic.net\n"},
    {EWhoisRole::lacnic, "127.0.0.5", "200", "ReferralServer:  whois://whois.lacnic.net\n"},
    {EWhoisRole::afrinic, "127.0.0.9", "41", "ReferralServer:  whois://whois.afrinic.net\n"},
};

struct CAddress {
    std::string m_strText;
    size_t m_nRegistry;
};

class CCounter : public CLookupRunListener
{
public:
    void OnAddressFinished(const CRunFinished& finished) override
    {
        ++(finished.m_status == ERunStatus::ok ? m_nOk : m_nOther);
    }
    int m_nOk = 0;
    int m_nOther = 0;
};

struct CResult {
    double m_dSeconds = 0;
    int m_nOk = 0;
    int m_nOther = 0;
    std::vector<int> m_queries; // per registry
};

int g_nLimit = 5;
int g_nInterval = 1;

CResult Run(const std::vector<CAddress>& addresses, bool bPace, CLoopbackWhoisServer& server,
            const CWhoisServerTable& table)
{
    std::vector<int> before;
    for (const CRegistry& r : kRegistries)
        before.push_back(int(server.Queries(r.pszHost).size()));
    CSystemNameResolver resolver;
    CSystemClock clock;
    CNetloreDoc doc;
    CLookupRun run(doc, resolver, nullptr, clock);
    CLookupSession& session = run.Session();
    session.SetServers(table);
    CConnSettings settings;
    settings.m_nWhoisInterval = g_nInterval;
    settings.m_nWhoisLimit = g_nLimit;
    settings.m_bPacePerRegistry = bPace;
    session.SetSettings(settings);
    session.SetTickInterval(100ms);
    CCounter counter;
    run.SetListener(&counter);
    std::vector<std::string> texts;
    for (const CAddress& a : addresses) {
        doc.AddIP(a.m_strText);
        texts.push_back(a.m_strText);
    }
    CLookupChoice choice;
    choice.m_bSkipFresh = false;
    const auto start = SteadyClock::now();
    run.Queue(texts, choice);
    run.RunToEnd([] { return false; }, 5s, 20ms);
    run.Finish();
    CResult result;
    result.m_dSeconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
    result.m_nOk = counter.m_nOk;
    result.m_nOther = counter.m_nOther;
    for (size_t i = 0; i < std::size(kRegistries); ++i)
        result.m_queries.push_back(int(server.Queries(kRegistries[i].pszHost).size()) - before[i]);
    return result;
}

void Print(const char* pszName, const CResult& r)
{
    std::printf("%-22s %7.1f s  %d ok, %d not  queries:", pszName, r.m_dSeconds, r.m_nOk, r.m_nOther);
    for (size_t i = 0; i < r.m_queries.size(); ++i)
        std::printf(" %s %d", CWhoisServerTable::RegistryOfRole(kRegistries[i].m_role), r.m_queries[i]);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    const int nAddresses = argc > 1 ? std::clamp(std::atoi(argv[1]), 5, 1250) : 200;
    const int nDelayMs = argc > 2 ? std::clamp(std::atoi(argv[2]), 0, 10000) : 500;
    g_nLimit = argc > 3 ? std::clamp(std::atoi(argv[3]), 1, 100) : 5;
    g_nInterval = argc > 4 ? std::clamp(std::atoi(argv[4]), 0, 60) : 1;

    CLoopbackWhoisServer server;
    server.AddRegistryHosts();
    std::vector<CAddress> addresses;
    for (int i = 0; i < nAddresses; ++i) {
        const size_t nRegistry = size_t(i) % std::size(kRegistries);
        const CRegistry& r = kRegistries[nRegistry];
        // One /24 network each: a.b.c.0/24 with b.c counting up.
        const int n = i / int(std::size(kRegistries));
        const std::string net =
            std::string(r.pszFirstOctet) + "." + std::to_string(n / 250) + "." + std::to_string(n % 250) + ".";
        const std::string address = net + "1";
        addresses.push_back({address, nRegistry});
        const std::string range = net + "0 - " + net + "255";
        if (r.m_role == EWhoisRole::arin) {
            server.SetAnswer(r.pszHost, address,
                             "NetRange:       " + range +
                                 "\nNetName:        BENCH-NET\nOrgName:        Bench "
                                 "Networks\nCountry:        US\n");
        } else {
            server.SetAnswer(kRegistries[0].pszHost, address,
                             "NetRange:       " + std::string(r.pszFirstOctet) + ".0.0.0 - " + r.pszFirstOctet +
                                 ".255.255.255\nNetName:        BENCH-BLOCK\nNetType:        Allocated to another "
                                 "registry\n" +
                                 r.pszReferral);
            server.SetAnswer(r.pszHost, address,
                             "inetnum:        " + range + "\nnetname:        BENCH-NET\ncountry:        NL\n");
        }
    }
    for (const CRegistry& r : kRegistries)
        server.SetAnswerDelay(r.pszHost, nDelayMs);
    if (!server.Start()) {
        std::fprintf(stderr, "bench_sched_pacing: the loopback whois servers could not start\n");
        return 1;
    }
    CWhoisServerTable table;
    const char* hosts[] = {"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5",
                           "127.0.0.6", "127.0.0.7", "127.0.0.8", "127.0.0.9"};
    for (size_t i = 0; i < kWhoisRoleCount; ++i)
        table.SetHost(EWhoisRole(i), hosts[i]);
    table.m_nWhoisPort = server.Port();
    table.m_nRWhoisPort = server.Port();
    table.m_nAnswerTimeoutMs = nDelayMs + 5000;
    table.m_nIdleTimeoutMs = nDelayMs + 2000;

    std::printf(
        "bench_sched_pacing: %d addresses in %d networks over 5 registries, answers after %d ms, interval %d s, "
        "tick 100 ms, limit %d\n",
        nAddresses, nAddresses, nDelayMs, g_nInterval, g_nLimit);
    const CResult paced = Run(addresses, true, server, table);
    Print("Pace Per Registry=1", paced);
    const CResult plain = Run(addresses, false, server, table);
    Print("Pace Per Registry=0", plain);
    std::printf("ratio (paced / one timer): %.2f (target at most 0.3)\n", paced.m_dSeconds / plain.m_dSeconds);
    return paced.m_nOk == nAddresses && plain.m_nOk == nAddresses ? 0 : 1;
}
