#include "core/document/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char kTempMark[] = ".tmp-";

// Six characters that make a temporary's name unlikely to be taken.
std::string RandomSuffix()
{
    static std::atomic<uint64_t> s_nCounter {0};
    uint64_t n = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                 (s_nCounter.fetch_add(1) * 0x9E3779B97F4A7C15ull) ^ (uint64_t(::getpid()) << 32);
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s;
    for (int i = 0; i < 6; ++i) {
        s += kChars[n % 36];
        n /= 36;
        n ^= n << 13;
    }
    return s;
}

// The process id in a temporary's name "BASE.tmp-PID-XXXXXX"; 0 when the name is not one.
pid_t TemporaryOwner(std::string_view name, std::string_view prefix)
{
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix)
        return 0;
    name.remove_prefix(prefix.size());
    long pid = 0;
    size_t i = 0;
    while (i < name.size() && i < 10 && name[i] >= '0' && name[i] <= '9')
        pid = pid * 10 + (name[i++] - '0');
    if (i == 0 || pid <= 0 || pid > INT_MAX || name.size() != i + 7 || name[i] != '-')
        return 0;
    return pid_t(pid);
}

} // namespace

CAtomicFile::~CAtomicFile()
{
    Abort();
}

bool CAtomicFile::Fail(const std::string& strPath, int nErrno)
{
    return Fail(strPath, std::strerror(nErrno));
}

bool CAtomicFile::Fail(const std::string& strPath, const char* pszReason)
{
    if (!m_bFailed) {
        m_bFailed = true;
        m_strError = strPath + ": " + pszReason;
    }
    return false;
}

