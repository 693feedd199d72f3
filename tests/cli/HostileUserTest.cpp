// What a hostile user tries against addrscope-cli: a second writer through another
// spelling of the path, a closed pipe, signals in the middle of an import, endless
// or odd input, settings that cannot be used as written.

#include "LoopbackWhoisServer.h"

#include "core/document/DocumentLock.h"
#include "core/document/NetloreDoc.h"
#include "core/record/OleDateTime.h"

#include "support/CliProcess.h"
#include "support/CliRunner.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <pty.h>
#include <sys/stat.h>

namespace {

using Strings = std::vector<std::string>;

const char* const kArin = "127.0.0.2";
const char* const kRipe = "127.0.0.3";

Strings ReadAddresses(const std::string& path)
{
    CNetloreDoc doc;
    Strings out;
    if (!doc.OnOpenDocument(path, [](const std::string&) {}))
        return out;
    for (int i = 0; i < doc.GetData().GetSize(); ++i)
        out.push_back(doc.GetData().GetIPAddressAt(i));
    return out;
}

int LookedUp(const std::string& path)
{
    CNetloreDoc doc;
    int n = 0;
    if (!doc.OnOpenDocument(path, [](const std::string&) {}))
        return -1;
    for (int i = 0; i < doc.GetData().GetSize(); ++i)
        n += doc.GetData().GetAt(i)->GetWhoisDone().IsValid() ? 1 : 0;
    return n;
}

void WriteAddresses(const std::string& path, const Strings& addresses)
{
    CNetloreDoc doc;
    doc.OnNewDocument();
    for (const std::string& a : addresses)
        doc.AddIP(a);
    ASSERT_TRUE(doc.OnSaveDocument(path));
}

bool Exists(const std::string& path)
{
    struct stat st { };
    return ::lstat(path.c_str(), &st) == 0;
}

bool WaitFor(const std::string& path, int nSeconds = 20)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(nSeconds);
    while (!Exists(path)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class HostileUserTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.AddRegistryHosts();
        ASSERT_TRUE(m_server.Start());
        m_server.SetDefaultAnswer(
            kArin, ReadFileBytes(TestDataPath("whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt")));
        m_server.SetDefaultAnswer(kRipe, ReadFileBytes(TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt")));
        WriteSettings("");
        m_strDoc = m_dir.File("doc.qdl");
    }

    std::string ServerLines() const
    {
        const std::string port = std::to_string(m_server.Port());
        return "ARIN=127.0.0.2\nRIPE=127.0.0.3\nAPNIC=127.0.0.4\nLACNIC=127.0.0.5\nAUNIC=127.0.0.6\n"
               "RWhois%20A=127.0.0.7\nRWhois%20B=127.0.0.8\nAFRINIC=127.0.0.9\n"
               "Whois%20Port=" +
               port + "\nRWhois%20Port=" + port + "\nConnect%20Timeout=2000\nIdle%20Timeout=1000\n";
    }

    void WriteSettings(const std::string& extra)
    {
        WriteFileBytes(m_dir.File("s.ini"),
                       "[Whois%20Servers]\n" + ServerLines() + extra + "\n[Settings]\nIP%20Whois%20Interval=0\n");
    }

    Strings WithSettings(Strings args) const
    {
        args.insert(args.begin(), {"--settings", m_dir.File("s.ini")});
        return args;
    }

    CCliResult Cli(Strings args, const std::string& in = "/dev/null")
    {
        return RunCli(WithSettings(std::move(args)), 60, in);
    }

    int AllConnections() const
    {
        int n = 0;
        for (const char* a : CLoopbackWhoisServer::kRegistryHosts)
            n += m_server.Connections(a);
        return n;
    }

    CLoopbackWhoisServer m_server;
    CTempDir m_dir;
    std::string m_strDoc;
};

} // namespace

// The lock belongs to the file a save replaces, however the path is spelt.
TEST_F(HostileUserTest, ASecondWriterThroughALinkIsRefused)
{
    WriteAddresses(m_strDoc, {"192.0.2.1"});
    ASSERT_EQ(mkdir(m_dir.File("other").c_str(), 0700), 0);
    ASSERT_EQ(symlink(m_strDoc.c_str(), m_dir.File("link.qdl").c_str()), 0);
    ASSERT_EQ(symlink("../link.qdl", m_dir.File("other/chain.qdl").c_str()), 0);
    ASSERT_EQ(symlink(m_dir.Path().c_str(), m_dir.File("alias").c_str()), 0);

    // The first writer: an import that waits for the rest of its standard input.
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    CCliProcess first;
    ASSERT_TRUE(first.Start(WithSettings({"import", m_strDoc, "-"}), {fds[0], ""}, {-1, m_dir.File("out")},
                            {-1, m_dir.File("err")}));
    close(fds[0]);
    const int fdFifo = fds[1];
    ASSERT_TRUE(WaitFor(m_strDoc + ".lock"));

    const std::string inUse = " is in use by process " + std::to_string(first.Pid());
    const struct {
        const char* m_pszCase;
        Strings m_args;
    } cases[] = {
        {"add through a link", {"add", m_dir.File("link.qdl"), "198.51.100.1"}},
        {"lookup through a link", {"lookup", m_dir.File("link.qdl"), "130.66.76.222"}},
        {"import through a chain of links", {"import", m_dir.File("other/chain.qdl"), "-"}},
        {"add through a linked folder", {"add", m_dir.File("alias/doc.qdl"), "198.51.100.2"}},
    };
    for (const auto& c : cases) {
        const CCliResult r = Cli(c.m_args);
        EXPECT_EQ(r.m_nStatus, 3) << c.m_pszCase << ": " << r.m_strErr;
        EXPECT_TRUE(Contains(r.m_strErr, inUse)) << c.m_pszCase << ": " << r.m_strErr;
    }
    EXPECT_FALSE(Exists(m_dir.File("link.qdl.lock")));
    EXPECT_EQ(AllConnections(), 0);

    const std::string text = "203.0.113.9\n";
    ASSERT_EQ(write(fdFifo, text.data(), text.size()), ssize_t(text.size()));
    close(fdFifo);
    EXPECT_EQ(first.Wait(60), 0) << ReadFileBytes(m_dir.File("err"));
    EXPECT_EQ(ReadAddresses(m_strDoc), (Strings {"192.0.2.1", "203.0.113.9"}));
}

// Nobody reading any more: the run stops as it does for SIGTERM, saves and says why.
TEST_F(HostileUserTest, AClosedPipeSavesWhatWasDone)
{
    const struct {
        const char* m_pszCase;
        Strings m_args;
        int m_nClosedStream; // 1 or 2
    } cases[] = {
        {"lookup --json | head -1", {"lookup", m_strDoc, "--json"}, 1},
        {"lookup 2>&1 | head -1", {"lookup", m_strDoc}, 2},
    };
    for (const auto& c : cases) {
        WriteAddresses(m_strDoc, {"130.66.76.1", "130.66.76.2", "130.66.76.3", "130.66.76.4"});
        int fds[2];
        ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
        close(fds[0]); // the reader is gone before the first line
        const CCliProcess::CStream pipeEnd {fds[1], ""};
        const CCliProcess::CStream out {-1, m_dir.File("out")};
        const CCliProcess::CStream err {-1, m_dir.File("err")};
        CCliProcess p;
        ASSERT_TRUE(p.Start(WithSettings(c.m_args), {-1, "/dev/null"}, c.m_nClosedStream == 1 ? pipeEnd : out,
                            c.m_nClosedStream == 2 ? pipeEnd : err));
        close(fds[1]);
        const std::optional<int> status = p.Wait(60);
        ASSERT_TRUE(status.has_value()) << c.m_pszCase;
        EXPECT_EQ(p.TermSignal(), 0) << c.m_pszCase;
        EXPECT_EQ(*status, 1) << c.m_pszCase;
        EXPECT_GE(LookedUp(m_strDoc), 1) << c.m_pszCase;
        EXPECT_FALSE(Exists(m_strDoc + ".lock")) << c.m_pszCase;
        if (c.m_nClosedStream == 1) {
            EXPECT_TRUE(Contains(ReadFileBytes(m_dir.File("err")), "standard output could not be written"))
                << ReadFileBytes(m_dir.File("err"));
        }
    }
}

// SIGTERM and SIGHUP during an import keep what was added so far, as Ctrl+C does.
TEST_F(HostileUserTest, AStopSignalDuringAnImportSavesTheAddressesAddedSoFar)
{
    for (const int nSignal : {SIGTERM, SIGHUP}) {
        std::remove(m_strDoc.c_str());
        const std::string fifo = m_dir.File("log.fifo");
        std::remove(fifo.c_str());
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        CCliProcess p;
        ASSERT_TRUE(p.Start(WithSettings({"import", m_strDoc, fifo}), {-1, "/dev/null"}, {-1, m_dir.File("out")},
                            {-1, m_dir.File("err")}));
        const int fd = open(fifo.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        // More than the reader's buffer, so that part of it has been taken in.
        std::string text;
        for (int i = 0; text.size() < (size_t(1) << 19); ++i)
            text += "10." + std::to_string(i / 65536 % 256) + "." + std::to_string(i / 256 % 256) + "." +
                    std::to_string(i % 256) + " - - [x] \"GET / HTTP/1.0\" 200 1\n";
        ASSERT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size()));
        ASSERT_TRUE(WaitFor(m_strDoc + ".lock"));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        kill(p.Pid(), nSignal);
        const std::optional<int> status = p.Wait(60);
        close(fd);
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(p.TermSignal(), 0) << strsignal(nSignal);
        EXPECT_EQ(*status, 1) << ReadFileBytes(m_dir.File("err"));
        EXPECT_GT(ReadAddresses(m_strDoc).size(), 0u) << strsignal(nSignal);
        EXPECT_TRUE(Contains(ReadFileBytes(m_dir.File("err")), "the addresses added so far are kept"))
            << ReadFileBytes(m_dir.File("err"));
        EXPECT_FALSE(Exists(m_strDoc + ".lock"));
    }
}

