#include "ui/frame/SystemTray.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

CSystemTray::CSystemTray(QObject* pParent)
    : QObject(pParent)
{ }

CSystemTray::~CSystemTray() = default;

bool CSystemTray::Create(const QString& strTooltip, const QIcon& icon, QMenu* pMenu)
{
    return Create(strTooltip, icon, pMenu, QSystemTrayIcon::isSystemTrayAvailable());
}

bool CSystemTray::Create(const QString& strTooltip, const QIcon& icon, QMenu* pMenu, bool bAvailable)
{
    m_pMenu = pMenu;
    if (!bAvailable)
        return false;
    m_pIcon = new QSystemTrayIcon(icon, this);
    m_pIcon->setToolTip(strTooltip);
    m_pIcon->setContextMenu(pMenu);
    connect(m_pIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { OnActivated(int(reason)); });
    m_pIcon->show();
    m_bEnabled = true;
    m_bHidden = false;
    return true;
}

void CSystemTray::SetMenuDefaultItem(int nPosition)
{
    if (nPosition == m_nDefaultItem)
        return;
    m_nDefaultItem = nPosition;
    if (!m_pMenu)
        return;
    const QList<QAction*> actions = m_pMenu->actions();
    for (int i = 0; i < actions.size(); ++i) {
        QFont font = actions[i]->font();
        font.setBold(i == nPosition);
        actions[i]->setFont(font);
    }
    m_pMenu->setDefaultAction(GetDefaultAction());
}

QAction* CSystemTray::GetDefaultAction() const
{
    if (!m_pMenu || m_nDefaultItem < 0 || m_nDefaultItem >= m_pMenu->actions().size())
        return nullptr;
    return m_pMenu->actions().at(m_nDefaultItem);
}

void CSystemTray::HideIcon()
{
    if (!m_bEnabled || m_bHidden)
        return;
    m_pIcon->hide();
    m_bHidden = true;
}

void CSystemTray::ShowIcon()
{
    if (!m_bEnabled || !m_bHidden)
        return;
    m_pIcon->show();
    m_bHidden = false;
}

void CSystemTray::OnActivated(int nReason)
{
    if (nReason != QSystemTrayIcon::DoubleClick && nReason != QSystemTrayIcon::Trigger)
        return;
    if (QAction* pDefault = GetDefaultAction())
        pDefault->trigger();
}
