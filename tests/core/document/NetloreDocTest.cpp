#include "core/document/NetloreDoc.h"

#include "core/document/DocumentHost.h"
#include "core/document/ViewNotifier.h"
#include "core/record/Clock.h"

#include "support/ArchiveBytes.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

class CRecordingViews : public CViewNotifier
{
public:
    void UpdateAllViews(const std::string* pHint) override { hints.push_back(pHint ? *pHint : "<all>"); }
    std::vector<std::string> hints;
};

class CRecordingHost : public CDocumentHost
{
public:
    void PostListRefresh() override { ++nListRefreshes; }
    int nListRefreshes = 0;
};

class CFixedClock : public CClock
{
public:
    COleDateTime Now() const override { return COleDateTime(46000.25, COleDateTime::valid); }
};

class NetloreDocTest : public ::testing::Test
{
protected:
    NetloreDocTest()
        : doc(&clock)
    {
        doc.SetViewNotifier(&views);
        doc.SetHost(&host);
    }
    bool Open(const std::string& path)
    {
        return doc.OnOpenDocument(path, [this](const std::string& m) { errors.push_back(m); });
    }

    CFixedClock clock;
    CRecordingViews views;
    CRecordingHost host;
    CNetloreDoc doc;
    std::vector<std::string> errors;
    CTempDir dir;
};

} // namespace

TEST_F(NetloreDocTest, NewDocumentSavesFourZeroBytes)
{
    doc.AddIP("10.0.0.1");
    doc.SetModifiedFlag();
    doc.SetCurrentIndex(0);
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetCurrentIndex(), -1);
    EXPECT_EQ(doc.GetData().GetSize(), 0);
    EXPECT_EQ(host.nListRefreshes, 1);
    const std::string path = dir.File("new.qdl");
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_EQ(ReadFileBytes(path), std::string(4, '\0'));
    EXPECT_EQ(doc.GetTitle(), "new.qdl");
}

TEST_F(NetloreDocTest, OpenSelectsFirstRecordOrNone)
{
    const std::string full = dir.File("full.qdl");
    WriteFileBytes(full, bytes::U32(2) + bytes::NewClassTag() + bytes::FreshRecord("10.0.0.1") + bytes::ClassRefTag() +
                             bytes::FreshRecord("10.0.0.2"));
    doc.SetModifiedFlag();
    ASSERT_TRUE(Open(full));
    EXPECT_EQ(doc.GetCurrentIndex(), 0);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), full);
    EXPECT_EQ(doc.GetTitle(), "full.qdl");
    EXPECT_EQ(host.nListRefreshes, 1);
    EXPECT_TRUE(errors.empty());

    const std::string empty = dir.File("empty.qdl");
    WriteFileBytes(empty, std::string(4, '\0'));
    ASSERT_TRUE(Open(empty));
    EXPECT_EQ(doc.GetCurrentIndex(), -1);

    EXPECT_FALSE(Open(dir.File("missing.qdl")));
    EXPECT_FALSE(Open(dir.Path().string()));
}

TEST_F(NetloreDocTest, OpenReportsErrorsAndKeepsWhatWasRead)
{
    const std::string path = dir.File("short.qdl");
    WriteFileBytes(path, bytes::U32(5) + bytes::NewClassTag() + bytes::FreshRecord("10.0.0.1"));
    int nErrors = 0;
    ASSERT_TRUE(doc.OnOpenDocument(
        path, [this](const std::string& m) { errors.push_back(m); }, &nErrors));
    EXPECT_EQ(nErrors, 1);
    EXPECT_EQ(errors, std::vector<std::string> {"An attempt was made to access " + path + " past its end."});
    EXPECT_EQ(doc.GetData().GetSize(), 1);
}

TEST_F(NetloreDocTest, SaveAndOpenRoundTrip)
{
    doc.SetWhoisText("192.0.2.1", "OrgName: Ex\r\nCountry: US\r\n");
    doc.AddIPWithHostName("192.0.2.2", "two.example");
    doc.SetLogNote("192.0.2.2", "GET /");
    const std::string path = dir.File("rt.qdl");
    ASSERT_TRUE(doc.OnSaveDocument(path));
    const std::string saved = ReadFileBytes(path);

    CNetloreDoc other(&clock);
    ASSERT_TRUE(other.OnOpenDocument(path, nullptr));
    EXPECT_EQ(other.GetData().GetOwner("192.0.2.1"), "Ex");
    EXPECT_EQ(other.GetData().GetWhoisTime("192.0.2.1"), clock.Now());
    EXPECT_EQ(other.GetData().GetHostName("192.0.2.2"), "two.example");
    EXPECT_EQ(other.GetData().GetNote("192.0.2.2", 3), "GET /");
    EXPECT_EQ(other.GetCurrentWhoisText(), "OrgName: Ex\r\nCountry: US\r\n");
    const std::string path2 = dir.File("rt2.qdl");
    ASSERT_TRUE(other.OnSaveDocument(path2));
    EXPECT_EQ(ReadFileBytes(path2), saved);
}

