#include "ui/lists/BigListCtrl.h"

#include "core/settings/MemorySettingsStore.h"
#include "core/settings/SettingsStore.h"
#include "ui/TextConv.h"
#include "ui/lists/BigListModel.h"
#include "ui/lists/ListTexts.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace {

// Settings are untrusted: a font, row or column size from them is kept within
// what a list can sensibly draw.
constexpr int kMaxFontPixels = 256;
constexpr int kMaxRowHeight = 1024;
constexpr int kMaxColumnWidth = 1 << 20;
constexpr int kFaceNameMax = 31;

const QColor kHighlightedTagColor(0, 255, 255);

// A font from the fields of a Windows logical font.
QFont MakeFont(const QString& strFace, int nHeight, int nWeight, bool bItalic, bool bUnderline, bool bStrikeOut,
               int nQuality, int nPitchAndFamily)
{
    QFont font;
    if (!strFace.isEmpty())
        font.setFamily(strFace);
    switch (nPitchAndFamily & 0xF0) {
    case 0x10:
        font.setStyleHint(QFont::Serif);
        break;
    case 0x20:
        font.setStyleHint(QFont::SansSerif);
        break;
    case 0x30:
        font.setStyleHint(QFont::TypeWriter);
        break;
    case 0x40:
        font.setStyleHint(QFont::Cursive);
        break;
    case 0x50:
        font.setStyleHint(QFont::Decorative);
        break;
    default:
        break;
    }
    if ((nPitchAndFamily & 0x03) == 1)
        font.setFixedPitch(true);
    if (nHeight < 0) {
        // Negative: the character height, which is what a pixel size means.
        font.setPixelSize(int(std::min<int64_t>(-int64_t(nHeight), kMaxFontPixels)));
    } else if (nHeight > 0) {
        // Positive: the cell height (ascent + descent).
        const int nCell = std::min(nHeight, kMaxFontPixels);
        QFont probe = font;
        probe.setPixelSize(100);
        const int nProbe = std::max(1, QFontMetrics(probe).height());
        font.setPixelSize(std::max(1, nCell * 100 / nProbe));
    }
    if (nWeight > 0)
        font.setWeight(QFont::Weight(std::clamp(nWeight, 1, 1000)));
    font.setItalic(bItalic);
    font.setUnderline(bUnderline);
    font.setStrikeOut(bStrikeOut);
    if (nQuality == 3)
        font.setStyleStrategy(QFont::NoAntialias);
    else if (nQuality == 4 || nQuality == 5)
        font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

int FloorDiv(int a, int b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

void TrimRight(std::string& s, const char* pszChars)
{
    s.erase(s.find_last_not_of(pszChars) + 1);
}

} // namespace

CBigListCtrl::CBigListCtrl(QWidget* pParent)
    : QAbstractItemView(pParent)
    , m_pModel(new CBigListModel(this))
    , m_clrRow1(ColorFromRef(0xFFFFFF))
    , m_clrRow2(ColorFromRef(0xFFFFF0))
    , m_clrFont(ColorFromRef(0))
    , m_clrText1(ColorFromRef(0x0000FF))
    , m_clrText2(ColorFromRef(0x000080))
    , m_strEmptyText(ListTexts::kDefaultEmptyText)
{
    setModel(m_pModel);
    setSelectionBehavior(SelectRows);
    setSelectionMode(ExtendedSelection);
    setEditTriggers(NoEditTriggers);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerItem);
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);
    ApplyFont(MakeFont(QStringLiteral("Arial"), 14, 800, false, false, false, 0, 16));
}

CBigListCtrl::~CBigListCtrl() = default;

void CBigListCtrl::SetOwner(CBigListOwner* pOwner)
{
    m_pModel->SetOwner(pOwner);
    viewport()->update();
}

// ------------------------------------------------------------ appearance

QColor CBigListCtrl::ColorFromRef(int nRef)
{
    const auto u = uint32_t(nRef);
    return QColor(int(u & 0xFF), int((u >> 8) & 0xFF), int((u >> 16) & 0xFF));
}

