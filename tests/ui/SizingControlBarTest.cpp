#include "ui/lists/SizingControlBar.h"

#include "core/settings/MemorySettingsStore.h"
#include "ui/lists/RebarAnimCtrl.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <QTest>
#include <QToolBar>

#include <algorithm>

namespace {

const std::string kSection = "IPListBar-SCBar-500";

bool Listed(const CSizingControlBar* pBar)
{
    const auto& bars = CSizingControlBar::AllBars();
    return std::find(bars.begin(), bars.end(), pBar) != bars.end();
}

} // namespace

TEST(SizingControlBar, SectionNamesProfileAndBarId)
{
    EXPECT_EQ(CSizingControlBar::StateSection("IPListBar", 500), kSection);
    EXPECT_EQ(CSizingControlBar::StateSection("X", -3), "X-SCBar--3");
}

TEST(SizingControlBar, WithoutStoredStateTheDefaultSizeStaysAndTheBarIsVisible)
{
    CMemorySettingsStore store;
    CSizingControlBar bar("IP List", nullptr, QSize(180, 30), true, 500);
    EXPECT_TRUE(bar.LoadState(store, "IPListBar"));
    EXPECT_EQ(bar.GetHorzSize(), QSize(180, 30));
    EXPECT_EQ(bar.GetVertSize(), QSize(180, 30));
    EXPECT_EQ(bar.GetFloatSize(), QSize(180, 30));
}

TEST(SizingControlBar, StoredSizesAreRaisedToTheMinimums)
{
    CMemorySettingsStore store;
    store.WriteProfileInt(kSection, "sizeHorzCX", 0);
    store.WriteProfileInt(kSection, "sizeHorzCY", 31);
    store.WriteProfileInt(kSection, "sizeVertCX", 10);
    store.WriteProfileInt(kSection, "sizeVertCY", 32);
    store.WriteProfileInt(kSection, "sizeFloatCX", 33);
    store.WriteProfileInt(kSection, "sizeFloatCY", 500);
    store.WriteProfileInt(kSection, "Visible", 0);
    CSizingControlBar bar("IP List", nullptr, QSize(180, 30), true, 500);
    EXPECT_FALSE(bar.LoadState(store, "IPListBar"));
    EXPECT_EQ(bar.GetHorzSize(), QSize(33, 32));
    EXPECT_EQ(bar.GetVertSize(), QSize(33, 32));
    EXPECT_EQ(bar.GetFloatSize(), QSize(33, 500));
}

TEST(SizingControlBar, HostileSizesAreBounded)
{
    CMemorySettingsStore store;
    store.WriteProfileInt(kSection, "sizeFloatCX", 2000000000);
    store.WriteProfileString(kSection, "sizeFloatCY", "not a number");
    CSizingControlBar bar("IP List", nullptr, QSize(180, 40), true, 500);
    bar.setFloating(true);
    bar.LoadState(store, "IPListBar");
    EXPECT_EQ(bar.GetFloatSize(), QSize(CSizingControlBar::kMaxSize, 40));
}

TEST(SizingControlBar, SaveWritesTheSixSizesAndVisibility)
{
    CMemorySettingsStore store;
    QMainWindow frame;
    CSizingControlBar bar("IP List", &frame, QSize(180, 30), true, 500);
    frame.addDockWidget(Qt::LeftDockWidgetArea, &bar);
    store.WriteProfileInt(kSection, "sizeVertCX", 250);
    bar.LoadState(store, "IPListBar");
    frame.show();
    bar.SaveState(store, "IPListBar");
    EXPECT_EQ(store.GetProfileInt(kSection, "sizeHorzCX", -1), 180);
    EXPECT_EQ(store.GetProfileInt(kSection, "sizeHorzCY", -1), 30);
    EXPECT_EQ(store.GetProfileInt(kSection, "sizeVertCX", -1), bar.GetVertSize().width());
    EXPECT_EQ(store.GetProfileInt(kSection, "sizeFloatCX", -1), 180);
    EXPECT_EQ(store.GetProfileInt(kSection, "sizeFloatCY", -1), 30);
    EXPECT_EQ(store.GetProfileInt(kSection, "Visible", -1), 1);
    bar.hide();
    bar.SaveState(store, "IPListBar");
    EXPECT_EQ(store.GetProfileInt(kSection, "Visible", -1), 0);
}

TEST(SizingControlBar, DockedLeftTheBarTakesItsRememberedWidth)
{
    CMemorySettingsStore store;
    store.WriteProfileInt(kSection, "sizeVertCX", 240);
    QMainWindow frame;
    frame.setCentralWidget(new QWidget);
    CSizingControlBar bar("IP List", &frame, QSize(180, 30), true, 500);
    frame.addDockWidget(Qt::LeftDockWidgetArea, &bar);
    frame.resize(800, 600);
    frame.show();
    bar.LoadState(store, "IPListBar");
    QApplication::processEvents();
    EXPECT_EQ(bar.GetSituation(), CSizingControlBar::ESituation::Vert);
    EXPECT_EQ(bar.width(), 240);
}

TEST(SizingControlBar, EveryBarIsOnTheProgramWideList)
{
    CMemorySettingsStore store;
    auto* pBar = new CSizingControlBar("A", nullptr, QSize(100, 100), false, 7);
    EXPECT_TRUE(Listed(pBar));
    CSizingControlBar::SaveAllStates(store, "P");
    EXPECT_TRUE(store.Contains("P-SCBar-7", "sizeFloatCY"));
    delete pBar;
    EXPECT_FALSE(Listed(pBar));
}

TEST(RebarAnimCtrl, StartsAndStopsOnceAndShowsTheFirstFrameWhenStopped)
{
    QToolBar rebar;
    CRebarAnimCtrl anim;
    EXPECT_NE(anim.CreateInRebar(&rebar), nullptr);
    EXPECT_FALSE(anim.IsPlaying());
    anim.StopAnimation();
    EXPECT_FALSE(anim.IsPlaying());
    anim.StartAnimation();
    anim.StartAnimation();
    EXPECT_TRUE(anim.IsPlaying());
    QTest::qWait(3 * CRebarAnimCtrl::kFrameMs);
    EXPECT_NE(anim.GetFrame(), 0);
    anim.StopAnimation();
    EXPECT_FALSE(anim.IsPlaying());
    EXPECT_EQ(anim.GetFrame(), 0);
    EXPECT_FALSE(anim.grab().isNull());
}
