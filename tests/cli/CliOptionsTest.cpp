// Each command's options are declared once: the parser reads them, and --help, the
// manual page and both shell completions list them.

#include "support/CliRunner.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace {

using Strings = std::vector<std::string>;

Strings SplitWords(const std::string& text)
{
    std::istringstream in(text);
    Strings words;
    std::string w;
    while (in >> w)
        words.push_back(w);
    return words;
}

bool HasWord(const std::string& line, const std::string& word)
{
    const Strings words = SplitWords(line);
    return std::find(words.begin(), words.end(), word) != words.end();
}

// The text from the first line starting with `from` up to the next line starting with one of `to`.
std::string Section(const std::string& text, const std::string& from, const Strings& to)
{
    const size_t start = text.find(from);
    if (start == std::string::npos)
        return "";
    size_t end = text.size();
    for (const std::string& t : to)
        end = std::min(end, text.find("\n" + t, start + from.size()));
    return text.substr(start, end - start);
}

// The line of a completion script that starts with `head`.
std::string LineStarting(const std::string& text, const std::string& head)
{
    const size_t at = text.find("\n" + head);
    return at == std::string::npos ? "" : text.substr(at + 1, text.find('\n', at + 1) - at - 1);
}

std::string Roff(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out;
}

// Whether a help block lists the option on a line of its own: "  -o, --output OUT  ...".
bool HelpLists(const std::string& block, const std::string& option)
{
    std::istringstream in(block);
    std::string line;
    while (std::getline(in, line)) {
        const std::string label = line.rfind("  ", 0) == 0 ? line.substr(2, line.find("  ", 2) - 2) : "";
        for (std::string& w : SplitWords(label))
            if (w == option || w == option + ",")
                return true;
    }
    return false;
}

// Whether a manual page section has a tagged paragraph for the option.
bool ManLists(const std::string& section, const std::string& option)
{
    std::istringstream in(section);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(".B ", 0) == 0) {
            for (std::string& w : SplitWords(line.substr(3)))
                if (w == Roff(option) || w == Roff(option) + ",")
                    return true;
        }
    return false;
}

} // namespace

TEST(CliOptions, EveryDeclaredOptionIsInHelpManPageAndBothCompletions)
{
    std::map<std::string, std::string> generated;
    for (const char* kind : {"options", "man", "bash", "zsh"}) {
        const CCliResult r = RunCli({"--generate", kind});
        ASSERT_EQ(r.m_nStatus, 0) << kind << ": " << r.m_strErr;
        generated[kind] = "\n" + r.m_strOut;
    }
    std::istringstream table(generated["options"]);
    std::string row;
    int nCommands = 0;
    int nOptions = 0;
    while (std::getline(table, row)) {
        if (row.empty())
            continue;
        const std::string name = row.substr(0, row.find(':'));
        const Strings options = SplitWords(row.substr(row.find(':') + 1));
        SCOPED_TRACE(name);
        const bool bCommon = name == "common";
        const std::string help = RunCli({bCommon ? "dump" : name, "--help"}).m_strOut;
        const std::string helpBlock =
            bCommon ? Section(help, "Common options:", {"\n"}) : Section(help, "Arguments and options:", {"\n"});
        const std::string man = bCommon ? Section(generated["man"], ".SH OPTIONS", {".SH"})
                                        : Section(generated["man"], ".SS \"" + name + "\"", {".SS", ".SH"});
        const std::string bash =
            LineStarting(generated["bash"], bCommon ? "    local common=\"" : "        " + name + ")");
        const std::string zsh = LineStarting(generated["zsh"], bCommon ? "common=(" : "  " + name + ")");
        ASSERT_FALSE(man.empty());
        ASSERT_FALSE(bash.empty());
        ASSERT_FALSE(zsh.empty());
        if (!bCommon)
            ++nCommands;
        for (const std::string& option : options) {
            ++nOptions;
            EXPECT_TRUE(HelpLists(helpBlock, option)) << option << "\n" << helpBlock;
            EXPECT_TRUE(ManLists(man, option)) << option << "\n" << man;
            std::string bashWords = bash.substr(bash.find('"') + 1);
            bashWords = bashWords.substr(0, bashWords.find('"'));
            EXPECT_TRUE(HasWord(bashWords, option)) << option << "\n" << bash;
            std::string zshWords = zsh.substr(zsh.find('(') + 1);
            zshWords = zshWords.substr(0, zshWords.find(')'));
            EXPECT_TRUE(HasWord(zshWords, option)) << option << "\n" << zsh;
        }
        // The usage line is written by hand: every option it names must be declared.
        if (!bCommon) {
            const std::string usage = help.substr(0, help.find('\n'));
            for (std::string w : SplitWords(usage)) {
                const size_t start = w.find_first_not_of("[|");
                if (start == std::string::npos)
                    continue;
                w = w.substr(start, w.find_first_of("]|", start) - start);
                if (w.size() > 1 && w[0] == '-') {
                    EXPECT_NE(std::find(options.begin(), options.end(), w), options.end()) << usage << ": " << w;
                }
            }
        }
    }
    EXPECT_GE(nCommands, 11);
    EXPECT_GE(nOptions, 25);
}

