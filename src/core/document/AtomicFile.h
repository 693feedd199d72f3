#pragma once

#include "core/document/ArchiveIo.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>

// Replaces a file so that readers and a crash see either the old or the whole new
// contents, never a part: the bytes go to a temporary file in the target's folder,
// which is synced and renamed over the target, and the folder is synced too.
//
// - A symbolic link is followed: the file it points to is replaced, not the link.
// - The new file keeps the old one's permissions (and owner, where allowed); a new
//   file gets the usual ones (0666 less the umask).
// - A target the user could not write in place (e.g. mode 444) is refused, as is a
//   directory. A device or pipe (/dev/null, a FIFO) cannot be replaced: it is
//   written directly.
// - The temporary file has no name while it is written where the file system
//   allows it, so a crash leaves nothing behind. Otherwise it is named
//   "TARGET.tmp-PID-XXXXXX"; the next save of that target removes such files whose
//   process no longer runs.
// - Every error names the path and the system's reason.
//
// Nothing is changed until Commit succeeds; destroying an uncommitted file
// throws the temporary away.
class CAtomicFile : public CByteSink
{
public:
    CAtomicFile() = default;
    ~CAtomicFile() override;
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    [[nodiscard]] bool Open(const std::string& strPath);
    [[nodiscard]] bool Write(const char* pData, size_t nSize) override;
    [[nodiscard]] bool Commit();
    void Abort();

    // "PATH: reason" for the first failure.
    const std::string& GetError() const { return m_strError; }

private:
    bool Fail(const std::string& strPath, int nErrno);
    bool Fail(const std::string& strPath, const char* pszReason);
    void RemoveStaleTemporaries() const;
    bool CreateTemporary(mode_t mode);
    bool NameTemporary();

    std::string m_strTarget; // the file that is replaced, links resolved
    std::string m_strFolder;
    std::string m_strBase; // the target's name within its folder
    std::string m_strTemp; // the temporary's name within the folder, once it has one
    int m_fd = -1;
    int m_dirFd = -1;
    bool m_bAnonymous = false; // no name yet (O_TMPFILE)
    bool m_bInPlace = false; // a device or pipe, written directly
    bool m_bFailed = false;
    std::string m_strError;
    // Bytes written, and how far the disk was told to start writing them out.
    uint64_t m_nWritten = 0;
    uint64_t m_nWriteBehind = 0;
};

// Writes the bytes to strPath through a CAtomicFile. False with "PATH: reason" in
// strError when the file could not be written; the old file is then unchanged.
[[nodiscard]] bool WriteFileAtomically(const std::string& strPath, std::string_view bytes, std::string& strError);
