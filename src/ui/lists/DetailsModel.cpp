#include "ui/lists/DetailsModel.h"

#include "core/record/IPAddressData.h"
#include "core/record/IPDataArray.h"
#include "core/text/TextCase.h"
#include "facts/WhoisFacts.h"
#include "facts/WhoisFactsCache.h"
#include "ui/TextConv.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <ctime>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

namespace {

constexpr const char* kTitles[CDetailsModel::kColumnCount] = {"Address", "Holder",    "Country",  "Range",
                                                              "Abuse",   "Host Name", "Ping",     "Whois Time",
                                                              "Notes",   "Status",    "Registry", "Allocated"};
// Marks a country that only the delegation data names.
constexpr std::string_view kFromDelegation = " (delegation)";
constexpr std::string_view kNoteSeparator = " | ";
// Longest formatted cell: a range, "255.255.255.255 - 255.255.255.255".
// Two IPv6 addresses and " - " fit.
constexpr size_t kCellBuffer = 96;

char* PutQuad(char* p, uint32_t dw)
{
    for (int nShift = 24; nShift >= 0; nShift -= 8) {
        const unsigned n = (dw >> nShift) & 0xFFu;
        if (n >= 100)
            *p++ = char('0' + n / 100);
        if (n >= 10)
            *p++ = char('0' + n / 10 % 10);
        *p++ = char('0' + n % 10);
        if (nShift)
            *p++ = '.';
    }
    return p;
}

char* PutDigits(char* p, int n, int nDigits)
{
    for (int i = nDigits - 1; i >= 0; --i, n /= 10)
        p[i] = char('0' + n % 10);
    return p + nDigits;
}

// "2026-12-07 13:05:09"; empty for a lookup that never happened (as the table export counts it).
std::string_view WhoisTimeText(const COleDateTime& dt, char* buf)
{
    struct tm parts { };
    if (!dt.IsValid() || !dt.GetAsTm(parts) || parts.tm_year + 1900 <= 1970)
        return {};
    char* p = PutDigits(buf, parts.tm_year + 1900, 4);
    *p++ = '-';
    p = PutDigits(p, parts.tm_mon + 1, 2);
    *p++ = '-';
    p = PutDigits(p, parts.tm_mday, 2);
    *p++ = ' ';
    p = PutDigits(p, parts.tm_hour, 2);
    *p++ = ':';
    p = PutDigits(p, parts.tm_min, 2);
    *p++ = ':';
    p = PutDigits(p, parts.tm_sec, 2);
    return {buf, size_t(p - buf)};
}

std::string_view CopyToBuffer(std::string_view text, char* buf)
{
    const size_t n = std::min(text.size(), kCellBuffer);
    std::memcpy(buf, text.data(), n);
    return {buf, n};
}

std::string_view RangeText(const CWhoisFacts& facts, char* buf)
{
    if (facts.m_range6)
        return CopyToBuffer(facts.RangeText(), buf);
    if (!facts.m_bHasRange)
        return {};
    char* p = PutQuad(buf, facts.m_dwRangeStart);
    std::memcpy(p, " - ", 3);
    p = PutQuad(p + 3, facts.m_dwRangeEnd);
    return {buf, size_t(p - buf)};
}

bool UsesFacts(int nColumn)
{
    return nColumn == CDetailsModel::kHolder || nColumn == CDetailsModel::kCountry ||
           nColumn == CDetailsModel::kRange || nColumn == CDetailsModel::kAbuse || nColumn == CDetailsModel::kStatus ||
           nColumn == CDetailsModel::kRegistry;
}

// One cell of a record, except Ping and Notes (which have texts of their own).
std::string_view CellView(const CIPAddressData& record, const CWhoisFacts& facts, int nColumn, char* buf)
{
    switch (nColumn) {
    case CDetailsModel::kAddress:
        // An IPv6 record's text is made on demand: it must outlive this call.
        if (record.IsIPv6())
            return CopyToBuffer(record.IPAddressView(), buf);
        return record.IPAddressView();
    case CDetailsModel::kHolder:
        return facts.m_strHolder;
    case CDetailsModel::kCountry:
        return facts.m_strCountry;
    case CDetailsModel::kRange:
        return RangeText(facts, buf);
    case CDetailsModel::kAbuse:
        return facts.m_strAbuse;
    case CDetailsModel::kHostName:
        return record.HostNameView();
    case CDetailsModel::kWhoisTime:
        return WhoisTimeText(record.GetWhoisDone(), buf);
    case CDetailsModel::kRegistry:
        return facts.m_strRegistry;
    default:
        return {};
    }
}

// The notes in use, joined.
std::string NotesText(const CIPAddressData& record)
{
    std::string strText;
    for (int i = 0; i < 4; ++i) {
        const std::string_view note = record.NoteView(i);
        if (note.empty())
            continue;
        if (!strText.empty())
            strText += kNoteSeparator;
        strText += note;
    }
    return strText;
}

std::string_view FirstNote(const CIPAddressData& record)
{
    for (int i = 0; i < 4; ++i)
        if (!record.NoteView(i).empty())
            return record.NoteView(i);
    return {};
}

// Whether every byte of the folded text is one of the given ones: a filter with any
// other byte can never match a cell written only with those.
bool OnlyOf(std::string_view folded, std::string_view alphabet)
{
    return folded.find_first_not_of(alphabet) == std::string_view::npos;
}

// The first eight folded bytes, most significant first: most comparisons of a sort end here.
uint64_t FoldedPrefix(std::string_view s)
{
    uint64_t k = 0;
    for (size_t i = 0; i < 8; ++i)
        k = (k << 8) | (i < s.size() ? static_cast<unsigned char>(FoldCase(s[i])) : 0u);
    return k;
}

struct CTextKey {
    uint64_t m_nPrefix;
    const char* m_p;
    uint32_t m_nSize;
    uint32_t m_nRow;
};

// Hash and equality of texts with ASCII letters folded, so that "Example" and
// "EXAMPLE" are one distinct text.
struct CFoldedHash {
    size_t operator()(std::string_view s) const
    {
        uint64_t h = 1469598103934665603ull;
        for (char c : s)
            h = (h ^ static_cast<unsigned char>(FoldCase(c))) * 1099511628211ull;
        return size_t(h);
    }
};
struct CFoldedEqual {
    bool operator()(std::string_view a, std::string_view b) const { return EqualNoCase(a, b); }
};

// Group first (what has no value sorts before what has one), then the value.
struct CNumberKey {
    uint64_t m_nValue;
    uint32_t m_nGroup;
    uint32_t m_nRow;
    // The low half of a 128-bit value (IPv6 addresses and ranges).
    uint64_t m_nLow = 0;
};

bool TextLess(const CTextKey& a, const CTextKey& b)
{
    if (a.m_nPrefix != b.m_nPrefix)
        return a.m_nPrefix < b.m_nPrefix;
    return CompareNoCase({a.m_p, a.m_nSize}, {b.m_p, b.m_nSize}) < 0;
}

bool NumberLess(const CNumberKey& a, const CNumberKey& b)
{
    if (a.m_nGroup != b.m_nGroup)
        return a.m_nGroup < b.m_nGroup;
    return a.m_nValue != b.m_nValue ? a.m_nValue < b.m_nValue : a.m_nLow < b.m_nLow;
}

template <typename Key, typename Less> void SortKeys(std::vector<Key>& keys, Qt::SortOrder order, Less less)
{
    // Stable both ways: equal cells keep the document order also when descending.
    if (order == Qt::AscendingOrder)
        std::stable_sort(keys.begin(), keys.end(), less);
    else
        std::stable_sort(keys.begin(), keys.end(), [less](const Key& a, const Key& b) { return less(b, a); });
}

CNumberKey NumberKey(const CIPAddressData& record, const CWhoisFacts& facts, int nColumn, uint32_t nRow)
{
    switch (nColumn) {
    case CDetailsModel::kAddress: {
        // IPv4 before IPv6, each numerically.
        if (!record.IsIPv6())
            return {record.GetIPAddressNumber(), 1, nRow};
        const CIPAddress address = record.GetAddress();
        return {address.High(), 2, nRow, address.Low()};
    }
    case CDetailsModel::kRange:
        if (facts.m_range6)
            return {facts.m_range6->First().High(), 2, nRow, facts.m_range6->First().Low()};
        return {(uint64_t(facts.m_dwRangeStart) << 32) | facts.m_dwRangeEnd, facts.m_bHasRange ? 1u : 0u, nRow};
    case CDetailsModel::kPing: {
        // No result, then the times, then the failures: as the column reads.
        const std::string strPing = record.GetPingText();
        if (strPing.empty())
            return {0, 0, nRow};
        if (record.GetPingTries() != 0 && record.GetPingFailures() == record.GetPingTries())
            return {0, 2, nRow};
        return {uint64_t(record.GetPingTime() * 1000.0), 1, nRow};
    }
    case CDetailsModel::kWhoisTime: {
        char buf[kCellBuffer];
        const COleDateTime dt = record.GetWhoisDone();
        if (WhoisTimeText(dt, buf).empty())
            return {0, 0, nRow};
        // Every shown time lies after 1970: positive days, whose bits order as the values do.
        return {std::bit_cast<uint64_t>(dt.GetDays()), 1, nRow};
    }
    default:
        return {0, 0, nRow};
    }
}

} // namespace

