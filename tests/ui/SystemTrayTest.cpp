#include "ui/frame/SystemTray.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

TEST(SystemTray, HidingAndShowingTwiceChangesNothing)
{
    QMenu menu;
    int nShown = 0;
    QAction* pShow = menu.addAction(QStringLiteral("&Show Window"));
    menu.addAction(QStringLiteral("Exit Application"));
    QObject::connect(pShow, &QAction::triggered, [&] { ++nShown; });

    CSystemTray tray;
    ASSERT_TRUE(tray.Create(QStringLiteral("Addrscope"), QIcon(), &menu, true));
    tray.SetMenuDefaultItem(0);
    EXPECT_EQ(tray.GetDefaultAction(), pShow);
    EXPECT_TRUE(pShow->font().bold());
    tray.HideIcon();
    tray.HideIcon();
    EXPECT_TRUE(tray.IsHidden());
    tray.ShowIcon();
    tray.ShowIcon();
    EXPECT_FALSE(tray.IsHidden());

    tray.OnActivated(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(nShown, 1);
    tray.OnActivated(QSystemTrayIcon::Context);
    EXPECT_EQ(nShown, 1);
}

TEST(SystemTray, ADesktopWithoutNotificationAreaLeavesItDisabled)
{
    QMenu menu;
    CSystemTray tray;
    EXPECT_FALSE(tray.Create(QStringLiteral("Addrscope"), QIcon(), &menu, false));
    EXPECT_FALSE(tray.IsEnabled());
    tray.ShowIcon();
    tray.HideIcon();
    EXPECT_FALSE(tray.IsHidden());
    EXPECT_EQ(tray.GetIcon(), nullptr);
}
