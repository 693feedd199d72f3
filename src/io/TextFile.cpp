#include "io/TextFile.h"

#include "core/document/AtomicFile.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr unsigned kChunkSize = 1000;
// deflate cannot shrink data by more than about this factor, so a gzip trailer
// that claims more is not believed.
constexpr uint64_t kMaxDeflateRatio = 1032;

// A large text is written once, front to back: asking for huge pages spares the
// kernel most of the page faults of filling it. Only a hint; failure changes nothing.
void AdviseHugePages(std::string& text)
{
#ifdef MADV_HUGEPAGE
    constexpr size_t kHuge = size_t(2) << 20;
    if (text.capacity() < 2 * kHuge)
        return;
    const uintptr_t start = reinterpret_cast<uintptr_t>(text.data());
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t first = (start + page - 1) & ~(page - 1);
    const uintptr_t last = (start + text.capacity()) & ~(page - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)text;
#endif
}

std::string GzErrorText(gzFile gz)
{
    int code = Z_OK;
    const char* msg = gzerror(gz, &code);
    if (code == Z_ERRNO)
        return std::strerror(errno);
    if (!msg || !*msg)
        return "read error";
    // zlib names a descriptor it was given as "<fd:N>": the caller names the file.
    std::string_view text(msg);
    if (text.rfind("<fd:", 0) == 0 && text.find(">: ") != std::string_view::npos)
        text.remove_prefix(text.find(">: ") + 3);
    return std::string(text);
}

} // namespace

CTextFileReader::~CTextFileReader()
{
    if (m_gz)
        gzclose(m_gz);
    else if (m_fd >= 0)
        close(m_fd);
}

bool CTextFileReader::Open(const std::string& strPath)
{
    m_result = CTextReadResult();
    m_fd = open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        m_result.m_strError = std::strerror(errno);
        return false;
    }
    struct stat st { };
    if (fstat(m_fd, &st) != 0) {
        m_result.m_strError = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        m_result.m_strError = "is a directory";
        return false;
    }
    // A device such as /dev/zero never ends: reading it would never return.
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
        m_result.m_strError = "not a regular file";
        return false;
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        m_nFileSize = uint64_t(st.st_size);
        m_nExpected = m_nFileSize;
        // Read with pread, so the descriptor's position stays at the start.
        unsigned char magic[2];
        unsigned char trailer[4];
        if (m_nFileSize >= 18 && pread(m_fd, magic, 2, 0) == 2 && magic[0] == 0x1f && magic[1] == 0x8b &&
            pread(m_fd, trailer, 4, off_t(m_nFileSize - 4)) == 4) {
            // The last member's length modulo 2^32.
            const uint64_t isize = uint64_t(trailer[0]) | uint64_t(trailer[1]) << 8 | uint64_t(trailer[2]) << 16 |
                                   uint64_t(trailer[3]) << 24;
            m_nExpected = std::min(isize, m_nFileSize * kMaxDeflateRatio);
        }
    }
    m_gz = gzdopen(m_fd, "rb");
    if (!m_gz) {
        m_result.m_strError = "cannot open";
        return false;
    }
    m_result.m_bOpened = true;
    // A larger internal buffer means fewer system calls; the chunks stay 1000 bytes.
    gzbuffer(m_gz, 1u << 17);
    m_bCompressed = gzdirect(m_gz) == 0;
    return true;
}

void CTextFileReader::Finish(int nLastRead)
{
    m_bEnded = true;
    if (nLastRead < 0) {
        m_result.m_strError = GzErrorText(m_gz);
        return;
    }
    // A short read can also end in an error (a truncated gzip stream).
    int code = Z_OK;
    gzerror(m_gz, &code);
    if (code != Z_OK)
        m_result.m_strError = GzErrorText(m_gz);
    else
        m_result.m_bComplete = true;
}

