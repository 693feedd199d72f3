#include "ui/frame/ProgressDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <climits>
#include <thread>

TEST(ProgressDlg, PercentLabel)
{
    EXPECT_EQ(CProgressDlg::PercentText(0), "0%");
    EXPECT_EQ(CProgressDlg::PercentText(37), "37%");
    EXPECT_EQ(CProgressDlg::PercentText(100), "100%");
    // Beyond the range the percentage wraps, as the label always did.
    EXPECT_EQ(CProgressDlg::PercentText(150), "50%");
    EXPECT_EQ(CProgressDlg::PercentText(5, 0, 10), "50%");
    // No overflow on extreme positions, and an empty range divides by nothing.
    EXPECT_EQ(CProgressDlg::PercentText(INT_MAX), "47%");
    EXPECT_EQ(CProgressDlg::PercentText(3, 7, 7), "0%");
}

TEST(ProgressDlg, ShowDisablesTheParentAndCloseEnablesItAgain)
{
    QMainWindow frame;
    frame.show();
    {
        CProgressDlg dlg(&frame);
        ASSERT_TRUE(dlg.Show("Constructing IP Address List"));
        EXPECT_FALSE(frame.isEnabled());
        EXPECT_TRUE(dlg.isEnabled());
        EXPECT_TRUE(dlg.GetCancelButton()->isEnabled());
        EXPECT_EQ(dlg.GetText(), "Constructing IP Address List");
        EXPECT_EQ(dlg.GetPercentText(), " 0 %");
        dlg.SetPos(100);
        EXPECT_EQ(dlg.GetPercentText(), "100%");
        dlg.SetPos(0);
        EXPECT_EQ(dlg.GetPercentText(), "0%");
        dlg.Close();
        EXPECT_TRUE(frame.isEnabled());
        EXPECT_FALSE(dlg.isVisible());

        // Destroying an open window closes it the same way.
        dlg.Show("Deleting IP Addresses");
        EXPECT_FALSE(frame.isEnabled());
    }
    EXPECT_TRUE(frame.isEnabled());

    // A parent that was already disabled stays disabled.
    frame.setEnabled(false);
    {
        CProgressDlg dlg(&frame);
        dlg.Show("Creating Report");
        dlg.Close();
    }
    EXPECT_FALSE(frame.isEnabled());
}

TEST(ProgressDlg, CancelIsReportedOncePerPress)
{
    CProgressDlg dlg;
    dlg.Show("Working");
    EXPECT_FALSE(dlg.PollCancel());
    QTest::mouseClick(dlg.GetCancelButton(), Qt::LeftButton);
    QTest::mouseClick(dlg.GetCancelButton(), Qt::LeftButton);
    EXPECT_TRUE(dlg.PollCancel());
    EXPECT_FALSE(dlg.PollCancel());
    // Escape means Cancel and leaves the window open.
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(dlg.PollCancel());
    EXPECT_FALSE(dlg.PollCancel());
}

TEST(ProgressDlg, EventsAreDeliveredWhileShownButNotOnEveryCall)
{
    QMainWindow frame;
    frame.show();
    CProgressDlg dlg(&frame);
    dlg.Show("Working");
    int nDelivered = 0;
    QTimer::singleShot(0, &frame, [&] { ++nDelivered; });
    // Just after a pump the next calls do not pump again.
    dlg.SetPos(1);
    dlg.PollCancel();
    EXPECT_EQ(nDelivered, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(CProgressDlg::kPumpIntervalMs + 10));
    dlg.SetPos(2);
    EXPECT_EQ(nDelivered, 1);

    // A Cancel pressed between pumps is seen by a later poll.
    QTimer::singleShot(0, dlg.GetCancelButton(), &QPushButton::click);
    bool bCancelled = false;
    for (int i = 0; i < 1000 && !bCancelled; ++i) {
        bCancelled = dlg.PollCancel();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(bCancelled);
    dlg.Close();
}
