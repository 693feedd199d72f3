#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Where an archive's bytes come from and go to. The archive buffers; these only
// move blocks.
class CByteSource
{
public:
    virtual ~CByteSource() = default;
    // Up to nSize bytes; 0 at the end or on a read error.
    virtual size_t Read(char* pDest, size_t nSize) = 0;
    // Bytes still to come. The reader checks every length and count against it, so
    // it never allocates more than the input could hold.
    virtual uint64_t Remaining() const = 0;
};

class CByteSink
{
public:
    virtual ~CByteSink() = default;
    // False when the bytes could not all be written.
    virtual bool Write(const char* pData, size_t nSize) = 0;
};

// Bytes held by the caller (tests, the fuzzer). The view must outlive the source.
class CMemoryByteSource : public CByteSource
{
public:
    explicit CMemoryByteSource(std::string_view bytes)
        : m_bytes(bytes)
    { }
    size_t Read(char* pDest, size_t nSize) override;
    uint64_t Remaining() const override { return m_bytes.size() - m_nPos; }

private:
    std::string_view m_bytes;
    size_t m_nPos = 0;
};

class CStringByteSink : public CByteSink
{
public:
    bool Write(const char* pData, size_t nSize) override
    {
        m_strBytes.append(pData, nSize);
        return true;
    }
    const std::string& Bytes() const { return m_strBytes; }

private:
    std::string m_strBytes;
};

// A regular file opened for reading; anything else (a directory, a device, a pipe)
// is refused, since its size is not known and it may never end.
class CFileByteSource : public CByteSource
{
public:
    CFileByteSource() = default;
    ~CFileByteSource() override;
    CFileByteSource(const CFileByteSource&) = delete;
    CFileByteSource& operator=(const CFileByteSource&) = delete;

    bool Open(const std::string& strPath);
    size_t Read(char* pDest, size_t nSize) override;
    uint64_t Remaining() const override;

private:
    int m_fd = -1;
    uint64_t m_nSize = 0;
    uint64_t m_nPos = 0;
};

// Writes to a file descriptor the caller owns.
class CFdByteSink : public CByteSink
{
public:
    explicit CFdByteSink(int fd)
        : m_fd(fd)
    { }
    bool Write(const char* pData, size_t nSize) override;

private:
    int m_fd;
};
