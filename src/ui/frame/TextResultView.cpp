#include "ui/frame/TextResultView.h"

#include "facts/RdapText.h"

#include "core/document/NetloreDoc.h"
#include "core/record/DateTimeText.h"
#include "core/record/IPAddressData.h"
#include "ui/TextConv.h"
#include "ui/frame/ViewTexts.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextDocument>

namespace {

constexpr int kBoxInset = 8;
constexpr int kTextMargin = 10;
constexpr int kMinFormatSize = 20;
constexpr int kBandTextInset = 10; // the band's left edge (2) and its text margin (8)
constexpr size_t kMaxMailAddress = 254;

const CIPAddressData* CurrentRecord(const CNetloreDoc* pDoc)
{
    return pDoc ? pDoc->GetData().GetAt(pDoc->GetCurrentIndex()) : nullptr;
}

// The text box shows lines, whatever ends them. Stored answers that came with
// CR LF hold CR CR LF (kept as received for the file and the export): that is
// one line end too, not two.
QString DisplayText(const std::string& strText)
{
    QString str = ToQString(strText);
    str.replace(QStringLiteral("\r\r\n"), QStringLiteral("\n"));
    str.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    str.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return str;
}

bool IsMailLocalChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '%' || c == '+' || c == '-';
}

bool IsMailDomainChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
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

    m_pAbuseLink = new QLabel(this);
    m_pAbuseLink->setObjectName(QStringLiteral("abuse-link"));
    m_pAbuseLink->setTextFormat(Qt::RichText);
    m_pAbuseLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_pAbuseLink->setOpenExternalLinks(false);
    m_pAbuseLink->setFont(CaptionFont());
    m_pAbuseLink->hide();
    connect(m_pAbuseLink, &QLabel::linkActivated, this, [this](const QString& strLink) {
        const QUrl url(strLink, QUrl::StrictMode);
        // Only the link this view wrote can arrive here; check anyway before a program is started.
        if (url.isValid() && url.scheme() == QLatin1String("mailto"))
            m_fnOpenUrl ? m_fnOpenUrl(url) : QDesktopServices::openUrl(url);
    });
}

void CTextResultView::SetAbuseReader(AbuseReader fnRead)
{
    m_fnReadAbuse = std::move(fnRead);
    UpdateAbuseLink();
}

bool CTextResultView::IsWellFormedMailAddress(std::string_view strText)
{
    if (strText.empty() || strText.size() > kMaxMailAddress)
        return false;
    const size_t nAt = strText.find('@');
    if (nAt == 0 || nAt == std::string_view::npos)
        return false;
    for (size_t i = 0; i < nAt; ++i)
        if (!IsMailLocalChar(strText[i]))
            return false;
    // At least two dot-separated labels, none empty.
    int nLabels = 0;
    size_t nLabelLength = 0;
    for (size_t i = nAt + 1; i <= strText.size(); ++i) {
        if (i == strText.size() || strText[i] == '.') {
            if (nLabelLength == 0)
                return false;
            ++nLabels;
            nLabelLength = 0;
        } else if (IsMailDomainChar(strText[i])) {
            ++nLabelLength;
        } else {
            return false;
        }
    }
    return nLabels >= 2;
}

QUrl CTextResultView::AbuseMailUrl(std::string_view strAbuse, std::string_view strRecordAddress)
{
    if (!IsWellFormedMailAddress(strAbuse))
        return {};
    const QByteArray address = QUrl::toPercentEncoding(QString::fromLatin1(strAbuse.data(), qsizetype(strAbuse.size())),
                                                       QByteArrayLiteral("@"));
    const QByteArray subject = QUrl::toPercentEncoding(ToQString(strRecordAddress));
    return QUrl::fromEncoded(QByteArrayLiteral("mailto:") + address + QByteArrayLiteral("?subject=") + subject,
                             QUrl::StrictMode);
}

QString CTextResultView::AbuseLinkHtml(std::string_view strAbuse, std::string_view strRecordAddress,
                                       const QString& strShortLabel)
{
    const QUrl url = AbuseMailUrl(strAbuse, strRecordAddress);
    if (!url.isValid())
        return {};
    const QString strHref = QString::fromLatin1(url.toEncoded()).toHtmlEscaped();
    const QString strLabel =
        (strShortLabel.isEmpty() ? QString::fromLatin1(strAbuse.data(), qsizetype(strAbuse.size())) : strShortLabel)
            .toHtmlEscaped();
    return QStringLiteral("%1 <a href=\"%2\">%3</a>")
        .arg(QString::fromLatin1(ViewTexts::kCaptionAbuse), strHref, strLabel);
}

QFont CTextResultView::CaptionFont() const
{
    return QFont(QStringLiteral("Arial"), 9, QFont::Bold);
}