CDetailsModel::CDetailsModel(QObject* pParent)
    : QAbstractTableModel(pParent)
{ }

CRecordStatus CDetailsModel::StatusOf(const CIPAddressData& record, const CWhoisFacts& facts) const
{
    if (m_fnStatus)
        return m_fnStatus(record, facts);
    CRecordStatus status;
    status.m_eStatus = RecordStatusOf(record, facts);
    return status;
}

std::string CDetailsModel::StatusText(const CIPAddressData& record, const CWhoisFacts& facts) const
{
    const CRecordStatus status = StatusOf(record, facts);
    std::string text(RecordStatusToken(status.m_eStatus));
    if (!status.m_strReason.empty())
        text += " (" + status.m_strReason + ")";
    return text;
}

const char* CDetailsModel::ColumnTitle(int nColumn)
{
    return nColumn >= 0 && nColumn < kColumnCount ? kTitles[nColumn] : "";
}

void CDetailsModel::SetRecords(const CIPDataArray* pData)
{
    m_pData = pData;
    ReleaseRows();
}

void CDetailsModel::ReleaseRows()
{
    beginResetModel();
    std::vector<uint32_t>().swap(m_rows);
    endResetModel();
}

void CDetailsModel::Refresh()
{
    beginResetModel();
    Rebuild();
    endResetModel();
}

