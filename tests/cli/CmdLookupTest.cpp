#include "LoopbackWhoisServer.h"

#include "core/document/NetloreDoc.h"

#include "support/CliProcess.h"
#include "support/CliRunner.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <sstream>

namespace {

using Strings = std::vector<std::string>;

const char* const kArin = "127.0.0.2";
const char* const kRipe = "127.0.0.3";

class CliLookupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.AddRegistryHosts();
        ASSERT_TRUE(m_server.Start());
        // Real answers: ARIN hands 130.66.0.0/15 to RIPE, RIPE answers.
        m_server.SetDefaultAnswer(
            kArin, ReadFileBytes(TestDataPath("whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt")));
        m_server.SetDefaultAnswer(kRipe, ReadFileBytes(TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt")));
        WriteSettings("IP%20Whois%20Interval=0\nIP%20Whois%20Simul%20Connections=8\n");
    }

    // Every chain from ARIN, one start a tick, unless the lines name the pacing.
    static std::string PaceLine(const std::string& settingsLines)
    {
        return settingsLines.find("Pace%20Per%20Registry=") == std::string::npos ? "Pace%20Per%20Registry=0\n" : "";
    }

    // Every registry on loopback, plus lines for the section "Settings" and lines
    // that replace the ARIN server and the time-outs of section "Whois Servers".
    void WriteSettings(const std::string& settingsLines,
                       const std::string& serverLines = "ARIN=127.0.0.2\nIdle%20Timeout=1000\n")
    {
        const std::string port = std::to_string(m_server.Port());
        WriteFileBytes(m_dir.File("s.ini"), "[Whois%20Servers]\n" + serverLines +
                                                "RIPE=127.0.0.3\nAPNIC=127.0.0.4\nLACNIC=127.0.0.5\nAUNIC=127.0.0.6\n"
                                                "RWhois%20A=127.0.0.7\nRWhois%20B=127.0.0.8\nAFRINIC=127.0.0.9\n"
                                                "Whois%20Port=" +
                                                port + "\nRWhois%20Port=" + port +
                                                "\n"
                                                "Connect%20Timeout=2000\n\n[Settings]\n" +
                                                PaceLine(settingsLines) + settingsLines);
    }

    // The command line in the background, standard output and error in outDir's
    // files "out" and "err".
    bool Spawn(Strings args, const CTempDir& outDir, pid_t& pid)
    {
        args.insert(args.begin(), {ADDRSCOPE_CLI, "--settings", SettingsFile(m_dir)});
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outDir.File("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, outDir.File("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env = CliEnvironment(outDir.File("cache"));
        const bool bStarted =
            posix_spawn(&pid, ADDRSCOPE_CLI, &actions, nullptr, argv.data(), EnvPointers(env).data()) == 0;
        posix_spawn_file_actions_destroy(&actions);
        return bStarted;
    }

    CCliResult Cli(Strings args, int nTimeout = 120)
    {
        args.insert(args.begin(), {"--settings", SettingsFile(m_dir)});
        return RunCli(args, nTimeout);
    }

    CLoopbackWhoisServer m_server;
    CTempDir m_dir;
};

int Count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

} // namespace

TEST_F(CliLookupTest, ImportLookupAndExportTurnARealApacheLogIntoAWhoisReport)
{
    const std::string doc = m_dir.File("log.qdl");
    CCliResult r = Cli({"import", doc, TestDataPath("logs/elastic-examples-apache_logs-first600.log"), "--no-convert"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    ASSERT_EQ(r.m_strOut, "123\n");
    // One client's registry never answers.
    m_server.SetAnswer(kArin, "83.149.9.216", "");

    r = Cli({"lookup", doc, "--tick", "20"});
    EXPECT_EQ(r.m_nStatus, 1) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, "looked up 122, skipped as fresh 0, failed 1\n");
    EXPECT_NE(r.m_strErr.find("83.149.9.216: no whois answer after 3 tries"), std::string::npos) << r.m_strErr;
    EXPECT_NE(r.m_strErr.find("123/123 "), std::string::npos);
    EXPECT_EQ(Count(r.m_strErr, " failed (no answer)\n"), 1) << r.m_strErr;
    EXPECT_NE(r.m_strErr.find("addrscope-cli lookup: Looked up 123: 122 ok, 1 failed\n"), std::string::npos)
        << r.m_strErr;
    // Each address once at ARIN, the empty one 3 times over 4 queries each.
    EXPECT_EQ(m_server.Connections(kRipe), 122);
    EXPECT_EQ(m_server.Connections(kArin), 122 + 12);

    CNetloreDoc stored;
    ASSERT_TRUE(stored.OnOpenDocument(doc, [](const std::string&) {}));
    ASSERT_EQ(stored.GetData().GetSize(), 123);
    EXPECT_EQ(stored.GetData().GetRawWhois("83.149.9.216"), "");
    EXPECT_EQ(stored.GetData().GetRawWhois("66.249.73.135").rfind("66.249.73.135\r\n\r\n% This is the RIPE", 0), 0u);
    EXPECT_EQ(stored.GetData().GetCountry("66.249.73.135"), "FR");

    r = Cli({"export", doc, "-o", m_dir.File("report.txt")});
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    const std::string report = ReadFileBytes(m_dir.File("report.txt"));
    EXPECT_EQ(Count(report, "<RECORD>\r\n"), 122);
    EXPECT_NE(report.find("IP Address: 66.249.73.135\r\n"), std::string::npos);
    EXPECT_EQ(report.find("IP Address: 83.149.9.216\r\n"), std::string::npos);

    // Fresh answers are not asked again; the empty one is.
    r = Cli({"lookup", doc, "--tick=20"});
    EXPECT_EQ(r.m_strOut, "looked up 0, skipped as fresh 122, failed 1\n");
    EXPECT_EQ(m_server.Connections(kRipe), 122);
}

TEST_F(CliLookupTest, CtrlCWaitsForTheRunningLookupSavesItAndFails)
{
    // The first connection hangs until the client's idle time-out; the retry is answered.
    m_server.SetMode(kArin, EWhoisServerMode::neverAnswer, 1);
    WriteSettings("IP%20Whois%20Interval=0\nIP%20Whois%20Simul%20Connections=1\n");
    const std::string doc = m_dir.File("int.qdl");
    CTempDir outDir;
    pid_t pid;
    ASSERT_TRUE(Spawn({"lookup", doc, "--tick", "20", "130.66.76.1", "130.66.76.2", "130.66.76.3"}, outDir, pid));

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (m_server.Connections(kArin) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(kill(pid, SIGINT), 0);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            FAIL() << "did not end after Ctrl+C";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(WIFEXITED(status)) << ReadFileBytes(outDir.File("err"));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(ReadFileBytes(outDir.File("out")), "looked up 1, skipped as fresh 0, failed 0, not looked up 2\n");
    EXPECT_NE(ReadFileBytes(outDir.File("err")).find("SIGINT: waiting up to 10 s for 1 running lookup(s)"),
              std::string::npos);
    EXPECT_EQ(m_server.Connections(kRipe), 1);

    CNetloreDoc stored;
    ASSERT_TRUE(stored.OnOpenDocument(doc, [](const std::string&) {}));
    ASSERT_EQ(stored.GetData().GetSize(), 3);
    EXPECT_FALSE(stored.GetData().GetRawWhois("130.66.76.1").empty());
    EXPECT_EQ(stored.GetData().GetRawWhois("130.66.76.2"), "");
}

TEST_F(CliLookupTest, HostNamesOfGivenAddresses)
{
    const std::string doc = m_dir.File("hosts.qdl");
    CCliResult r = Cli({"lookup", doc, "--kind", "host", "--tick", "10", "127.0.0.1"});
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, "looked up 1, skipped as fresh 0, failed 0\n");
    CNetloreDoc stored;
    ASSERT_TRUE(stored.OnOpenDocument(doc, [](const std::string&) {}));
    EXPECT_NE(stored.GetData().GetHostName("127.0.0.1"), "");
    EXPECT_NE(stored.GetData().GetHostName("127.0.0.1"), "unavailable");

    r = Cli({"lookup", doc, "--kind=host"});
    EXPECT_EQ(r.m_nStatus, 0);
    EXPECT_EQ(r.m_strOut, "looked up 0, skipped as fresh 1, failed 0\n");
    EXPECT_EQ(m_server.Connections(kArin), 0);
}

TEST_F(CliLookupTest, ArgumentAndSettingsErrors)
{
    const std::string doc = m_dir.File("e.qdl");
    EXPECT_EQ(Cli({"lookup"}).m_nStatus, 2);
    EXPECT_EQ(Cli({"lookup", doc, "--kind", "finger", "10.0.0.1"}).m_nStatus, 2);
    EXPECT_EQ(Cli({"lookup", doc, "--tick", "0", "10.0.0.1"}).m_nStatus, 2);
    EXPECT_EQ(Cli({"lookup", doc, "--tick", "-5", "10.0.0.1"}).m_nStatus, 2);
    EXPECT_EQ(Cli({"lookup", doc, "10.0.0.256"}).m_nStatus, 2);
    EXPECT_EQ(Cli({"lookup", doc}).m_nStatus, 1);

    // A limit of 0 would leave the addresses waiting for ever: said, not waited for.
    WriteSettings("IP%20Whois%20Simul%20Connections=0\n");
    const CCliResult r = Cli({"lookup", doc, "10.0.0.1", "10.0.0.2"}, 20);
    EXPECT_FALSE(r.m_bTimedOut);
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_EQ(r.m_strOut, "looked up 0, skipped as fresh 0, failed 0, not looked up 2\n");
    EXPECT_NE(r.m_strErr.find("limit 0"), std::string::npos);
    EXPECT_EQ(m_server.Connections(kArin), 0);
}

TEST_F(CliLookupTest, ImportWithLookupLooksUpOnlyTheAddressesItAdded)
{
    const std::string doc = m_dir.File("imp.qdl");
    ASSERT_EQ(Cli({"add", doc, "130.66.1.1"}).m_nStatus, 0);
    WriteFileBytes(m_dir.File("list.txt"), "130.66.1.1\n130.66.1.2\nnot an address\n130.66.1.3\n130.66.1.2\n");

    CCliResult r = Cli({"import", doc, m_dir.File("list.txt"), "--lookup", "--no-convert"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, "2\nlooked up 2, skipped as fresh 0, failed 0\n");

    CNetloreDoc back;
    ASSERT_TRUE(back.OnOpenDocument(doc, [](const std::string&) {}));
    EXPECT_EQ(back.GetData().GetRawWhois("130.66.1.1"), "");
    EXPECT_EQ(back.GetData().GetRawWhois("130.66.1.3").rfind("130.66.1.3\r\n", 0), 0u);
    EXPECT_EQ(back.GetData().GetOwner("130.66.1.2"), back.GetData().GetOwner("130.66.1.3"));

    // Nothing added: nothing looked up.
    r = Cli({"import", doc, m_dir.File("list.txt"), "--lookup", "--no-convert"});
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, "0\n");
}

TEST_F(CliLookupTest, OneQueryPerNetworkAnswersTheAddressesWaitingInsideItsRange)
{
    // RIPE answers every query with 128.79.0.0 - 128.79.63.0; one lookup at a time.
    WriteSettings("IP%20Whois%20Interval=0\nIP%20Whois%20Simul%20Connections=1\n");
    const std::string doc = m_dir.File("net.qdl");
    CCliResult r = Cli({"lookup", doc, "128.79.1.1", "128.79.2.2", "128.79.63.0", "128.79.63.1", "--tick", "5"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, "looked up 2, skipped as fresh 0, failed 0, answered from a known range 2\n");
    EXPECT_EQ(m_server.Queries(kRipe), (Strings {"128.79.1.1\r\n", "128.79.63.1\r\n"}));

    CNetloreDoc back;
    ASSERT_TRUE(back.OnOpenDocument(doc, [](const std::string&) {}));
    EXPECT_EQ(back.GetData().GetRawWhois("128.79.63.0").rfind("128.79.63.0\r\n", 0), 0u);
    EXPECT_EQ(back.GetData().GetWhoisTime("128.79.63.0"), back.GetData().GetWhoisTime("128.79.1.1"));

    // Later, inside the fresh range: answered at queue time, no query at all.
    r = Cli({"lookup", doc, "128.79.3.3"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, "looked up 0, skipped as fresh 0, failed 0, answered from a known range 1\n");
    EXPECT_EQ(m_server.Queries(kRipe).size(), 2u);

    // Turned off: every address asks.
    WriteSettings("IP%20Whois%20Interval=0\nReuse%20Known%20Ranges=0\n");
    r = Cli({"lookup", doc, "128.79.4.4"});
    EXPECT_EQ(r.m_strOut, "looked up 1, skipped as fresh 0, failed 0\n");
}

TEST_F(CliLookupTest, JsonLinesNameTheAddressWhoseRangeAnsweredThem)
{
    WriteSettings("IP%20Whois%20Interval=0\nIP%20Whois%20Simul%20Connections=1\n");
    const std::string doc = m_dir.File("json.qdl");
    using Answers = std::map<std::string, std::string>; // address -> reusedFrom ("" when asked itself)
    const struct {
        Strings m_args;
        Answers m_expected;
    } kRuns[] = {
        // Waiting while 128.79.1.1 is asked: answered from its range when it arrives.
        {{"128.79.1.1", "128.79.2.2", "128.79.63.0"},
         {{"128.79.1.1", ""}, {"128.79.2.2", "128.79.1.1"}, {"128.79.63.0", "128.79.1.1"}}},
        // Queued later inside the document's fresh range: answered at queue time.
        {{"128.79.3.3"}, {{"128.79.3.3", "128.79.1.1"}}},
    };
    for (const auto& run : kRuns) {
        Strings args = {"lookup", doc, "--json", "--tick", "5"};
        args.insert(args.end(), run.m_args.begin(), run.m_args.end());
        const CCliResult r = Cli(args);
        ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
        Answers seen;
        std::istringstream lines(r.m_strOut);
        std::string line;
        while (std::getline(lines, line)) {
            const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
            ASSERT_TRUE(j.is_object()) << line;
            EXPECT_EQ(j.value("status", ""), "ok") << line;
            EXPECT_EQ(j.value("range", ""), "128.79.0.0 - 128.79.63.0") << line;
            seen[j.value("address", "")] = j.value("reusedFrom", "");
        }
        EXPECT_EQ(seen, run.m_expected) << r.m_strOut;
    }
}

namespace {

// The RIPE server's refusals as it sends them on port 43.
const char* const kRipeDeniedForNow = "%ERROR:201: access denied for 127.0.0.1\n"
                                      "%\n"
                                      "% Queries from your IP address have passed the daily limit of controlled "
                                      "objects.\n"
                                      "% Access from your host has been temporarily denied.\n"
                                      "% For more information, see\n"
                                      "% https://docs.db.ripe.net/FAQ/#why-did-i-receive-an-error-201-access-denied\n";
const char* const kRipeDeniedForGood = "%ERROR:201: access denied for 127.0.0.1\n"
                                       "%\n"
                                       "% Sorry, access from your host has been permanently\n"
                                       "% denied because of a repeated excessive querying.\n"
                                       "% For more information, see\n"
                                       "% https://docs.db.ripe.net/FAQ/#why-did-i-receive-an-error-201-access-denied\n";

} // namespace

TEST_F(CliLookupTest, ATemporaryDenialIsNoAnswerTheAddressWaitsAndNothingIsStored)
{
    m_server.SetDefaultAnswer(kRipe, kRipeDeniedForNow);
    const std::string doc = m_dir.File("denied.qdl");
    CTempDir outDir;
    pid_t pid;
    ASSERT_TRUE(Spawn({"lookup", doc, "--json", "--tick", "20", "130.66.76.1"}, outDir, pid));

    // RIPE is paused, the address waits: then the run is stopped.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int status = 0;
    bool bExited = false;
    while (ReadFileBytes(outDir.File("err")).find("Query limit: RIPE paused until") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline && !(bExited = waitpid(pid, &status, WNOHANG) == pid))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!bExited) {
        ASSERT_EQ(kill(pid, SIGTERM), 0);
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                FAIL() << "did not end after SIGTERM";
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    const std::string err = ReadFileBytes(outDir.File("err"));
    ASSERT_TRUE(WIFEXITED(status)) << err;
    EXPECT_EQ(WEXITSTATUS(status), 1) << err;
    EXPECT_EQ(ReadFileBytes(outDir.File("out")), "") << "no address finished, none as ok";
    EXPECT_NE(err.find("looked up 0, skipped as fresh 0, failed 0, not looked up 1\n"), std::string::npos) << err;

    CNetloreDoc stored;
    ASSERT_TRUE(stored.OnOpenDocument(doc, [](const std::string&) {}));
    EXPECT_EQ(stored.GetData().GetRawWhois("130.66.76.1"), "");
    EXPECT_EQ(stored.GetData().GetOwner("130.66.76.1"), "");
}

TEST_F(CliLookupTest, APermanentDenialFailsEveryAddressOfTheRegistrySaysSoOnceAndExits1)
{
    m_server.SetDefaultAnswer(kRipe, kRipeDeniedForGood);
    WriteSettings("IP%20Whois%20Interval=0\nIP%20Whois%20Simul%20Connections=1\n");
    const std::string doc = m_dir.File("banned.qdl");
    // 193.0.0.0/8 is RIPE's.
    const CCliResult r = Cli({"lookup", doc, "--json", "--tick", "20", "193.0.6.1", "193.0.6.2", "193.0.6.3"});
    EXPECT_EQ(r.m_nStatus, 1) << r.m_strErr;
    EXPECT_EQ(Count(r.m_strErr, "RIPE denied access permanently; its addresses are not looked up\n"), 1) << r.m_strErr;
    EXPECT_NE(r.m_strErr.find("looked up 0, skipped as fresh 0, failed 3\n"), std::string::npos) << r.m_strErr;
    EXPECT_EQ(m_server.Connections(kRipe), 1) << "asked once, never again";

    std::istringstream lines(r.m_strOut);
    std::map<std::string, std::string> reasons;
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json j = nlohmann::json::parse(line);
        EXPECT_EQ(j.at("status"), "failed") << line;
        reasons[j.at("address")] = j.at("reason");
    }
    EXPECT_EQ(reasons, (std::map<std::string, std::string> {{"193.0.6.1", "registry refused"},
                                                            {"193.0.6.2", "registry refused"},
                                                            {"193.0.6.3", "registry refused"}}));

    CNetloreDoc stored;
    ASSERT_TRUE(stored.OnOpenDocument(doc, [](const std::string&) {}));
    for (const char* a : {"193.0.6.1", "193.0.6.2", "193.0.6.3"})
        EXPECT_EQ(stored.GetData().GetRawWhois(a), "") << a;
}

TEST_F(CliLookupTest, ALookupStillRunningWhenTheGraceEndsIsCancelledAndTheRunEndsNormally)
{
    // ARIN never answers and the client would wait ten minutes for it.
    m_server.SetMode(kArin, EWhoisServerMode::neverAnswer);
    WriteSettings("IP%20Whois%20Interval=0\nIP%20Whois%20Simul%20Connections=1\n");
    const std::string settings = ReadFileBytes(m_dir.File("s.ini"));
    WriteFileBytes(m_dir.File("s.ini"),
                   std::string(settings).replace(settings.find("Idle%20Timeout=1000"), 19,
                                                 "Idle%20Timeout=600000\nAnswer%20Timeout=600000"));
    const std::string doc = m_dir.File("grace.qdl");
    CTempDir outDir;
    pid_t pid;
    ASSERT_TRUE(Spawn({"lookup", doc, "--tick", "20", "130.66.76.1", "130.66.76.2"}, outDir, pid));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (m_server.Connections(kArin) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            FAIL() << "did not end after the grace";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const std::string err = ReadFileBytes(outDir.File("err"));
    ASSERT_TRUE(WIFEXITED(status)) << err;
    EXPECT_EQ(WEXITSTATUS(status), 1) << err;
    EXPECT_NE(err.find("SIGTERM: waiting up to 10 s for 1 running lookup(s), then saving"), std::string::npos) << err;
    EXPECT_NE(err.find("saving without the 1 lookup(s) still running"), std::string::npos) << err;
    EXPECT_EQ(ReadFileBytes(outDir.File("out")), "looked up 0, skipped as fresh 0, failed 0, not looked up 2\n");

    CNetloreDoc stored;
    ASSERT_TRUE(stored.OnOpenDocument(doc, [](const std::string&) {}));
    EXPECT_EQ(stored.GetData().GetSize(), 2);
    EXPECT_EQ(stored.GetData().GetRawWhois("130.66.76.1"), "");
}

TEST_F(CliLookupTest, ASecondDocumentIsAnsweredFromTheSharedCacheAndForceAsksAgain)
{
    const std::string cache = m_dir.File("cache/answers.sqlite");
    const std::string lines = "IP%20Whois%20Interval=0\nIP%20Whois%20Simul%20Connections=1\n";
    WriteSettings(lines + "Answer%20Cache=" + cache + "\n");
    // RIPE's 128.79.0.0 - 128.79.63.0 holds every address below.
    CCliResult r = Cli({"lookup", m_dir.File("day1.qdl"), "128.79.1.1", "128.79.2.2", "--tick", "5"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    ASSERT_EQ(m_server.Queries(kRipe).size(), 1u);

    // Another document, another process: nothing is asked.
    const std::string day2 = m_dir.File("day2.qdl");
    r = Cli({"lookup", day2, "--json", "--tick", "5", "128.79.1.1", "128.79.5.5"});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(m_server.Queries(kRipe).size(), 1u);
    EXPECT_EQ(m_server.Queries(kArin).size(), 1u);
    EXPECT_NE(r.m_strErr.find("looked up 0, skipped as fresh 0, failed 0, answered from the cache 2\n"),
              std::string::npos)
        << r.m_strErr;
    std::istringstream json(r.m_strOut);
    int nLines = 0;
    for (std::string line; std::getline(json, line); ++nLines) {
        const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        EXPECT_EQ(j.value("reusedFrom", ""), "cache") << line;
        EXPECT_EQ(j.value("range", ""), "128.79.0.0 - 128.79.63.0") << line;
    }
    EXPECT_EQ(nLines, 2);
    CNetloreDoc back;
    ASSERT_TRUE(back.OnOpenDocument(day2, [](const std::string&) {}));
    EXPECT_EQ(back.GetData().GetRawWhois("128.79.5.5").rfind("128.79.5.5\r\n", 0), 0u);
    EXPECT_EQ(back.GetData().GetCountry("128.79.5.5"), "FR");

    // --force asks the registries again; an empty setting turns the cache off.
    r = Cli({"lookup", m_dir.File("day3.qdl"), "--force", "--tick", "5", "128.79.1.1"});
    EXPECT_EQ(r.m_strOut, "looked up 1, skipped as fresh 0, failed 0\n") << r.m_strErr;
    WriteSettings(lines + "Answer%20Cache=\n");
    r = Cli({"lookup", m_dir.File("day4.qdl"), "--tick", "5", "128.79.6.6"});
    EXPECT_EQ(r.m_strOut, "looked up 1, skipped as fresh 0, failed 0\n") << r.m_strErr;
    EXPECT_EQ(m_server.Queries(kRipe).size(), 3u);

    // A damaged file is moved aside, said once, and the lookup goes on.
    WriteFileBytes(cache, std::string(4096, 'x'));
    std::filesystem::remove(cache + "-wal");
    std::filesystem::remove(cache + "-shm");
    WriteSettings(lines + "Answer%20Cache=" + cache + "\n");
    r = Cli({"lookup", m_dir.File("day5.qdl"), "--tick", "5", "128.79.7.7"});
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, "looked up 1, skipped as fresh 0, failed 0\n") << r.m_strErr;
    EXPECT_EQ(Count(r.m_strErr, "damaged"), 1) << r.m_strErr;
}

TEST_F(CliLookupTest, TwoLookupsAtOnceShareTheCacheWithoutLosingAnEntry)
{
    const std::string cache = m_dir.File("cache/answers.sqlite");
    WriteSettings("IP%20Whois%20Interval=0\nIP%20Whois%20Simul%20Connections=4\nAnswer%20Cache=" + cache + "\n");
    // Two networks, each asked by its own process at the same time.
    m_server.SetDefaultAnswer(kRipe, "");
    for (int n = 0; n < 2; ++n)
        for (int i = 0; i < 10; ++i)
            m_server.SetAnswer(kRipe, "151." + std::to_string(n) + "." + std::to_string(i) + ".1",
                               "inetnum: 151." + std::to_string(n) + "." + std::to_string(i) + ".0 - 151." +
                                   std::to_string(n) + "." + std::to_string(i) +
                                   ".255\nnetname: NET\ndescr: Example Ltd\ncountry: DE\nsource: RIPE\n");
    m_server.SetDefaultAnswer(kArin,
                              ReadFileBytes(TestDataPath("whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt")));
    CCliProcess a, b;
    CTempDir out;
    Strings argsA = {"--settings", SettingsFile(m_dir), "lookup", m_dir.File("a.qdl"), "--tick", "5"};
    Strings argsB = {"--settings", SettingsFile(m_dir), "lookup", m_dir.File("b.qdl"), "--tick", "5"};
    for (int i = 0; i < 10; ++i) {
        argsA.push_back("151.0." + std::to_string(i) + ".1");
        argsB.push_back("151.1." + std::to_string(i) + ".1");
    }
    ASSERT_TRUE(a.Start(argsA, {-1, "/dev/null"}, {-1, out.File("a-out")}, {-1, out.File("a-err")}));
    ASSERT_TRUE(b.Start(argsB, {-1, "/dev/null"}, {-1, out.File("b-out")}, {-1, out.File("b-err")}));
    EXPECT_EQ(a.Wait(60), 0) << ReadFileBytes(out.File("a-err"));
    EXPECT_EQ(b.Wait(60), 0) << ReadFileBytes(out.File("b-err"));

    // Every one of the 20 answers is there for the next document.
    const size_t nBefore = m_server.Queries(kRipe).size();
    Strings again = {"lookup", m_dir.File("c.qdl"), "--tick", "5"};
    for (int i = 0; i < 10; ++i) {
        again.push_back("151.0." + std::to_string(i) + ".7");
        again.push_back("151.1." + std::to_string(i) + ".7");
    }
    const CCliResult c = Cli(again);
    EXPECT_EQ(c.m_strOut, "looked up 0, skipped as fresh 0, failed 0, answered from the cache 20\n") << c.m_strErr;
    EXPECT_EQ(m_server.Queries(kRipe).size(), nBefore);
}

TEST_F(CliLookupTest, JsonLinesSayWhatBecameOfEachLookupAndWhyOneFailed)
{
    const std::string kServers = "ARIN=127.0.0.2\nIdle%20Timeout=1000\n";
    const struct {
        const char* pszCase;
        const char* pszAddress;
        std::string strServers;
        EWhoisServerMode arinMode;
        const char* pszStatus;
        const char* pszDetail;
        const char* pszReason;
    } kCases[] = {
        {"answered", "128.79.1.1", kServers, EWhoisServerMode::normal, "ok", "ok", ""},
        // RIPE's answer is for 128.79.0.0 - 128.79.63.0.
        {"answer for another range", "130.66.76.222", kServers, EWhoisServerMode::normal, "ok", "range-mismatch", ""},
        // Nothing listens on 127.0.0.20.
        {"refused", "128.79.1.1", "ARIN=127.0.0.20\nIdle%20Timeout=1000\n", EWhoisServerMode::normal, "gave-up",
         "failed", "connection refused"},
        {"silent", "128.79.1.1", "ARIN=127.0.0.2\nIdle%20Timeout=100\n", EWhoisServerMode::neverAnswer, "gave-up",
         "failed", "time-out"},
        {"10 MiB", "128.79.1.1", kServers + "Max%20Answer%20Size=65536\n", EWhoisServerMode::tenMegabytes, "gave-up",
         "failed", "cut at Max Answer Size"},
        {"reset", "128.79.1.1", kServers, EWhoisServerMode::resetAtOnce, "gave-up", "failed", "connection reset"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.pszCase);
        m_server.SetMode(kArin, c.arinMode);
        WriteSettings("IP%20Whois%20Interval=0\n", c.strServers);
        const std::string doc = m_dir.File(std::string(c.pszCase) + ".qdl");
        const CCliResult r = Cli({"lookup", doc, "--json", "--tick", "20", c.pszAddress});
        const nlohmann::json j = nlohmann::json::parse(r.m_strOut, nullptr, false);
        ASSERT_TRUE(j.is_object()) << r.m_strOut << r.m_strErr;
        EXPECT_EQ(j.value("status", ""), c.pszStatus);
        EXPECT_EQ(j.value("detail", ""), c.pszDetail);
        EXPECT_EQ(j.value("reason", "?"), c.pszReason);
        if (*c.pszReason) {
            EXPECT_NE(r.m_strErr.find(std::string("after 3 tries (") + c.pszReason + ")"), std::string::npos)
                << r.m_strErr;
        }
    }
}

// Paced per registry: the five registries' addresses all start in the first tick,
// although the interval is a minute, and each chain starts at its registry's own
// server: ARIN is asked for its own address only.
TEST_F(CliLookupTest, PacedPerRegistryEachChainStartsAtItsRegistrysServerAndTheyRunSideBySide)
{
    // 8/8 is ARIN's, 193/8 RIPE's, 1/8 APNIC's, 200/8 LACNIC's and 41/8 AFRINIC's (the shipped bootstrap).
    const struct {
        const char* pszServer;
        const char* pszAddress;
    } kAsked[] = {{kArin, "8.8.8.1"},
                  {kRipe, "193.0.6.1"},
                  {"127.0.0.4", "1.0.16.1"},
                  {"127.0.0.5", "200.1.1.1"},
                  {"127.0.0.9", "41.1.1.1"}};
    for (const auto& c : kAsked)
        m_server.SetAnswer(c.pszServer, c.pszAddress,
                           std::string("inetnum:        ") + c.pszAddress + " - " + c.pszAddress +
                               "\nnetname:        PACED\ncountry:        NL\n");
    WriteSettings("Pace%20Per%20Registry=1\nIP%20Whois%20Interval=60\nIP%20Whois%20Simul%20Connections=5\n");
    Strings args = {"lookup", m_dir.File("paced.qdl"), "--tick", "50"};
    for (const auto& c : kAsked)
        args.push_back(c.pszAddress);
    const CCliResult r = Cli(args, 30);
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, "looked up 5, skipped as fresh 0, failed 0\n");
    for (const auto& c : kAsked)
        EXPECT_EQ(m_server.Queries(c.pszServer), (Strings {std::string(c.pszAddress) + "\r\n"})) << c.pszServer;
}
