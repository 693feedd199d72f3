#include "io/TextFile.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
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

// The size the text will probably have: the file's own size for a plain file,
// the trailer's length for a gzip file (a hint only; the last member's length
// modulo 2^32, and not trusted beyond what deflate can produce). Reads with
// pread, so the descriptor's position stays at the start.
uint64_t ExpectedTextSize(int fd, const struct stat& st)
{
    if (!S_ISREG(st.st_mode) || st.st_size <= 0)
        return 0;
    const uint64_t size = uint64_t(st.st_size);
    unsigned char magic[2];
    unsigned char trailer[4];
    if (size >= 18 && pread(fd, magic, 2, 0) == 2 && magic[0] == 0x1f && magic[1] == 0x8b &&
        pread(fd, trailer, 4, off_t(size - 4)) == 4) {
        const uint64_t isize =
            uint64_t(trailer[0]) | uint64_t(trailer[1]) << 8 | uint64_t(trailer[2]) << 16 | uint64_t(trailer[3]) << 24;
        return std::min(isize, size * kMaxDeflateRatio);
    }
    return size;
}

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
    return msg && *msg ? msg : "read error";
}

} // namespace

CTextReadResult ReadTextFile(const std::string& strPath, std::string& strText, uint64_t nMinLimit)
{
    CTextReadResult result;
    strText.clear();

    const int fd = open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.m_strError = std::strerror(errno);
        return result;
    }
    struct stat st { };
    if (fstat(fd, &st) != 0) {
        result.m_strError = std::strerror(errno);
        close(fd);
        return result;
    }
    // A device such as /dev/zero never ends: reading it would never return.
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
        result.m_strError = "not a regular file";
        close(fd);
        return result;
    }
    gzFile gz = gzdopen(fd, "rb");
    if (!gz) {
        result.m_strError = "cannot open";
        close(fd);
        return result;
    }
    result.m_bOpened = true;
    // A larger internal buffer means fewer system calls; the chunks stay 1000 bytes.
    gzbuffer(gz, 1u << 17);

    try {
        const uint64_t expected = ExpectedTextSize(fd, st);
        if (expected > 0 && expected < strText.max_size())
            strText.reserve(size_t(expected));
        AdviseHugePages(strText);

        // A gzip stream can expand a thousandfold: a small "log" must not be able to
        // fill the memory. Real logs compress far less than 64 to 1.
        const uint64_t nLimit = std::max<uint64_t>(nMinLimit, uint64_t(st.st_size) * 64);
        bool bTooLarge = false;
        char buffer[kChunkSize + 1];
        int nRead;
        do {
            nRead = gzread(gz, buffer, kChunkSize);
            if (nRead > 0) {
                buffer[nRead] = '\0';
                const size_t len = std::strlen(buffer);
                result.m_nBytesCut += uint64_t(nRead) - len;
                if (strText.size() + len > strText.capacity())
                    strText.reserve(strText.capacity() + strText.capacity() / 2 + len);
                strText.append(buffer, len);
                if (strText.size() > nLimit) {
                    bTooLarge = true;
                    break;
                }
            }
        } while (nRead == int(kChunkSize));

        if (bTooLarge)
            result.m_strError = "the uncompressed text is too large; the rest was not read";
        else if (nRead < 0)
            result.m_strError = GzErrorText(gz);
        else {
            // A short read can also end in an error (a truncated gzip stream).
            int code = Z_OK;
            gzerror(gz, &code);
            if (code != Z_OK)
                result.m_strError = GzErrorText(gz);
            else
                result.m_bComplete = true;
        }
    } catch (const std::bad_alloc&) {
        result.m_strError = "out of memory";
    }
    gzclose(gz);
    return result;
}

bool WriteTextFile(const std::string& strPath, const std::string& strText, std::string& strError)
{
    FILE* f = std::fopen(strPath.c_str(), "wb");
    if (!f) {
        strError = std::strerror(errno);
        return false;
    }
    bool ok = true;
    if (!strText.empty() && std::fwrite(strText.data(), 1, strText.size(), f) != strText.size()) {
        strError = std::strerror(errno);
        ok = false;
    }
    if (std::fflush(f) != 0 && ok) {
        strError = std::strerror(errno);
        ok = false;
    }
    if (std::fclose(f) != 0 && ok) {
        strError = std::strerror(errno);
        ok = false;
    }
    return ok;
}
