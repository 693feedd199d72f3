#pragma once

#include "cli/CliCommand.h"
#include "cli/CliOutput.h"
#include "core/document/DocumentLock.h"
#include "core/document/NetloreDoc.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// Opening and saving a document for the commands. Header only: the commands'
// build picks up Cmd*.cpp files alone.

// How opening went.
struct CCliOpenResult {
    bool m_bOpened = false; // the document is usable (read, or new when allowed)
    bool m_bCreated = false; // the file did not exist: the document is new
    int m_nErrors = 0; // archive errors while reading (reported on stderr)
    int m_nExit = cliExitFailed; // the exit status when it was not opened
};

// Why a file cannot be read, in the system's words (empty when it can be opened).
inline std::string CliReadReason(const std::string& strPath)
{
    // Non-blocking: a FIFO must not wait for a writer (holding the lock meanwhile).
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return SystemReason(errno);
    struct stat st { };
    const bool bStat = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (bStat && S_ISDIR(st.st_mode))
        return "is a directory";
    if (bStat && !S_ISREG(st.st_mode))
        return "is not a regular file";
    return std::string();
}

// Opens a document. A command that will save it passes pLock: the document's lock
// is taken first, so that two writers cannot both read, change and save it.
inline CCliOpenResult OpenCliDocument(CCliContext& ctx, const char* pszCommand, const std::string& strPath,
                                      CNetloreDoc& doc, bool bCreateWhenMissing, CDocumentLock* pLock = nullptr)
{
    CCliOpenResult result;
    if (pLock) {
        switch (pLock->Acquire(strPath)) {
        case CDocumentLock::acquired:
            break;
        case CDocumentLock::inUse:
            CliMessage(ctx, pszCommand, strPath + " is in use by process " + std::to_string(pLock->OwnerPid()));
            result.m_nExit = cliExitInUse;
            return result;
        default:
            CliMessage(ctx, pszCommand,
                       "cannot lock " + strPath + ": " + CDocumentLock::LockPathFor(strPath) + ": " + pLock->Error());
            return result;
        }
    }
    struct stat st { };
    if (::stat(strPath.c_str(), &st) != 0 && errno == ENOENT) {
        if (!bCreateWhenMissing) {
            CliMessage(ctx, pszCommand, strPath + ": no such document");
            return result;
        }
        doc.OnNewDocument();
        doc.SetPathName(strPath);
        doc.RefreshTitle();
        result.m_bOpened = true;
        result.m_bCreated = true;
        return result;
    }
    // Named like every other message of the command, so that it reads as this
    // command's report about this file.
    auto sink = [&](const std::string& strMessage) { CliMessage(ctx, pszCommand, strMessage); };
    if (!doc.OnOpenDocument(strPath, sink, &result.m_nErrors)) {
        const std::string strReason = CliReadReason(strPath);
        CliMessage(ctx, pszCommand,
                   strPath + ": " + CNetloreDoc::kMsgFailedToOpen + (strReason.empty() ? "" : " (" + strReason + ")"));
        return result;
    }
    result.m_bOpened = true;
    return result;
}

inline bool SaveCliDocument(CCliContext& ctx, const char* pszCommand, const std::string& strPath, CNetloreDoc& doc)
{
    errno = 0;
    if (doc.OnSaveDocument(strPath))
        return true;
    const int nErr = errno;
    CliMessage(ctx, pszCommand,
               strPath + ": " + CNetloreDoc::kMsgFailedToSave + (nErr ? " (" + SystemReason(nErr) + ")" : ""));
    return false;
}
