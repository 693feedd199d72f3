#pragma once

#include <QTimer>
#include <QWidget>

class QAction;
class QToolBar;

// The small busy animation in the main window's tool bar area, drawn by code: a
// ring of dots whose bright spot turns while lookups are busy.
class CRebarAnimCtrl : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kFrameCount = 12;
    static constexpr int kFrameMs = 80;

    explicit CRebarAnimCtrl(QWidget* pParent = nullptr);

    // Adds the control to the bar as a fixed-size item.
    QAction* CreateInRebar(QToolBar* pRebar);
    void StartAnimation();
    // Stops and shows the first frame again.
    void StopAnimation();
    bool IsPlaying() const { return m_bPlaying; }
    int GetFrame() const { return m_nFrame; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QTimer m_timer;
    int m_nFrame = 0;
    bool m_bPlaying = false;
};
