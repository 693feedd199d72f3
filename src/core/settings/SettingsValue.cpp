#include "core/settings/SettingsValue.h"

#include <cstdint>

int ParseProfileInt(const std::string& text, int nDefault)
{
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return nDefault;
    uint64_t value = 0;
    for (; i < n; ++i) {
        const char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = unsigned(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = unsigned(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = unsigned(c - 'A' + 10);
        else if (c == ' ' || c == '\t')
            break;
        else
            return nDefault;
        value = value * base + digit;
        if (value > 0xFFFFFFFFull)
            return nDefault;
    }
    for (; i < n; ++i)
        if (text[i] != ' ' && text[i] != '\t')
            return nDefault;
    if (negative) {
        if (value > 0x80000000ull)
            return nDefault;
        return int(-int64_t(value));
    }
    return int(uint32_t(value));
}