int CBigListCtrl::RefFromColor(const QColor& clr)
{
    return clr.red() | (clr.green() << 8) | (clr.blue() << 16);
}

int CBigListCtrl::ComputeRowHeight(int nCharHeight, int nExternalLeading, int nPercent)
{
    const int64_t nLine = int64_t(nCharHeight) + std::max(nExternalLeading, 0) + 1;
    return int(std::clamp<int64_t>(nLine * nPercent / 100, 1, kMaxRowHeight));
}

void CBigListCtrl::LoadListSettings(const std::string& strSection)
{
    CMemorySettingsStore none;
    CSettingsStore& store = m_pStore ? *m_pStore : none;
    auto color = [&](const char* pszKey, const QColor& clrDefault) {
        return ColorFromRef(store.GetProfileInt(strSection, pszKey, RefFromColor(clrDefault)));
    };
    auto integer = [&](const char* pszKey, int nDefault) { return store.GetProfileInt(strSection, pszKey, nDefault); };
    // Byte fields of the logical font keep their low byte only.
    auto byte = [&](const char* pszKey) { return integer(pszKey, 0) & 0xFF; };

    m_clrRow1 = color(ListTexts::kKeyRowColor1, m_clrRow1);
    m_clrRow2 = color(ListTexts::kKeyRowColor2, m_clrRow2);
    m_nRowHeightPercent = integer(ListTexts::kKeyRowHeight, m_nRowHeightPercent);

    const int nHeight = integer(ListTexts::kKeyFontHeight, -12);
    integer(ListTexts::kKeyFontWidth, 0);
    integer(ListTexts::kKeyFontEscapement, 0);
    integer(ListTexts::kKeyFontOrientation, 0);
    const int nWeight = integer(ListTexts::kKeyFontWeight, 800);
    const bool bItalic = byte(ListTexts::kKeyFontItalic) != 0;
    const bool bUnderline = byte(ListTexts::kKeyFontUnderline) != 0;
    const bool bStrikeOut = byte(ListTexts::kKeyFontStrikeOut) != 0;
    byte(ListTexts::kKeyFontCharSet);
    byte(ListTexts::kKeyFontOutPrecision);
    byte(ListTexts::kKeyFontClipPrecision);
    const int nQuality = byte(ListTexts::kKeyFontQuality);
    const int nPitchAndFamily = byte(ListTexts::kKeyFontPitchAndFamily);
    std::string strFace = store.GetProfileString(strSection, ListTexts::kKeyFontFaceName, "Arial");
    if (strFace.size() > size_t(kFaceNameMax))
        strFace.resize(size_t(kFaceNameMax));
    m_clrFont = color(ListTexts::kKeyFontColor, QColor(0, 0, 0));
    m_clrText1 = color(ListTexts::kKeyTextColor1, m_clrText1);
    m_clrText2 = color(ListTexts::kKeyTextColor2, m_clrText2);

    ApplyFont(
        MakeFont(ToQString(strFace), nHeight, nWeight, bItalic, bUnderline, bStrikeOut, nQuality, nPitchAndFamily));
}

void CBigListCtrl::ApplyFont(const QFont& font)
{
    m_font = font;
    RecalcRowHeight();
}

void CBigListCtrl::RecalcRowHeight()
{
    const QFontMetrics fm(m_font);
    m_nRowHeight = ComputeRowHeight(fm.height(), fm.leading(), m_nRowHeightPercent);
    updateGeometries();
    viewport()->update();
}

int CBigListCtrl::AddColumn(const std::string& strTitle, int nDefaultWidth, Qt::Alignment align)
{
    int nWidth = nDefaultWidth;
    if (m_pStore)
        nWidth = m_pStore->GetProfileInt(ListTexts::kColumnWidthsSection, strTitle, nDefaultWidth);
    m_columnWidths.push_back(std::clamp(nWidth, 0, kMaxColumnWidth));
    const int nColumn = m_pModel->AddColumn(strTitle, align);
    updateGeometries();
    viewport()->update();
    return nColumn;
}

int CBigListCtrl::GetColumnCount() const
{
    return m_pModel->GetColumnCount();
}

