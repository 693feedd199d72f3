#pragma once

#include <QDockWidget>
#include <QStringList>

class QPlainTextEdit;

// The window's log of messages: what the program wants the user to know without
// stopping the work with a message box (settings it could not use, a checkpoint
// that could not be written, a lookup that failed). Plain text, one timestamped
// line per message; the bar shows itself when a message arrives, unless told not to.
class CMessageLogBar : public QDockWidget
{
    Q_OBJECT
public:
    explicit CMessageLogBar(const QString& strTitle, QWidget* pParent = nullptr);

    // bShow: the bar shows itself for it (a line that only confirms need not).
    void AddMessage(const QString& strMessage, bool bShow = true);
    // The messages as given, oldest first.
    const QStringList& GetMessages() const { return m_messages; }
    QPlainTextEdit* GetText() const { return m_pText; }

private:
    QPlainTextEdit* m_pText = nullptr;
    QStringList m_messages;
};
