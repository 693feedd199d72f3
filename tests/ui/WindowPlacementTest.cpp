#include "ui/frame/WindowPlacement.h"
#include "core/settings/MemorySettingsStore.h"

#include <gtest/gtest.h>

#include <QWidget>

TEST(WindowPlacement, FormatsAndParsesTheTenNumbers)
{
    CWindowPlacement wp;
    wp.m_nFlags = 2;
    wp.m_nShowCmd = 3;
    wp.m_nLeft = -8;
    wp.m_nTop = 20;
    wp.m_nRight = 887;
    wp.m_nBottom = 728;
    EXPECT_EQ(wp.Format(), "2,3,-1,-1,-1,-1,-8,20,887,728");
    const auto back = CWindowPlacement::Parse(wp.Format());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Format(), wp.Format());
}

TEST(WindowPlacement, RejectsShortOrOutOfRangeValues)
{
    EXPECT_FALSE(CWindowPlacement::Parse("0,1,-1,-1,-1,-1,10,20,30"));
    EXPECT_FALSE(CWindowPlacement::Parse(""));
    EXPECT_FALSE(CWindowPlacement::Parse("0,1,-1,-1,-1,-1,10,20,30,x"));
    EXPECT_FALSE(CWindowPlacement::Parse("0,1,-1,-1,-1,-1,10,20,30,99999999999"));
    EXPECT_FALSE(CWindowPlacement::Parse("-1,1,-1,-1,-1,-1,10,20,30,40"));
    EXPECT_TRUE(CWindowPlacement::Parse("0,1,-1,-1,-1,-1,10,20,30,40"));

    CMemorySettingsStore store;
    store.WriteProfileString("Settings", "WindowPosition", "0,1,-1,-1,-1,-1,10,20,30");
    EXPECT_FALSE(CWindowPlacement::Load(store));
}

TEST(WindowPlacement, FirstRunRectangleIsCentredAndEndsFortyPixelsAboveTheBottom)
{
    const QRect rc = CWindowPlacement::DefaultWindowRect(QSize(1024, 768), 750, -1);
    EXPECT_EQ(rc.left(), 137);
    EXPECT_EQ(rc.top(), 20);
    EXPECT_EQ(rc.left() + rc.width(), 887);
    EXPECT_EQ(rc.top() + rc.height(), 728);

    const QRect narrow = CWindowPlacement::DefaultWindowRect(QSize(640, 480), 750, -1);
    EXPECT_EQ(narrow.left(), 0);
    EXPECT_EQ(narrow.width(), 640);

    CMemorySettingsStore store;
    EXPECT_TRUE(CWindowPlacement::GetDefaultWindowRect(store, QSize(1024, 768), 750, -1));
    store.WriteProfileString("Settings", "WindowPosition", "junk");
    EXPECT_FALSE(CWindowPlacement::GetDefaultWindowRect(store, QSize(1024, 768), 750, -1));
}

TEST(WindowPlacement, MaximisedRestoresMaximisedAndMinimisedIsStoredHidden)
{
    QWidget window;
    window.setGeometry(30, 40, 500, 300);
    window.showMaximized();
    CWindowPlacement wp = CWindowPlacement::FromWindow(window);
    EXPECT_EQ(wp.m_nFlags, CWindowPlacement::kFlagRestoreToMaximized);
    EXPECT_EQ(wp.m_nShowCmd, CWindowPlacement::kShowMaximized);

    window.showNormal();
    window.setGeometry(30, 40, 500, 300);
    window.showMinimized();
    wp = CWindowPlacement::FromWindow(window);
    EXPECT_EQ(wp.m_nFlags, 0u);
    EXPECT_EQ(wp.m_nShowCmd, CWindowPlacement::kShowHidden);

    // Reopening a window stored maximised: normal rectangle back, then maximised.
    QWidget again;
    const auto stored = CWindowPlacement::Parse("2,3,-1,-1,-1,-1,30,40,530,340");
    ASSERT_TRUE(stored);
    stored->ApplyGeometry(again, QRect(0, 0, 1920, 1080));
    EXPECT_EQ(again.geometry(), QRect(30, 40, 500, 300));
    stored->ShowWindow(again);
    EXPECT_TRUE(again.windowState() & Qt::WindowMaximized);
}

TEST(WindowPlacement, DoctoredRectanglesCannotAskForHugeOrLostWindows)
{
    QWidget window;
    const QRect desktop(0, 0, 1024, 768);
    CWindowPlacement::Parse("0,1,-1,-1,-1,-1,0,0,2000000000,2000000000")->ApplyGeometry(window, desktop);
    EXPECT_LE(window.width(), 1024);
    EXPECT_LE(window.height(), 768);

    CWindowPlacement::Parse("0,1,-1,-1,-1,-1,50000,50000,50400,50300")->ApplyGeometry(window, desktop);
    EXPECT_TRUE(desktop.intersects(window.geometry()));

    const QRect before = window.geometry();
    CWindowPlacement::Parse("0,1,-1,-1,-1,-1,100,100,50,50")->ApplyGeometry(window, desktop);
    EXPECT_EQ(window.geometry(), before);
}
