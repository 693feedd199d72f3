#include "sched/LookupProgress.h"

#include "support/FakeClock.h"

#include <gtest/gtest.h>

TEST(LookupProgress, TextAndTimeLeftAtTheCurrentPace)
{
    struct Case {
        int nDone;
        int nTotal;
        double dElapsed;
        const char* pszExpected;
    };
    const Case cases[] = {
        {0, 100, 30, "Looking up 0 of 100"},
        {10, 100, 0, "Looking up 10 of 100"},
        {50, 100, 20, "Looking up 50 of 100, less than a minute left"},
        {10, 100, 60, "Looking up 10 of 100, about 9 min left"},
        {1, 10000, 1, "Looking up 1 of 10000, about 2 h 47 min left"},
        {100, 100, 60, "Looking up 100 of 100"},
        {1, 1000000000, 86400, "Looking up 1 of 1000000000"},
        {5, 10, -3, "Looking up 5 of 10"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatLookupProgress(c.nDone, c.nTotal, c.dElapsed), c.pszExpected);
}

TEST(LookupProgress, ARunCountsPerKindAndEndsWhenEverythingFinished)
{
    CFakeClock clock;
    CLookupProgress progress(clock);
    EXPECT_FALSE(progress.IsRunning());
    EXPECT_EQ(progress.Text(), "");

    progress.Queued(lookupWhois, 4);
    clock.AdvanceSeconds(120);
    progress.Finished(lookupWhois, 2);
    EXPECT_EQ(progress.Text(), "Looking up 2 of 4, about 2 min left");

    progress.Queued(lookupPing, 2);
    progress.Finished(lookupPing);
    EXPECT_EQ(progress.Text(), "Whois: Looking up 2 of 4, about 2 min left; Ping: Looking up 1 of 2, about 2 min left");

    progress.Finished(lookupWhois, 5); // more than was queued counts as all
    progress.Finished(lookupPing);
    EXPECT_FALSE(progress.IsRunning());
    EXPECT_EQ(progress.GetDone(lookupWhois), 4);

    EXPECT_EQ(progress.Text(), "");

    // After the run ends, the next address starts a new one with its own clock.
    progress.Reset();
    clock.AdvanceSeconds(600);
    progress.Queued(lookupTrace);
    clock.AdvanceSeconds(60);
    progress.Queued(lookupTrace);
    progress.Finished(lookupTrace);
    EXPECT_EQ(progress.Text(), "Looking up 1 of 2, about 1 min left");
    progress.Reset();
    progress.Queued(lookupTrace);
    EXPECT_EQ(progress.GetTotal(lookupWhois), 0);
    EXPECT_EQ(progress.Text(), "Looking up 0 of 1");
    progress.Queued(99);
    progress.Finished(-1);
    progress.Reset();
    EXPECT_FALSE(progress.IsRunning());
}
