// The command line as a Unix tool: one writer per document, honest exit statuses,
// checked standard output, help without side effects, safe terminal output.

#include "LoopbackWhoisServer.h"

#include "core/document/DocumentLock.h"
#include "core/document/NetloreDoc.h"
#include "core/record/OleDateTime.h"

#include "support/CliRunner.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <map>
#include <pty.h>
#include <sstream>
#include <sys/stat.h>

namespace {

using Strings = std::vector<std::string>;

const char* const kArin = "127.0.0.2";
const char* const kRipe = "127.0.0.3";
const char* const kEvilOwner = "Evil\x1b]0;owned\x07 Org\x7f";

// A document with two records; the first holds a whois text with terminal controls.
void WriteDocument(const std::string& path)
{
    CNetloreDoc doc;
    doc.OnNewDocument();
    doc.AddIP("192.0.2.1");
    doc.AddIP("192.0.2.2");
    CIPAddressData* r = doc.GetData().FindByIP("192.0.2.1");
    r->SetRawWhois("192.0.2.1\r\n\r\nOrgName: Evil\x1b[2J Org\r\n");
    r->SetOwner(kEvilOwner);
    r->SetWhoisDone(COleDateTime::FromComponents(2024, 1, 2, 3, 4, 5));
    ASSERT_TRUE(doc.OnSaveDocument(path));
}

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

class CliUnixToolTest : public ::testing::Test
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

    void WriteSettings(const std::string& extraServerLines)
    {
        const std::string port = std::to_string(m_server.Port());
        WriteFileBytes(m_dir.File("s.ini"),
                       "[Whois%20Servers]\n"
                       "ARIN=127.0.0.2\nRIPE=127.0.0.3\nAPNIC=127.0.0.4\nLACNIC=127.0.0.5\nAUNIC=127.0.0.6\n"
                       "RWhois%20A=127.0.0.7\nRWhois%20B=127.0.0.8\nAFRINIC=127.0.0.9\n"
                       "Whois%20Port=" +
                           port + "\nRWhois%20Port=" + port + "\nConnect%20Timeout=2000\nIdle%20Timeout=1000\n" +
                           extraServerLines + "\n[Settings]\nIP%20Whois%20Interval=0\n");
    }

    CCliResult Cli(Strings args, int nTimeout = 60, const std::string& in = "/dev/null", const std::string& out = "")
    {
        args.insert(args.begin(), {"--settings", m_dir.File("s.ini")});
        return RunCli(args, nTimeout, in, out);
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

// The commands as --help lists them.
Strings CommandNames()
{
    const CCliResult r = RunCli({"--help"});
    Strings names;
    std::istringstream in(r.m_strOut.substr(r.m_strOut.find("Commands:")));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line) && !line.empty())
        if (line.size() > 2 && line[0] == ' ' && line[1] == ' ' && line[2] != ' ') {
            const std::string name = line.substr(2, line.find(' ', 2) - 2);
            if (name.find(':') == std::string::npos && name[0] != '-')
                names.push_back(name);
        }
    return names;
}

} // namespace

TEST_F(CliUnixToolTest, ASecondWriterIsRefusedWhileReadersGoOn)
{
    WriteDocument(m_strDoc);
    {
        // This test process plays the first writer.
        CDocumentLock lock;
        ASSERT_EQ(lock.Acquire(m_strDoc), CDocumentLock::acquired);
        const std::string inUse = m_strDoc + " is in use by process " + std::to_string(getpid());
        for (const Strings& args : {Strings {"add", m_strDoc, "198.51.100.1"},
                                    Strings {"lookup", m_strDoc, "192.0.2.1"}, Strings {"import", m_strDoc, "-"}}) {
            const CCliResult r = Cli(args);
            EXPECT_EQ(r.m_nStatus, 3) << args[0];
            EXPECT_NE(r.m_strErr.find(inUse), std::string::npos) << r.m_strErr;
            EXPECT_EQ(r.m_strOut, "") << args[0];
        }
        EXPECT_EQ(AllConnections(), 0);
        EXPECT_EQ(ReadAddresses(m_strDoc), (Strings {"192.0.2.1", "192.0.2.2"}));
        // Readers take no lock.
        EXPECT_EQ(Cli({"dump", m_strDoc}).m_nStatus, 0);
        EXPECT_EQ(Cli({"export", m_strDoc}).m_nStatus, 0);
    }

    // A lock file left by a process that no longer runs is taken over, and removed at the end.
    WriteFileBytes(CDocumentLock::LockPathFor(m_strDoc), "999999999\n");
    const CCliResult r = Cli({"add", m_strDoc, "198.51.100.1"});
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(ReadAddresses(m_strDoc), (Strings {"192.0.2.1", "192.0.2.2", "198.51.100.1"}));
    EXPECT_NE(access(CDocumentLock::LockPathFor(m_strDoc).c_str(), F_OK), 0);
}

