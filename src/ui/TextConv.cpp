#include "ui/TextConv.h"

#include <QByteArray>

#include <cstdint>

bool IsValidUtf8(std::string_view bytes)
{
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const auto* const pEnd = p + bytes.size();
    while (p < pEnd) {
        const uint8_t c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int nMore = 0;
        uint32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            nMore = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            nMore = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            nMore = 3;
            cp = c & 0x07;
        } else {
            return false; // continuation byte out of place, C0/C1 overlong lead, or above U+10FFFF
        }
        if (pEnd - p <= nMore)
            return false;
        for (int i = 1; i <= nMore; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if ((nMore == 2 && cp < 0x800) || (nMore == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false; // overlong or out of range
        if (cp >= 0xD800 && cp <= 0xDFFF)
            return false; // surrogates are not characters
        p += nMore + 1;
    }
    return true;
}

QString ToQString(std::string_view bytes)
{
    const auto nSize = qsizetype(bytes.size());
    if (IsValidUtf8(bytes))
        return QString::fromUtf8(bytes.data(), nSize);
    return QString::fromLatin1(bytes.data(), nSize);
}

std::string ToStdString(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), size_t(utf8.size()));
}
