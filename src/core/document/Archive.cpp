#include "core/document/Archive.h"

#include <algorithm>
#include <cstring>

namespace {

// A class name longer than this is not one of ours (and is refused unread).
constexpr uint16_t kMaxClassName = 64;

constexpr uint16_t wNullTag = 0;
constexpr uint16_t wNewClassTag = 0xFFFF;
constexpr uint16_t wClassTag = 0x8000;
constexpr uint16_t wBigObjectTag = 0x7FFF;
constexpr uint32_t dwBigClassTag = 0x80000000u;

} // namespace

CArchive::CArchive(CByteSink& sink)
    : m_pSink(&sink)
    , m_buf(new char[kBufferSize])
{ }

CArchive::CArchive(CByteSource& source, std::string strFileName, ErrorSink errorSink)
    : m_pSource(&source)
    , m_strFileName(std::move(strFileName))
    , m_errorSink(std::move(errorSink))
    , m_buf(new char[kBufferSize])
{ }

// ---------------------------------------------------------------- storing

void CArchive::FlushBuffer()
{
    if (m_nPos && !m_bWriteError && !m_pSink->Write(m_buf.get(), m_nPos))
        m_bWriteError = true;
    m_nPos = 0;
}

void CArchive::WriteBeyondBuffer(const void* pData, size_t nSize)
{
    // An empty text's data may be null, which memcpy must not see.
    if (nSize == 0)
        return;
    const char* p = static_cast<const char*>(pData);
    if (nSize > kBufferSize - m_nPos) {
        FlushBuffer();
        if (nSize >= kBufferSize) {
            if (!m_bWriteError && !m_pSink->Write(p, nSize))
                m_bWriteError = true;
            return;
        }
    }
    std::memcpy(m_buf.get() + m_nPos, p, nSize);
    m_nPos += nSize;
}

void CArchive::WriteStringLength(uint64_t nLength)
{
    // 0xFFFE is kept out of the two-byte form: it marks a UTF-16 string.
    if (nLength < 0xFF) {
        WriteU8(uint8_t(nLength));
        return;
    }
    WriteU8(0xFF);
    if (nLength < 0xFFFE) {
        WriteU16(uint16_t(nLength));
        return;
    }
    WriteU16(0xFFFF);
    if (nLength < 0xFFFFFFFFu) {
        WriteU32(uint32_t(nLength));
        return;
    }
    WriteU32(0xFFFFFFFFu);
    WriteU64(nLength);
}

void CArchive::WriteString(std::string_view str)
{
    WriteStringLength(str.size());
    Write(str.data(), str.size());
}

void CArchive::WriteObjectClass(const CArchiveClass& cls)
{
    auto it = std::find_if(m_classes.begin(), m_classes.end(), [&](const auto& e) { return e.second == &cls; });
    if (it != m_classes.end()) {
        if (it->first < wBigObjectTag) {
            WriteU16(uint16_t(wClassTag | it->first));
        } else {
            WriteU16(wBigObjectTag);
            WriteU32(dwBigClassTag | it->first);
        }
    } else {
        const uint16_t nLen = uint16_t(std::strlen(cls.m_pszName));
        WriteU16(wNewClassTag);
        WriteU16(cls.m_wSchema);
        WriteU16(nLen);
        Write(cls.m_pszName, nLen);
        m_classes.emplace_back(m_nMapCount++, &cls);
    }
    ++m_nMapCount;
}

bool CArchive::Flush()
{
    FlushBuffer();
    return !m_bWriteError;
}

// ---------------------------------------------------------------- loading

bool CArchive::Fill()
{
    // Keeps the unread tail at the front of the buffer.
    const size_t nLeft = m_nEnd - m_nPos;
    std::memmove(m_buf.get(), m_buf.get() + m_nPos, nLeft);
    m_nPos = 0;
    m_nEnd = nLeft;
    const size_t n = m_pSource->Read(m_buf.get() + m_nEnd, kBufferSize - m_nEnd);
    m_nEnd += n;
    return n > 0;
}

void CArchive::ThrowEndOfFile()
{
    // What is left cannot be read as anything: a later read must not start in the
    // middle of it.
    m_nPos = m_nEnd = 0;
    while (m_pSource->Read(m_buf.get(), kBufferSize) > 0) {
    }
    throw CArchiveException(CArchiveException::endOfFile);
}