TEST_F(CliUnixToolTest, TwoWritersAtOnceLoseNothing)
{
    // A lookup held up by a silent registry, and an add beside it.
    m_server.SetMode(kArin, EWhoisServerMode::neverAnswer, 1);
    WriteDocument(m_strDoc);
    CCliResult lookup;
    std::thread first([&] { lookup = Cli({"lookup", m_strDoc, "130.66.76.222"}, 60); });
    while (m_server.Connections(kArin) == 0 && access(CDocumentLock::LockPathFor(m_strDoc).c_str(), F_OK) != 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const CCliResult add = Cli({"add", m_strDoc, "198.51.100.1"});
    first.join();
    EXPECT_EQ(add.m_nStatus, 3) << add.m_strErr;
    EXPECT_EQ(lookup.m_nStatus, 0) << lookup.m_strErr;
    EXPECT_EQ(ReadAddresses(m_strDoc), (Strings {"192.0.2.1", "192.0.2.2", "130.66.76.222"}));
}

TEST_F(CliUnixToolTest, ExportNeverWritesOverADocument)
{
    WriteDocument(m_strDoc);
    const std::string before = ReadFileBytes(m_strDoc);
    const std::string other = m_dir.File("other.bin");
    WriteDocument(other);
    ASSERT_EQ(symlink(m_strDoc.c_str(), m_dir.File("link.txt").c_str()), 0);
    ASSERT_EQ(link(m_strDoc.c_str(), m_dir.File("hard.txt").c_str()), 0);
    for (const std::string& out :
         {m_strDoc, m_dir.File("./doc.qdl"), m_dir.File("link.txt"), m_dir.File("hard.txt"), other}) {
        const CCliResult r = Cli({"export", m_strDoc, "-o", out});
        EXPECT_EQ(r.m_nStatus, 2) << out;
        EXPECT_NE(r.m_strErr.find("will not write the report over the document"), std::string::npos) << r.m_strErr;
    }
    EXPECT_EQ(ReadFileBytes(m_strDoc), before);
    EXPECT_EQ(ReadAddresses(other), (Strings {"192.0.2.1", "192.0.2.2"}));

    // Not an address: an error, not an empty success.
    const CCliResult bad = Cli({"export", m_strDoc, "notanip"});
    EXPECT_EQ(bad.m_nStatus, 2);
    EXPECT_EQ(bad.m_strOut, "");
}

TEST_F(CliUnixToolTest, AFullStandardOutputIsAFailure)
{
    WriteDocument(m_strDoc);
    WriteFileBytes(m_dir.File("whois.txt"), "OrgName: Example\nCountry: NL\n");
    const std::vector<Strings> commands {
        {"dump", m_strDoc},         {"dump", m_strDoc, "--json"},
        {"export", m_strDoc},       {"extract", m_dir.File("whois.txt")},
        {"whois", "130.66.76.222"}, {"lookup", m_dir.File("new.qdl"), "130.66.76.222"},
        {"dump", "--help"},
    };
    for (const Strings& args : commands) {
        const CCliResult r = Cli(args, 60, "/dev/null", "/dev/full");
        EXPECT_EQ(r.m_nStatus, 1) << args[0] << ": " << r.m_strErr;
        EXPECT_NE(r.m_strErr.find("cannot write to standard output"), std::string::npos) << r.m_strErr;
    }
    // The lookup's results were still saved: only the report line was lost.
    EXPECT_EQ(ReadAddresses(m_dir.File("new.qdl")), (Strings {"130.66.76.222"}));
}

TEST_F(CliUnixToolTest, CutAnswersCountAsNoAnswer)
{
    WriteSettings("Answer%20Timeout=600\n");
    struct Case {
        EWhoisServerMode mode;
        const char* why;
    };
    for (const Case& c : {Case {EWhoisServerMode::sendForever, "cut at the size limit"},
                          Case {EWhoisServerMode::trickle, "cut by a time-out"}}) {
        SCOPED_TRACE(c.why);
        // At the first server: the lookup fails; what arrived is printed, with the reason.
        m_server.SetMode(kArin, c.mode);
        const CCliResult whois = Cli({"whois", "130.66.76.222"}, 60);
        EXPECT_EQ(whois.m_nStatus, 1);
        EXPECT_FALSE(whois.m_strOut.empty());
        EXPECT_EQ(whois.m_strOut.back(), '\n');
        EXPECT_NE(whois.m_strErr.find(c.why), std::string::npos) << whois.m_strErr;

        // A failed lookup stores nothing and leaves the record as it was.
        const std::string doc = m_dir.File(std::string("cut-") + std::to_string(int(c.mode)) + ".qdl");
        const CCliResult lookup = Cli({"lookup", doc, "130.66.76.222"}, 120);
        EXPECT_EQ(lookup.m_nStatus, 1) << lookup.m_strErr;
        CNetloreDoc d;
        ASSERT_TRUE(d.OnOpenDocument(doc, [](const std::string&) {}));
        ASSERT_NE(d.GetData().FindByIP("130.66.76.222"), nullptr);
        EXPECT_EQ(d.GetData().FindByIP("130.66.76.222")->GetRawWhois(), "");
        m_server.SetMode(kArin, EWhoisServerMode::normal);

        // After a referral: the earlier answer is kept as a fallback, and whois says so.
        m_server.SetMode(kRipe, c.mode);
        const CCliResult fallback = Cli({"whois", "130.66.76.222"}, 60);
        EXPECT_EQ(fallback.m_nStatus, 1);
        EXPECT_NE(fallback.m_strOut.find("ReferralServer"), std::string::npos) << fallback.m_strOut.substr(0, 300);
        EXPECT_NE(fallback.m_strErr.find("previous server's answer"), std::string::npos) << fallback.m_strErr;
        m_server.SetMode(kRipe, EWhoisServerMode::normal);
    }
}

TEST_F(CliUnixToolTest, HelpForEveryCommandDoesNothingElse)
{
    const Strings names = CommandNames();
    ASSERT_GE(names.size(), 10u);
    WriteDocument(m_strDoc);
    const std::string before = ReadFileBytes(m_strDoc);
    for (const std::string& name : names) {
        const CCliResult r = Cli({name, m_strDoc, "--help"});
        EXPECT_EQ(r.m_nStatus, 0) << name;
        EXPECT_EQ(r.m_strOut.rfind("usage: addrscope-cli " + name + " ", 0), 0u) << r.m_strOut;
        EXPECT_NE(r.m_strOut.find("3  the document is in use"), std::string::npos) << name;
        EXPECT_EQ(r.m_strErr, "") << name;
    }
    for (const Strings& args : {Strings {"whois", "--help"}, Strings {"ping", "--help"}, Strings {"extract", "--help"}})
        EXPECT_EQ(Cli(args).m_nStatus, 0);
    EXPECT_EQ(AllConnections(), 0);
    EXPECT_EQ(ReadFileBytes(m_strDoc), before);
    EXPECT_NE(access(CDocumentLock::LockPathFor(m_strDoc).c_str(), F_OK), 0);

    const CCliResult version = RunCli({"--version"});
    EXPECT_EQ(version.m_nStatus, 0);
    EXPECT_EQ(version.m_strOut.rfind("addrscope-cli ", 0), 0u);
}

TEST_F(CliUnixToolTest, SettingsMustExistAndBadValuesAreReported)
{
    const CCliResult missing = RunCli({"--settings", m_dir.File("typo.ini"), "whois", "130.66.76.222"});
    EXPECT_EQ(missing.m_nStatus, 2);
    EXPECT_NE(missing.m_strErr.find(m_dir.File("typo.ini")), std::string::npos) << missing.m_strErr;
    EXPECT_EQ(missing.m_strOut, "");

    WriteSettings("Idle%20Timeout=abc\n");
    const CCliResult bad = Cli({"whois", "130.66.76.222"});
    EXPECT_EQ(bad.m_nStatus, 0) << bad.m_strErr;
    const std::string warning = "Idle Timeout=abc is not a number; using the default";
    ASSERT_NE(bad.m_strErr.find(warning), std::string::npos) << bad.m_strErr;
    EXPECT_EQ(bad.m_strErr.find(warning), bad.m_strErr.rfind(warning)) << "reported once";

    // Values outside their range, or no number, in the main section: each reported
    // once with the default used, the window's log of messages says the same.
    WriteSettings("");
    WriteFileBytes(m_dir.File("s.ini"),
                   ReadFileBytes(m_dir.File("s.ini")) + "Rescan%20Gap=soon\nCheckpoint%20Seconds=0\n");
    WriteDocument(m_strDoc);
    const CCliResult lookup = Cli({"lookup", m_strDoc});
    for (const std::string& strWarning :
         {std::string("settings: Settings/Rescan Gap: 'soon' is not a number; 1440 is used"),
          std::string("settings: Settings/Checkpoint Seconds: 0 is outside 1..2147483647; 30 is used")}) {
        ASSERT_NE(lookup.m_strErr.find(strWarning), std::string::npos) << lookup.m_strErr;
        EXPECT_EQ(lookup.m_strErr.find(strWarning), lookup.m_strErr.rfind(strWarning)) << "reported once";
    }
}

TEST_F(CliUnixToolTest, TargetsThatAreNoAddressNorNameSendNothing)
{
    for (const Strings& args : {Strings {"whois", "130.66.76.222", "not a name"}, Strings {"whois", ""},
                                Strings {"whois", "999.1.2.3"}, Strings {"whois", "-x"}, Strings {"host", "a..b"},
                                Strings {"ping", "1.2.3"}, Strings {"traceroute", "a_b.example"}}) {
        const CCliResult r = Cli(args);
        EXPECT_EQ(r.m_nStatus, 2) << args[0] << " " << args.back();
    }
    EXPECT_EQ(AllConnections(), 0);

    // Several targets, one after another; and one server asked directly, without referrals.
    const CCliResult two = Cli({"whois", "130.66.76.222", "130.66.76.223"});
    EXPECT_EQ(two.m_nStatus, 0) << two.m_strErr;
    EXPECT_NE(two.m_strOut.find("130.66.76.223\r\n"), std::string::npos);
    m_server.SetAnswer(kArin, "n + 130.66.76.222", "direct answer\n");
    const int nRipeBefore = m_server.Connections(kRipe);
    const CCliResult direct =
        Cli({"whois", "-h", kArin, "-p", std::to_string(m_server.Port()), "n", "+", "130.66.76.222"});
    EXPECT_EQ(direct.m_nStatus, 0) << direct.m_strErr;
    EXPECT_EQ(direct.m_strOut, "direct answer\n");
    EXPECT_EQ(m_server.Connections(kRipe), nRipeBefore);
}

TEST_F(CliUnixToolTest, ControlCharactersAreShownOnATerminalOnly)
{
    WriteDocument(m_strDoc);
    // Into a file: the bytes as stored.
    const CCliResult file = Cli({"dump", m_strDoc});
    EXPECT_NE(file.m_strOut.find(kEvilOwner), std::string::npos);

    // On a terminal: every control but TAB and LF is shown as \xNN.
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
    const CCliResult term = Cli({"dump", m_strDoc}, 60, "/dev/null", tty);
    const CCliResult whois = Cli({"export", m_strDoc}, 60, "/dev/null", tty);
    close(slave);
    reader.join();
    close(master);
    EXPECT_EQ(term.m_nStatus, 0) << term.m_strErr;
    EXPECT_EQ(whois.m_nStatus, 0) << whois.m_strErr;
    EXPECT_EQ(seen.find('\x1b'), std::string::npos);
    EXPECT_EQ(seen.find('\x07'), std::string::npos);
    EXPECT_NE(seen.find("Evil\\x1b]0;owned\\x07 Org\\x7f"), std::string::npos) << seen;
    EXPECT_NE(seen.find("OrgName: Evil\\x1b[2J Org"), std::string::npos) << seen;
}

TEST_F(CliUnixToolTest, DashReadsStandardInput)
{
    WriteFileBytes(m_dir.File("list.txt"), "192.0.2.7\n192.0.2.8\n\n");
    const CCliResult add = Cli({"add", m_strDoc, "-"}, 60, m_dir.File("list.txt"));
    EXPECT_EQ(add.m_nStatus, 0) << add.m_strErr;
    EXPECT_EQ(add.m_strOut, "2\n");
    const CCliResult several = Cli({"-q", "add", m_strDoc, "192.0.2.9", "192.0.2.10"});
    EXPECT_EQ(several.m_nStatus, 0) << several.m_strErr;
    EXPECT_EQ(several.m_strOut, "");

    WriteFileBytes(m_dir.File("log.txt"), "1.2.3.4 - - \"GET /x\" 404 0\n");
    const CCliResult import = Cli({"import", m_strDoc, "-"}, 60, m_dir.File("log.txt"));
    EXPECT_EQ(import.m_nStatus, 0) << import.m_strErr;
    EXPECT_EQ(import.m_strOut, "1\n");
    EXPECT_EQ(ReadAddresses(m_strDoc), (Strings {"192.0.2.7", "192.0.2.8", "192.0.2.9", "192.0.2.10", "1.2.3.4"}));
}

TEST_F(CliUnixToolTest, RepairSavesWhatCanBeRead)
{
    WriteDocument(m_strDoc);
    std::string bytes = ReadFileBytes(m_strDoc);
    // The second record loses its end.
    bytes.resize(bytes.size() - 20);
    WriteFileBytes(m_dir.File("damaged.qdl"), bytes);
    const std::string out = m_dir.File("repaired.qdl");
    const CCliResult r = Cli({"repair", m_dir.File("damaged.qdl"), out});
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_NE(r.m_strOut.find("could not be read"), std::string::npos) << r.m_strOut;
    const Strings addresses = ReadAddresses(out);
    ASSERT_FALSE(addresses.empty());
    EXPECT_EQ(addresses[0], "192.0.2.1");
    int nErrors = 0;
    CNetloreDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(
        out, [](const std::string&) {}, &nErrors));
    EXPECT_EQ(nErrors, 0);

    // Never over an existing file.
    EXPECT_EQ(Cli({"repair", m_dir.File("damaged.qdl"), m_strDoc}).m_nStatus, 2);
}