int CBigListCtrl::GetColumnWidth(int nColumn) const
{
    return nColumn >= 0 && nColumn < int(m_columnWidths.size()) ? m_columnWidths[size_t(nColumn)] : 0;
}

void CBigListCtrl::SetColumnWidth(int nColumn, int nWidth)
{
    if (nColumn < 0 || nColumn >= int(m_columnWidths.size()))
        return;
    m_columnWidths[size_t(nColumn)] = std::clamp(nWidth, 0, kMaxColumnWidth);
    updateGeometries();
    viewport()->update();
}

int CBigListCtrl::TotalColumnWidth() const
{
    int64_t n = 0;
    for (int w : m_columnWidths)
        n += w;
    return int(std::min<int64_t>(n, INT32_MAX / 2));
}

int CBigListCtrl::ColumnLeft(int nColumn) const
{
    int64_t n = 0;
    for (int i = 0; i < nColumn && i < int(m_columnWidths.size()); ++i)
        n += m_columnWidths[size_t(i)];
    return int(std::min<int64_t>(n, INT32_MAX / 2));
}

void CBigListCtrl::SetEmptyText(const std::string& strText)
{
    m_strEmptyText = strText;
    viewport()->update();
}

void CBigListCtrl::SetShowSelectionAlways(bool bShow)
{
    m_bShowSelectionAlways = bShow;
    viewport()->update();
}

// ------------------------------------------------------------ rows and selection

void CBigListCtrl::SetRowCount(int nRows)
{
    m_pModel->SetRowCount(nRows);
    updateGeometries();
    viewport()->update();
}

int CBigListCtrl::GetRowCount() const
{
    return m_pModel->GetRowCount();
}

std::vector<std::pair<int, int>> CBigListCtrl::SelectedRanges() const
{
    std::vector<std::pair<int, int>> ranges;
    if (!selectionModel())
        return ranges;
    const QItemSelection sel = selectionModel()->selection();
    ranges.reserve(size_t(sel.size()));
    for (const QItemSelectionRange& r : sel)
        if (r.isValid())
            ranges.emplace_back(r.top(), r.bottom());
    std::sort(ranges.begin(), ranges.end());
    // Merge overlapping and touching ranges (one per column would otherwise repeat rows).
    std::vector<std::pair<int, int>> merged;
    for (const auto& r : ranges) {
        if (!merged.empty() && r.first <= merged.back().second + 1)
            merged.back().second = std::max(merged.back().second, r.second);
        else
            merged.push_back(r);
    }
    return merged;
}

int CBigListCtrl::GetSelectedCount() const
{
    int64_t n = 0;
    for (const auto& [a, b] : SelectedRanges())
        n += b - a + 1;
    return int(n);
}

std::vector<int> CBigListCtrl::GetSelectedRows() const
{
    std::vector<int> rows;
    for (const auto& [a, b] : SelectedRanges())
        for (int r = a; r <= b; ++r)
            rows.push_back(r);
    return rows;
}

int CBigListCtrl::DeselectAll()
{
    const int n = GetSelectedCount();
    if (n > 0)
        selectionModel()->clearSelection();
    return n;
}

int CBigListCtrl::GetSelectedRow()
{
    if (m_nRememberedRow >= 0 && m_nRememberedRow < GetRowCount() &&
        selectionModel()->isRowSelected(m_nRememberedRow, QModelIndex()))
        return m_nRememberedRow;
    m_nRememberedRow = -1;
    return -1;
}

std::vector<std::string> CBigListCtrl::GetSelectedTexts(int nColumn) const
{
    std::vector<std::string> texts;
    if (nColumn < 0 || nColumn >= GetColumnCount())
        return texts;
    for (const auto& [a, b] : SelectedRanges())
        for (int r = a; r <= b; ++r)
            texts.push_back(m_pModel->GetCellText(r, nColumn));
    return texts;
}