// Input that never ends, or a line longer than any list holds, is read in bounded
// memory: the command ends with a message instead of an allocation failure.
TEST_F(HostileUserTest, EndlessInputEndsWithAMessageNamingTheLimit)
{
    WriteAddresses(m_strDoc, {"192.0.2.1"});
    const std::string longLine = m_dir.File("long.txt");
    WriteFileBytes(longLine, "198.51.100.7\n" + std::string((size_t(17) << 20), '9') + "\n198.51.100.8\n");
    const struct {
        const char* m_pszCase;
        Strings m_args;
        std::string m_strIn;
        int m_nStatus;
        std::string m_strMessage;
    } cases[] = {
        {"lookup - < /dev/zero", {"lookup", m_strDoc, "-"}, "/dev/zero", 1, "standard input: is not a regular file"},
        {"add - < /dev/zero", {"add", m_strDoc, "-"}, "/dev/zero", 1, "standard input: is not a regular file"},
        {"extract < /dev/zero", {"extract"}, "/dev/zero", 1, "larger than Max Answer Size (4194304 bytes)"},
        {"extract /dev/zero", {"extract", "/dev/zero"}, "/dev/null", 1, "larger than Max Answer Size (4194304 bytes)"},
        {"add - with a 17 MiB line", {"add", m_strDoc, "-"}, longLine, 1, "1 lines longer than 16 MiB were skipped"},
    };
    for (const auto& c : cases) {
        const CCliResult r = RunCli(WithSettings(c.m_args), 30, c.m_strIn);
        EXPECT_FALSE(r.m_bTimedOut) << c.m_pszCase;
        EXPECT_EQ(r.m_nStatus, c.m_nStatus) << c.m_pszCase << ": " << r.m_strErr;
        EXPECT_TRUE(Contains(r.m_strErr, c.m_strMessage)) << c.m_pszCase << ": " << r.m_strErr;
    }
    // The lines around the long one were added.
    EXPECT_EQ(ReadAddresses(m_strDoc), (Strings {"192.0.2.1", "198.51.100.7", "198.51.100.8"}));
    EXPECT_EQ(AllConnections(), 0);
}