bool CAtomicFile::Open(const std::string& strPath)
{
    Abort();
    m_bFailed = false;
    m_strError.clear();
    m_nWritten = m_nWriteBehind = 0;
    if (strPath.empty())
        return Fail(strPath, ENOENT);

    // Saving through a symbolic link replaces the file it points to, not the link.
    m_strTarget = strPath;
    if (char* pReal = ::realpath(strPath.c_str(), nullptr)) {
        m_strTarget = pReal;
        std::free(pReal);
    }
    const size_t nSlash = m_strTarget.rfind('/');
    m_strFolder = nSlash == std::string::npos ? "." : nSlash == 0 ? "/" : m_strTarget.substr(0, nSlash);
    m_strBase = nSlash == std::string::npos ? m_strTarget : m_strTarget.substr(nSlash + 1);
    if (m_strBase.empty() || m_strBase == "." || m_strBase == "..")
        return Fail(strPath, EISDIR);

    struct stat st { };
    const bool bExists = ::stat(m_strTarget.c_str(), &st) == 0;
    if (!bExists && errno != ENOENT)
        return Fail(strPath, errno);
    if (bExists) {
        if (S_ISDIR(st.st_mode))
            return Fail(strPath, EISDIR);
        if (!S_ISREG(st.st_mode)) {
            // Nothing to rename over a device or a pipe: its reader gets the bytes as they come.
            m_fd = ::open(m_strTarget.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
            if (m_fd < 0)
                return Fail(strPath, errno);
            m_bInPlace = true;
            return true;
        }
        // Renaming needs only the folder's permission; the file's own must not be
        // overridden that way.
        if (::faccessat(AT_FDCWD, m_strTarget.c_str(), W_OK, AT_EACCESS) != 0)
            return Fail(strPath, errno);
    }

    m_dirFd = ::open(m_strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_dirFd < 0)
        return Fail(m_strFolder, errno);
    RemoveStaleTemporaries();
    if (!CreateTemporary(0666))
        return false;

    if (bExists) {
        if (::fchmod(m_fd, st.st_mode & 07777) != 0)
            return Fail(strPath, errno);
        // Only a privileged user can give the file away; everyone else keeps it.
        struct stat tmp { };
        if (::fstat(m_fd, &tmp) == 0 && (tmp.st_uid != st.st_uid || tmp.st_gid != st.st_gid) &&
            ::fchown(m_fd, st.st_uid, st.st_gid) == 0)
            ::fchmod(m_fd, st.st_mode & 07777); // chown may have cleared set-id bits
    }
    return true;
}

bool CAtomicFile::CreateTemporary(mode_t mode)
{
#ifdef O_TMPFILE
    // An unnamed file is given its name through /proc at the end; without /proc it
    // could not be named, so a named one is used from the start.
    if (::access("/proc/self/fd", F_OK) == 0) {
        m_fd = ::openat(m_dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        if (m_fd >= 0) {
            m_bAnonymous = true;
            return true;
        }
        // Only a file system without unnamed files falls back to a named one.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
            return Fail(m_strFolder, errno);
    }
#endif
    for (int nTry = 0; nTry < 100; ++nTry) {
        const std::string strName = m_strBase + kTempMark + std::to_string(::getpid()) + "-" + RandomSuffix();
        m_fd = ::openat(m_dirFd, strName.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
        if (m_fd >= 0) {
            m_strTemp = strName;
            return true;
        }
        if (errno != EEXIST)
            return Fail(m_strFolder, errno);
    }
    return Fail(m_strFolder, EEXIST);
}

bool CAtomicFile::NameTemporary()
{
    const std::string strProc = "/proc/self/fd/" + std::to_string(m_fd);
    for (int nTry = 0; nTry < 100; ++nTry) {
        const std::string strName = m_strBase + kTempMark + std::to_string(::getpid()) + "-" + RandomSuffix();
        int rc = ::linkat(AT_FDCWD, strProc.c_str(), m_dirFd, strName.c_str(), AT_SYMLINK_FOLLOW);
#ifdef AT_EMPTY_PATH
        if (rc != 0 && errno == ENOENT) // no /proc: works with the right capability only
            rc = ::linkat(m_fd, "", m_dirFd, strName.c_str(), AT_EMPTY_PATH);
#endif
        if (rc == 0) {
            m_strTemp = strName;
            m_bAnonymous = false;
            return true;
        }
        if (errno != EEXIST)
            return Fail(m_strFolder, errno);
    }
    return Fail(m_strFolder, EEXIST);
}

void CAtomicFile::RemoveStaleTemporaries() const
{
    const int fd = ::dup(m_dirFd);
    if (fd < 0)
        return;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    ::rewinddir(dir);
    const std::string strPrefix = m_strBase + kTempMark;
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t pid = TemporaryOwner(entry->d_name, strPrefix);
        if (pid != 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
            ::unlinkat(m_dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

bool CAtomicFile::Write(const char* pData, size_t nSize)
{
    if (m_bFailed || m_fd < 0)
        return m_bFailed ? false : Fail(m_strTarget, EBADF);
    while (nSize > 0) {
        const ssize_t n = ::write(m_fd, pData, nSize);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail(m_strTarget, n < 0 ? errno : ENOSPC);
        pData += n;
        nSize -= size_t(n);
        m_nWritten += uint64_t(n);
    }
    // The disk starts on what is written while the rest is being made, so that the
    // fsync of a large document waits only for its last part. (Only a hint: a
    // failure here shows in the fsync.)
    constexpr uint64_t kWriteBehind = 8 << 20;
    if (!m_bInPlace && m_nWritten - m_nWriteBehind >= kWriteBehind) {
        ::sync_file_range(m_fd, off64_t(m_nWriteBehind), off64_t(m_nWritten - m_nWriteBehind), SYNC_FILE_RANGE_WRITE);
        m_nWriteBehind = m_nWritten;
    }
    return true;
}

bool CAtomicFile::Commit()
{
    if (m_fd < 0 && !m_bFailed)
        Fail(m_strTarget, EBADF);
    if (m_bFailed) {
        Abort();
        return false;
    }
    if (m_bInPlace) {
        const int fd = m_fd;
        m_fd = -1;
        m_bInPlace = false;
        return ::close(fd) == 0 || Fail(m_strTarget, errno);
    }
    bool bOk = ::fsync(m_fd) == 0 || Fail(m_strTarget, errno);
    bOk = bOk && (!m_bAnonymous || NameTemporary());
    const int fd = m_fd;
    m_fd = -1;
    bOk = (::close(fd) == 0 || Fail(m_strTarget, errno)) && bOk;
    bOk = bOk && (::renameat(m_dirFd, m_strTemp.c_str(), m_dirFd, m_strBase.c_str()) == 0 || Fail(m_strTarget, errno));
    if (!bOk) {
        Abort();
        return false;
    }
    m_strTemp.clear();
    // The rename itself must reach the disk too.
    ::fsync(m_dirFd);
    ::close(m_dirFd);
    m_dirFd = -1;
    return true;
}

void CAtomicFile::Abort()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_strTemp.empty() && m_dirFd >= 0)
        ::unlinkat(m_dirFd, m_strTemp.c_str(), 0);
    m_strTemp.clear();
    if (m_dirFd >= 0)
        ::close(m_dirFd);
    m_dirFd = -1;
    m_bAnonymous = false;
    m_bInPlace = false;
}

bool WriteFileAtomically(const std::string& strPath, std::string_view bytes, std::string& strError)
{
    CAtomicFile file;
    if (file.Open(strPath) && file.Write(bytes.data(), bytes.size()) && file.Commit())
        return true;
    strError = file.GetError();
    return false;
}