void CBigListCtrl::SelectRow(int nRow)
{
    if (nRow < 0 || nRow >= GetRowCount() || GetColumnCount() == 0)
        return;
    const QModelIndex idx = m_pModel->index(nRow, 0);
    selectionModel()->setCurrentIndex(idx, QItemSelectionModel::NoUpdate);
    selectionModel()->select(idx, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void CBigListCtrl::EnsureRowVisible(int nRow)
{
    if (nRow >= 0 && nRow < GetRowCount() && GetColumnCount() > 0)
        scrollTo(m_pModel->index(nRow, 0), QAbstractItemView::EnsureVisible);
}

int CBigListCtrl::GetTopRow() const
{
    return verticalScrollBar()->value();
}

int CBigListCtrl::GetVisibleRowCount() const
{
    return std::max(1, viewport()->height() / m_nRowHeight);
}

void CBigListCtrl::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QAbstractItemView::selectionChanged(selected, deselected);
    const QModelIndex cur = currentIndex();
    // A click on one row of a selected range keeps that row and drops the others:
    // nothing is newly selected, yet the row the user chose has changed.
    const bool bNarrowed = selected.isEmpty() && cur.isValid() && cur.row() != m_nRememberedRow &&
                           selectionModel()->isRowSelected(cur.row(), QModelIndex());
    if (selected.isEmpty() && !bNarrowed)
        return;
    // The row the user moved to when it is among the new ones, else the first new one.
    int nRow = -1;
    if (bNarrowed || (cur.isValid() && selected.contains(cur))) {
        nRow = cur.row();
    } else {
        for (const QItemSelectionRange& r : selected)
            if (r.isValid() && (nRow < 0 || r.top() < nRow))
                nRow = r.top();
    }
    if (nRow < 0)
        return;
    m_nRememberedRow = nRow;
    emit rowSelected(nRow);
    if (m_nSelectionCommand != 0)
        emit commandIssued(m_nSelectionCommand);
}

// ------------------------------------------------------------ copying

std::string CBigListCtrl::StripCellTags(std::string_view text)
{
    static constexpr const char* kTags[] = {"<font color=\"#FF0000\">",
                                            "<#!0>",
                                            "<#!1>",
                                            "<#!2>",
                                            "<#!3>",
                                            "<#FF0000>",
                                            "<#00FF00>",
                                            "<#800000>",
                                            "<#808080>",
                                            "<#A0A0A0>",
                                            "<#000000>",
                                            "<#0000FF>",
                                            "<#000080>",
                                            "[{",
                                            "}]"};
    std::string s(text);
    for (const char* pszTag : kTags) {
        const std::string_view tag(pszTag);
        std::string out;
        size_t nPos = 0;
        for (size_t nHit; (nHit = s.find(tag, nPos)) != std::string::npos; nPos = nHit + tag.size())
            out.append(s, nPos, nHit - nPos);
        if (nPos == 0)
            continue;
        out.append(s, nPos, std::string::npos);
        s.swap(out);
    }
    return s;
}

std::string CBigListCtrl::BuildCopyText(bool bSelectedOnly) const
{
    std::string strText;
    const int nColumns = GetColumnCount();
    auto addRow = [&](int nRow) {
        for (int c = 0; c < nColumns; ++c) {
            if (m_pModel->GetColumnTitle(c) == "#")
                continue;
            strText += StripCellTags(m_pModel->GetCellText(nRow, c));
            strText += '\t';
        }
        if (nColumns > 0) {
            TrimRight(strText, " \t\r\n");
            strText += "\r\n";
        }
    };
    if (bSelectedOnly) {
        for (const auto& [a, b] : SelectedRanges())
            for (int r = a; r <= b; ++r)
                addRow(r);
    } else {
        for (int r = 0, n = GetRowCount(); r < n; ++r)
            addRow(r);
    }
    static constexpr const char* kWhite = " \t\r\n\v\f";
    TrimRight(strText, kWhite);
    strText.erase(0, std::min(strText.find_first_not_of(kWhite), strText.size()));
    return strText;
}

bool CBigListCtrl::CopySelectedRows()
{
    const std::string strText = BuildCopyText(true);
    return !strText.empty() && CopyTextToClipboard(strText);
}

bool CBigListCtrl::CopyTable()
{
    const std::string strText = BuildCopyText(false);
    return !strText.empty() && CopyTextToClipboard(strText);
}

bool CBigListCtrl::CopyTextToClipboard(const std::string& strText)
{
    QClipboard* pClipboard = QGuiApplication::clipboard();
    if (!pClipboard)
        return false;
    pClipboard->setText(ToQString(strText));
    return true;
}

// ------------------------------------------------------------ drawing

std::vector<CBigListCtrl::CTextPiece> CBigListCtrl::SplitTaggedText(const QString& strText, const QColor& clrStart,
                                                                    bool bHighlighted) const
{
    std::vector<CTextPiece> pieces;
    QColor clr = clrStart;
    qsizetype nPos = 0;
    while (nPos < strText.size()) {
        const qsizetype nLt = strText.indexOf(QLatin1Char('<'), nPos);
        if (nLt < 0) {
            pieces.push_back({strText.mid(nPos), clr});
            break;
        }
        if (nLt > nPos)
            pieces.push_back({strText.mid(nPos, nLt - nPos), clr});
        const qsizetype nGt = strText.indexOf(QLatin1Char('>'), nLt + 1);
        if (nGt < 0)
            break;
        const QStringView tag = QStringView(strText).mid(nLt + 1, nGt - nLt - 1);
        bool bHex = tag.size() == 7 && tag[0] == QLatin1Char('#');
        for (qsizetype i = 1; bHex && i < 7; ++i)
            bHex = isxdigit(tag[i].unicode() < 128 ? tag[i].toLatin1() : 'x') != 0;
        if (bHex) {
            clr = bHighlighted ? kHighlightedTagColor
                               : QColor(tag.mid(1, 2).toInt(nullptr, 16), tag.mid(3, 2).toInt(nullptr, 16),
                                        tag.mid(5, 2).toInt(nullptr, 16));
        } else if (tag.size() >= 2 && tag[0] == QLatin1Char('#') && tag[1] == QLatin1Char('!')) {
            const char c = tag.size() > 2 ? tag[2].toLatin1() : '\0';
            if (c == '0')
                clr = bHighlighted ? palette().color(QPalette::HighlightedText) : m_clrFont;
            else if (c == '1')
                clr = bHighlighted ? kHighlightedTagColor : m_clrText1;
            else if (c == '2')
                clr = bHighlighted ? kHighlightedTagColor : m_clrText2;
            else if (bHighlighted)
                clr = kHighlightedTagColor;
        }
        nPos = nGt + 1;
    }
    return pieces;
}

void CBigListCtrl::DrawTaggedText(QPainter& painter, const QString& strText, const QRect& rc, Qt::Alignment align,
                                  bool bHighlighted) const
{
    if (strText.isEmpty())
        return;
    const std::vector<CTextPiece> pieces = SplitTaggedText(strText, painter.pen().color(), bHighlighted);
    const QFontMetrics fm(painter.font());
    // The pieces are laid out one after the other; a right or centre aligned cell
    // places the whole run, so its pieces never draw over each other.
    int nLeft = rc.left();
    if (!(align & Qt::AlignLeft) && (align & (Qt::AlignRight | Qt::AlignHCenter))) {
        int nTotal = 0;
        for (const CTextPiece& piece : pieces)
            nTotal += fm.horizontalAdvance(piece.m_strText);
        if (nTotal < rc.width())
            nLeft += (align & Qt::AlignRight) ? rc.width() - nTotal : (rc.width() - nTotal) / 2;
    }
    for (const CTextPiece& piece : pieces) {
        const int nWidth = rc.right() + 1 - nLeft;
        if (nWidth <= 0)
            break;
        painter.setPen(piece.m_clr);
        const QString strShown = fm.elidedText(piece.m_strText, Qt::ElideRight, nWidth);
        painter.drawText(QRect(nLeft, rc.top(), nWidth, rc.height()),
                         int(Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine), strShown);
        nLeft += fm.horizontalAdvance(piece.m_strText);
    }
}

void CBigListCtrl::paintEvent(QPaintEvent* pEvent)
{
    QPainter painter(viewport());
    const int nRows = GetRowCount();
    if (nRows == 0) {
        if (!m_strEmptyText.empty())
            DrawEmptyText(painter);
        return;
    }
    if (GetColumnCount() == 0)
        return;
    painter.setFont(m_font);
    const int nTop = GetTopRow();
    const QRect rcUpdate = pEvent->rect();
    const int nFrom = nTop + std::max(0, rcUpdate.top()) / m_nRowHeight;
    const int nTo = int(std::min<int64_t>(nRows - 1, int64_t(nTop) + std::max(0, rcUpdate.bottom()) / m_nRowHeight));
    for (int r = nFrom; r <= nTo; ++r)
        DrawRow(painter, r, (r - nTop) * m_nRowHeight);
}

void CBigListCtrl::DrawRow(QPainter& painter, int nRow, int nTop)
{
    painter.save();
    const QPalette& pal = palette();
    const bool bSelected = selectionModel()->isRowSelected(nRow, QModelIndex());
    const QModelIndex cur = currentIndex();
    const bool bFocused = cur.isValid() && cur.row() == nRow;
    const bool bHasFocus = hasFocus();
    const bool bHighlighted = bSelected && (bHasFocus || m_bShowSelectionAlways);

    const int nX0 = -horizontalOffset();
    const QRect rcBounds(nX0, nTop, TotalColumnWidth(), m_nRowHeight);
    QRect rcLabel(nX0, nTop, GetColumnWidth(0), m_nRowHeight);
    const QString strText = ToQString(m_pModel->GetCellText(nRow, 0));
    const int nOffset = 2 * QFontMetrics(painter.font()).horizontalAdvance(QLatin1Char(' '));
    QRect rcHighlight = rcBounds;
    rcHighlight.setLeft(rcLabel.left());

    QColor clrText;
    if (!isEnabled()) {
        clrText = pal.color(QPalette::Disabled, QPalette::Text);
    } else if (bHighlighted) {
        clrText = pal.color(QPalette::Active, QPalette::HighlightedText);
        painter.fillRect(rcHighlight, pal.color(QPalette::Active, QPalette::Highlight));
    } else {
        clrText = m_clrFont;
        painter.fillRect(rcHighlight, GetRowColor(nRow));
    }
    painter.setPen(clrText);

    painter.setClipRect(QRect(rcBounds.left(), nTop, GetColumnWidth(0), m_nRowHeight));
    rcLabel.setLeft(rcLabel.left() + nOffset / 2);
    rcLabel.setRight(rcLabel.right() - nOffset);
    DrawTaggedText(painter, strText, rcLabel, Qt::AlignLeft, bHighlighted);
    painter.setPen(clrText);

    QRect rcClip = rcBounds;
    if (rcHighlight.right() > rcClip.right())
        rcClip.setRight(rcHighlight.right());
    painter.setClipRect(rcClip);
    int nCellLeft = rcBounds.left() + GetColumnWidth(0);
    for (int c = 1; c < GetColumnCount(); ++c) {
        const int nWidth = GetColumnWidth(c);
        QRect rcCell(nCellLeft, nTop, nWidth, m_nRowHeight);
        nCellLeft += nWidth;
        const QString strCell = ToQString(m_pModel->GetCellText(nRow, c));
        if (strCell.isEmpty())
            continue;
        const Qt::Alignment colAlign = m_pModel->GetColumnAlignment(c);
        const Qt::Alignment align = (colAlign & Qt::AlignRight)     ? Qt::AlignRight
                                    : (colAlign & Qt::AlignHCenter) ? Qt::AlignHCenter
                                                                    : Qt::AlignLeft;
        rcCell.adjust(nOffset, 0, -nOffset, 0);
        DrawTaggedText(painter, strCell, rcCell, align, bHighlighted);
        painter.setPen(clrText);
    }

    if (bFocused && bHasFocus) {
        painter.setClipping(false);
        QStyleOptionFocusRect opt;
        opt.initFrom(this);
        opt.rect = rcHighlight;
        opt.backgroundColor = bHighlighted ? pal.color(QPalette::Highlight) : GetRowColor(nRow);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opt, &painter, this);
    }
    painter.restore();
}