int CDetailsModel::RecordOfRow(int nRow) const
{
    return nRow >= 0 && size_t(nRow) < m_rows.size() ? int(m_rows[size_t(nRow)]) : -1;
}

int CDetailsModel::RowOfRecord(int nRecord) const
{
    if (nRecord < 0)
        return -1;
    const auto it = std::find(m_rows.begin(), m_rows.end(), uint32_t(nRecord));
    return it == m_rows.end() ? -1 : int(it - m_rows.begin());
}

void CDetailsModel::SetFilter(const std::string& strText)
{
    std::string strFolded = strText;
    for (char& c : strFolded)
        c = FoldCase(c);
    if (strFolded == m_strFilter)
        return;
    m_strFilter = std::move(strFolded);
    Refresh();
}

void CDetailsModel::SetColumnShown(int nColumn, bool bShown)
{
    if (nColumn < 0 || nColumn >= kColumnCount || bShown == IsColumnShown(nColumn))
        return;
    if (bShown)
        m_nShownColumns |= 1u << nColumn;
    else
        m_nShownColumns &= ~(1u << nColumn);
    // What a hidden column held no longer keeps a row.
    if (!m_strFilter.empty())
        Refresh();
}

bool CDetailsModel::IsColumnShown(int nColumn) const
{
    return nColumn >= 0 && nColumn < kColumnCount && (m_nShownColumns & (1u << nColumn)) != 0;
}

