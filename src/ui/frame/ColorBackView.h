#pragma once

#include <QWidget>

// A view that paints its background in the button-face colour with a raised and,
// further in, a sunken edge, and places its child controls whenever its size has
// changed. A band at the top (the caption of a derived view) is kept outside the
// client area.
class CColorBackView : public QWidget
{
    Q_OBJECT
public:
    explicit CColorBackView(QWidget* pParent = nullptr);

    // The view below the top band.
    QRect ClientRect() const;
    bool IsLayoutPending() const { return m_bLayoutPending; }

protected:
    void SetTopBand(int nHeight);
    int GetTopBand() const { return m_nTopBand; }
    // Places the children inside the client rectangle.
    virtual void PlaceChildren(const QRect& rcClient);
    void LayoutIfPending();

    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    int m_nTopBand = 0;
    bool m_bLayoutPending = true;
};