void CBigListCtrl::DrawEmptyText(QPainter& painter)
{
    const QPalette& pal = palette();
    QRect rc = viewport()->rect();
    rc.setTop(rc.top() + kEmptyTextTop);
    painter.fillRect(rc, pal.color(QPalette::Base));
    painter.setPen(pal.color(QPalette::Text));
    painter.setFont(QApplication::font());
    painter.drawText(rc, int(Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap), ToQString(m_strEmptyText));
}

// ------------------------------------------------------------ QAbstractItemView

QRect CBigListCtrl::visualRect(const QModelIndex& index) const
{
    if (!index.isValid() || index.row() >= GetRowCount() || index.column() >= GetColumnCount())
        return {};
    const int64_t nY = (int64_t(index.row()) - GetTopRow()) * m_nRowHeight;
    const int nClampedY = int(std::clamp<int64_t>(nY, -(int64_t(1) << 29), int64_t(1) << 29));
    return QRect(ColumnLeft(index.column()) - horizontalOffset(), nClampedY, GetColumnWidth(index.column()),
                 m_nRowHeight);
}

void CBigListCtrl::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (!index.isValid() || index.row() >= GetRowCount())
        return;
    const int nRow = index.row();
    const int nVisible = GetVisibleRowCount();
    int nTop = GetTopRow();
    switch (hint) {
    case PositionAtTop:
        nTop = nRow;
        break;
    case PositionAtBottom:
        nTop = nRow - nVisible + 1;
        break;
    case PositionAtCenter:
        nTop = nRow - nVisible / 2;
        break;
    case QAbstractItemView::EnsureVisible:
        if (nRow < nTop)
            nTop = nRow;
        else if (nRow >= nTop + nVisible)
            nTop = nRow - nVisible + 1;
        break;
    }
    verticalScrollBar()->setValue(nTop);
}

