#pragma once

#include "core/document/Progress.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;

// The small window shown while a long loop runs on the user's thread: one line of
// text, a bar with its percentage, and Cancel. While it is shown its parent takes
// no input, yet the application keeps painting and handling timers and lookup
// results, because setting the position and polling Cancel dispatch pending
// events. They do so at most every kPumpIntervalMs, so a loop over a million
// lines is not slowed down by event handling.
class CProgressDlg : public QDialog, public CProgress
{
    Q_OBJECT
public:
    static constexpr int kPumpIntervalMs = 30;

    // pParent is disabled while the window is shown. The window itself is a
    // top-level window without a Qt parent, so disabling pParent leaves Cancel
    // usable; the caller owns the object.
    explicit CProgressDlg(QWidget* pParent = nullptr);
    ~CProgressDlg() override;

    bool Show(const std::string& strText) override;
    void SetText(const std::string& strText) override;
    void SetPos(int nPos) override;
    bool PollCancel() override;
    void Close() override;

    bool IsShown() const { return m_bShown; }
    int GetPos() const { return m_nPos; }
    QString GetPercentText() const;
    QString GetText() const;
    QPushButton* GetCancelButton() const { return m_pCancel; }

    // "%d%c" of the percentage: 100 stays 100, anything else is taken modulo 100.
    static QString PercentText(int nPos, int nLower = 0, int nUpper = 100);

protected:
    void reject() override;
    void closeEvent(QCloseEvent* pEvent) override;

private:
    void PumpEvents();

    QPointer<QWidget> m_pParentWnd;
    QLabel* m_pText;
    QLabel* m_pPercent;
    QProgressBar* m_pBar;
    QPushButton* m_pCancel;
    QElapsedTimer m_sincePump;
    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nPos = 0;
    bool m_bCancel = false;
    bool m_bShown = false;
    bool m_bDisabledParent = false;
};
