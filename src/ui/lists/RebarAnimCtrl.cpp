#include "ui/lists/RebarAnimCtrl.h"

#include "ui/lists/ListTexts.h"

#include <QPainter>
#include <QToolBar>

#include <cmath>
#include <numbers>

CRebarAnimCtrl::CRebarAnimCtrl(QWidget* pParent)
    : QWidget(pParent)
{
    setFixedSize(24, 24);
    setProperty("controlId", ListTexts::kIdBusyAnimation);
    m_timer.setInterval(kFrameMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_nFrame = (m_nFrame + 1) % kFrameCount;
        update();
    });
}

QAction* CRebarAnimCtrl::CreateInRebar(QToolBar* pRebar)
{
    if (!pRebar)
        return nullptr;
    return pRebar->addWidget(this);
}

void CRebarAnimCtrl::StartAnimation()
{
    if (m_bPlaying)
        return;
    m_timer.start();
    m_bPlaying = true;
}

void CRebarAnimCtrl::StopAnimation()
{
    if (!m_bPlaying)
        return;
    m_timer.stop();
    m_nFrame = 0;
    m_bPlaying = false;
    update();
}

QSize CRebarAnimCtrl::sizeHint() const
{
    return QSize(24, 24);
}

void CRebarAnimCtrl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(width() / 2.0, height() / 2.0);
    const double dRadius = std::min(width(), height()) / 2.0 - 3.0;
    const QColor clrBase = palette().color(QPalette::Mid);
    const QColor clrLead = palette().color(QPalette::Highlight);
    for (int i = 0; i < kFrameCount; ++i) {
        const double dAngle = 2.0 * std::numbers::pi * i / kFrameCount - std::numbers::pi / 2.0;
        const QPointF pt(centre.x() + dRadius * std::cos(dAngle), centre.y() + dRadius * std::sin(dAngle));
        // Dots fade behind the leading one, so the turning is visible.
        const int nBehind = (m_nFrame - i + kFrameCount) % kFrameCount;
        QColor clr = clrLead;
        if (nBehind > 0) {
            const double t = std::min(1.0, nBehind / 4.0);
            clr = QColor::fromRgbF(float(clrLead.redF() * (1 - t) + clrBase.redF() * t),
                                   float(clrLead.greenF() * (1 - t) + clrBase.greenF() * t),
                                   float(clrLead.blueF() * (1 - t) + clrBase.blueF() * t));
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(clr);
        painter.drawEllipse(pt, nBehind == 0 ? 2.5 : 2.0, nBehind == 0 ? 2.5 : 2.0);
    }
}
