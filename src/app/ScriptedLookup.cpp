#include "ScriptedLookup.h"

#include "core/document/NetloreDoc.h"
#include "ui/TextConv.h"
#include "ui/frame/MainFrame.h"
#include "ui/lists/IPEntryDlgBar.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPixmap>
#include <QPushButton>

#include <cstdio>

namespace {

constexpr int kPollMs = 200;

} // namespace

CScriptedLookup::CScriptedLookup(CMainFrame& frame, const QString& strAddress, const QString& strScreenshot, bool bQuit,
                                 int nTimeoutMs)
    : m_frame(frame)
    , m_strAddress(strAddress)
    , m_strScreenshot(strScreenshot)
    , m_bQuit(bQuit)
    , m_nTimeoutMs(nTimeoutMs)
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &CScriptedLookup::Poll);
}

void CScriptedLookup::Start()
{
    CIPEntryDlgBar* pBar = m_frame.GetEntryBar();
    pBar->GetComboBox()->setEditText(m_strAddress);
    pBar->GetLookupButton()->click();
    // The next scheduler tick need not wait the full timer period.
    m_frame.OnTimer();
    m_poll.start();
}

void CScriptedLookup::Poll()
{
    m_nWaitedMs += kPollMs;
    const std::string strWhois = m_frame.GetDocument().GetData().GetRawWhois(ToStdString(m_strAddress));
    if (!strWhois.empty() && !m_frame.GetDocument().HasPendingLookups()) {
        Finish(true);
        return;
    }
    if (m_nWaitedMs >= m_nTimeoutMs)
        Finish(false);
}

void CScriptedLookup::Finish(bool bAnswered)
{
    m_poll.stop();
    m_nExitCode = bAnswered ? 0 : 1;
    if (!bAnswered)
        std::fprintf(stderr, "addrscope: no whois answer for %s\n", qPrintable(m_strAddress));
    // One more tick settles the animation and the status panes for the picture.
    m_frame.OnTimer();
    if (!m_strScreenshot.isEmpty()) {
        if (!m_frame.grab().save(m_strScreenshot, "PNG")) {
            std::fprintf(stderr, "addrscope: cannot write %s\n", qPrintable(m_strScreenshot));
            m_nExitCode = 1;
        }
    }
    // Quitting leaves the looked-up document unsaved on purpose: the run is unattended.
    if (m_bQuit)
        QCoreApplication::exit(m_nExitCode);
}
