#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class CMainFrame;

// The command line's unattended run: types an address into the quick lookup
// bar, presses Lookup, waits for its whois answer, optionally saves a picture of
// the window, and ends the program when asked to. Used by the smoke test and for
// screenshots.
class CScriptedLookup : public QObject
{
    Q_OBJECT
public:
    CScriptedLookup(CMainFrame& frame, const QString& strAddress, const QString& strScreenshot, bool bQuit,
                    int nTimeoutMs);

    void Start();
    int ExitCode() const { return m_nExitCode; }

private:
    void Poll();
    void Finish(bool bAnswered);

    CMainFrame& m_frame;
    QString m_strAddress;
    QString m_strScreenshot;
    bool m_bQuit;
    int m_nTimeoutMs;
    int m_nWaitedMs = 0;
    int m_nExitCode = 0;
    QTimer m_poll;
};
