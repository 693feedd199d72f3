#include "core/record/SerStringArray.h"

#include <gtest/gtest.h>

TEST(SerStringArray, UniqueIgnoringCaseByDefault)
{
    CSerStringArray a;
    EXPECT_TRUE(a.AddUnique("Host.Example"));
    EXPECT_FALSE(a.AddUnique("host.EXAMPLE"));
    EXPECT_TRUE(a.AddUnique("third"));
    ASSERT_EQ(a.GetSize(), 2);
    EXPECT_EQ(a.GetString(0), "Host.Example");
    EXPECT_EQ(a.GetString(1), "third");
    EXPECT_EQ(a.Find("THIRD"), 1);
    EXPECT_EQ(a.Find("none"), -1);
}

TEST(SerStringArray, CompareModes)
{
    CSerStringArray exact;
    exact.SetCompareMode(1);
    EXPECT_TRUE(exact.AddUnique("a"));
    EXPECT_TRUE(exact.AddUnique("A"));
    EXPECT_TRUE(exact.AddUnique("b"));
    EXPECT_EQ(exact.GetSize(), 3);
    EXPECT_FALSE(exact.AddUnique("a"));

    CSerStringArray never;
    never.SetCompareMode(7);
    EXPECT_TRUE(never.AddUnique("a"));
    EXPECT_TRUE(never.AddUnique("a"));
    EXPECT_EQ(never.Find("a"), -1);

    CSerStringArray notUnique;
    notUnique.SetUnique(false);
    EXPECT_TRUE(notUnique.AddUnique("a"));
    EXPECT_TRUE(notUnique.AddUnique("a"));
    EXPECT_EQ(notUnique.GetSize(), 2);
}

TEST(SerStringArray, OutOfRangeAndRemoval)
{
    CSerStringArray a;
    a.Add("x");
    a.Add("y");
    a.Add("z");
    EXPECT_EQ(a.GetString(-1), "");
    EXPECT_EQ(a.GetString(3), "");
    a.RemoveAt(0);
    EXPECT_EQ(a.GetString(0), "y");
    a.RemoveAt(1, 10);
    EXPECT_EQ(a.GetSize(), 1);
    a.RemoveAt(5);
    a.RemoveAll();
    EXPECT_TRUE(a.IsEmpty());
}

// Presence is kept beside the list: it must follow every way entries come and go.
TEST(SerStringArray, PresenceFollowsRemovalsAndModeChanges)
{
    CSerStringArray a;
    a.SetUnique(false);
    a.Add("10.0.0.1");
    a.Add("10.0.0.1");
    a.Add("X.example");
    a.SetUnique(true);
    a.RemoveAt(0);
    EXPECT_EQ(a.Find("10.0.0.1"), 0); // one copy is left
    a.RemoveAt(0);
    EXPECT_EQ(a.Find("10.0.0.1"), -1);
    EXPECT_TRUE(a.AddUnique("10.0.0.1"));

    EXPECT_FALSE(a.AddUnique("x.EXAMPLE"));
    a.SetCompareMode(1);
    EXPECT_EQ(a.Find("x.EXAMPLE"), -1);
    EXPECT_TRUE(a.AddUnique("x.EXAMPLE"));
    a.SetCompareMode(0);
    EXPECT_FALSE(a.AddUnique("X.EXAMPLE"));
    EXPECT_EQ(a.Find("x.example"), 0);

    a.RemoveAll();
    EXPECT_TRUE(a.AddUnique("x.example"));
    EXPECT_EQ(a.GetSize(), 1);

    // Queueing a large document stays linear.
    CSerStringArray big;
    for (int i = 0; i < 200000; ++i)
        ASSERT_TRUE(big.AddUnique("10." + std::to_string(i >> 16) + "." + std::to_string((i >> 8) & 255) + "." +
                                  std::to_string(i & 255)));
    EXPECT_FALSE(big.AddUnique("10.3.13.63"));
}

TEST(SerStringArray, RemovingManyTextsKeepsTheOrderAndThePresenceCounts)
{
    CSerStringArray a;
    a.SetUnique(false);
    for (const char* psz : {"a", "B", "c", "b", "d", "A"})
        a.Add(psz);
    EXPECT_EQ(a.RemoveTexts({"b", "a", "zz"}), 4);
    ASSERT_EQ(a.GetSize(), 2);
    EXPECT_EQ(a.GetString(0), "c");
    EXPECT_EQ(a.GetString(1), "d");
    EXPECT_FALSE(a.Contains("B"));
    EXPECT_TRUE(a.Contains("C"));
    EXPECT_TRUE(a.AddUnique("a"));
    EXPECT_EQ(a.RemoveTexts({}), 0);
    a.SetCompareMode(7); // matches nothing: nothing is removed or found
    EXPECT_EQ(a.RemoveTexts({"c"}), 0);
    EXPECT_FALSE(a.Contains("c"));
}
