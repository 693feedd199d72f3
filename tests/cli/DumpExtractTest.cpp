// addrscope-cli dump and extract, run as whole processes.

#include "support/ArchiveBytes.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs addrscope-cli with args (already quoted) and stdin from a file when given.
CliRun RunCli(const CTempDir& dir, const std::string& args, const std::string& stdinPath = "/dev/null")
{
    const std::string out = dir.File("stdout"), err = dir.File("stderr");
    const std::string cmd = Quote(ADDRSCOPE_CLI) + " --settings " + Quote(SettingsFile(dir, "settings.ini")) + " " +
                            args + " <" + Quote(stdinPath) + " >" + Quote(out) + " 2>" + Quote(err);
    const int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ReadFileBytes(out), ReadFileBytes(err)};
}

std::string Record(const std::string& address, const std::string& owner, const std::string& host, double pingTime = 0,
                   const std::string& note3 = "")
{
    using namespace bytes;
    std::string r = Str(address) + Date(0, 46000.5) + NullDate() + Str("w\"hois\r\n") + Str(host) + Str("") + Str("");
    r += NullDate() + Dbl(pingTime) + U32(2) + U32(0) + Date(0, 46000.75);
    r += Str(owner) + Str("US") + Str("") + Str("sp3") + U32(0xC0000200u) + U32(0xC00002FFu) + Str("");
    r += NullDate() + Date(1, 3.25) + Str("") + Str("") + Str("") + Str(note3);
    return r;
}

std::string TwoRecordDoc()
{
    return bytes::U32(2) + bytes::NewClassTag() + Record("192.0.2.1", "Ex\xE9 Org", "h.example", 12) +
           bytes::ClassRefTag() + Record("192.0.2.2", "Caf\xC3\xA9", "", 0, "a\tb\x01");
}

} // namespace

TEST(CliDump, PlainLinesInFileOrder)
{
    CTempDir dir;
    WriteFileBytes(dir.File("d.qdl"), TwoRecordDoc());
    const CliRun r = RunCli(dir, "dump " + Quote(dir.File("d.qdl")));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    // Day 46000.5 is 2025-12-09 12:00; the C locale gives the fixed form.
    EXPECT_EQ(r.out, "192.0.2.1\t2025-12-09 12:00:00\tEx\xC3\xA9 Org\tUS\t192.0.2.0 - 192.0.2.255\th.example\t12 ms\n"
                     "192.0.2.2\t2025-12-09 12:00:00\tCaf\xC3\xA9\tUS\t192.0.2.0 - 192.0.2.255\t\t0 ms\n");
}

TEST(CliDump, JsonHasEveryField)
{
    CTempDir dir;
    WriteFileBytes(dir.File("d.qdl"), TwoRecordDoc());
    const CliRun r = RunCli(dir, "dump --json " + Quote(dir.File("d.qdl")));
    EXPECT_EQ(r.status, 0);
    const std::string expectedFirst = R"({
    "address": "192.0.2.1",
    "rawWhois": "w\"hois\r\n",
    "hostName": "h.example",
    "traceData": "",
    "owner": "Ex)"
                                      "\xC3\xA9"
                                      R"( Org",
    "country": "US",
    "rangeStart": 3221225984,
    "rangeEnd": 3221226239,
    "pingTime": 12,
    "pingTries": 2,
    "pingFailures": 0,
    "notes": ["", "", "", ""],
    "spare1": "",
    "spare2": "",
    "spare3": "sp3",
    "spare4": "",
    "whoisDone": {"status": 0, "days": 46000.5},
    "traceDone": {"status": 2, "days": 0},
    "pingDone": {"status": 0, "days": 46000.75},
    "dtSpare1": {"status": 2, "days": 0},
    "dtSpare2": {"status": 2, "days": 0},
    "dtSpare3": {"status": 1, "days": 3.25},
    "delegation": null,
    "countrySource": "",
    "facts": {"holder": null, "country": null, "rangeStart": null, "rangeEnd": null, "range": null, "abuse": null, "netName": null, "originAS": null, "registry": null, "isRegistryStub": false}
  })";
    EXPECT_EQ(r.out.substr(0, 4), "[\n  ");
    EXPECT_NE(r.out.find(expectedFirst), std::string::npos) << r.out;
    // Valid UTF-8 passes, control characters are escaped.
    EXPECT_NE(r.out.find(R"("owner": "Caf)"
                         "\xC3\xA9"
                         R"(")"),
              std::string::npos);
    EXPECT_NE(r.out.find(R"("notes": ["", "", "", "a\tb\u0001"])"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 4), "}\n]\n");
}