TEST(CliGeneratedDocs, ManPagesAndCompletionsAgreeWithHelp)
{
    CTempDir dir;
    std::map<std::string, std::string> generated;
    for (const char* kind : {"man", "man-gui", "bash", "zsh"}) {
        const std::string path = dir.File(kind);
        ASSERT_EQ(RunCli({"--generate", kind, path}).m_nStatus, 0) << kind;
        generated[kind] = ReadFileBytes(path);
    }
    const auto roff = [](std::string s) {
        std::string out;
        for (char c : s)
            out += c == '-' ? std::string("\\-") : std::string(1, c);
        return out;
    };
    const Strings names = CommandNames();
    ASSERT_GE(names.size(), 10u);
    for (const std::string& name : names) {
        const std::string help = RunCli({name, "--help"}).m_strOut;
        const std::string usage = help.substr(0, help.find('\n'));
        EXPECT_NE(generated["man"].find(roff(usage.substr(std::string("usage: ").size()))), std::string::npos) << usage;
        EXPECT_NE(generated["man-gui"].find(roff("addrscope-cli " + name)), std::string::npos) << name;
        // Every option the help names is completed by both shells, in that command's list.
        std::istringstream in(help);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("  -", 0) != 0 || line.rfind("  - ", 0) == 0)
                continue;
            const std::string option = line.substr(2, line.find_first_of(" ,", 2) - 2);
            const size_t bash = generated["bash"].find("        " + name + ") local opts=\"");
            const size_t zsh = generated["zsh"].find("  " + name + ") opts=(");
            ASSERT_NE(bash, std::string::npos) << name;
            ASSERT_NE(zsh, std::string::npos) << name;
            const std::string bashLine = generated["bash"].substr(bash, generated["bash"].find('\n', bash) - bash);
            const std::string zshLine = generated["zsh"].substr(zsh, generated["zsh"].find('\n', zsh) - zsh);
            const bool bCommon = option == "-q" || option == "--settings" || option == "--help" || option == "-v";
            if (!bCommon) {
                EXPECT_NE(bashLine.find(option), std::string::npos) << name << " " << option;
                EXPECT_NE(zshLine.find(option), std::string::npos) << name << " " << option;
            }
            EXPECT_NE(generated["man"].find(roff(option)), std::string::npos) << option;
        }
    }
    FILE* sh = popen(("bash -n " + dir.File("bash") + " 2>&1").c_str(), "r");
    ASSERT_NE(sh, nullptr);
    char buf[256] = {};
    const size_t n = fread(buf, 1, sizeof buf - 1, sh);
    EXPECT_EQ(pclose(sh), 0) << std::string(buf, n);
}

