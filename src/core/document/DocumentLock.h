#pragma once

#include <string>
#include <sys/types.h>

// One writer per document: "DOC.lock" beside the document holds the owner's
// process id and an fcntl write lock for as long as the owner lives. The kernel
// drops the lock however the process ends, so a lock file left behind by a dead
// process is simply taken over. The lock sits on a file of its own because a save
// renames a new document over the old one, which would lose a lock on the document.
// The holder must never open the lock file itself: closing any descriptor of a file
// drops the process's fcntl locks on it.
class CDocumentLock
{
public:
    enum EResult
    {
        acquired,
        inUse, // another process holds it (OwnerPid says which)
        failed, // the lock file could not be made (Error says why)
    };

    CDocumentLock() = default;
    ~CDocumentLock();
    CDocumentLock(const CDocumentLock&) = delete;
    CDocumentLock& operator=(const CDocumentLock&) = delete;

    // Takes the lock of the document at strDocPath without waiting.
    EResult Acquire(const std::string& strDocPath);
    // Releases the lock and removes the lock file.
    void Release();

    bool IsHeld() const { return m_nFd >= 0; }
    pid_t OwnerPid() const { return m_nOwnerPid; }
    const std::string& Error() const { return m_strError; }

    // The lock belongs to the file a save would replace: through a symbolic link or
    // another spelling of the path, two writers still meet at the same lock.
    static std::string LockPathFor(const std::string& strDocPath) { return RealPathOf(strDocPath) + ".lock"; }
    // The resolved path of the document, or of its folder when the file does not exist
    // yet (the path as given when neither resolves).
    static std::string RealPathOf(const std::string& strDocPath);

private:
    int m_nFd = -1;
    pid_t m_nOwnerPid = 0;
    std::string m_strPath;
    std::string m_strKey;
    std::string m_strError;
};