QModelIndex CBigListCtrl::indexAt(const QPoint& point) const
{
    if (point.y() < 0 || point.x() < 0)
        return {};
    const int64_t nRow = int64_t(GetTopRow()) + point.y() / m_nRowHeight;
    if (nRow >= GetRowCount())
        return {};
    const int nX = point.x() + horizontalOffset();
    int nLeft = 0;
    for (int c = 0; c < GetColumnCount(); ++c) {
        const int nWidth = GetColumnWidth(c);
        if (nX >= nLeft && nX < nLeft + nWidth)
            return m_pModel->index(int(nRow), c);
        nLeft += nWidth;
    }
    return {};
}

QModelIndex CBigListCtrl::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
    const int nRows = GetRowCount();
    if (nRows == 0 || GetColumnCount() == 0)
        return {};
    const QModelIndex cur = currentIndex();
    const int nRow = cur.isValid() ? cur.row() : -1;
    const int nPage = std::max(1, GetVisibleRowCount() - 1);
    int nNew = nRow;
    switch (cursorAction) {
    case MoveUp:
    case MovePrevious:
        nNew = nRow - 1;
        break;
    case MoveDown:
    case MoveNext:
        nNew = nRow + 1;
        break;
    case MovePageUp:
        nNew = nRow - nPage;
        break;
    case MovePageDown:
        nNew = nRow + nPage;
        break;
    case MoveHome:
        nNew = 0;
        break;
    case MoveEnd:
        nNew = nRows - 1;
        break;
    default:
        return cur;
    }
    nNew = std::clamp(nNew, 0, nRows - 1);
    return m_pModel->index(nNew, cur.isValid() ? cur.column() : 0);
}

