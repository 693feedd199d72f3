#include "core/record/DottedQuad.h"

#include <gtest/gtest.h>

TEST(DottedQuad, ValidTexts)
{
    for (const char* s : {"0.0.0.0", "255.255.255.255", "1.2.3.", "10..0.1", "010.001.000.001", "1..2."})
        EXPECT_TRUE(IsValidDottedQuad(s)) << s;
}

TEST(DottedQuad, InvalidTexts)
{
    for (const char* s : {"", "1.2.3", "1.2.3.4.5", "1.2.3.256", "a.b.c.d", " 1.2.3.4", "1.2.3.4 ", "0000000001.2.3.4",
                          "1.2.3.4\n", "1.2.-3.4", "1.2.3.4/", "1...", "...1"})
        EXPECT_FALSE(IsValidDottedQuad(s)) << s;
    // 16 characters, even when every piece is in range.
    EXPECT_FALSE(IsValidDottedQuad("001.002.003.0004"));
    EXPECT_TRUE(IsValidDottedQuad("001.002.003.004"));
    // Four dots never pass, nor three dots of four characters.
    EXPECT_FALSE(IsValidDottedQuad("...."));
    EXPECT_FALSE(IsValidDottedQuad("..."));
}

TEST(DottedQuad, ParseIsAtoiPerPiece)
{
    EXPECT_EQ(ParseDottedQuad("255.255.255.255"), 4294967295u);
    EXPECT_EQ(ParseDottedQuad("10.0.0.1"), (10u << 24) + 1);
    EXPECT_EQ(ParseDottedQuad("010.001.000.001"), (10u << 24) + (1u << 16) + 1);
    EXPECT_EQ(ParseDottedQuad("1.2.3."), 0x01020300u);
    EXPECT_EQ(ParseDottedQuad("1.2.3"), 0u);
    EXPECT_EQ(ParseDottedQuad(""), 0u);
    // The last piece is everything after the third dot; atoi stops at the first non-digit.
    EXPECT_EQ(ParseDottedQuad("1.2.3.4.5"), 0x01020304u);
    EXPECT_EQ(ParseDottedQuad(" 7x.2.3.4"), 0x07020304u);
    // No range checks: 256 spills into the next octet.
    EXPECT_EQ(ParseDottedQuad("0.0.1.256"), 0x00000200u);
}

TEST(DottedQuad, Format)
{
    EXPECT_EQ(FormatDottedQuad(0xC0000200u), "192.0.2.0");
    EXPECT_EQ(FormatDottedQuad(0xFFFFFFFFu), "255.255.255.255");
    EXPECT_EQ(FormatDottedQuad(0), "0.0.0.0");
}
