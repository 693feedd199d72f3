#include "core/document/ArchiveIo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

size_t CMemoryByteSource::Read(char* pDest, size_t nSize)
{
    const size_t n = std::min(nSize, m_bytes.size() - m_nPos);
    if (n)
        std::memcpy(pDest, m_bytes.data() + m_nPos, n);
    m_nPos += n;
    return n;
}

CFileByteSource::~CFileByteSource()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool CFileByteSource::Open(const std::string& strPath)
{
    // Non-blocking, so that opening a FIFO does not wait for a writer; only regular
    // files are read (a device such as /dev/zero would never end).
    m_fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0)
        return false;
    struct stat st { };
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    m_nSize = uint64_t(st.st_size);
    return true;
}

size_t CFileByteSource::Read(char* pDest, size_t nSize)
{
    nSize = size_t(std::min<uint64_t>(nSize, Remaining()));
    if (nSize == 0)
        return 0;
    size_t nDone = 0;
    while (nDone < nSize) {
        const ssize_t n = ::read(m_fd, pDest + nDone, nSize - nDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // The file shrank under us: what was promised is not coming.
            m_nSize = m_nPos + nDone;
            break;
        }
        nDone += size_t(n);
    }
    m_nPos += nDone;
    return nDone;
}

uint64_t CFileByteSource::Remaining() const
{
    return m_nSize > m_nPos ? m_nSize - m_nPos : 0;
}

bool CFdByteSink::Write(const char* pData, size_t nSize)
{
    while (nSize > 0) {
        const ssize_t n = ::write(m_fd, pData, nSize);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        pData += n;
        nSize -= size_t(n);
    }
    return true;
}
