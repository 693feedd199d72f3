#include "ui/frame/ProgressDlg.h"

#include "ui/TextConv.h"
#include "ui/frame/ViewTexts.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

#include <cstdint>
#include <cstdio>

CProgressDlg::CProgressDlg(QWidget* pParent)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_pParentWnd(pParent)
    , m_pText(new QLabel(this))
    , m_pPercent(new QLabel(QString::fromLatin1(ViewTexts::kProgressInitialPercent), this))
    , m_pBar(new QProgressBar(this))
    , m_pCancel(new QPushButton(QString::fromLatin1(ViewTexts::kProgressCancel), this))
{
    setWindowTitle(QString());
    setModal(false);
    // Progress lines can carry names from files and answers: never markup.
    m_pText->setTextFormat(Qt::PlainText);
    m_pPercent->setTextFormat(Qt::PlainText);
    setFont(QFont(QStringLiteral("Arial"), 8));
    m_pBar->setRange(m_nLower, m_nUpper);
    m_pBar->setValue(0);
    m_pBar->setTextVisible(false);
    m_pPercent->setMinimumWidth(m_pPercent->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 4);
    m_pCancel->setDefault(true);
    m_pCancel->setAutoDefault(true);
    connect(m_pCancel, &QPushButton::clicked, this, [this] { m_bCancel = true; });

    auto* pBarRow = new QHBoxLayout;
    pBarRow->addWidget(m_pBar, 1);
    pBarRow->addWidget(m_pPercent);
    auto* pButtonRow = new QHBoxLayout;
    pButtonRow->addStretch(1);
    pButtonRow->addWidget(m_pCancel);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pText);
    pLayout->addLayout(pBarRow);
    pLayout->addLayout(pButtonRow);
    resize(320, sizeHint().height());
}

CProgressDlg::~CProgressDlg()
{
    Close();
}

bool CProgressDlg::Show(const std::string& strText)
{
    if (m_bShown)
        Close();
    if (m_pParentWnd && m_pParentWnd->isEnabled()) {
        m_pParentWnd->setEnabled(false);
        m_bDisabledParent = true;
    }
    m_bCancel = false;
    m_nPos = 0;
    m_pBar->setRange(m_nLower, m_nUpper);
    m_pBar->setValue(0);
    m_pPercent->setText(QString::fromLatin1(ViewTexts::kProgressInitialPercent));
    m_pText->setText(ToQString(strText));
    if (m_pParentWnd) {
        const QRect rcParent = m_pParentWnd->window()->frameGeometry();
        move(rcParent.center() - rect().center());
    }
    show();
    if (m_pParentWnd && windowHandle() && m_pParentWnd->window()->windowHandle())
        windowHandle()->setTransientParent(m_pParentWnd->window()->windowHandle());
    raise();
    m_bShown = true;
    m_sincePump.invalidate();
    PumpEvents();
    return true;
}

void CProgressDlg::SetText(const std::string& strText)
{
    m_pText->setText(ToQString(strText));
}

QString CProgressDlg::PercentText(int nPos, int nLower, int nUpper)
{
    if (nUpper == nLower)
        return QStringLiteral("0%");
    int64_t nPercent = (int64_t(nPos) - nLower) * 100 / (int64_t(nUpper) - nLower);
    if (nPercent != 100)
        nPercent %= 100;
    char sz[32];
    std::snprintf(sz, sizeof sz, ViewTexts::kProgressPercentFormat, int(nPercent), '%');
    return QString::fromLatin1(sz);
}

void CProgressDlg::SetPos(int nPos)
{
    PumpEvents();
    m_nPos = nPos;
    m_pBar->setValue(nPos);
    const QString strPercent = PercentText(nPos, m_nLower, m_nUpper);
    if (strPercent != m_pPercent->text())
        m_pPercent->setText(strPercent);
}

bool CProgressDlg::PollCancel()
{
    PumpEvents();
    const bool bCancel = m_bCancel;
    m_bCancel = false;
    return bCancel;
}

void CProgressDlg::Close()
{
    if (!m_bShown)
        return;
    m_bShown = false;
    if (m_bDisabledParent && m_pParentWnd)
        m_pParentWnd->setEnabled(true);
    m_bDisabledParent = false;
    hide();
}

QString CProgressDlg::GetPercentText() const
{
    return m_pPercent->text();
}

QString CProgressDlg::GetText() const
{
    return m_pText->text();
}

void CProgressDlg::PumpEvents()
{
    // A Cancel press, a timer tick or a lookup result waits at most one interval;
    // pumping on every call would cost more than the loop's own work.
    if (m_sincePump.isValid() && m_sincePump.elapsed() < kPumpIntervalMs)
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_sincePump.start();
}

// Escape and the window's close box mean Cancel; only the owner closes the window.
void CProgressDlg::reject()
{
    m_bCancel = true;
}

void CProgressDlg::closeEvent(QCloseEvent* pEvent)
{
    m_bCancel = true;
    pEvent->ignore();
}
