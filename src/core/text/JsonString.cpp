#include "core/text/JsonString.h"

#include "core/text/Utf8Text.h"

#include <nlohmann/json.hpp>

std::string QuotedJson(std::string_view strText, EJsonEscapes escapes)
{
    // The text is valid UTF-8 once converted; replacing stands guard all the same,
    // so that dump never throws.
    const nlohmann::json value = Utf8OrLatin1(strText);
    const std::string out = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    static const char kHex[] = "0123456789abcdef";
    std::string spelled;
    spelled.reserve(out.size() + 8);
    for (size_t i = 0; i < out.size(); ++i) {
        const char c = out[i];
        if (c == '\\' && i + 1 < out.size()) {
            const char next = out[++i];
            if (escapes == EJsonEscapes::kUnicode && next == 'b')
                spelled += "\\u0008";
            else if (escapes == EJsonEscapes::kUnicode && next == 'f')
                spelled += "\\u000c";
            else {
                spelled += c;
                spelled += next;
            }
        } else if (c == 0x7f && escapes == EJsonEscapes::kUnicode) {
            spelled += "\\u007f";
        } else if ((unsigned char)c == 0xC2 && i + 1 < out.size() && (unsigned char)out[i + 1] <= 0x9F) {
            // C1 controls (U+0080..U+009F) escaped: JSON shown on a terminal must carry no CSI.
            const unsigned char c1 = (unsigned char)out[++i];
            spelled += "\\u00";
            spelled += kHex[c1 >> 4];
            spelled += kHex[c1 & 0xF];
        } else {
            spelled += c;
        }
    }
    return spelled;
}