bool CTextFileReader::Read(std::string& strBuffer, size_t nWanted)
{
    if (!m_strAhead.empty()) {
        strBuffer += m_strAhead;
        m_result.m_nTextBytes += m_strAhead.size();
        m_strAhead.clear();
        m_strAhead.shrink_to_fit();
        return !m_bEnded;
    }
    if (!m_gz || m_bEnded)
        return false;
    const size_t nStart = strBuffer.size();
    try {
        char chunk[kChunkSize];
        while (strBuffer.size() - nStart < nWanted) {
            const int nRead = gzread(m_gz, chunk, kChunkSize);
            const size_t nGot = nRead > 0 ? size_t(nRead) : 0;
            if (m_bSkipDamagedLines) {
                AppendLines(strBuffer, chunk, nGot);
                if (nRead != int(kChunkSize)) {
                    AppendLines(strBuffer, nullptr, 0);
                    Finish(nRead);
                    break;
                }
                continue;
            }
            // A zero byte cuts its chunk short.
            const void* pZero = std::memchr(chunk, 0, nGot);
            const size_t nKeep = pZero ? size_t(static_cast<const char*>(pZero) - chunk) : nGot;
            m_result.m_nBytesCut += nGot - nKeep;
            if (strBuffer.size() + nKeep > strBuffer.capacity())
                strBuffer.reserve(strBuffer.capacity() + strBuffer.capacity() / 2 + nKeep);
            strBuffer.append(chunk, nKeep);
            if (nRead != int(kChunkSize)) {
                Finish(nRead);
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        m_result.m_strError = "out of memory";
        m_bEnded = true;
    }
    m_result.m_nTextBytes += strBuffer.size() - nStart;
    // Asking for the offset costs a system call: not for every small read.
    if (m_bCompressed && (m_bEnded || m_result.m_nTextBytes - m_nOffsetAsked >= (uint64_t(1) << 18))) {
        m_nCompressedRead = uint64_t(std::max<z_off_t>(gzoffset(m_gz), 0));
        m_nOffsetAsked = m_result.m_nTextBytes;
    }
    return !m_bEnded;
}

void CTextFileReader::AppendLines(std::string& strBuffer, const char* pData, size_t nSize)
{
    // A line longer than this is handed on in pieces (the reader of lines bounds
    // it); a zero byte after that point drops only the rest of the line.
    constexpr size_t kHoldLimit = size_t(1) << 20;
    auto append = [&](std::string_view piece) {
        if (strBuffer.size() + piece.size() > strBuffer.capacity())
            strBuffer.reserve(strBuffer.capacity() + strBuffer.capacity() / 2 + piece.size());
        strBuffer.append(piece);
    };
    if (!pData) {
        // The end of the text ends the last line.
        if (m_bLineDamaged) {
            ++m_result.m_nDamagedLines;
            m_result.m_nBytesCut += m_strLine.size();
        } else {
            append(m_strLine);
        }
        std::string().swap(m_strLine);
        m_bLineDamaged = false;
        return;
    }
    const std::string_view data(pData, nSize);
    // A chunk without a zero byte, after an undamaged line, is whole lines and the
    // start of the next: in one piece up to its last line break.
    if (!m_bLineDamaged && std::memchr(pData, 0, nSize) == nullptr) {
        size_t nTail = nSize;
        while (nTail > 0 && pData[nTail - 1] != '\r' && pData[nTail - 1] != '\n')
            --nTail;
        if (nTail > 0) {
            append(m_strLine);
            append(data.substr(0, nTail));
            m_strLine.clear();
        }
        m_strLine.append(data.substr(nTail));
        if (m_strLine.size() >= kHoldLimit) {
            append(m_strLine);
            m_strLine.clear();
        }
        return;
    }
    size_t nPos = 0;
    while (nPos < data.size()) {
        size_t nBreak = nPos;
        while (nBreak < data.size() && data[nBreak] != '\r' && data[nBreak] != '\n')
            ++nBreak;
        if (nBreak == data.size())
            nBreak = std::string_view::npos;
        const size_t nEnd = nBreak == std::string_view::npos ? data.size() : nBreak + 1;
        const std::string_view piece = data.substr(nPos, nEnd - nPos);
        nPos = nEnd;
        if (!m_bLineDamaged && piece.find('\0') != std::string_view::npos) {
            m_bLineDamaged = true;
            m_result.m_nBytesCut += m_strLine.size();
            m_strLine.clear();
        }
        if (m_bLineDamaged)
            m_result.m_nBytesCut += piece.size();
        else
            m_strLine.append(piece);
        if (nBreak == std::string_view::npos) {
            if (!m_bLineDamaged && m_strLine.size() >= kHoldLimit) {
                append(m_strLine);
                m_strLine.clear();
            }
            break;
        }
        if (m_bLineDamaged) {
            ++m_result.m_nDamagedLines;
            m_bLineDamaged = false;
        } else {
            append(m_strLine);
            m_strLine.clear();
        }
    }
}

bool CTextFileReader::IsEmpty()
{
    if (m_result.m_nTextBytes == 0 && m_strAhead.empty() && !m_bEnded) {
        Read(m_strAhead, kChunkSize);
        m_result.m_nTextBytes -= m_strAhead.size(); // counted again when handed out
    }
    return m_result.m_nTextBytes == 0 && m_strAhead.empty();
}

int CTextFileReader::Percent(uint64_t nTextOffset) const
{
    if (m_nFileSize == 0)
        return 0;
    const uint64_t nAt = m_bCompressed ? m_nCompressedRead : nTextOffset;
    return int(std::min<uint64_t>(nAt, m_nFileSize) * 100 / m_nFileSize);
}

CTextReadResult ReadTextFile(const std::string& strPath, std::string& strText, uint64_t nMinLimit)
{
    strText.clear();
    CTextFileReader reader;
    if (!reader.Open(strPath))
        return reader.Result();
    CTextReadResult result;
    try {
        const uint64_t expected = reader.ExpectedTextSize();
        if (expected > 0 && expected < strText.max_size())
            strText.reserve(size_t(expected));
        AdviseHugePages(strText);

        // A gzip stream can expand a thousandfold: a small "log" must not be able to
        // fill the memory. Real logs compress far less than 64 to 1.
        const uint64_t nLimit = std::max<uint64_t>(nMinLimit, reader.FileSize() * 64);
        bool bMore = true;
        while (bMore) {
            bMore = reader.Read(strText, kChunkSize);
            if (bMore && strText.size() > nLimit) {
                result = reader.Result();
                result.m_strError = "the uncompressed text is too large; the rest was not read";
                return result;
            }
        }
    } catch (const std::bad_alloc&) {
        result = reader.Result();
        result.m_bComplete = false;
        result.m_strError = "out of memory";
        return result;
    }
    return reader.Result();
}

bool WriteTextFile(const std::string& strPath, const std::string& strText, std::string& strError)
{
    return WriteFileAtomically(strPath, strText, strError);
}
