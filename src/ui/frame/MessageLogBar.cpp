#include "ui/frame/MessageLogBar.h"

#include <QPlainTextEdit>
#include <QTime>

namespace {

// A log that grows for days must not grow without end.
constexpr int kMaxLines = 1000;

} // namespace

CMessageLogBar::CMessageLogBar(const QString& strTitle, QWidget* pParent)
    : QDockWidget(strTitle, pParent)
{
    m_pText = new QPlainTextEdit(this);
    m_pText->setReadOnly(true);
    m_pText->setMaximumBlockCount(kMaxLines);
    m_pText->setObjectName(QStringLiteral("message-log"));
    setWidget(m_pText);
}

void CMessageLogBar::AddMessage(const QString& strMessage, bool bShow)
{
    if (m_messages.size() >= kMaxLines)
        m_messages.removeFirst();
    m_messages << strMessage;
    m_pText->appendPlainText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss ")) + strMessage);
    if (bShow)
        show();
}
