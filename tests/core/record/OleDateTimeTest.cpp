#include "core/record/OleDateTime.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

TEST(OleDateTime, FreshValueIsNull)
{
    COleDateTime dt;
    EXPECT_EQ(dt.GetStatus(), COleDateTime::null);
    EXPECT_EQ(dt.GetDays(), 0.0);
    struct tm t;
    EXPECT_FALSE(dt.GetAsTm(t));
}

TEST(OleDateTime, ComponentsMapToDaysSinceEpoch)
{
    EXPECT_EQ(COleDateTime::FromComponents(1899, 12, 30, 0, 0, 0).GetDays(), 0.0);
    EXPECT_EQ(COleDateTime::FromComponents(1900, 1, 1, 0, 0, 0).GetDays(), 2.0);
    EXPECT_DOUBLE_EQ(COleDateTime::FromComponents(1899, 12, 31, 18, 0, 0).GetDays(), 1.75);
    // Before the epoch the day part counts back and the time of day is still added away from zero.
    EXPECT_DOUBLE_EQ(COleDateTime::FromComponents(1899, 12, 29, 6, 0, 0).GetDays(), -1.25);
    EXPECT_EQ(COleDateTime::FromComponents(1970, 1, 1, 0, 0, 0).GetDays(), 25569.0);
    EXPECT_EQ(COleDateTime::FromComponents(2000, 2, 30, 0, 0, 0).GetStatus(), COleDateTime::invalid);
    EXPECT_EQ(COleDateTime::FromComponents(99, 1, 1, 0, 0, 0).GetStatus(), COleDateTime::invalid);
}

TEST(OleDateTime, SplitsBackIntoComponents)
{
    for (auto [y, mo, d, h, mi, s] :
         {std::array {2026, 12, 7, 21, 14, 5}, std::array {1899, 12, 29, 6, 0, 0}, std::array {1600, 2, 29, 23, 59, 59},
          std::array {9999, 12, 31, 23, 59, 59}, std::array {100, 1, 1, 0, 0, 0}}) {
        struct tm t;
        ASSERT_TRUE(COleDateTime::FromComponents(y, mo, d, h, mi, s).GetAsTm(t)) << y;
        EXPECT_EQ(t.tm_year + 1900, y);
        EXPECT_EQ(t.tm_mon + 1, mo);
        EXPECT_EQ(t.tm_mday, d);
        EXPECT_EQ(t.tm_hour, h);
        EXPECT_EQ(t.tm_min, mi);
        EXPECT_EQ(t.tm_sec, s);
    }
    // 1.9999999 rounds to midnight of the next day.
    struct tm t;
    ASSERT_TRUE(COleDateTime(1.9999999999, COleDateTime::valid).GetAsTm(t));
    EXPECT_EQ(t.tm_mday, 1);
    EXPECT_EQ(t.tm_mon, 0);
    EXPECT_EQ(t.tm_hour, 0);
}

TEST(OleDateTime, UnconvertibleValuesAreRefused)
{
    struct tm t;
    EXPECT_FALSE(COleDateTime(1e300, COleDateTime::valid).GetAsTm(t));
    EXPECT_FALSE(COleDateTime(-1e9, COleDateTime::valid).GetAsTm(t));
    EXPECT_FALSE(COleDateTime(std::numeric_limits<double>::quiet_NaN(), COleDateTime::valid).GetAsTm(t));
    EXPECT_FALSE(COleDateTime(2.0, COleDateTime::invalid).GetAsTm(t));
    EXPECT_EQ(COleDateTime(1e300, COleDateTime::valid).GetYear(), 0);
}

TEST(OleDateTime, LocalClockRoundTrip)
{
    const time_t t = 1765000000; // 2025-12-06
    COleDateTime dt = COleDateTime::FromTimeT(t);
    ASSERT_TRUE(dt.IsValid());
    time_t back = 0;
    ASSERT_TRUE(dt.GetAsTimeT(back));
    EXPECT_EQ(back, t);
}

TEST(OleDateTime, LinearDaysCountPlainDaysOnBothSidesOfTheEpoch)
{
    // Before 30 December 1899 the whole days count backwards, the time of day forwards.
    const struct {
        double dOle;
        double dLinear;
    } cases[] = {{0.0, 0.0}, {1.5, 1.5}, {-0.25, 0.25}, {-1.25, -0.75}, {-2.0, -2.0}, {-2.75, -1.25}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(COleDateTime(c.dOle, COleDateTime::valid).GetLinearDays(), c.dLinear) << c.dOle;
}