void CTextResultView::UpdateAbuseLink()
{
    const CIPAddressData* pRecord = m_pDoc && m_pDoc->GetData().GetSize() > 0 ? CurrentRecord(m_pDoc) : nullptr;
    m_strAbuse.clear();
    m_strAbuseRecord.clear();
    if (pRecord && m_fnReadAbuse && !pRecord->RawWhoisView().empty()) {
        std::string strAbuse = m_fnReadAbuse(*pRecord);
        if (IsWellFormedMailAddress(strAbuse)) {
            m_strAbuse = std::move(strAbuse);
            m_strAbuseRecord = pRecord->GetIPAddress();
        }
    }
    if (m_strAbuse.empty()) {
        m_pAbuseLink->hide();
        m_pAbuseLink->clear();
    }
    PlaceAbuseLink();
}

void CTextResultView::PlaceAbuseLink()
{
    if (m_strAbuse.empty())
        return;
    // Right after the caption text, as the band draws it, and short of the time at the right.
    const QFontMetrics fm(CaptionFont());
    const std::string strAddress = GetCaptionAddress();
    const int nLeft = kBandTextInset + fm.horizontalAdvance(ToQString(strAddress)) +
                      fm.horizontalAdvance(CaptionText(strAddress)) + fm.horizontalAdvance(QStringLiteral("   "));
    const std::string strTime = strAddress.empty() ? std::string() : GetCaptionTime();
    const int nRight =
        width() - kBandTextInset -
        (strTime.empty() ? 0 : fm.horizontalAdvance(ToQString(strTime)) + fm.horizontalAdvance(QStringLiteral("   ")));
    const int nRoom = std::max(0, nRight - nLeft);
    // A cut address would read as another address: shorten it visibly instead.
    m_pAbuseLink->setText(AbuseLinkHtml(m_strAbuse, m_strAbuseRecord));
    if (m_pAbuseLink->sizeHint().width() > nRoom) {
        const QFontMetrics fmLink(m_pAbuseLink->font());
        const int nLabelRoom =
            nRoom - (m_pAbuseLink->sizeHint().width() - fmLink.horizontalAdvance(ToQString(m_strAbuse)));
        // Without room for a few letters the link would say nothing: it waits for a wider view.
        if (nLabelRoom < fmLink.horizontalAdvance(QStringLiteral("abc")) + fmLink.horizontalAdvance(QChar(0x2026))) {
            m_pAbuseLink->hide();
            return;
        }
        m_pAbuseLink->setText(AbuseLinkHtml(m_strAbuse, m_strAbuseRecord,
                                            fmLink.elidedText(ToQString(m_strAbuse), Qt::ElideRight, nLabelRoom)));
    }
    m_pAbuseLink->setGeometry(nLeft, 1, std::min(m_pAbuseLink->sizeHint().width(), nRoom), kCaptionHeight);
    m_pAbuseLink->show();
}

void CTextResultView::OnUpdate(const std::string*, const void* pSender)
{
    if (pSender == this || !m_pDoc)
        return;
    const std::string strText =
        m_pDoc->GetData().GetSize() > 0 ? m_pDoc->GetCurrentWhoisText() : std::string(ViewTexts::kQuickStart);
    m_pTextBox->setPlainText(DisplayText(strText));
    UpdateAbuseLink();
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

QString CTextResultView::CaptionText(const std::string& strAddress) const
{
    QString strLabel = CaptionLabel(strAddress, IsRdapText());
    const std::string strNote = GetCaptionNote();
    if (!strNote.empty())
        strLabel += QStringLiteral(" (") + ToQString(strNote) + QStringLiteral(")");
    const std::string strWarning = GetCaptionWarning();
    if (!strWarning.empty())
        strLabel += QStringLiteral(" (") + ToQString(strWarning) + QStringLiteral(")");
    return strLabel;
}

std::string CTextResultView::GetCaptionWarning() const
{
    const std::string strAddress = GetCaptionAddress();
    return strAddress.empty() || !m_fnWarning ? std::string() : m_fnWarning(strAddress);
}

std::string CTextResultView::GetCaptionNote() const
{
    const std::string strAddress = GetCaptionAddress();
    return strAddress.empty() || !m_fnNote ? std::string() : m_fnNote(strAddress);
}

QString CTextResultView::CaptionLabel(const std::string& strAddress, bool bRdap)
{
    if (bRdap)
        return QString::fromLatin1(strAddress.empty() ? ViewTexts::kCaptionNoAddressRdap
                                                      : ViewTexts::kCaptionAfterAddressRdap);
    return QString::fromLatin1(strAddress.empty() ? ViewTexts::kCaptionNoAddress : ViewTexts::kCaptionAfterAddress);
}

bool CTextResultView::IsRdapText() const
{
    const CIPAddressData* pRecord = CurrentRecord(m_pDoc);
    return pRecord && !RdapText::JsonOf(pRecord->RawWhoisView()).empty();
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
    PlaceAbuseLink();
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

    const QFont font = CaptionFont();
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
    painter.drawText(rcText, nFlags | Qt::AlignLeft, CaptionText(strAddress));
    if (!strTime.empty())
        painter.drawText(rcBand.adjusted(8, 0, -8, 0), nFlags | Qt::AlignRight, ToQString(strTime));
}