void CDetailsModel::sort(int nColumn, Qt::SortOrder order)
{
    m_nSortColumn = nColumn >= 0 && nColumn < kColumnCount ? nColumn : -1;
    m_order = order;
    Refresh();
}

void CDetailsModel::Rebuild()
{
    m_rows.clear();
    const int nRecords = m_pData ? m_pData->GetSize() : 0;
    if (m_strFilter.empty()) {
        m_rows.resize(size_t(nRecords));
        std::iota(m_rows.begin(), m_rows.end(), 0u);
    } else if (nRecords > 0) {
        ApplyFilter();
    }
    // What the vector grew to beyond the rows would be kept for as long as the filter stays.
    m_rows.shrink_to_fit();
    ApplySort();
}

int CDetailsModel::GetRecordCount() const
{
    return m_pData ? m_pData->GetSize() : 0;
}

void CDetailsModel::ApplyFilter()
{
    // Columns written in digits and a few signs are skipped for any other filter.
    uint32_t nColumns = m_nShownColumns;
    // Ranges: dotted quads, or IPv6 texts (hex digits folded to small letters).
    if (!OnlyOf(m_strFilter, "0123456789abcdef:.- "))
        nColumns &= ~(1u << kRange);
    if (!OnlyOf(m_strFilter, "0123456789-: "))
        nColumns &= ~(1u << kWhoisTime);
    // Ping texts are digits, " ms" or "Failed".
    if (!OnlyOf(m_strFilter, "0123456789 msfailed"))
        nColumns &= ~(1u << kPing);
    const int nRecords = m_pData->GetSize();
    // Records and facts lie all over the heap: asking for them some rows ahead keeps
    // the scan from waiting on memory at every row.
    constexpr int kRecordsAhead = 24;
    constexpr int kFactsAhead = 12;
    constexpr int kTextsAhead = 4;
    const bool bFacts = (nColumns & ((1u << kHolder) | (1u << kCountry) | (1u << kAbuse))) != 0;
    for (int i = 0; i < nRecords; ++i) {
        if (i + kRecordsAhead < nRecords)
            __builtin_prefetch(m_pData->GetAt(i + kRecordsAhead));
        if (bFacts && i + kFactsAhead < nRecords)
            PrefetchWhoisFacts(*m_pData, *m_pData->GetAt(i + kFactsAhead));
        if (bFacts && i + kTextsAhead < nRecords)
            PrefetchWhoisTexts(*m_pData, *m_pData->GetAt(i + kTextsAhead));
        const CIPAddressData* pRecord = m_pData->GetAt(i);
        if (pRecord && RowMatches(*pRecord, nColumns))
            m_rows.push_back(uint32_t(i));
    }
}