void CArchive::Read(void* pDest, size_t nSize)
{
    if (nSize > Remaining())
        ThrowEndOfFile();
    char* p = static_cast<char*>(pDest);
    while (nSize > 0) {
        if (m_nPos == m_nEnd) {
            if (nSize >= kBufferSize) {
                // Large blocks bypass the buffer.
                const size_t n = m_pSource->Read(p, nSize);
                if (n == 0)
                    ThrowEndOfFile();
                p += n;
                nSize -= n;
                continue;
            }
            if (!Fill())
                ThrowEndOfFile();
        }
        const size_t n = std::min(nSize, m_nEnd - m_nPos);
        std::memcpy(p, m_buf.get() + m_nPos, n);
        m_nPos += n;
        p += n;
        nSize -= n;
    }
}

void CArchive::ReadString(std::string& strOut)
{
    size_t nCharSize = 1;
    uint64_t nLength = ReadU8();
    if (nLength == 0xFF) {
        uint16_t w = ReadU16();
        if (w == 0xFFFE) {
            // UTF-16LE string: its own prefix follows, counting 16-bit units.
            nCharSize = 2;
            nLength = ReadU8();
            w = nLength == 0xFF ? ReadU16() : uint16_t(nLength);
        }
        nLength = w;
        if (w == 0xFFFF) {
            nLength = ReadU32();
            if (nLength == 0xFFFFFFFFu)
                nLength = ReadU64();
        }
    }
    if (nLength > Remaining() / nCharSize)
        ThrowEndOfFile();
    if (nCharSize == 1) {
        strOut.resize(size_t(nLength));
        Read(strOut.data(), size_t(nLength));
        return;
    }
    strOut.clear();
    strOut.reserve(size_t(nLength));
    bool bAfterHighSurrogate = false;
    for (uint64_t i = 0; i < nLength; ++i) {
        const uint16_t w = ReadU16();
        const bool bLow = w >= 0xDC00 && w < 0xE000;
        // A surrogate pair is one character and gives one '?'.
        if (!(bLow && bAfterHighSurrogate))
            strOut.push_back(w < 0x100 ? char(w) : '?');
        bAfterHighSurrogate = w >= 0xD800 && w < 0xDC00;
    }
}

const CArchiveClass* CArchive::ReadObjectClass(const CArchiveClass& requested)
{
    const uint16_t wTag = ReadU16();
    const CArchiveClass* pClass = nullptr;
    if (wTag == wNewClassTag) {
        const uint16_t wSchema = ReadU16();
        const uint16_t nLen = ReadU16();
        if (nLen >= kMaxClassName)
            throw CArchiveException(CArchiveException::badClass);
        char name[kMaxClassName];
        Read(name, nLen);
        pClass = CArchiveClass::FromName(std::string_view(name, nLen));
        if (!pClass)
            throw CArchiveException(CArchiveException::badClass);
        if (pClass->m_wSchema != wSchema)
            throw CArchiveException(CArchiveException::badSchema);
        m_classes.emplace_back(m_nMapCount++, pClass);
    } else {
        const uint32_t dwTag =
            wTag == wBigObjectTag ? ReadU32() : (uint32_t(wTag & wClassTag) << 16) | uint32_t(wTag & ~wClassTag);
        if (!(dwTag & dwBigClassTag)) {
            if (dwTag == wNullTag)
                return nullptr;
            throw CArchiveException(CArchiveException::badIndex);
        }
        const uint32_t nIndex = dwTag & ~dwBigClassTag;
        // Indexes are handed out in increasing order, so the table is sorted; a file
        // made of nothing but new-class tags must not make every lookup a scan.
        auto it = std::lower_bound(m_classes.begin(), m_classes.end(), nIndex,
                                   [](const auto& e, uint32_t n) { return e.first < n; });
        if (it != m_classes.end() && it->first == nIndex)
            pClass = it->second;
        if (!pClass)
            throw CArchiveException(CArchiveException::badIndex);
    }
    if (!pClass->IsDerivedFrom(requested))
        throw CArchiveException(CArchiveException::badClass);
    ++m_nMapCount;
    return pClass;
}

void CArchive::ReportError(const CArchiveException& e)
{
    if (e.GetCause() == CArchiveException::endOfFile) {
        if (m_bReportedEnd)
            return;
        m_bReportedEnd = true;
    }
    ++m_nErrors;
    if (m_errorSink)
        m_errorSink(CArchiveException::FormatMessage(e.GetCause(), m_strFileName));
}
