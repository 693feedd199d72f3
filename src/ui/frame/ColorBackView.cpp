#include "ui/frame/ColorBackView.h"

#include <QPainter>
#include <QResizeEvent>

CColorBackView::CColorBackView(QWidget* pParent)
    : QWidget(pParent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QRect CColorBackView::ClientRect() const
{
    return QRect(0, m_nTopBand, width(), std::max(0, height() - m_nTopBand));
}

void CColorBackView::SetTopBand(int nHeight)
{
    m_nTopBand = nHeight;
    m_bLayoutPending = true;
    update();
}

void CColorBackView::PlaceChildren(const QRect&) { }

void CColorBackView::LayoutIfPending()
{
    if (!m_bLayoutPending)
        return;
    PlaceChildren(ClientRect());
    m_bLayoutPending = false;
}

void CColorBackView::resizeEvent(QResizeEvent* pEvent)
{
    QWidget::resizeEvent(pEvent);
    m_bLayoutPending = true;
    // Children are placed at once rather than at the next paint: a hidden view
    // gets no paint, yet its text box must already have its place.
    LayoutIfPending();
}

void CColorBackView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& pal = palette();
    painter.fillRect(rect(), pal.color(QPalette::Button));
    const QColor clrLight = pal.color(QPalette::Light);
    const QColor clrShadow = pal.color(QPalette::Dark);
    auto edge = [&](const QRect& rc, const QColor& clrTopLeft, const QColor& clrBottomRight) {
        if (rc.width() < 2 || rc.height() < 2)
            return;
        painter.setPen(clrTopLeft);
        painter.drawLine(rc.topLeft(), rc.topRight());
        painter.drawLine(rc.topLeft(), rc.bottomLeft());
        painter.setPen(clrBottomRight);
        painter.drawLine(rc.bottomLeft(), rc.bottomRight());
        painter.drawLine(rc.topRight(), rc.bottomRight());
    };
    const QRect rcRaised = ClientRect().adjusted(2, 2, -2, -2);
    edge(rcRaised, clrLight, clrShadow);
    edge(rcRaised.adjusted(4, 4, -4, -4), clrShadow, clrLight);
    LayoutIfPending();
}