// A document or a bootstrap file that is a FIFO is refused at once, not waited on.
TEST_F(HostileUserTest, AFifoIsNoDocumentNorBootstrapFile)
{
    const std::string fifo = m_dir.File("ff.qdl");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        const char* m_pszCase;
        Strings m_args;
    } documents[] = {
        {"dump", {"dump", fifo}},
        {"add", {"add", fifo, "198.51.100.1"}},
        {"export", {"export", fifo}},
        {"lookup", {"lookup", fifo, "130.66.76.222"}},
        {"repair", {"repair", fifo, m_dir.File("out.qdl")}},
    };
    for (const auto& c : documents) {
        const CCliResult r = RunCli(WithSettings(c.m_args), 20);
        EXPECT_FALSE(r.m_bTimedOut) << c.m_pszCase;
        EXPECT_EQ(r.m_nStatus, 1) << c.m_pszCase << ": " << r.m_strErr;
        EXPECT_TRUE(Contains(r.m_strErr, fifo + ": ")) << c.m_pszCase << ": " << r.m_strErr;
        EXPECT_TRUE(Contains(r.m_strErr, "is not a regular file")) << c.m_pszCase << ": " << r.m_strErr;
        EXPECT_FALSE(Exists(fifo + ".lock")) << c.m_pszCase;
    }

    WriteSettings("\n[RDAP]\nUse%20RDAP=1\nBootstrap%20File=" + fifo + "\n");
    for (const Strings& args : {Strings {"whois", "--rdap", "192.0.2.1"},
                                Strings {"lookup", m_strDoc, "--source", "rdap", "130.66.76.222"}}) {
        const CCliResult r = RunCli(WithSettings(args), 20);
        EXPECT_FALSE(r.m_bTimedOut) << args[0];
        EXPECT_TRUE(Contains(r.m_strErr, fifo + ": is not a regular file")) << args[0] << ": " << r.m_strErr;
    }
}