bool CDetailsModel::RowMatches(const CIPAddressData& record, uint32_t nColumns) const
{
    const std::string_view needle = m_strFilter;
    char buf[kCellBuffer];
    static const CWhoisFacts kNoFacts;
    constexpr uint32_t kFactColumns =
        (1u << kHolder) | (1u << kCountry) | (1u << kRange) | (1u << kAbuse) | (1u << kStatus) | (1u << kRegistry);
    const CWhoisFacts& facts = (nColumns & kFactColumns) ? GetWhoisFacts(*m_pData, record) : kNoFacts;
    for (int c = 0; c < kColumnCount; ++c) {
        if (!(nColumns & (1u << c)))
            continue;
        if (c == kPing) {
            if (ContainsFolded(record.GetPingText(), needle))
                return true;
        } else if (c == kNotes) {
            for (int i = 0; i < 4; ++i)
                if (ContainsFolded(record.NoteView(i), needle))
                    return true;
            if (needle.find('|') != std::string_view::npos && ContainsFolded(NotesText(record), needle))
                return true;
        } else if (c == kStatus) {
            if (ContainsFolded(StatusText(record, facts), needle))
                return true;
        } else if (ContainsFolded(ShownCell(record, facts, c, buf), needle)) {
            return true;
        }
    }
    return false;
}

std::string_view CDetailsModel::ShownCell(const CIPAddressData& record, const CWhoisFacts& facts, int nColumn,
                                          char* buf) const
{
    const std::string_view view = CellView(record, facts, nColumn, buf);
    const bool bFills = nColumn == kAllocated || ((nColumn == kCountry || nColumn == kRegistry) && view.empty());
    if (!m_fnDelegation || !bFills)
        return view;
    const std::optional<CDelegationFacts> d = m_fnDelegation(record);
    if (!d)
        return view;
    // Short texts of the registries' files, cut to fit the cell buffer.
    auto fnPut = [buf](std::string_view a, std::string_view b = {}) {
        a = a.substr(0, 16);
        if (!a.empty())
            std::memcpy(buf, a.data(), a.size());
        if (!b.empty())
            std::memcpy(buf + a.size(), b.data(), b.size());
        return std::string_view(buf, a.size() + b.size());
    };
    if (nColumn == kCountry)
        return d->m_strCountry.empty() ? view : fnPut(d->m_strCountry, kFromDelegation);
    return fnPut(nColumn == kRegistry ? d->m_strRegistry : d->m_strAllocated);
}