TEST_F(NetloreDocTest, CompletionsStoreMarkAndNotify)
{
    doc.AddIP("10.0.0.1");
    EXPECT_FALSE(doc.StoreHostName("10.0.0.1", ""));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(views.hints.empty());

    EXPECT_TRUE(doc.StoreHostName("10.0.0.1", "h.example"));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(views.hints, std::vector<std::string> {"10.0.0.1"});

    EXPECT_TRUE(doc.StorePingResult("10.0.0.1", 33.7, 0, 4));
    EXPECT_EQ(doc.GetData().GetPingText("10.0.0.1"), "33 ms");
    EXPECT_TRUE(doc.StoreTraceResult("10.0.0.1", "1 hop"));
    EXPECT_EQ(doc.GetTraceText("10.0.0.1"), "1 hop");
    EXPECT_EQ(doc.GetTraceTime("10.0.0.1"), clock.Now());

    // The address was deleted while its lookups ran.
    doc.AddIP("10.0.0.2");
    doc.DeleteIP("10.0.0.1");
    doc.SetModifiedFlag(false);
    views.hints.clear();
    EXPECT_FALSE(doc.StorePingResult("10.0.0.1", 1, 0, 1));
    EXPECT_FALSE(doc.StoreTraceResult("10.0.0.1", "x"));
    EXPECT_FALSE(doc.StoreHostName("10.0.0.1", "x"));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetData().GetSize(), 1);
    // Only whois brings the record back, at the end.
    EXPECT_TRUE(doc.StoreWhoisResult("10.0.0.1", "OrgName: Back\n"));
    EXPECT_EQ(doc.GetData().GetIPAddressAt(1), "10.0.0.1");
    EXPECT_EQ(doc.GetData().GetOwner("10.0.0.1"), "Back");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(views.hints, std::vector<std::string> {"10.0.0.1"});
    EXPECT_FALSE(doc.StoreWhoisResult("10.0.0.1", ""));
    EXPECT_EQ(doc.GetData().GetOwner("10.0.0.1"), "Back");
}

TEST_F(NetloreDocTest, SelectAndCurrentText)
{
    doc.SetWhoisText("10.0.0.1", "one");
    doc.SetWhoisText("10.0.0.2", "two");
    EXPECT_EQ(doc.GetCurrentWhoisText(), "");
    doc.SelectIP("10.0.0.2");
    EXPECT_EQ(doc.GetCurrentIndex(), 1);
    EXPECT_EQ(doc.GetCurrentWhoisText(), "two");
    doc.SelectIP("10.9.9.9");
    EXPECT_EQ(doc.GetCurrentIndex(), 1);
    doc.SetCurrentIndex(7);
    EXPECT_EQ(doc.GetCurrentWhoisText(), "");
    EXPECT_FALSE(doc.HasPendingLookups());
}

TEST_F(NetloreDocTest, RefreshTitle)
{
    doc.SetPathName("C:\\data\\list.qdl");
    doc.RefreshTitle();
    EXPECT_EQ(doc.GetTitle(), "list.qdl");
    doc.SetPathName("/home/u/lists/list.qdl");
    doc.RefreshTitle();
    EXPECT_EQ(doc.GetTitle(), "list.qdl");
    doc.SetPathName("plain.qdl");
    doc.RefreshTitle();
    EXPECT_EQ(doc.GetTitle(), "plain.qdl");
}

TEST_F(NetloreDocTest, FailedSaveKeepsThePreviousFile)
{
    const std::string path = dir.File("keep.qdl");
    WriteFileBytes(path, "previous");
    doc.SetWhoisText("10.0.0.1", std::string(100000, 'w'));
    doc.SetModifiedFlag();

    // A folder that does not exist.
    EXPECT_FALSE(doc.OnSaveDocument(dir.File("no/such/folder/x.qdl")));
    EXPECT_TRUE(doc.IsModified());

    // The disk fills up halfway: the write fails, the old file stays, no temporary is left.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim {
            50000, 50000
        };
        setrlimit(RLIMIT_FSIZE, &lim);
        _exit(doc.OnSaveDocument(path) ? 1 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save should have failed";
    EXPECT_EQ(ReadFileBytes(path), "previous");
    int nFiles = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
        (void)e;
        ++nFiles;
    }
    EXPECT_EQ(nFiles, 1);

    // Nor can a save replace a folder.
    std::filesystem::create_directory(dir.File("adir"));
    EXPECT_FALSE(doc.OnSaveDocument(dir.File("adir")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("adir")));

    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_FALSE(doc.IsModified());
    // Count, class entry, empty record, address, and the whois text with its 7-byte prefix.
    EXPECT_EQ(ReadFileBytes(path).size(), 4 + 20 + 110 + 8 + 6 + 100000u);
}

TEST_F(NetloreDocTest, SaveKeepsPermissionsAndFollowsLinks)
{
    const std::string target = dir.File("target.qdl");
    WriteFileBytes(target, "old");
    ::chmod(target.c_str(), 0640);
    const std::string link = dir.File("link.qdl");
    std::filesystem::create_symlink(target, link);
    ASSERT_TRUE(doc.OnSaveDocument(link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(target), std::string(4, '\0'));
    EXPECT_EQ(std::filesystem::status(target).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
}

TEST_F(NetloreDocTest, NewAndOpenDropTheOldDocumentsWaitingLookups)
{
    doc.AddIP("10.0.0.1");
    doc.GetData().GetWaitingList(lookupWhois).AddUnique("10.0.0.1");
    doc.GetData().GetWaitingList(lookupPing).AddUnique("10.0.0.1");
    ASSERT_TRUE(doc.HasPendingLookups());
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_FALSE(doc.HasPendingLookups());

    const std::string path = dir.File("one.qdl");
    WriteFileBytes(path, bytes::U32(1) + bytes::NewClassTag() + bytes::FreshRecord("10.0.0.2"));
    doc.GetData().GetWaitingList(lookupHostName).AddUnique("192.0.2.7");
    ASSERT_TRUE(Open(path));
    EXPECT_FALSE(doc.HasPendingLookups());
}

TEST_F(NetloreDocTest, DevicesAndPipesAreNotOpened)
{
    // /dev/zero would never end; a FIFO without a writer would block the open.
    EXPECT_FALSE(Open("/dev/zero"));
    const std::string fifo = dir.File("pipe.qdl");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(Open(fifo));
    EXPECT_TRUE(errors.empty());
}
