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

TEST(LookupProgress, ARunCountsPerKindAndOnlyItsOwnAddresses)
{
    CFakeClock clock;
    CLookupProgress progress(clock);
    EXPECT_FALSE(progress.IsRunning());
    EXPECT_EQ(progress.Text(), "");

    for (const char* psz : {"192.0.2.1", "192.0.2.2", "192.0.2.3", "192.0.2.4", "192.0.2.4"})
        progress.Queued(lookupWhois, psz);
    clock.AdvanceSeconds(120);
    progress.Finished(lookupWhois, "192.0.2.1");
    progress.Finished(lookupWhois, "192.0.2.1"); // once only
    progress.Finished(lookupWhois, "198.51.100.1"); // an F5 beside the run
    progress.Finished(lookupPing, "192.0.2.2"); // not queued for ping
    progress.Finished(lookupWhois, "192.0.2.2");
    EXPECT_EQ(progress.Text(), "Looking up 2 of 4, about 2 min left");

    progress.Queued(lookupPing, "192.0.2.1");
    progress.Queued(lookupPing, "192.0.2.2");
    progress.Finished(lookupPing, "192.0.2.2");
    EXPECT_EQ(progress.Text(), "Whois: Looking up 2 of 4, about 2 min left; Ping: Looking up 1 of 2, about 2 min left");

    for (const char* psz : {"192.0.2.3", "192.0.2.4"})
        progress.Finished(lookupWhois, psz);
    progress.Finished(lookupPing, "192.0.2.1");
    EXPECT_FALSE(progress.IsRunning());
    EXPECT_EQ(progress.GetDone(lookupWhois), 4);
    EXPECT_EQ(progress.Text(), "");

    // After the run ends, the next address starts a new one with its own clock.
    progress.Reset();
    EXPECT_EQ(progress.GetTotal(lookupWhois), 0);
    clock.AdvanceSeconds(600);
    progress.Queued(lookupTrace, "192.0.2.1");
    clock.AdvanceSeconds(60);
    progress.Queued(lookupTrace, "192.0.2.2");
    progress.Finished(lookupTrace, "192.0.2.2");
    EXPECT_EQ(progress.Text(), "Looking up 1 of 2, about 1 min left");
    progress.Queued(99, "192.0.2.9");
    progress.Finished(-1, "192.0.2.9");
    EXPECT_EQ(progress.GetTotal(99), 0);
}
