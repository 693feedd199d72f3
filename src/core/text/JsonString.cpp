#include "core/text/JsonString.h"

#include "core/text/Utf8Text.h"

#include <nlohmann/json.hpp>

std::string QuotedJson(std::string_view strText, EJsonEscapes escapes)
{
    // The text is valid UTF-8 once converted; replacing stands guard all the same,
    // so that dump never throws.
    const nlohmann::json value = Utf8OrLatin1(strText);
    std::string out = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    if (escapes == EJsonEscapes::kShort)
        return out;
    std::string spelled;
    spelled.reserve(out.size() + 8);
    for (size_t i = 0; i < out.size(); ++i) {
        const char c = out[i];
        if (c == '\\' && i + 1 < out.size()) {
            const char next = out[++i];
            if (next == 'b')
                spelled += "\\u0008";
            else if (next == 'f')
                spelled += "\\u000c";
            else {
                spelled += c;
                spelled += next;
            }
        } else if (c == 0x7f) {
            spelled += "\\u007f";
        } else {
            spelled += c;
        }
    }
    return spelled;
}
