#include "ui/TextConv.h"

#include <gtest/gtest.h>

TEST(TextConv, ValidUtf8IsReadAsUtf8)
{
    const QString s = ToQString("Z\xC3\xBCrich \xE2\x82\xAC");
    EXPECT_EQ(s, QString::fromUtf8("Zürich €"));
    EXPECT_EQ(ToStdString(s), "Z\xC3\xBCrich \xE2\x82\xAC");
}

TEST(TextConv, AnythingElseIsReadAsLatin1WithoutLosingAByte)
{
    // "Zürich" in Latin-1, as older registry answers send it.
    const std::string latin1 = "Z\xFCrich";
    const QString s = ToQString(latin1);
    EXPECT_EQ(s.size(), 6);
    EXPECT_EQ(s[1].unicode(), 0xFC);
    EXPECT_EQ(s.toLatin1().toStdString(), latin1);
}

TEST(TextConv, RejectsMalformedUtf8)
{
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain ascii"));
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80")); // U+1F600
    EXPECT_FALSE(IsValidUtf8("\xC3")); // cut short
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF")); // overlong "/"
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF")); // overlong, three bytes
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")); // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\x80")); // lone continuation
    EXPECT_FALSE(IsValidUtf8("ab\xE2\x82")); // cut at the end
}

TEST(TextConv, KeepsEmbeddedNulBytes)
{
    const std::string bytes("a\0b", 3);
    EXPECT_EQ(ToQString(bytes).size(), 3);
    EXPECT_EQ(ToStdString(ToQString(bytes)), bytes);
}
