#pragma once

#include "core/document/ArchiveClass.h"
#include "core/document/ArchiveException.h"
#include "core/document/ArchiveIo.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The object archive of the document file: little-endian numbers, length-prefixed
// single-byte strings and tagged objects (new class, class reference, null).
//
// Loading never aborts and never lets an exception out of the document reader:
// Read* throw CArchiveException, which the record and the collection catch and hand
// to ReportError; the error sink receives the user-visible message. A length or
// count is checked against the bytes left before anything is allocated for it.
class CArchive
{
public:
    using ErrorSink = std::function<void(const std::string& strMessage)>;

    // Storing into pSink.
    explicit CArchive(CByteSink& sink);
    // Loading from source; strFileName stands for %1 in the messages.
    CArchive(CByteSource& source, std::string strFileName, ErrorSink errorSink);
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsStoring() const { return m_pSink != nullptr; }
    bool IsLoading() const { return m_pSource != nullptr; }
    const std::string& GetFileName() const { return m_strFileName; }

    // ---- storing ----
    // The small writes a record is made of go straight into the buffer.
    void Write(const void* pData, size_t nSize)
    {
        if (nSize != 0 && nSize <= kBufferSize - m_nPos) {
            std::memcpy(m_buf.get() + m_nPos, pData, nSize);
            m_nPos += nSize;
            return;
        }
        WriteBeyondBuffer(pData, nSize);
    }
    void WriteU8(uint8_t n) { Write(&n, 1); }
    void WriteU16(uint16_t n)
    {
        const unsigned char b[2] = {uint8_t(n), uint8_t(n >> 8)};
        Write(b, 2);
    }
    void WriteU32(uint32_t n)
    {
        const unsigned char b[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
        Write(b, 4);
    }
    void WriteI32(int32_t n) { WriteU32(uint32_t(n)); }
    void WriteU64(uint64_t n)
    {
        const unsigned char b[8] = {uint8_t(n),       uint8_t(n >> 8),  uint8_t(n >> 16), uint8_t(n >> 24),
                                    uint8_t(n >> 32), uint8_t(n >> 40), uint8_t(n >> 48), uint8_t(n >> 56)};
        Write(b, 8);
    }
    void WriteDouble(double d)
    {
        uint64_t n;
        std::memcpy(&n, &d, sizeof n);
        WriteU64(n);
    }
    void WriteStringLength(uint64_t nLength);
    void WriteString(std::string_view str);
    // The tag before an object of this class: the class record the first time, a
    // class reference afterwards. The object then takes the next table index.
    void WriteObjectClass(const CArchiveClass& cls);
    // Pushes the buffer to the sink; false once any write failed.
    bool Flush();
    bool HasWriteError() const { return m_bWriteError; }

    // ---- loading ----
    // Numbers whose bytes are all in the buffer are taken from it inline; the rest
    // (and every failure) go through Read.
    void Read(void* pDest, size_t nSize);
    uint8_t ReadU8()
    {
        if (m_nPos == m_nEnd && !Fill())
            ThrowEndOfFile();
        return uint8_t(m_buf[m_nPos++]);
    }
    uint16_t ReadU16()
    {
        unsigned char b[2];
        TakeBytes(b, 2);
        return uint16_t(b[0] | (b[1] << 8));
    }
    uint32_t ReadU32()
    {
        unsigned char b[4];
        TakeBytes(b, 4);
        return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
    }
    int32_t ReadI32() { return int32_t(ReadU32()); }
    uint64_t ReadU64()
    {
        unsigned char b[8];
        TakeBytes(b, 8);
        uint64_t n = 0;
        for (int i = 7; i >= 0; --i)
            n = (n << 8) | b[i];
        return n;
    }
    double ReadDouble()
    {
        const uint64_t n = ReadU64();
        double d;
        std::memcpy(&d, &n, sizeof d);
        return d;
    }
    // A string in any of the prefix forms; UTF-16LE strings come back as single
    // bytes: code points below 256 as that byte, everything else as '?'.
    void ReadString(std::string& strOut);
    // The same, as a view that stays valid until the next read: straight from the
    // buffer for short strings, otherwise through strScratch.
    std::string_view ReadStringView(std::string& strScratch)
    {
        if (m_nPos < m_nEnd) {
            const size_t n = (unsigned char)m_buf[m_nPos];
            if (n < 0xFF && n < m_nEnd - m_nPos) {
                const std::string_view view(m_buf.get() + m_nPos + 1, n);
                m_nPos += n + 1;
                return view;
            }
        }
        ReadString(strScratch);
        return strScratch;
    }
    uint64_t Remaining() const { return (m_nEnd - m_nPos) + m_pSource->Remaining(); }
    bool AtEnd() const { return Remaining() == 0; }
    // Reads an object entry's tag and class, requiring a class derived from
    // requested. nullptr for a null entry. A back-reference to an earlier object is
    // refused (badIndex): one object must never be handed out twice.
    const CArchiveClass* ReadObjectClass(const CArchiveClass& requested);

    // Shows the exception's message through the sink. End of data is reported once
    // per archive: after it everything else runs into the same end.
    void ReportError(const CArchiveException& e);
    int GetErrorCount() const { return m_nErrors; }

private:
    static constexpr size_t kBufferSize = 64 * 1024;

    void FlushBuffer();
    void WriteBeyondBuffer(const void* pData, size_t nSize);
    bool Fill();
    [[noreturn]] void ThrowEndOfFile();
    void TakeBytes(unsigned char* pDest, size_t nSize)
    {
        if (m_nEnd - m_nPos >= nSize) {
            std::memcpy(pDest, m_buf.get() + m_nPos, nSize);
            m_nPos += nSize;
        } else {
            Read(pDest, nSize);
        }
    }

    CByteSink* m_pSink = nullptr;
    CByteSource* m_pSource = nullptr;
    std::string m_strFileName;
    ErrorSink m_errorSink;

    std::unique_ptr<char[]> m_buf;
    size_t m_nPos = 0; // loading: next byte; storing: bytes used
    size_t m_nEnd = 0; // loading: bytes in the buffer
    bool m_bWriteError = false;

    // Object table: index 0 is the null object; classes and objects take the next
    // index as they appear. Only the classes' indexes need remembering.
    uint32_t m_nMapCount = 1;
    std::vector<std::pair<uint32_t, const CArchiveClass*>> m_classes;

    int m_nErrors = 0;
    bool m_bReportedEnd = false;
};