// A settings file that cannot be used as written stops the command before any
// query: exit 2, naming the file, the setting and the reason.
TEST_F(HostileUserTest, SettingsThatCannotBeUsedStopBeforeAnyQuery)
{
    const std::string port = std::to_string(m_server.Port());
    auto servers = [&](const std::string& arin) {
        return "[Whois%20Servers]\nARIN=" + arin +
               "\nRIPE=127.0.0.3\nAPNIC=127.0.0.4\nLACNIC=127.0.0.5\nAUNIC=127.0.0.6\n"
               "RWhois%20A=127.0.0.7\nRWhois%20B=127.0.0.8\nAFRINIC=127.0.0.9\nWhois%20Port=" +
               port + "\nRWhois%20Port=" + port + "\n";
    };
    const std::string good = servers("127.0.0.2");
    auto rdap = [&](const std::string& key, const std::string& value) {
        return good + "\n[RDAP]\nUse%20RDAP=1\n" + key + "=" + value + "\n";
    };
    ASSERT_EQ(mkdir(m_dir.File("folder").c_str(), 0700), 0);
    WriteFileBytes(m_dir.File("empty.json"), "");
    WriteFileBytes(m_dir.File("bad.json"), "{\"services\": [[[\"130.66");
    WriteFileBytes(m_dir.File("huge.json"), std::string(5 << 20, ' '));
    const std::string ini = m_dir.File("bad.ini");
    const struct {
        const char* m_pszCase;
        std::string m_strSettings;
        std::string m_strReason;
    } cases[] = {
        {"binary garbage",
         std::string("\x7f"
                     "ELF\x02\x01\x01\0\0\0\0",
                     12) +
             "\xff\xfe",
         "is not an INI file"},
        {"text that is no INI file", "%PDF-1.4\n" + good,
         "is not an INI file: line 1 is neither [Section] nor Key=Value"},
        {"an empty server", servers(""), "Whois Servers/ARIN: is empty, not a host"},
        {"a server longer than a host name", servers(std::string(300, 'a')),
         "Whois Servers/ARIN: is longer than a host name can be"},
        {"a server that is no host", servers("127.0.0.2 whois"), "Whois Servers/ARIN: '127.0.0.2 whois' is not a host"},
        {"a key in lowercase", good + "whois%20port=" + port + "\n",
         "Whois Servers/whois port: no such setting; it is spelt Whois Servers/Whois Port"},
        {"a section in lowercase", good + "[rdap]\nUse%20RDAP=1\n",
         "rdap/Use RDAP: no such setting; it is spelt RDAP/Use RDAP"},
        {"a missing bootstrap file", rdap("Bootstrap%20File", m_dir.File("none.json")),
         "RDAP/Bootstrap File: cannot open " + m_dir.File("none.json") + ": No such file or directory"},
        {"an empty bootstrap file", rdap("Bootstrap%20File", m_dir.File("empty.json")),
         "RDAP/Bootstrap File: " + m_dir.File("empty.json") + ": "},
        {"a malformed bootstrap file", rdap("Bootstrap%20File", m_dir.File("bad.json")),
         "RDAP/Bootstrap File: " + m_dir.File("bad.json") + ": "},
        {"a huge bootstrap file", rdap("Bootstrap%20File", m_dir.File("huge.json")),
         "RDAP/Bootstrap File: " + m_dir.File("huge.json") + ": is not a bootstrap file (larger than"},
        {"a folder as bootstrap file", rdap("Bootstrap%20File", m_dir.File("folder")),
         "RDAP/Bootstrap File: " + m_dir.File("folder") + ": is a directory"},
        {"a missing CA file", rdap("CA%20File", m_dir.File("none.pem")),
         "RDAP/CA File: " + m_dir.File("none.pem") + ": No such file or directory"},
    };
    for (const auto& c : cases) {
        WriteFileBytes(ini, c.m_strSettings);
        for (const Strings& args :
             {Strings {"whois", "130.66.76.222"}, Strings {"lookup", m_strDoc, "--source", "rdap", "130.66.76.222"}}) {
            Strings all {"--settings", ini, "-v"};
            all.insert(all.end(), args.begin(), args.end());
            const CCliResult r = RunCli(all, 30);
            EXPECT_EQ(r.m_nStatus, 2) << c.m_pszCase << ", " << args[0] << ": " << r.m_strErr;
            EXPECT_TRUE(Contains(r.m_strErr, "settings file '" + ini + "': " + c.m_strReason))
                << c.m_pszCase << ": " << r.m_strErr;
            EXPECT_FALSE(Contains(r.m_strErr, "asked ")) << c.m_pszCase << ": " << r.m_strErr;
            EXPECT_EQ(r.m_strOut, "") << c.m_pszCase;
        }
    }
    EXPECT_EQ(AllConnections(), 0);
    EXPECT_FALSE(Exists(m_strDoc));

    if (geteuid() != 0) {
        WriteFileBytes(ini, good);
        ASSERT_EQ(chmod(ini.c_str(), 0), 0);
        const CCliResult r = RunCli({"--settings", ini, "whois", "130.66.76.222"}, 30);
        EXPECT_EQ(r.m_nStatus, 2);
        EXPECT_TRUE(Contains(r.m_strErr, "cannot be read: Permission denied")) << r.m_strErr;
    }
}

