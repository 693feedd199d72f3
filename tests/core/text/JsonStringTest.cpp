#include "core/text/JsonString.h"

#include "core/text/Utf8Text.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string_view>

using namespace std::literals;

namespace {

struct CJsonCase {
    const char* pszName;
    std::string_view text;
    std::string_view shortForm; // the command line's output
    std::string_view unicodeForm; // the table export's
};

// The bytes the command line and the table export wrote before their strings
// went through nlohmann-json; they must not change.
const CJsonCase kCases[] = {
    {"empty", ""sv, "\"\""sv, "\"\""sv},
    {"plain", "Example Org"sv, "\"Example Org\""sv, "\"Example Org\""sv},
    {"controls", "\x01\x08\x09\x0a\x0c\x0d\x1b\x1f"sv, "\"\\u0001\\b\\t\\n\\f\\r\\u001b\\u001f\""sv,
     "\"\\u0001\\u0008\\t\\n\\u000c\\r\\u001b\\u001f\""sv},
    {"nul", "a\0b"sv, "\"a\\u0000b\""sv, "\"a\\u0000b\""sv},
    {"quotes and backslashes", "say \"hi\" \\ back\\slash /"sv, "\"say \\\"hi\\\" \\\\ back\\\\slash /\""sv,
     "\"say \\\"hi\\\" \\\\ back\\\\slash /\""sv},
    {"backslash before b and f", "\\b\\f"sv, "\"\\\\b\\\\f\""sv, "\"\\\\b\\\\f\""sv},
    {"DEL",
     "a\x7f"
     "b"sv,
     "\"a\x7f"
     "b\""sv,
     "\"a\\u007fb\""sv},
    {"Latin-1 bytes", "M\xfcller \xe9t\xe9 \xa0\xff"sv, "\"M\xc3\xbcller \xc3\xa9t\xc3\xa9 \xc2\xa0\xc3\xbf\""sv,
     "\"M\xc3\xbcller \xc3\xa9t\xc3\xa9 \xc2\xa0\xc3\xbf\""sv},
    {"UTF-8 passes", "M\xc3\xbcller \xe2\x82\xac \xf0\x9f\x98\x80"sv,
     "\"M\xc3\xbcller \xe2\x82\xac \xf0\x9f\x98\x80\""sv, "\"M\xc3\xbcller \xe2\x82\xac \xf0\x9f\x98\x80\""sv},
    // A bad lead, a surrogate, past U+10FFFF, a cut sequence, an overlong form, a lone continuation;
    // the bytes that read as C1 controls are escaped, so that no terminal reads a CSI.
    {"invalid UTF-8", "\xc3\x28 \xed\xa0\x80 \xf4\x90\x80\x80 \xe2\x82 \xc0\xaf \x80"sv,
     "\"\xc3\x83( \xc3\xad\xc2\xa0\\u0080 \xc3\xb4\\u0090\\u0080\\u0080 \xc3\xa2\\u0082 \xc3\x80\xc2\xaf \\u0080\""sv,
     "\"\xc3\x83( \xc3\xad\xc2\xa0\\u0080 \xc3\xb4\\u0090\\u0080\\u0080 \xc3\xa2\\u0082 \xc3\x80\xc2\xaf \\u0080\""sv},
    {"line and paragraph separators",
     "a\xe2\x80\xa8"
     "b\xe2\x80\xa9"
     "c"sv,
     "\"a\xe2\x80\xa8"
     "b\xe2\x80\xa9"
     "c\""sv,
     "\"a\xe2\x80\xa8"
     "b\xe2\x80\xa9"
     "c\""sv},
    {"mixed", "\xe9\x1f\"\\\xc3\xa9\x7f"sv, "\"\xc3\xa9\\u001f\\\"\\\\\xc3\xa9\x7f\""sv,
     "\"\xc3\xa9\\u001f\\\"\\\\\xc3\xa9\\u007f\""sv},
};

} // namespace

TEST(QuotedJson, WritesTheBytesTheCommandLineAndTheTableExportWrote)
{
    for (const CJsonCase& c : kCases) {
        SCOPED_TRACE(c.pszName);
        EXPECT_EQ(QuotedJson(c.text, EJsonEscapes::kShort), c.shortForm);
        EXPECT_EQ(QuotedJson(c.text, EJsonEscapes::kUnicode), c.unicodeForm);
    }
}

TEST(QuotedJson, EveryByteValueGivesJsonThatReadsBackAsTheUtf8Text)
{
    // Every byte value in one text: the literal is one JSON string whose value is
    // the text as shown.
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(char(b));
    for (EJsonEscapes e : {EJsonEscapes::kShort, EJsonEscapes::kUnicode}) {
        const std::string quoted = QuotedJson(all, e);
        const nlohmann::json back = nlohmann::json::parse(quoted);
        ASSERT_TRUE(back.is_string());
        EXPECT_EQ(back.get<std::string>(), Utf8OrLatin1(all));
    }
}
