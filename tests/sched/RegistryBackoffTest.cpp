#include "sched/RegistryBackoff.h"

#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <vector>

TEST(RegistryBackoff, PausesDoubleFromOneMinuteToAnHourAndAGoodAnswerResetsThem)
{
    CFakeClock clock;
    CRegistryBackoff backoff(clock);
    std::vector<int> pauses;
    for (int i = 0; i < 9; ++i)
        pauses.push_back(backoff.OnLimit("RIPE"));
    EXPECT_EQ(pauses, (std::vector<int> {1, 2, 4, 8, 16, 32, 60, 60, 60}));
    backoff.OnGoodAnswer("RIPE");
    EXPECT_FALSE(backoff.IsPaused("RIPE"));
    EXPECT_EQ(backoff.OnLimit("RIPE"), 1);
}

TEST(RegistryBackoff, OneRegistrysPauseLeavesTheOthersAlone)
{
    CFakeClock clock;
    CRegistryBackoff backoff(clock);
    backoff.OnLimit("RIPE");
    backoff.OnLimit("RIPE");
    EXPECT_TRUE(backoff.IsPaused("RIPE"));
    EXPECT_FALSE(backoff.IsPaused("ARIN"));
    EXPECT_EQ(backoff.OnLimit("ARIN"), 1);
    backoff.OnGoodAnswer("ARIN");
    EXPECT_TRUE(backoff.IsPaused("RIPE"));
    EXPECT_EQ(backoff.OnLimit(""), 0);
    EXPECT_FALSE(backoff.IsPaused(""));
}

TEST(RegistryBackoff, APauseEndsOnTimeAndShowsItsEnd)
{
    CFakeClock clock; // 2026-12-07 12:00:00
    CRegistryBackoff backoff(clock);
    EXPECT_EQ(backoff.StatusText(), "");
    backoff.OnLimit("RIPE");
    backoff.OnLimit("RIPE"); // two minutes from now
    backoff.OnLimit("APNIC");
    EXPECT_EQ(backoff.StatusText(), "Query limit: APNIC paused until 12:01:00; RIPE paused until 12:02:00");
    EXPECT_EQ(backoff.PausedUntil("RIPE"), COleDateTime::FromComponents(2026, 12, 7, 12, 2, 0));
    clock.AdvanceSeconds(61);
    EXPECT_FALSE(backoff.IsPaused("APNIC"));
    EXPECT_TRUE(backoff.AnyPaused());
    EXPECT_EQ(backoff.StatusText(), "Query limit: RIPE paused until 12:02:00");
    clock.AdvanceSeconds(60);
    EXPECT_FALSE(backoff.AnyPaused());
    EXPECT_FALSE(backoff.PausedUntil("RIPE").IsValid());
    EXPECT_EQ(backoff.StatusText(), "");
}

TEST(RegistryBackoff, ARegistryThatFallsSilentAfterItsLimitIsNotForgiven)
{
    CFakeClock clock;
    CRegistryBackoff backoff(clock);
    backoff.OnLimit("LACNIC");
    // The pause ends and the registry no longer answers at all: silence is no good answer.
    clock.AdvanceSeconds(3600);
    EXPECT_FALSE(backoff.IsPaused("LACNIC"));
    EXPECT_EQ(backoff.OnLimit("LACNIC"), 2);
}
