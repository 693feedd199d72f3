#include "core/document/DocumentLock.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(DocumentLock, OneHolderPerDocumentAcrossAndWithinProcesses)
{
    CTempDir dir;
    const std::string doc = dir.File("a.qdl");
    CDocumentLock first;
    ASSERT_EQ(first.Acquire(doc), CDocumentLock::acquired);

    // A second holder in this process: fcntl alone would let it through.
    CDocumentLock second;
    EXPECT_EQ(second.Acquire(doc), CDocumentLock::inUse);
    EXPECT_EQ(second.OwnerPid(), getpid());

    // Another process sees the owner's process id, in the file too. (Only another
    // process may read the file: closing any descriptor of it drops the owner's lock.)
    const pid_t child = fork();
    if (child == 0) {
        CDocumentLock other;
        const bool bOk = other.Acquire(doc) == CDocumentLock::inUse && other.OwnerPid() == getppid() &&
                         ReadFileBytes(CDocumentLock::LockPathFor(doc)) == std::to_string(getppid()) + "\n";
        _exit(bOk ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // Released: the file goes, and the next holder gets it.
    first.Release();
    EXPECT_NE(access(CDocumentLock::LockPathFor(doc).c_str(), F_OK), 0);
    EXPECT_EQ(second.Acquire(doc), CDocumentLock::acquired);
}

TEST(DocumentLock, ALockFileThatIsNoFileIsRefused)
{
    CTempDir dir;
    const std::string doc = dir.File("b.qdl");
    struct Case {
        const char* what;
        bool bSymlink;
    };
    for (const Case& c : {Case {"a directory", false}, Case {"a link", true}}) {
        SCOPED_TRACE(c.what);
        const std::string lock = CDocumentLock::LockPathFor(doc);
        if (c.bSymlink) {
            rmdir(lock.c_str());
            ASSERT_EQ(symlink(dir.File("elsewhere").c_str(), lock.c_str()), 0);
        } else {
            ASSERT_EQ(mkdir(lock.c_str(), 0700), 0);
        }
        CDocumentLock l;
        EXPECT_EQ(l.Acquire(doc), CDocumentLock::failed);
        EXPECT_FALSE(l.Error().empty());
        EXPECT_NE(access(dir.File("elsewhere").c_str(), F_OK), 0) << "followed the link";
    }
}