// Every value outside its range is reported once, in "Whois Servers" as elsewhere.
TEST_F(HostileUserTest, OutOfRangeServerValuesAreReportedOnce)
{
    const std::string port = std::to_string(m_server.Port());
    WriteFileBytes(m_dir.File("s.ini"),
                   "[Whois%20Servers]\nARIN=127.0.0.2\nWhois%20Port=70000\nRWhois%20Port=-1\nIdle%20Timeout=0\n"
                   "Max%20Answer%20Size=1\n[Settings]\nCheckpoint%20Seconds=0\n");
    WriteFileBytes(m_dir.File("whois.txt"), "OrgName: Example\nCountry: NL\n");
    const CCliResult r = Cli({"extract", m_dir.File("whois.txt")});
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    for (const std::string& warning : {
             std::string("settings: Whois Servers/Whois Port: 70000 is outside 1..65535; 43 is used"),
             std::string("settings: Whois Servers/RWhois Port: -1 is outside 1..65535; 4321 is used"),
             std::string("settings: Whois Servers/Idle Timeout: 0 is outside 50..600000; 30000 is used"),
             std::string("settings: Whois Servers/Max Answer Size: 1 is outside 65536..67108864; 4194304 is used"),
         }) {
        ASSERT_TRUE(Contains(r.m_strErr, warning)) << r.m_strErr;
        EXPECT_EQ(r.m_strErr.find(warning), r.m_strErr.rfind(warning)) << "reported once";
    }
}

