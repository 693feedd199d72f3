#include "ui/frame/TextResultView.h"

#include "core/DateTimeText.h"
#include "core/IPAddressData.h"
#include "core/NetloreDoc.h"
#include "ui/TextConv.h"
#include "ui/frame/ViewTexts.h"

#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextDocument>

namespace {

constexpr int kBoxInset = 8;
constexpr int kTextMargin = 10;
constexpr int kMinFormatSize = 20;

const CIPAddressData* CurrentRecord(const CNetloreDoc* pDoc)
{
    return pDoc ? pDoc->GetData().GetAt(pDoc->GetCurrentIndex()) : nullptr;
}

// The text box shows lines, whatever ends them.
QString DisplayText(const std::string& strText)
{
    QString str = ToQString(strText);
    str.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    str.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return str;
}

} // namespace

CTextResultView::CTextResultView(CNetloreDoc* pDoc, QWidget* pParent)
    : CColorBackView(pParent)
    , m_pDoc(pDoc)
    , m_pTextBox(new QPlainTextEdit(this))
{
    SetTopBand(kCaptionHeight);
    // "Courier", 16 units high, light weight: a fixed-pitch face wherever it runs.
    QFont font(QStringLiteral("Courier"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(13);
    font.setWeight(QFont::Light);
    m_pTextBox->setObjectName(QStringLiteral("text-%1").arg(ViewTexts::kIdTextBox));
    m_pTextBox->setFont(font);
    m_pTextBox->setReadOnly(true);
    m_pTextBox->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_pTextBox->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pTextBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pTextBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pTextBox->setUndoRedoEnabled(false);
}

void CTextResultView::OnUpdate(const std::string*, const void* pSender)
{
    if (pSender == this || !m_pDoc)
        return;
    const std::string strText =
        m_pDoc->GetData().GetSize() > 0 ? m_pDoc->GetCurrentWhoisText() : std::string(ViewTexts::kQuickStart);
    m_pTextBox->setPlainText(DisplayText(strText));
    update(QRect(0, 0, width(), kCaptionHeight + 2));
}

std::string CTextResultView::GetCaptionAddress() const
{
    const CIPAddressData* pRecord = CurrentRecord(m_pDoc);
    return pRecord ? pRecord->GetIPAddress() : std::string();
}

std::string CTextResultView::GetCaptionTime() const
{
    const CIPAddressData* pRecord = CurrentRecord(m_pDoc);
    if (!pRecord || pRecord->IPAddressView().empty())
        return {};
    return FormatDateTimeText(pRecord->GetWhoisDone());
}

std::string CTextResultView::GetCaptionNote() const
{
    const std::string strAddress = GetCaptionAddress();
    return strAddress.empty() || !m_fnNote ? std::string() : m_fnNote(strAddress);
}

QString CTextResultView::CaptionLabel(const std::string& strAddress)
{
    return QString::fromLatin1(strAddress.empty() ? ViewTexts::kCaptionNoAddress : ViewTexts::kCaptionAfterAddress);
}

void CTextResultView::OnEditCopy()
{
    m_pTextBox->copy();
}

// The box is read-only: cutting copies nothing away and pasting inserts nothing.
void CTextResultView::OnEditCut()
{
    if (!m_pTextBox->isReadOnly())
        m_pTextBox->cut();
}

void CTextResultView::OnEditPaste()
{
    if (!m_pTextBox->isReadOnly())
        m_pTextBox->paste();
}

void CTextResultView::PlaceChildren(const QRect& rcClient)
{
    const QRect rcBox = rcClient.adjusted(kBoxInset, kBoxInset, -kBoxInset, -kBoxInset);
    m_pTextBox->setGeometry(rcBox);
    // A tiny box keeps its whole formatting area; otherwise the text gets a margin.
    const int nFrame = 2 * m_pTextBox->frameWidth();
    const int nFormatWidth = rcBox.width() - nFrame - m_pTextBox->verticalScrollBar()->sizeHint().width();
    const int nFormatHeight = rcBox.height() - nFrame - m_pTextBox->horizontalScrollBar()->sizeHint().height();
    const bool bRoom = nFormatWidth > kMinFormatSize && nFormatHeight > kMinFormatSize;
    m_pTextBox->document()->setDocumentMargin(bRoom ? kTextMargin : 0);
}

void CTextResultView::paintEvent(QPaintEvent* pEvent)
{
    CColorBackView::paintEvent(pEvent);
    QPainter painter(this);
    DrawCaption(painter);
}

void CTextResultView::DrawCaption(QPainter& painter)
{
    const std::string strAddress = GetCaptionAddress();
    const std::string strTime = strAddress.empty() ? std::string() : GetCaptionTime();
    const QRect rcBand(QPoint(2, 1), QPoint(width() - 2, 25));
    painter.fillRect(rcBand, palette().color(QPalette::Button));

    QFont font(QStringLiteral("Arial"), 9, QFont::Bold);
    painter.setFont(font);
    const QFontMetrics fm(font);
    QRect rcText = rcBand.adjusted(8, 0, -8, 0);
    const int nFlags = Qt::AlignVCenter | Qt::TextSingleLine;

    if (!strAddress.empty()) {
        const QString strAddr = ToQString(strAddress);
        const int nWidth = fm.horizontalAdvance(strAddr);
        const QRect rcAddr(rcText.left(), rcText.top() + (rcText.height() - fm.height()) / 2, nWidth, fm.height());
        painter.fillRect(rcAddr, QColor(255, 255, 0));
        painter.setPen(palette().color(QPalette::ToolTipText));
        painter.drawText(QRect(rcText.left(), rcText.top(), nWidth, rcText.height()), nFlags | Qt::AlignLeft, strAddr);
        rcText.setLeft(rcText.left() + nWidth);
    }
    painter.setPen(Qt::black);
    QString strLabel = CaptionLabel(strAddress);
    const std::string strNote = GetCaptionNote();
    if (!strNote.empty())
        strLabel += QStringLiteral(" (") + ToQString(strNote) + QStringLiteral(")");
    painter.drawText(rcText, nFlags | Qt::AlignLeft, strLabel);
    if (!strTime.empty())
        painter.drawText(rcBand.adjusted(8, 0, -8, 0), nFlags | Qt::AlignRight, ToQString(strTime));
}
