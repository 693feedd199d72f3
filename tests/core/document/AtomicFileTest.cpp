#include "core/document/AtomicFile.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::vector<std::string> FolderNames(const CTempDir& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs fn in a child process, as an unprivileged user when this one is root (the
// folder must let that user in). Returns the child's exit status, or -1.
int RunUnprivileged(const std::function<int()>& fn)
{
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(100);
        _exit(fn());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(AtomicFile, ErrorsNameThePathAndTheSystemsReason)
{
    CTempDir dir;
    std::filesystem::create_directory(dir.File("adir"));
    WriteFileBytes(dir.File("afile"), "x");
    struct Case {
        std::string path;
        std::string error;
    } cases[] = {
        {dir.File("no/such/out.txt"), dir.File("no/such") + ": " + std::strerror(ENOENT)},
        {dir.File("adir"), dir.File("adir") + ": " + std::strerror(EISDIR)},
        {dir.File("afile/out.txt"), dir.File("afile/out.txt") + ": " + std::strerror(ENOTDIR)},
        {"", std::string(": ") + std::strerror(ENOENT)},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(WriteFileAtomically(c.path, "bytes", error)) << c.path;
        EXPECT_EQ(error, c.error);
    }
    EXPECT_EQ(FolderNames(dir), (std::vector<std::string> {"adir", "afile"}));
    EXPECT_EQ(ReadFileBytes(dir.File("afile")), "x");
}

TEST(AtomicFile, ATargetTheUserCannotWriteIsRefusedAndKept)
{
    CTempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
    const std::string path = dir.File("readonly.txt");
    WriteFileBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    // The folder is writable, so only the file's own mode stands in the way.
    const int status = RunUnprivileged([&] {
        std::string error;
        if (WriteFileAtomically(path, "new", error))
            return 1;
        return error == path + ": " + std::strerror(EACCES) ? 0 : 2;
    });
    if (status == 100)
        GTEST_SKIP() << "cannot become an unprivileged user here";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFileBytes(path), "old");
    EXPECT_EQ(FolderNames(dir), (std::vector<std::string> {"readonly.txt"}));

    // The owner may still replace a file of mode 644 in the same folder.
    const std::string writable = dir.File("writable.txt");
    EXPECT_EQ(RunUnprivileged([&] {
                  std::string error;
                  WriteFileBytes(writable, "old");
                  ::chmod(writable.c_str(), 0604);
                  return WriteFileAtomically(writable, "new", error) ? 0 : 1;
              }),
              0);
    EXPECT_EQ(ReadFileBytes(writable), "new");
    struct stat st { };
    ASSERT_EQ(::stat(writable.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
}

TEST(AtomicFile, ACrashLeavesNoTemporaryAndTheOldFileWhole)
{
    CTempDir dir;
    const std::string path = dir.File("doc.qdl");
    WriteFileBytes(path, "old");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        CAtomicFile file;
        if (file.Open(path) && file.Write("new bytes", 9))
            ::kill(::getpid(), SIGKILL);
        _exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(ReadFileBytes(path), "old");
    // With unnamed temporary files nothing is left; otherwise the next save tidies up.
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "next", error)) << error;
    EXPECT_EQ(FolderNames(dir), (std::vector<std::string> {"doc.qdl"}));
    EXPECT_EQ(ReadFileBytes(path), "next");
}

TEST(AtomicFile, StaleTemporariesOfDeadProcessesAreRemovedOthersKept)
{
    CTempDir dir;
    const pid_t dead = fork();
    ASSERT_GE(dead, 0);
    if (dead == 0)
        _exit(0);
    waitpid(dead, nullptr, 0);
    const std::string stale = "doc.qdl.tmp-" + std::to_string(dead) + "-abc123";
    const std::vector<std::string> kept = {
        "doc.qdl.tmp-" + std::to_string(::getpid()) + "-abc123", // a live process's
        "doc.qdl.tmp-1-abc123", // init runs
        "doc.qdl.tmp-" + std::to_string(dead) + "-abc12", // not our pattern
        "doc.qdl.tmp-x-abc123",
        "other.qdl.tmp-" + std::to_string(dead) + "-abc123", // another document's
        "doc.qdl.backup",
    };
    WriteFileBytes(dir.File(stale), "stale");
    for (const std::string& name : kept)
        WriteFileBytes(dir.File(name), "keep");
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(dir.File("doc.qdl"), "doc", error)) << error;
    std::vector<std::string> expected = kept;
    expected.push_back("doc.qdl");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FolderNames(dir), expected);
}

TEST(AtomicFile, DevicesAreWrittenInPlaceAndUncommittedFilesLeaveNothing)
{
    std::string error;
    EXPECT_TRUE(WriteFileAtomically("/dev/null", "discarded", error)) << error;
    if (::access("/dev/full", W_OK) == 0) {
        EXPECT_FALSE(WriteFileAtomically("/dev/full", "x", error));
        EXPECT_EQ(error, std::string("/dev/full: ") + std::strerror(ENOSPC));
    }

    CTempDir dir;
    {
        CAtomicFile file;
        ASSERT_TRUE(file.Open(dir.File("never.txt")));
        ASSERT_TRUE(file.Write("abc", 3));
    }
    {
        CAtomicFile file;
        ASSERT_TRUE(file.Open(dir.File("aborted.txt")));
        file.Abort();
        EXPECT_FALSE(file.Commit());
    }
    EXPECT_TRUE(FolderNames(dir).empty());
}