// An answer whose range does not hold the address asked answers nobody else.
TEST_F(HostileUserTest, ARangeThatMissesTheAskedAddressIsNeverReused)
{
    WriteFileBytes(m_dir.File("s.ini"),
                   "[Whois%20Servers]\n" + ServerLines() +
                       "\n[Settings]\nIP%20Whois%20Interval=0\nIP%20Whois%20Simul%20Connections=1\n");
    m_server.SetDefaultAnswer(kArin, "NetRange:       12.0.0.0 - 12.255.255.255\r\nCIDR:           12.0.0.0/8\r\n"
                                     "NetName:        ATT\r\nOrgName:        AT&T Services\r\nCountry:        US\r\n");
    const struct {
        const char* m_pszCase;
        Strings m_first; // looked up in a run of their own first ("" when none)
        Strings m_then;
        size_t m_nQueries;
    } cases[] = {
        {"waiting in the same run", {}, {"11.0.0.1", "12.0.0.6"}, 2},
        {"queued after the answer is stored", {"11.0.0.1"}, {"12.0.0.7"}, 2},
    };
    for (const auto& c : cases) {
        std::remove(m_strDoc.c_str());
        const size_t nBefore = m_server.Queries(kArin).size();
        if (!c.m_first.empty()) {
            Strings args {"lookup", m_strDoc};
            args.insert(args.end(), c.m_first.begin(), c.m_first.end());
            ASSERT_EQ(Cli(args).m_nStatus, 0) << c.m_pszCase;
        }
        Strings args {"lookup", m_strDoc, "--json", "--tick", "5"};
        args.insert(args.end(), c.m_then.begin(), c.m_then.end());
        const CCliResult r = Cli(args);
        EXPECT_EQ(r.m_nStatus, 0) << c.m_pszCase << ": " << r.m_strErr;
        EXPECT_FALSE(Contains(r.m_strOut, "reusedFrom")) << c.m_pszCase << ": " << r.m_strOut;
        EXPECT_EQ(m_server.Queries(kArin).size() - nBefore, c.m_nQueries) << c.m_pszCase;
    }
}

