// A full file system: export -o and a document save fail with the system's
// reason, exit non-zero, and leave the previous report and document as they were.
// The file system is a tiny tmpfs mounted in a user and mount namespace of the
// test's own (unshare -rm), so no privileges are needed where the kernel allows it.

#include "core/document/NetloreDoc.h"
#include "core/record/OleDateTime.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>

namespace {

// Runs the script inside its own user and mount namespace; false when that is not allowed here.
bool CanUnshare()
{
    return std::system("unshare -rm true >/dev/null 2>&1") == 0;
}

std::string Trim(std::string s)
{
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

} // namespace

TEST(CliFullDiskTest, ExportAndSaveOnAFullDiskKeepThePreviousFiles)
{
    if (!CanUnshare())
        GTEST_SKIP() << "user and mount namespaces are not available here (unshare -rm failed): no tmpfs to fill";
    CTempDir dir;
    const std::string strMount = dir.File("mnt");
    const std::string strOut = dir.File("out");
    std::filesystem::create_directories(strMount);
    std::filesystem::create_directories(strOut);

    // Bigger than the one free page the full file system keeps for the lock file.
    CNetloreDoc doc;
    doc.AddIP("192.0.2.1");
    doc.GetData().SetWhoisResult("192.0.2.1", "192.0.2.1\r\n\r\nOrgName: Example\r\n" + std::string(20000, 'x'),
                                 COleDateTime(45000.0, COleDateTime::valid));
    ASSERT_TRUE(doc.OnSaveDocument(dir.File("doc.qdl")));
    const std::string strDoc = ReadFileBytes(dir.File("doc.qdl"));
    const std::string strReport = "the previous report\n";
    WriteFileBytes(dir.File("report.txt"), strReport);

    // Fill the file system to the last page, then free one: enough for a lock
    // file, not for the report or the document.
    const std::string strScript = "set -u\n"
                                  "M='" +
                                  strMount + "'; O='" + strOut +
                                  "'; CLI='" ADDRSCOPE_CLI "'\n"
                                  "S='" +
                                  SettingsFile(dir) +
                                  "'\n"
                                  "mount -t tmpfs -o size=256k tmpfs \"$M\" || exit 0\n"
                                  "touch \"$O/mounted\"\n"
                                  "cp '" +
                                  dir.File("doc.qdl") + "' '" + dir.File("report.txt") +
                                  "' \"$M/\"\n"
                                  "head -c 4096 /dev/zero > \"$M/spare\"\n"
                                  "cat /dev/zero > \"$M/fill\" 2>/dev/null\n"
                                  "rm \"$M/spare\"\n"
                                  "\"$CLI\" --settings \"$S\" export \"$M/doc.qdl\" -o \"$M/report.txt\" "
                                  ">/dev/null 2>\"$O/export.err\"; echo $? > \"$O/export.rc\"\n"
                                  "\"$CLI\" --settings \"$S\" add \"$M/doc.qdl\" 192.0.2.99 "
                                  ">/dev/null 2>\"$O/add.err\"; echo $? > \"$O/add.rc\"\n"
                                  "cp \"$M/doc.qdl\" \"$O/doc.qdl\"; cp \"$M/report.txt\" \"$O/report.txt\"\n"
                                  "ls -A \"$M\" > \"$O/listing\"\n";
    WriteFileBytes(dir.File("run.sh"), strScript);
    ASSERT_EQ(std::system(("unshare -rm sh '" + dir.File("run.sh") + "'").c_str()), 0);
    if (!std::filesystem::exists(strOut + "/mounted"))
        GTEST_SKIP() << "a tmpfs could not be mounted in the test's namespace";

    const std::string strReason = std::strerror(ENOSPC);
    struct CCase {
        const char* m_pszCommand;
        const char* m_pszKept;
        std::string m_strBefore;
    };
    for (const CCase& c : {CCase {"export", "report.txt", strReport}, CCase {"add", "doc.qdl", strDoc}}) {
        SCOPED_TRACE(c.m_pszCommand);
        const std::string strErr = ReadFileBytes(strOut + "/" + c.m_pszCommand + ".err");
        EXPECT_NE(Trim(ReadFileBytes(strOut + "/" + c.m_pszCommand + ".rc")), "0") << strErr;
        EXPECT_NE(strErr.find(strReason), std::string::npos) << strErr;
        EXPECT_EQ(ReadFileBytes(strOut + "/" + c.m_pszKept), c.m_strBefore);
    }
    // No temporary file or lock file is left behind.
    std::istringstream listing(ReadFileBytes(strOut + "/listing"));
    std::set<std::string> names;
    for (std::string strName; std::getline(listing, strName);)
        names.insert(strName);
    EXPECT_EQ(names, (std::set<std::string> {"doc.qdl", "fill", "report.txt"}));
}
