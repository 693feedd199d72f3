#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QSystemTrayIcon;

// The notification-area icon the main window hides behind. Its menu holds "&Show
// Window" (the default item, also what a double click does) and "Exit
// Application"; the frame owns the actions, the tray only shows them.
class CSystemTray : public QObject
{
    Q_OBJECT
public:
    explicit CSystemTray(QObject* pParent = nullptr);
    ~CSystemTray() override;

    // Fails, and leaves the tray disabled, where the desktop has no notification
    // area (bAvailable overrides the check, for tests). On success the icon is shown.
    bool Create(const QString& strTooltip, const QIcon& icon, QMenu* pMenu, bool bAvailable);
    bool Create(const QString& strTooltip, const QIcon& icon, QMenu* pMenu);
    // The menu item that a double click issues, by position in the menu.
    void SetMenuDefaultItem(int nPosition);
    QAction* GetDefaultAction() const;

    // Both do nothing unless enabled, and nothing when already so.
    void HideIcon();
    void ShowIcon();

    bool IsEnabled() const { return m_bEnabled; }
    bool IsHidden() const { return m_bHidden; }
    QSystemTrayIcon* GetIcon() const { return m_pIcon; }

    // What the icon reports as activated: a double click (and a single click, which
    // is how most Linux notification areas activate) issues the default item.
    void OnActivated(int nReason);

private:
    QSystemTrayIcon* m_pIcon = nullptr;
    QMenu* m_pMenu = nullptr;
    int m_nDefaultItem = -1;
    bool m_bEnabled = false;
    bool m_bHidden = false;
};