void CDetailsModel::ApplySort()
{
    if (m_nSortColumn < 0 || !m_pData || m_rows.size() < 2)
        return;
    static const CWhoisFacts kNoFacts;
    const bool bFacts = UsesFacts(m_nSortColumn);
    const bool bText = m_nSortColumn == kHolder || m_nSortColumn == kCountry || m_nSortColumn == kAbuse ||
                       m_nSortColumn == kHostName || m_nSortColumn == kNotes || m_nSortColumn == kStatus ||
                       m_nSortColumn == kRegistry || m_nSortColumn == kAllocated;
    // Cells the delegation data fills are made, not viewed: kept here while sorting.
    const bool bMade =
        m_fnDelegation && (m_nSortColumn == kCountry || m_nSortColumn == kRegistry || m_nSortColumn == kAllocated);
    auto recordAt = [this](uint32_t nRow) -> const CIPAddressData* { return m_pData->GetAt(int(nRow)); };
    if (bText) {
        // Columns repeat their texts (a holder has thousands of addresses): each distinct
        // text is ranked once, then the rows are sorted by rank, an integer compare.
        std::unordered_map<std::string_view, uint32_t, CFoldedHash, CFoldedEqual> ids;
        std::vector<CTextKey> distinct;
        std::vector<uint32_t> rowIds(m_rows.size());
        std::unordered_set<std::string> statusTexts;
        char buf[kCellBuffer];
        std::vector<std::string> made;
        made.reserve(bMade ? m_rows.size() : 0);
        for (size_t i = 0; i < m_rows.size(); ++i) {
            const CIPAddressData* pRecord = recordAt(m_rows[i]);
            std::string_view text;
            if (pRecord) {
                // The views point into the record and its cached facts, which stay put while sorting.
                const CWhoisFacts& facts = bFacts ? GetWhoisFacts(*m_pData, *pRecord) : kNoFacts;
                // Status texts are made, not kept in the record: a few distinct ones hold them.
                text = m_nSortColumn == kNotes ? FirstNote(*pRecord)
                       : m_nSortColumn == kStatus
                           ? std::string_view(*statusTexts.insert(StatusText(*pRecord, facts)).first)
                           : ShownCell(*pRecord, facts, m_nSortColumn, buf);
                if (bMade && text.data() == buf) {
                    made.emplace_back(text);
                    text = made.back();
                }
            }
            const auto [it, bNew] = ids.try_emplace(text, uint32_t(distinct.size()));
            if (bNew)
                distinct.push_back({FoldedPrefix(text), text.data(), uint32_t(text.size()), it->second});
            rowIds[i] = it->second;
        }
        ids.clear();
        std::sort(distinct.begin(), distinct.end(), TextLess);
        std::vector<uint32_t> rank(distinct.size());
        for (size_t k = 0; k < distinct.size(); ++k)
            rank[distinct[k].m_nRow] = uint32_t(k);
        // Rank above, position below: unique keys, so a plain sort is stable, also descending.
        std::vector<uint64_t> keys(m_rows.size());
        const bool bDescending = m_order == Qt::DescendingOrder;
        for (size_t i = 0; i < m_rows.size(); ++i) {
            const uint32_t nRank = bDescending ? ~rank[rowIds[i]] : rank[rowIds[i]];
            keys[i] = (uint64_t(nRank) << 32) | i;
        }
        std::vector<uint32_t>().swap(rowIds);
        std::sort(keys.begin(), keys.end());
        std::vector<uint32_t> sorted(m_rows.size());
        for (size_t i = 0; i < keys.size(); ++i)
            sorted[i] = m_rows[size_t(keys[i] & 0xFFFFFFFFu)];
        m_rows.swap(sorted);
    } else {
        std::vector<CNumberKey> keys;
        keys.reserve(m_rows.size());
        for (uint32_t nRow : m_rows) {
            const CIPAddressData* pRecord = recordAt(nRow);
            if (!pRecord) {
                keys.push_back({0, 0, nRow});
                continue;
            }
            const CWhoisFacts& facts = bFacts ? GetWhoisFacts(*m_pData, *pRecord) : kNoFacts;
            keys.push_back(NumberKey(*pRecord, facts, m_nSortColumn, nRow));
        }
        SortKeys(keys, m_order, NumberLess);
        for (size_t i = 0; i < keys.size(); ++i)
            m_rows[i] = keys[i].m_nRow;
    }
}

std::string CDetailsModel::CellText(int nRow, int nColumn) const
{
    const int nRecord = RecordOfRow(nRow);
    const CIPAddressData* pRecord = m_pData && nRecord >= 0 ? m_pData->GetAt(nRecord) : nullptr;
    if (!pRecord || nColumn < 0 || nColumn >= kColumnCount)
        return {};
    if (nColumn == kPing)
        return pRecord->GetPingText();
    if (nColumn == kNotes)
        return NotesText(*pRecord);
    static const CWhoisFacts kNoFacts;
    char buf[kCellBuffer];
    const CWhoisFacts& facts = UsesFacts(nColumn) ? GetWhoisFacts(*m_pData, *pRecord) : kNoFacts;
    if (nColumn == kStatus)
        return StatusText(*pRecord, facts);
    return std::string(ShownCell(*pRecord, facts, nColumn, buf));
}

int CDetailsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : GetShownCount();
}

int CDetailsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CDetailsModel::data(const QModelIndex& idx, int role) const
{
    if (!checkIndex(idx, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    // Plain strings only: whois texts are never read as markup.
    if (role == Qt::DisplayRole)
        return ToQString(CellText(idx.row(), idx.column()));
    return {};
}

QVariant CDetailsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < kColumnCount ? QVariant(QString::fromLatin1(kTitles[section])) : QVariant();
    return section >= 0 && section < GetShownCount() ? QVariant(section + 1) : QVariant();
}

Qt::ItemFlags CDetailsModel::flags(const QModelIndex& idx) const
{
    if (!idx.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