// Today's words for a wrong command line: exit status 2, nothing on standard output,
// no document created.
TEST(CliOptions, UnknownOptionsAndMissingValuesAreUsageErrors)
{
    CTempDir dir;
    const std::string settings = SettingsFile(dir);
    const std::string doc = dir.File("d.qdl");
    const std::string exportUsage =
        "usage: addrscope-cli export DOC.qdl [--format raw|csv|json] [--by network] [-o OUT] "
        "[ADDR...]\n";
    const std::string lookupUsage = "usage: addrscope-cli lookup DOC.qdl [--kind whois|host|ping|trace] [--source "
                                    "rdap|whois] [--tick MS] [--force] [--json] [ADDR...|-]\n";
    struct Case {
        Strings m_args;
        std::string m_strErr;
    };
    const std::vector<Case> cases {
        {{"dump", doc, "--bogus"},
         "addrscope-cli dump: unknown option --bogus\nusage: addrscope-cli dump DOC.qdl [--json]\n"},
        {{"dump", doc, "--json=1"},
         "addrscope-cli dump: unknown option --json=1\nusage: addrscope-cli dump DOC.qdl [--json]\n"},
        {{"add", doc, "-x", "192.0.2.1"},
         "addrscope-cli add: unknown option -x\nusage: addrscope-cli add DOC.qdl TEXT...|-\n"},
        {{"export", doc, "-o"}, "addrscope-cli export: -o needs a file name\n" + exportUsage},
        {{"export", doc, "--output"}, "addrscope-cli export: --output needs a file name\n" + exportUsage},
        {{"export", doc, "--format"}, "addrscope-cli export: --format needs a value\n" + exportUsage},
        // An empty value is a value; a value may look like an option.
        {{"export", doc, "--output="}, "addrscope-cli export: the output file name is empty\n" + exportUsage},
        {{"export", doc, "--format", "-o"},
         "addrscope-cli export: unknown format -o (raw, csv or json)\n" + exportUsage},
        {{"extract", "--address"},
         "addrscope-cli extract: --address needs an address\nusage: addrscope-cli extract [FILE] [--address A] "
         "[--rdap]\n"},
        {{"import", doc, "log.txt", "--page"},
         "addrscope-cli import: --page needs a text\nusage: addrscope-cli import DOC.qdl FILE|- [--no-convert] "
         "[--not-found] [--exploit] [--page TEXT] [--custom TEXT] [--lookup]\n"},
        {{"lookup", doc, "--tick", "-5"},
         "addrscope-cli lookup: --tick needs milliseconds from 1 to 3600000\n" + lookupUsage},
        {{"lookup", doc, "--kind"}, "addrscope-cli lookup: --kind needs a value\n" + lookupUsage},
        {{"whois", "-p"},
         "addrscope-cli whois: -p needs a value\nusage: addrscope-cli whois [--rdap] TARGET... | -h HOST [-p PORT] "
         "QUERY...\n"},
        // After "--" every word is an argument.
        {{"dump", doc, "--", "--json"},
         "addrscope-cli dump: one document only\nusage: addrscope-cli dump DOC.qdl [--json]\n"},
        // The common options are the program's, before or after the command's name.
        {{"dump", doc, "--settings"}, "addrscope-cli: --settings needs a file name\n"},
    };
    for (const Case& c : cases) {
        Strings args = c.m_args;
        args.insert(args.begin(), {"--settings", settings});
        const CCliResult r = RunCli(args);
        EXPECT_EQ(r.m_nStatus, 2) << c.m_args[0] << " " << c.m_args.back();
        EXPECT_EQ(r.m_strErr, c.m_strErr);
        EXPECT_EQ(r.m_strOut, "");
    }
    EXPECT_NE(access(doc.c_str(), F_OK), 0);

    const CCliResult noFile = RunCli({"--settings"});
    EXPECT_EQ(noFile.m_nStatus, 2);
    EXPECT_EQ(noFile.m_strErr, "addrscope-cli: --settings needs a file name\n");
    const CCliResult unknown = RunCli({"--settings", settings, "--bogus", "dump", doc});
    EXPECT_EQ(unknown.m_nStatus, 2);
    EXPECT_EQ(unknown.m_strErr.rfind("addrscope-cli: unknown command '--bogus'\nusage: addrscope-cli ", 0), 0u)
        << unknown.m_strErr;
}

// "--help" before any "--" shows the help and does nothing else, even as an option's
// value or beside a wrong word; after "--" it is an argument like any other.
TEST(CliOptions, HelpWinsUpToTheEndOfOptions)
{
    CTempDir dir;
    const std::string settings = SettingsFile(dir);
    const std::string doc = dir.File("d.qdl");
    ASSERT_EQ(RunCli({"--settings", settings, "add", doc, "192.0.2.1"}).m_nStatus, 0);
    const std::string before = ReadFileBytes(doc);
    for (const Strings& args : {Strings {"export", doc, "-o", "--help"}, Strings {"dump", "--bogus", "--help"},
                                Strings {"-q", "lookup", doc, "--kind", "--help"}}) {
        Strings all = args;
        all.insert(all.begin(), {"--settings", settings});
        const CCliResult r = RunCli(all);
        EXPECT_EQ(r.m_nStatus, 0) << args.back();
        EXPECT_EQ(r.m_strOut.rfind("usage: addrscope-cli " + args[args[0] == "-q" ? 1 : 0] + " ", 0), 0u) << r.m_strOut;
        EXPECT_EQ(r.m_strErr, "");
    }
    EXPECT_EQ(ReadFileBytes(doc), before);

    const CCliResult after = RunCli({"--settings", settings, "dump", doc, "--", "--help"});
    EXPECT_EQ(after.m_nStatus, 2);
    EXPECT_EQ(after.m_strErr, "addrscope-cli dump: one document only\nusage: addrscope-cli dump DOC.qdl [--json]\n");
}