// On a terminal, C1 controls are shown as \xNN like C0 ones: CSI (0x9b) as a raw
// byte or as U+009B, in every command that shows text from outside.
TEST_F(HostileUserTest, C1ControlsAreShownOnATerminal)
{
    const std::string evil = "OrgName: Evil\xc2\x9b"
                             "2J Org\x9b"
                             "31m caf\xc3\xa9 \xe9t\xe9\r\n";
    {
        CNetloreDoc doc;
        doc.OnNewDocument();
        doc.AddIP("192.0.2.1");
        CIPAddressData* r = doc.GetData().FindByIP("192.0.2.1");
        r->SetRawWhois("192.0.2.1\r\n\r\n" + evil);
        r->SetOwner("Evil\xc2\x9b"
                    "2J\x9b"
                    "1m");
        r->SetWhoisDone(COleDateTime::FromComponents(2024, 1, 2, 3, 4, 5));
        ASSERT_TRUE(doc.OnSaveDocument(m_strDoc));
    }
    m_server.SetDefaultAnswer(kArin, evil);
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        GTEST_SKIP() << "no pseudo-terminal available";
    const std::string tty = ttyname(slave);
    std::string seen;
    std::thread reader([&] {
        char buf[4096];
        ssize_t n;
        while ((n = read(master, buf, sizeof buf)) > 0)
            seen.append(buf, size_t(n));
    });
    const Strings commands[] = {{"dump", m_strDoc},
                                {"dump", "--json", m_strDoc},
                                {"export", m_strDoc},
                                {"whois", "-h", kArin, "-p", std::to_string(m_server.Port()), "192.0.2.1"}};
    for (const Strings& args : commands) {
        const CCliResult r = RunCli(WithSettings(args), 30, "/dev/null", tty);
        EXPECT_EQ(r.m_nStatus, 0) << args[0] << ": " << r.m_strErr;
    }
    close(slave);
    reader.join();
    close(master);
    EXPECT_EQ(seen.find('\x9b'), std::string::npos) << seen;
    EXPECT_TRUE(Contains(seen, "Evil\\xc2\\x9b2J Org\\x9b31m caf\xc3\xa9 \xe9t\xe9")) << seen;
}

// The raw export's envelope cannot be forged by an answer: a line that begins with
// a marker gets one leading blank, everything else stays as stored.
TEST_F(HostileUserTest, AnAnswerCannotForgeARecordInTheRawExport)
{
    const std::string forged =
        "192.0.2.1\r\n\r\nOrgName: Honest\r\n</RECORD>\r\n\r\n<RECORD>\r\nIP Address: 6.6.6.6\r\n"
        "IP Whois Done At: -\r\n\r\nOrgName: Forged\n</RECORD>\rnote <RECORD> inside a line";
    {
        CNetloreDoc doc;
        doc.OnNewDocument();
        doc.AddIP("192.0.2.1");
        CIPAddressData* r = doc.GetData().FindByIP("192.0.2.1");
        r->SetRawWhois(forged);
        r->SetWhoisDone(COleDateTime::FromComponents(2024, 1, 2, 3, 4, 5));
        ASSERT_TRUE(doc.OnSaveDocument(m_strDoc));
    }
    const CCliResult r = Cli({"export", m_strDoc});
    ASSERT_EQ(r.m_nStatus, 0) << r.m_strErr;
    const std::string expected =
        "192.0.2.1\r\n\r\nOrgName: Honest\r\n </RECORD>\r\n\r\n <RECORD>\r\nIP Address: 6.6.6.6\r\n"
        "IP Whois Done At: -\r\n\r\nOrgName: Forged\n </RECORD>\rnote <RECORD> inside a line";
    EXPECT_TRUE(Contains(r.m_strOut, "\r\n\r\n" + expected + "\r\n</RECORD>\r\n\r\n")) << r.m_strOut;
    size_t nOpen = 0;
    for (size_t at = r.m_strOut.find("<RECORD>"); at != std::string::npos; at = r.m_strOut.find("<RECORD>", at + 1))
        nOpen += at == 0 || r.m_strOut[at - 1] == '\n' || r.m_strOut[at - 1] == '\r' ? 1 : 0;
    EXPECT_EQ(nOpen, 1u) << r.m_strOut;
}

