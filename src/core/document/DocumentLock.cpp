#include "core/document/DocumentLock.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// fcntl locks belong to the process: a second lock on the same file from this
// process would succeed, and closing any descriptor of the file drops them all.
// So the process keeps its own list of the lock files it holds (by device and
// inode) and never opens one of those again.
std::mutex& HeldMutex()
{
    static std::mutex m;
    return m;
}

// A forked child holds none of its parent's fcntl locks, so the list belongs to one
// process id. Called with the mutex held.
std::set<std::string>& Held()
{
    static auto* held = new std::set<std::string>;
    static pid_t owner = 0;
    if (owner != ::getpid()) {
        held->clear();
        owner = ::getpid();
    }
    return *held;
}

std::string KeyOf(const struct stat& st)
{
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

pid_t ReadPid(int fd)
{
    char buf[32] = {};
    const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
    if (n <= 0)
        return 0;
    long v = std::strtol(buf, nullptr, 10);
    return v > 0 && v < (1L << 30) ? pid_t(v) : 0;
}

} // namespace

std::string CDocumentLock::RealPathOf(const std::string& strDocPath)
{
    if (char* pReal = ::realpath(strDocPath.c_str(), nullptr)) {
        std::string strReal = pReal;
        std::free(pReal);
        return strReal;
    }
    const size_t nSlash = strDocPath.rfind('/');
    const std::string strFolder = nSlash == std::string::npos ? "." : nSlash == 0 ? "/" : strDocPath.substr(0, nSlash);
    const std::string strBase = nSlash == std::string::npos ? strDocPath : strDocPath.substr(nSlash + 1);
    if (char* pReal = ::realpath(strFolder.c_str(), nullptr)) {
        std::string strReal = pReal;
        std::free(pReal);
        return (strReal == "/" ? "" : strReal) + "/" + strBase;
    }
    return strDocPath;
}

CDocumentLock::~CDocumentLock()
{
    Release();
}

CDocumentLock::EResult CDocumentLock::Acquire(const std::string& strDocPath)
{
    Release();
    m_nOwnerPid = 0;
    m_strError.clear();
    const std::string strPath = LockPathFor(strDocPath);
    std::lock_guard heldLock(HeldMutex());
    // A holder that releases removes the file; whoever opened the old one retries.
    for (int attempt = 0; attempt < 10; ++attempt) {
        struct stat before { };
        if (::lstat(strPath.c_str(), &before) == 0 && Held().count(KeyOf(before))) {
            m_nOwnerPid = ::getpid();
            return inUse;
        }
        const int fd = ::open(strPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0) {
            m_strError = std::strerror(errno);
            return failed;
        }
        struct stat st { };
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            m_strError = "the lock file is not a regular file";
            ::close(fd);
            return failed;
        }
        const std::string key = KeyOf(st);
        struct flock fl { };
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        if (::fcntl(fd, F_SETLK, &fl) != 0) {
            const int err = errno;
            if (err != EAGAIN && err != EACCES) {
                m_strError = std::strerror(err);
                ::close(fd);
                return failed;
            }
            struct flock probe { };
            probe.l_type = F_WRLCK;
            probe.l_whence = SEEK_SET;
            m_nOwnerPid = ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK ? probe.l_pid : ReadPid(fd);
            ::close(fd);
            return inUse;
        }
        struct stat now { };
        if (::stat(strPath.c_str(), &now) != 0 || KeyOf(now) != key) {
            ::close(fd);
            continue;
        }
        const std::string pid = std::to_string(::getpid()) + "\n";
        if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) != ssize_t(pid.size())) {
            m_strError = std::strerror(errno);
            ::unlink(strPath.c_str());
            ::close(fd);
            return failed;
        }
        Held().insert(key);
        m_nFd = fd;
        m_strPath = strPath;
        m_strKey = key;
        m_nOwnerPid = ::getpid();
        return acquired;
    }
    m_strError = "the lock file kept changing";
    return failed;
}

void CDocumentLock::Release()
{
    if (m_nFd < 0)
        return;
    // Removed while still locked, so nobody can lock the old file after us; a
    // forked child never held the lock and leaves the file alone.
    if (m_nOwnerPid == ::getpid())
        ::unlink(m_strPath.c_str());
    {
        std::lock_guard lock(HeldMutex());
        Held().erase(m_strKey);
    }
    ::close(m_nFd);
    m_nFd = -1;
}