int CBigListCtrl::horizontalOffset() const
{
    return horizontalScrollBar()->value();
}

int CBigListCtrl::verticalOffset() const
{
    return int(std::min<int64_t>(int64_t(GetTopRow()) * m_nRowHeight, INT32_MAX));
}

bool CBigListCtrl::isIndexHidden(const QModelIndex&) const
{
    return false;
}

void CBigListCtrl::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command)
{
    const int nRows = GetRowCount();
    const int nColumns = GetColumnCount();
    const QRect rc = rect.normalized();
    const int64_t nFirst = int64_t(GetTopRow()) + FloorDiv(rc.top(), m_nRowHeight);
    const int64_t nLast = int64_t(GetTopRow()) + FloorDiv(rc.bottom(), m_nRowHeight);
    if (nRows == 0 || nColumns == 0 || nLast < 0 || nFirst >= nRows) {
        selectionModel()->select(QItemSelection(), command);
        return;
    }
    const int nTop = int(std::max<int64_t>(nFirst, 0));
    const int nBottom = int(std::min<int64_t>(nLast, nRows - 1));
    selectionModel()->select(QItemSelection(m_pModel->index(nTop, 0), m_pModel->index(nBottom, nColumns - 1)),
                             command | QItemSelectionModel::Rows);
}