// A zero byte costs only the line that holds it; the import counts the damaged
// lines and fails, and every valid line around them is imported.
TEST_F(HostileUserTest, ZeroBytesInALogDropOnlyTheirOwnLines)
{
    std::string log;
    Strings expected;
    for (int i = 1; i <= 24; ++i) {
        const std::string address = "198.51.100." + std::to_string(i);
        if (i == 5) {
            log += address + " - - [x] \"GET /a" + '\0' + "b HTTP/1.0\" 404 1\n"; // a NUL inside the line
        } else if (i == 13) {
            log += std::string(3000, '\0') + address + " - - [x] \"GET / HTTP/1.0\" 404 1\n"; // NULs before it
        } else {
            log += address + " - - [x] \"GET /" + std::string(100, 'p') + " HTTP/1.0\" 404 1\n";
            expected.push_back(address);
        }
    }
    WriteFileBytes(m_dir.File("nul.log"), log);
    const CCliResult r = Cli({"import", m_strDoc, m_dir.File("nul.log"), "--not-found"});
    EXPECT_EQ(r.m_nStatus, 1) << r.m_strErr;
    EXPECT_TRUE(Contains(r.m_strErr, "holds NUL bytes; 2 damaged lines")) << r.m_strErr;
    EXPECT_EQ(ReadAddresses(m_strDoc), expected);
    EXPECT_EQ(r.m_strOut, "22\n");
}

// Asking to export addresses the document does not hold is a failure that says so.
TEST_F(HostileUserTest, ExportingAddressesNotInTheDocumentFails)
{
    WriteAddresses(m_strDoc, {"192.0.2.1", "192.0.2.2"});
    const CCliResult r = Cli({"export", m_strDoc, "99.99.99.99"});
    EXPECT_EQ(r.m_nStatus, 1) << r.m_strErr;
    EXPECT_TRUE(Contains(r.m_strErr, "99.99.99.99 is not in " + m_strDoc)) << r.m_strErr;
    EXPECT_TRUE(Contains(r.m_strErr, "the asked addresses are not in " + m_strDoc)) << r.m_strErr;
    EXPECT_EQ(r.m_strOut, "");
}

// Every message names the file and the real reason.
TEST_F(HostileUserTest, MessagesNameTheFileAndTheRealReason)
{
    WriteAddresses(m_strDoc, {"192.0.2.1", "192.0.2.2"});
    const std::string damaged = m_dir.File("damaged.qdl");
    WriteFileBytes(damaged, ReadFileBytes(m_strDoc).substr(0, 40));
    const std::string gz = m_dir.File("cut.gz");
    WriteFileBytes(gz, std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\xab\x00\x00", 13));
    const std::string folder = m_dir.Path().string();
    const struct {
        const char* m_pszCase;
        Strings m_args;
        std::string m_strMessage;
        std::string m_strNot;
    } cases[] = {
        {"extract of a folder",
         {"extract", folder},
         "extract: cannot read " + folder + ": is a directory",
         "Input/output"},
        {"import of a folder",
         {"import", m_dir.File("new.qdl"), folder},
         "import: cannot open " + folder + ": is a directory",
         "ioctl"},
        {"a cut gzip file", {"import", m_dir.File("new.qdl"), gz}, "import: " + gz + ": reading stopped", "<fd:"},
        {"a damaged document", {"dump", damaged}, "addrscope-cli dump: An attempt was made to access " + damaged, ""},
    };
    for (const auto& c : cases) {
        const CCliResult r = Cli(c.m_args);
        EXPECT_EQ(r.m_nStatus, 1) << c.m_pszCase << ": " << r.m_strErr;
        EXPECT_TRUE(Contains(r.m_strErr, c.m_strMessage)) << c.m_pszCase << ": " << r.m_strErr;
        if (!c.m_strNot.empty()) {
            EXPECT_FALSE(Contains(r.m_strErr, c.m_strNot)) << c.m_pszCase << ": " << r.m_strErr;
        }
    }
    WriteSettings("\n[RDAP]\nUse%20RDAP=1\nBootstrap%20File=" + folder + "\n");
    const CCliResult r = Cli({"whois", "--rdap", "192.0.2.1"});
    EXPECT_TRUE(Contains(r.m_strErr, "Bootstrap File: " + folder + ": is a directory")) << r.m_strErr;
    EXPECT_FALSE(Contains(r.m_strErr, "too large")) << r.m_strErr;
}
