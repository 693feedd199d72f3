#include "core/record/DottedQuad.h"

#include <cstdio>

namespace {

// The C library's atoi on a piece that need not be terminated: leading white
// space, an optional sign, digits up to the first non-digit. Wraps instead of
// overflowing, as the pieces are combined in 32-bit arithmetic anyway.
uint32_t AtoiPiece(std::string_view s)
{
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r')))
        ++i;
    bool bNegative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        bNegative = s[i] == '-';
        ++i;
    }
    uint32_t n = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        n = n * 10u + uint32_t(s[i] - '0');
    return bNegative ? 0u - n : n;
}

} // namespace

bool IsValidDottedQuad(std::string_view strText)
{
    if (strText.size() < 5 || strText.size() > 15)
        return false;
    int nDots = 0;
    for (char c : strText) {
        if (c == '.')
            ++nDots;
        else if (c < '0' || c > '9')
            return false;
    }
    if (nDots != 3)
        return false;
    size_t nStart = 0;
    for (int i = 0; i < 4; ++i) {
        size_t nEnd = strText.find('.', nStart);
        if (nEnd == std::string_view::npos)
            nEnd = strText.size();
        // At most 15 digits in all, but a piece of many leading zeros is still small.
        std::string_view piece = strText.substr(nStart, nEnd - nStart);
        uint32_t n = 0;
        for (char c : piece) {
            n = n * 10u + uint32_t(c - '0');
            if (n > 255)
                return false;
        }
        nStart = nEnd + 1;
    }
    return true;
}

uint32_t ParseDottedQuad(std::string_view strText)
{
    size_t dots[3];
    size_t nFound = 0;
    for (size_t i = 0; i < strText.size() && nFound < 3; ++i)
        if (strText[i] == '.')
            dots[nFound++] = i;
    if (nFound < 3)
        return 0;
    const uint32_t a = AtoiPiece(strText.substr(0, dots[0]));
    const uint32_t b = AtoiPiece(strText.substr(dots[0] + 1, dots[1] - dots[0] - 1));
    const uint32_t c = AtoiPiece(strText.substr(dots[1] + 1, dots[2] - dots[1] - 1));
    const uint32_t d = AtoiPiece(strText.substr(dots[2] + 1));
    return (a << 24) + (b << 16) + (c << 8) + d;
}

std::string FormatDottedQuad(uint32_t dwAddress)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", dwAddress >> 24, (dwAddress >> 16) & 255u, (dwAddress >> 8) & 255u,
                  dwAddress & 255u);
    return buf;
}
