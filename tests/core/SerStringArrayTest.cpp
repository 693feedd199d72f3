#include "core/SerStringArray.h"

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