namespace {

// addrscope-cli started in the background, its output in files.
class CBackgroundCli
{
public:
    CBackgroundCli(const Strings& args, const CTempDir& dir)
        : m_strOut(dir.File("bg-out"))
        , m_strErr(dir.File("bg-err"))
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, m_strOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, m_strErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<std::string> store {ADDRSCOPE_CLI};
        store.insert(store.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : store)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env = CliEnvironment(dir.File("bg-cache"));
        if (posix_spawn(&m_pid, ADDRSCOPE_CLI, &actions, nullptr, argv.data(), EnvPointers(env).data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CBackgroundCli()
    {
        if (m_pid > 0 && !m_bDone) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    pid_t Pid() const { return m_pid; }
    // The exit status, -1 when it did not exit normally within the time.
    int Wait(int nSeconds)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(nSeconds);
        int status = 0;
        while (waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline)
                return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        m_bDone = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Out() const { return ReadFileBytes(m_strOut); }
    std::string Err() const { return ReadFileBytes(m_strErr); }

private:
    std::string m_strOut;
    std::string m_strErr;
    pid_t m_pid = -1;
    bool m_bDone = false;
};

bool WaitFor(const std::function<bool()>& done, int nSeconds = 30)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(nSeconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

int StoredWhoisCount(const std::string& path)
{
    CNetloreDoc doc;
    if (!doc.OnOpenDocument(path, [](const std::string&) {}))
        return -1;
    int n = 0;
    for (int i = 0; i < doc.GetData().GetSize(); ++i)
        n += doc.GetData().GetAt(i)->GetRawWhois().empty() ? 0 : 1;
    return n;
}

} // namespace

// Two addresses are answered, then the registry goes silent; the run is stopped.
TEST_F(CliUnixToolTest, ASignalOrAKillKeepsTheFinishedLookups)
{
    for (int nSignal : {SIGTERM, SIGHUP, SIGKILL}) {
        SCOPED_TRACE(nSignal);
        CLoopbackWhoisServer server;
        server.AddRegistryHosts();
        ASSERT_TRUE(server.Start());
        server.SetDefaultAnswer(
            kArin, ReadFileBytes(TestDataPath("whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt")));
        server.SetDefaultAnswer(kRipe, ReadFileBytes(TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt")));
        const std::string port = std::to_string(server.Port());
        WriteFileBytes(m_dir.File("sig.ini"),
                       "[Whois%20Servers]\nARIN=127.0.0.2\nRIPE=127.0.0.3\nAPNIC=127.0.0.4\nLACNIC=127.0.0.5\n"
                       "AUNIC=127.0.0.6\nRWhois%20A=127.0.0.7\nRWhois%20B=127.0.0.8\nAFRINIC=127.0.0.9\n"
                       "Whois%20Port=" +
                           port + "\nRWhois%20Port=" + port +
                           "\nIdle%20Timeout=60000\nAnswer%20Timeout=60000\n"
                           "[Settings]\nIP%20Whois%20Interval=0\nIP%20Whois%20Simul%20Connections=1\n"
                           "Checkpoint%20Results=1\n");
        const std::string doc = m_dir.File("sig-" + std::to_string(nSignal) + ".qdl");
        CBackgroundCli cli({"--settings", m_dir.File("sig.ini"), "lookup", doc, "--tick", "20", "130.66.76.1",
                            "130.66.76.2", "130.66.76.3", "130.66.76.4", "130.66.76.5"},
                           m_dir);
        ASSERT_GT(cli.Pid(), 0);
        ASSERT_TRUE(WaitFor([&] { return server.Queries(kRipe).size() >= 2; })) << cli.Err();
        server.SetMode(kArin, EWhoisServerMode::neverAnswer);
        // The second answer is merged and checkpointed before the signal.
        ASSERT_TRUE(WaitFor([&] { return StoredWhoisCount(doc) == 2; })) << cli.Err();
        ASSERT_EQ(kill(cli.Pid(), nSignal), 0);
        const auto start = std::chrono::steady_clock::now();
        const int status = cli.Wait(30);
        if (nSignal != SIGKILL) {
            EXPECT_EQ(status, 1) << cli.Err();
            // The silent registry is waited for at most 10 s.
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
            EXPECT_NE(cli.Err().find(std::string(nSignal == SIGTERM ? "SIGTERM" : "SIGHUP") + ": waiting up to 10 s"),
                      std::string::npos)
                << cli.Err();
            EXPECT_EQ(cli.Out(), "looked up 2, skipped as fresh 0, failed 0, not looked up 3\n");
            EXPECT_NE(access(CDocumentLock::LockPathFor(doc).c_str(), F_OK), 0);
        }
        EXPECT_EQ(StoredWhoisCount(doc), 2);
        EXPECT_EQ(ReadAddresses(doc).size(), 5u);
    }
}

TEST_F(CliUnixToolTest, JsonLinesForceAndAddressesFromStandardInput)
{
    WriteFileBytes(m_dir.File("in.txt"), "130.66.76.1\n  130.66.76.2 \n\n");
    CCliResult r = Cli({"lookup", m_strDoc, "--tick", "20", "--json", "-"}, 60, m_dir.File("in.txt"));
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    std::istringstream lines(r.m_strOut);
    std::string line;
    Strings seen;
    while (std::getline(lines, line)) {
        EXPECT_NE(line.find("\"kind\": \"whois\", \"status\": \"ok\", \"owner\": \""), std::string::npos) << line;
        EXPECT_NE(line.find("\"country\": \""), std::string::npos) << line;
        EXPECT_NE(line.find("\"range\": \"128.79."), std::string::npos) << line;
        EXPECT_NE(line.find("\"time\": \"20"), std::string::npos) << line;
        EXPECT_EQ(line.back(), '}');
        seen.push_back(line.substr(0, line.find(',')));
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (Strings {"{\"address\": \"130.66.76.1\"", "{\"address\": \"130.66.76.2\""}));
    EXPECT_NE(r.m_strErr.find("looked up 2, skipped as fresh 0, failed 0"), std::string::npos) << r.m_strErr;

    // Fresh results are skipped, unless forced.
    r = Cli({"lookup", m_strDoc, "--tick", "20"});
    EXPECT_EQ(r.m_strOut, "looked up 0, skipped as fresh 2, failed 0\n");
    const int nBefore = m_server.Connections(kRipe);
    r = Cli({"lookup", m_strDoc, "--tick", "20", "--force", "130.66.76.2"});
    EXPECT_EQ(r.m_strOut, "looked up 1, skipped as fresh 0, failed 0\n") << r.m_strErr;
    EXPECT_EQ(m_server.Connections(kRipe), nBefore + 1);
}

// 193.0.0.1 is in RIPE's space, and RIPE says "query limit": RIPE is paused while
// ARIN's own 8.8.8.8 is answered, the pause shows on the progress lines, and a
// signal during the pause ends the run with the paused address not looked up.
TEST_F(CliUnixToolTest, ARegistrysQueryLimitPausesItAndTheRunStopsDuringThePause)
{
    m_server.SetAnswer(kRipe, "193.0.0.1", CLoopbackWhoisServer::QueryLimitText());
    m_server.SetAnswer(kArin, "8.8.8.8", "NetRange:       8.0.0.0 - 8.255.255.255\nOrgName:        Level 3\n");
    CBackgroundCli cli({"--settings", m_dir.File("s.ini"), "lookup", m_strDoc, "--tick", "20", "193.0.0.1", "8.8.8.8"},
                       m_dir);
    ASSERT_GT(cli.Pid(), 0);
    ASSERT_TRUE(WaitFor([&] { return cli.Err().find("Query limit: RIPE paused until ") != std::string::npos; }))
        << cli.Err();
    ASSERT_TRUE(WaitFor([&] { return cli.Err().find("8.8.8.8") != std::string::npos; })) << cli.Err();
    const size_t nRipeAsked = m_server.Queries(kRipe).size();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // Paused: not asked again, and no try counted as failed.
    EXPECT_EQ(m_server.Queries(kRipe).size(), nRipeAsked);
    EXPECT_EQ(cli.Err().find("193.0.0.1 failed"), std::string::npos) << cli.Err();
    ASSERT_EQ(kill(cli.Pid(), SIGTERM), 0);
    EXPECT_EQ(cli.Wait(30), 1) << cli.Err();
    EXPECT_EQ(cli.Out(), "looked up 1, skipped as fresh 0, failed 0, not looked up 1\n");
    EXPECT_EQ(StoredWhoisCount(m_strDoc), 1);
}

TEST_F(CliUnixToolTest, VerboseShowsEveryQueryOfEveryWorkerOnWholeLines)
{
    // Every address asked on its own (no answers from known ranges), three at a time.
    WriteFileBytes(m_dir.File("s.ini"), ReadFileBytes(m_dir.File("s.ini")) +
                                            "Reuse%20Known%20Ranges=0\nIP%20Whois%20Simul%20Connections=3\n");
    const Strings addresses = {"130.66.76.1", "130.66.76.2", "130.66.76.3", "130.66.76.4", "130.66.76.5"};
    {
        CNetloreDoc doc;
        for (const std::string& a : addresses)
            doc.AddIP(a);
        ASSERT_TRUE(doc.OnSaveDocument(m_strDoc));
    }
    struct CCase {
        Strings m_args;
        bool m_bVerbose;
    };
    const std::string port = std::string(":").append(std::to_string(m_server.Port()));
    for (const CCase& c : {CCase {{"-v", "lookup", "--tick", "50", "--force", m_strDoc}, true},
                           CCase {{"lookup", "--tick", "50", "--force", m_strDoc, "-v"}, true},
                           CCase {{"lookup", "--tick", "50", "--force", m_strDoc}, false},
                           CCase {{"-q", "-v", "lookup", "--tick", "50", "--force", m_strDoc}, false}}) {
        const CCliResult r = Cli(c.m_args);
        EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
        std::istringstream in(r.m_strErr);
        std::string line;
        std::map<std::string, int> asked; // "server address" -> times
        int nAsked = 0;
        while (std::getline(in, line)) {
            const std::string prefix = "addrscope-cli lookup: asked ";
            if (line.rfind(prefix, 0) != 0)
                continue;
            ++nAsked;
            // One whole line per exchange: server, query, how it ended, the size.
            const size_t nQuote = line.find(" for '");
            ASSERT_NE(nQuote, std::string::npos) << line;
            EXPECT_NE(line.find("': complete, "), std::string::npos) << line;
            EXPECT_EQ(line.substr(line.size() - 6), " bytes") << line;
            EXPECT_EQ(line.find("addrscope-cli", 1), std::string::npos) << "two lines run together: " << line;
            const std::string server = line.substr(prefix.size(), nQuote - prefix.size());
            for (const std::string& a : addresses)
                if (line.find(a + "'") != std::string::npos)
                    ++asked[server + " " + a];
        }
        if (!c.m_bVerbose) {
            EXPECT_EQ(nAsked, 0) << r.m_strErr;
            continue;
        }
        // The registry first, then the referral it gave, for each address.
        for (const std::string& a : addresses) {
            EXPECT_EQ(asked[std::string(kArin) + port + " " + a], 1) << a << "\n" << r.m_strErr;
            EXPECT_EQ(asked[std::string(kRipe) + port + " " + a], 1) << a << "\n" << r.m_strErr;
        }
        EXPECT_EQ(nAsked, 2 * int(addresses.size())) << r.m_strErr;
    }

    // The one-shot commands say what they ask before asking it.
    for (const auto& [args, expected] : std::vector<std::pair<Strings, std::string>> {
             {{"-v", "host", "127.0.0.1"}, "addrscope-cli host: asking the resolver for the name of 127.0.0.1\n"},
             {{"-v", "ping", "127.0.0.1"}, "addrscope-cli ping: sending 3 echo requests to 127.0.0.1\n"},
             {{"-v", "traceroute", "127.0.0.1"}, "addrscope-cli traceroute: tracing the route to 127.0.0.1\n"}}) {
        const CCliResult r = Cli(args, 60);
        EXPECT_EQ(r.m_strErr.rfind(expected, 0), 0u) << r.m_strErr;
        Strings quiet = args;
        quiet.erase(quiet.begin());
        EXPECT_EQ(Cli(quiet, 60).m_strErr.find(expected), std::string::npos);
    }
}
