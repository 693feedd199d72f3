#pragma once

#include "core/document/ArchiveClass.h"
#include "core/document/ArchiveException.h"
#include "core/document/ArchiveIo.h"

#include <cstdint>
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
    void Write(const void* pData, size_t nSize);
    void WriteU8(uint8_t n) { Write(&n, 1); }
    void WriteU16(uint16_t n);
    void WriteU32(uint32_t n);
    void WriteI32(int32_t n) { WriteU32(uint32_t(n)); }
    void WriteU64(uint64_t n);
    void WriteDouble(double d);
    void WriteStringLength(uint64_t nLength);
    void WriteString(std::string_view str);
    // The tag before an object of this class: the class record the first time, a
    // class reference afterwards. The object then takes the next table index.
    void WriteObjectClass(const CArchiveClass& cls);
    // Pushes the buffer to the sink; false once any write failed.
    bool Flush();
    bool HasWriteError() const { return m_bWriteError; }

    // ---- loading ----
    void Read(void* pDest, size_t nSize);
    uint8_t ReadU8();
    uint16_t ReadU16();
    uint32_t ReadU32();
    int32_t ReadI32() { return int32_t(ReadU32()); }
    uint64_t ReadU64();
    double ReadDouble();
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
    void FlushBuffer();
    bool Fill();
    [[noreturn]] void ThrowEndOfFile();

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
