#pragma once

#include "cli/CliOutput.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// Reading lists and texts from standard input or a file in bounded memory: a
// stream that never ends (/dev/zero) must not end in an allocation failure.
// Header only: the commands' build picks up Cmd*.cpp files alone.

// A line of an address list longer than this is skipped (and counted).
inline constexpr size_t kMaxInputLine = size_t(16) << 20;

// Why a stream cannot be read as a list or text: a directory, or a device that is
// not a terminal (it would never end). Empty when it can.
inline std::string CliInputRefusal(FILE* pIn)
{
    struct stat st { };
    if (::fstat(::fileno(pIn), &st) != 0)
        return SystemReason(errno);
    if (S_ISDIR(st.st_mode))
        return "is a directory";
    if ((S_ISCHR(st.st_mode) && !::isatty(::fileno(pIn))) || S_ISBLK(st.st_mode))
        return "is not a regular file";
    return {};
}

struct CCliLineRead {
    std::string m_strError; // empty when the stream was read to its end
    uint64_t m_nLongLines = 0; // lines longer than kMaxInputLine, skipped
};

// Hands each line (without its LF) to fnLine.
template <class FnLine> CCliLineRead CliReadLines(FILE* pIn, FnLine&& fnLine)
{
    CCliLineRead result;
    result.m_strError = CliInputRefusal(pIn);
    if (!result.m_strError.empty())
        return result;
    std::string line;
    bool bSkipping = false;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pIn)) > 0) {
        size_t pos = 0;
        while (pos < n) {
            const void* pLf = std::memchr(buf + pos, '\n', n - pos);
            const size_t end = pLf ? size_t(static_cast<const char*>(pLf) - buf) : n;
            if (!bSkipping && line.size() + (end - pos) > kMaxInputLine) {
                bSkipping = true;
                std::string().swap(line);
            }
            if (!bSkipping)
                line.append(buf + pos, end - pos);
            if (!pLf)
                break;
            if (bSkipping)
                ++result.m_nLongLines;
            else
                fnLine(line);
            bSkipping = false;
            line.clear();
            pos = end + 1;
        }
    }
    if (std::ferror(pIn))
        result.m_strError = SystemReason(errno ? errno : EIO);
    if (bSkipping)
        ++result.m_nLongLines;
    else if (!line.empty())
        fnLine(line);
    return result;
}

// The whole of a stream, at most nLimit bytes: more is an error naming the limit.
inline std::string CliReadBounded(FILE* pIn, size_t nLimit, const char* pszLimitName, std::string& strText)
{
    strText.clear();
    std::string strRefusal = CliInputRefusal(pIn);
    if (!strRefusal.empty() && strRefusal != "is not a regular file")
        return strRefusal;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pIn)) > 0) {
        if (strText.size() + n > nLimit)
            return "larger than " + std::string(pszLimitName) + " (" + std::to_string(nLimit) + " bytes)";
        strText.append(buf, n);
    }
    if (std::ferror(pIn))
        return SystemReason(errno ? errno : EIO);
    return {};
}