QRegion CBigListCtrl::visualRegionForSelection(const QItemSelection& selection) const
{
    QRegion region;
    const int nTop = GetTopRow();
    const int nLast = nTop + GetVisibleRowCount();
    const int nWidth = std::max(viewport()->width(), TotalColumnWidth());
    for (const QItemSelectionRange& r : selection) {
        const int a = std::max(r.top(), nTop);
        const int b = std::min(r.bottom(), nLast);
        if (a <= b)
            region += QRect(-horizontalOffset(), (a - nTop) * m_nRowHeight, nWidth, (b - a + 1) * m_nRowHeight);
    }
    return region;
}

void CBigListCtrl::updateGeometries()
{
    const int nVisible = GetVisibleRowCount();
    QScrollBar* pVert = verticalScrollBar();
    pVert->setSingleStep(1);
    pVert->setPageStep(nVisible);
    pVert->setRange(0, std::max(0, GetRowCount() - nVisible));
    QScrollBar* pHorz = horizontalScrollBar();
    const int nViewWidth = viewport()->width();
    pHorz->setSingleStep(std::max(1, QFontMetrics(m_font).horizontalAdvance(QLatin1Char(' '))));
    pHorz->setPageStep(std::max(1, nViewWidth));
    pHorz->setRange(0, std::max(0, TotalColumnWidth() - nViewWidth));
    QAbstractItemView::updateGeometries();
}

void CBigListCtrl::scrollContentsBy(int, int)
{
    viewport()->update();
}

void CBigListCtrl::keyPressEvent(QKeyEvent* pEvent)
{
    // The view's own copy takes only the current cell.
    const bool bCopy = pEvent->matches(QKeySequence::Copy) ||
                       (pEvent->key() == Qt::Key_Insert && pEvent->modifiers() == Qt::ControlModifier);
    if (bCopy) {
        CopySelectedRows();
        pEvent->accept();
        return;
    }
    if (pEvent->key() == Qt::Key_Delete && pEvent->modifiers() == Qt::NoModifier) {
        emit deletePressed();
        pEvent->accept();
        return;
    }
    QAbstractItemView::keyPressEvent(pEvent);
}

void CBigListCtrl::mouseReleaseEvent(QMouseEvent* pEvent)
{
    QAbstractItemView::mouseReleaseEvent(pEvent);
    if (pEvent->button() == Qt::RightButton && GetRowCount() > 0 && m_pMenu)
        m_pMenu->popup(pEvent->globalPosition().toPoint());
}

void CBigListCtrl::mouseDoubleClickEvent(QMouseEvent* pEvent)
{
    // A double click is only a second click here: it selects, it opens nothing.
    QAbstractItemView::mousePressEvent(pEvent);
}

void CBigListCtrl::focusInEvent(QFocusEvent* pEvent)
{
    QAbstractItemView::focusInEvent(pEvent);
    viewport()->update();
}

void CBigListCtrl::focusOutEvent(QFocusEvent* pEvent)
{
    QAbstractItemView::focusOutEvent(pEvent);
    viewport()->update();
}

void CBigListCtrl::changeEvent(QEvent* pEvent)
{
    QAbstractItemView::changeEvent(pEvent);
    if (pEvent->type() == QEvent::EnabledChange || pEvent->type() == QEvent::PaletteChange)
        viewport()->update();
}