TEST(CliDump, DamagedFilePrintsWhatWasReadAndFails)
{
    CTempDir dir;
    std::string doc = TwoRecordDoc();
    doc[0] = 5;
    WriteFileBytes(dir.File("d.qdl"), doc);
    const CliRun r = RunCli(dir, "dump " + Quote(dir.File("d.qdl")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
    EXPECT_EQ(r.err, "addrscope-cli dump: An attempt was made to access " + dir.File("d.qdl") + " past its end.\n");

    WriteFileBytes(dir.File("e.qdl"), std::string(4, '\0'));
    const CliRun empty = RunCli(dir, "dump --json " + Quote(dir.File("e.qdl")));
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "[]\n");

    EXPECT_NE(RunCli(dir, "dump " + Quote(dir.File("missing.qdl"))).status, 0);
    EXPECT_EQ(RunCli(dir, "dump").status, 2);
}

TEST(CliExtract, RealAnswersFromFileAndStdin)
{
    CTempDir dir;
    struct {
        const char* file;
        const char* json;
    } cases[] = {
        {"extract/netincident-customer-custname-NET-174-79-32-0-1.txt",
         R"({"owner": "Cox Communications", "country": "US", "rangeStart": 2924421120, "rangeEnd": 2924429311, "range": "174.79.32.0 - 174.79.63.255", )"
         R"("facts": {"holder": "Cox Communications", "country": "US", "rangeStart": 2924421120, "rangeEnd": 2924429311, "range": "174.79.32.0 - 174.79.63.255", "abuse": "abuse@cox.net", "netName": "NETBLK-PH-CBS-174-79-32-0", "originAS": null, "registry": "ARIN", "isRegistryStub": false}})"},
        {"extract/ipwhois-short-cidr-crlf-200.57.141.161.txt",
         R"({"owner": "Triara.com, S.A. de C.V.", "country": "MX", "rangeStart": 3359211520, "rangeEnd": 3359219711, "range": "200.57.128.0 - 200.57.159.255", )"
         R"("facts": {"holder": "Triara.com, S.A. de C.V.", "country": "MX", "rangeStart": 3359211520, "rangeEnd": 3359219711, "range": "200.57.128.0 - 200.57.159.255", "abuse": "operacion.redes@TRIARA.COM", "netName": null, "originAS": null, "registry": "LACNIC", "isRegistryStub": false}})"},
        {"extract/ipwhois-bt-62.239.237.1.txt",
         R"({"owner": "UDC", "country": "GB", "rangeStart": 1055911168, "rangeEnd": 1055911423, "range": "62.239.237.0 - 62.239.237.255", )"
         R"("facts": {"holder": "BT-CORPORATE", "country": "GB", "rangeStart": 1055911168, "rangeEnd": 1055911423, "range": "62.239.237.0 - 62.239.237.255", "abuse": "protect@bt.com", "netName": "BT-CORPORATE", "originAS": "AS2856", "registry": "RIPE", "isRegistryStub": false}})"},
    };
    for (const auto& c : cases) {
        const CliRun fromFile = RunCli(dir, "extract " + Quote(TestDataPath(c.file)));
        EXPECT_EQ(fromFile.status, 0);
        EXPECT_EQ(fromFile.out, std::string(c.json) + "\n") << c.file;
        const CliRun fromStdin = RunCli(dir, "extract", TestDataPath(c.file));
        EXPECT_EQ(fromStdin.out, fromFile.out);
    }
}

TEST(CliExtract, NothingFoundAndOddBytes)
{
    CTempDir dir;
    // The country label stands on the last line, with no line end after it.
    static const char kText[] = "OrgName: A\xFF\"\\\x02\r\nCountry: US";
    WriteFileBytes(dir.File("w.txt"), std::string(kText, sizeof kText - 1));
    const CliRun r = RunCli(dir, "extract " + Quote(dir.File("w.txt")));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "{\"owner\": \"A\xC3\xBF\\\"\\\\\\u0002\", \"country\": \"\", \"rangeStart\": 0, \"rangeEnd\": 0, "
                     "\"range\": \"\", \"facts\": {\"holder\": \"A\xC3\xBF\\\"\\\\\\u0002\", \"country\": \"US\", "
                     "\"rangeStart\": null, \"rangeEnd\": null, \"range\": null, \"abuse\": null, \"netName\": null, "
                     "\"originAS\": null, \"registry\": \"ARIN\", \"isRegistryStub\": false}}\n");
    EXPECT_NE(RunCli(dir, "extract " + Quote(dir.File("none.txt"))).status, 0);
}

// extract never names a person or role object as the holder: the organisation, a
// descr that names a company, then the network's name.
TEST(CliExtract, HolderIsNeverAPersonOrRole)
{
    CTempDir dir;
    WriteFileBytes(dir.File("person.txt"), "inetnum: 192.0.2.0 - 192.0.2.255\nnetname: EXAMPLE-NET\n"
                                           "descr: Example Broadband GmbH\nadmin-c: JS1-RIPE\nsource: RIPE\n\n"
                                           "person: John Smith\nnic-hdl: JS1-RIPE\nsource: RIPE\n");
    WriteFileBytes(dir.File("role.txt"), "inetnum: 192.0.2.0 - 192.0.2.255\nnetname: EXAMPLE-DSL\n"
                                         "descr: Pool for Broadband customers\ntech-c: NOC1-RIPE\nsource: RIPE\n\n"
                                         "role: Example Network Operation Centre\nnic-hdl: NOC1-RIPE\nsource: RIPE\n");
    const struct {
        std::string file;
        const char* holder;
    } cases[] = {
        {dir.File("person.txt"), "Example Broadband GmbH"},
        {dir.File("role.txt"), "EXAMPLE-DSL"},
        {TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt"), "BOUYGTEL-ISP-CABLE"},
        {TestDataPath("extract/ipwhois-bt-62.239.237.1.txt"), "BT-CORPORATE"},
        {TestDataPath("whois/ripe/lab5-akamai-eu-role-only-2.18.111.79.txt"), "Akamai Technologies"},
        {TestDataPath("whois/ripe/netincident-ufanet-crlf-94.41.54.105.txt"), "JSC \\\"Ufanet\\\""},
    };
    for (const auto& c : cases) {
        const CliRun r = RunCli(dir, "extract " + Quote(c.file));
        EXPECT_EQ(r.status, 0) << c.file;
        EXPECT_NE(r.out.find("\"facts\": {\"holder\": \"" + std::string(c.holder) + "\""), std::string::npos)
            << c.file << ": " << r.out;
    }
}
