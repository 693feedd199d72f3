#include "core/record/IPAddressData.h"

#include "core/document/Archive.h"
#include "core/record/DottedQuad.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace {

void WriteDate(CArchive& ar, const COleDateTime& dt)
{
    ar.WriteI32(dt.GetStatus());
    ar.WriteDouble(dt.GetDays());
}

COleDateTime ReadDate(CArchive& ar)
{
    const int32_t nStatus = ar.ReadI32();
    const double d = ar.ReadDouble();
    // The status is kept as stored, even outside 0..2: only 0 means valid.
    return COleDateTime(d, COleDateTime::DateTimeStatus(nStatus));
}

void ReadText(CArchive& ar, std::string& strBuf, CCompactText& target)
{
    target.Assign(ar.ReadStringView(strBuf));
}

std::string TrimBlanks(std::string s)
{
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

} // namespace

CAddressText::CAddressText(const CIPAddress& address)
{
    static_assert(sizeof m_buf >= CIPAddress::kMaxTextSize);
    m_view = std::string_view(m_buf, address.Format(m_buf));
}

namespace {

// Fixed-size blocks carved from large chunks, with a free list through the unused
// ones. Chunks stay for the life of the process (a freed block is reused, never
// returned); records may be made and dropped on any thread.
class CBlockPool
{
public:
    explicit CBlockPool(size_t nBlock)
        : m_nBlock(nBlock)
    { }
    void* Allocate()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_pFree) {
            constexpr size_t kChunk = 64 * 1024;
            char* pChunk = static_cast<char*>(::operator new(kChunk));
            m_chunks.push_back(pChunk);
            for (size_t off = 0; off + m_nBlock <= kChunk; off += m_nBlock)
                Push(pChunk + off);
        }
        void* p = m_pFree;
        m_pFree = *static_cast<void**>(m_pFree);
        return p;
    }
    void Release(void* p)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Push(p);
    }

private:
    void Push(void* p)
    {
        *static_cast<void**>(p) = m_pFree;
        m_pFree = p;
    }
    const size_t m_nBlock;
    std::mutex m_mutex;
    void* m_pFree = nullptr;
    std::vector<char*> m_chunks;
};

CBlockPool& RangePool(size_t nSize)
{
    // Never destroyed: a record freed during exit still finds its pool.
    static CBlockPool* pPool = new CBlockPool(nSize);
    return *pPool;
}

} // namespace

void* CIPAddressData::CRange6::operator new(size_t nSize)
{
    return RangePool(nSize).Allocate();
}

void CIPAddressData::CRange6::operator delete(void* p) noexcept
{
    if (p)
        RangePool(sizeof(CRange6)).Release(p);
}

CIPAddressData::~CIPAddressData()
{
    if (IsIPv6())
        delete m_range.m_p6;
    else
        m_address.m_text.~CShortText();
}

void CIPAddressData::MakeIPv6(const CIPAddress& address)
{
    if (!IsIPv6()) {
        m_address.m_text.~CShortText();
        m_range.m_p6 = nullptr;
        m_nCacheSlot |= kIPv6Flag;
    }
    new (&m_address.m_v6) CIPAddress(address);
    m_dwIPAddress = 0;
}

void CIPAddressData::MakeIPv4()
{
    if (!IsIPv6())
        return;
    delete m_range.m_p6;
    m_range.m_dw.m_dwStart = m_range.m_dw.m_dwEnd = 0;
    new (&m_address.m_text) CShortText;
    m_nCacheSlot &= ~kIPv6Flag;
}

void CIPAddressData::SetIPAddress(std::string_view strAddress)
{
    // Only a text with a colon can be IPv6; an IPv4-mapped one is its IPv4 address.
    if (strAddress.find(':') != std::string_view::npos) {
        if (const auto parsed = ParseIPAddress(strAddress)) {
            if (parsed->IsIPv6()) {
                MakeIPv6(*parsed);
                return;
            }
            MakeIPv4();
            m_address.m_text.Assign(parsed->ToString());
            m_dwIPAddress = parsed->IPv4();
            return;
        }
    }
    MakeIPv4();
    m_address.m_text.Assign(strAddress);
    m_dwIPAddress = ParseDottedQuad(strAddress);
}

void CIPAddressData::SetRange(const CIPAddress& first, const CIPAddress& last)
{
    if (first.IsIPv6() != IsIPv6() || last.IsIPv6() != IsIPv6())
        return;
    if (!IsIPv6()) {
        SetRange(first.IPv4(), last.IPv4());
        return;
    }
    if (!m_range.m_p6) {
        if (first == last && first == CIPAddress::FromIPv6(0, 0))
            return;
        m_range.m_p6 = new CRange6;
    }
    m_range.m_p6->m_first = first;
    m_range.m_p6->m_last = last;
}

CIPAddress CIPAddressData::GetRangeFirst() const
{
    if (!IsIPv6())
        return CIPAddress::FromIPv4(m_range.m_dw.m_dwStart);
    return m_range.m_p6 ? m_range.m_p6->m_first : CIPAddress::FromIPv6(0, 0);
}

CIPAddress CIPAddressData::GetRangeLast() const
{
    if (!IsIPv6())
        return CIPAddress::FromIPv4(m_range.m_dw.m_dwEnd);
    return m_range.m_p6 ? m_range.m_p6->m_last : CIPAddress::FromIPv6(0, 0);
}

void CIPAddressData::SetRawWhois(std::string_view strText)
{
    m_strRawWhois.Assign(strText);
    ExtractWhoisFields();
}

CIPAddressData::CExtras& CIPAddressData::Extras()
{
    if (!m_pExtras)
        m_pExtras = std::make_unique<CExtras>();
    return *m_pExtras;
}

void CIPAddressData::SetNote(int nIndex, std::string_view strText)
{
    if (nIndex < 0 || nIndex > 3)
        return;
    if (strText.empty() && !m_pExtras)
        return;
    Extras().m_strNotes[nIndex].Assign(strText);
}

std::string CIPAddressData::GetNote(int nIndex) const
{
    if (nIndex < 0 || nIndex > 3 || !m_pExtras)
        return {};
    return m_pExtras->m_strNotes[nIndex].Str();
}

std::string_view CIPAddressData::NoteView(int nIndex) const
{
    if (nIndex < 0 || nIndex > 3 || !m_pExtras)
        return {};
    return m_pExtras->m_strNotes[nIndex].View();
}

std::string CIPAddressData::GetSpare(int n) const
{
    if (!m_pExtras)
        return {};
    switch (n) {
    case 1:
        return m_pExtras->m_strSpare1.Str();
    case 2:
        return m_pExtras->m_strSpare2.Str();
    case 3:
        return m_pExtras->m_strSpare3.Str();
    case 4:
        return m_pExtras->m_strSpare4.Str();
    }
    return {};
}

COleDateTime CIPAddressData::GetDtSpare(int n) const
{
    if (!m_pExtras)
        return {};
    switch (n) {
    case 1:
        return m_pExtras->m_dtSpare1;
    case 2:
        return m_pExtras->m_dtSpare2;
    case 3:
        return m_pExtras->m_dtSpare3;
    }
    return {};
}

std::string CIPAddressData::GetRangeText() const
{
    if (IsIPv6()) {
        if (!m_range.m_p6 || m_range.m_p6->m_first == m_range.m_p6->m_last)
            return {};
        return m_range.m_p6->m_first.ToString() + " - " + m_range.m_p6->m_last.ToString();
    }
    if (m_range.m_dw.m_dwStart == m_range.m_dw.m_dwEnd)
        return {};
    return FormatDottedQuad(m_range.m_dw.m_dwStart) + " - " + FormatDottedQuad(m_range.m_dw.m_dwEnd);
}

std::string CIPAddressData::GetPingText() const
{
    if (!m_dtPingDone.IsValid())
        return {};
    if (m_nPingFailures == m_nPingTries && m_nPingTries != 0)
        return "Failed";
    if (m_dPingTime > -0.00001 && m_dPingTime < 5000) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%4.f ms", m_dPingTime);
        return TrimBlanks(buf);
    }
    return {};
}

void CIPAddressData::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        WriteFields(ar);
        return;
    }
    std::string strBuf;
    try {
        ReadFields(ar, strBuf, false);
    } catch (const CArchiveException& e) {
        ar.ReportError(e);
    }
    m_dwIPAddress = ParseDottedQuad(m_address.m_text.View());
}

void CIPAddressData::SerializeIPv6(CArchive& ar)
{
    std::string strBuf;
    try {
        ReadFields(ar, strBuf, true);
    } catch (const CArchiveException& e) {
        ar.ReportError(e);
    }
}

void CIPAddressData::WriteFields(CArchive& ar) const
{
    static const CExtras kNoExtras;
    const CExtras& x = m_pExtras ? *m_pExtras : kNoExtras;
    auto writeAddress = [&](const CIPAddress& a) {
        const std::array<uint8_t, 16> bytes = a.Bytes();
        ar.Write(bytes.data(), bytes.size());
    };
    if (IsIPv6())
        writeAddress(m_address.m_v6);
    else
        ar.WriteString(m_address.m_text.View());
    WriteDate(ar, m_dtWhoisDone);
    WriteDate(ar, x.m_dtSpare1);
    ar.WriteString(m_strRawWhois.View());
    ar.WriteString(m_strHostName.View());
    ar.WriteString(x.m_strSpare1.View());
    ar.WriteString(m_strTraceData.View());
    WriteDate(ar, m_dtTraceDone);
    ar.WriteDouble(m_dPingTime);
    ar.WriteU32(m_nPingTries);
    ar.WriteU32(m_nPingFailures);
    WriteDate(ar, m_dtPingDone);
    ar.WriteString(m_strOwner.View());
    ar.WriteString(m_strCountry.View());
    ar.WriteString(x.m_strSpare2.View());
    ar.WriteString(x.m_strSpare3.View());
    if (IsIPv6()) {
        writeAddress(GetRangeFirst());
        writeAddress(GetRangeLast());
    } else {
        ar.WriteU32(m_range.m_dw.m_dwStart);
        ar.WriteU32(m_range.m_dw.m_dwEnd);
    }
    ar.WriteString(x.m_strSpare4.View());
    WriteDate(ar, x.m_dtSpare2);
    WriteDate(ar, x.m_dtSpare3);
    for (const CCompactText& note : x.m_strNotes)
        ar.WriteString(note.View());
}

void CIPAddressData::ReadFields(CArchive& ar, std::string& strBuf, bool bIPv6)
{
    // Spares and notes are read into locals and only get a block when they hold
    // something.
    auto readRare = [&](CCompactText CExtras::*pField) {
        const std::string_view text = ar.ReadStringView(strBuf);
        if (!text.empty() || m_pExtras)
            (Extras().*pField).Assign(text);
    };
    auto readRareDate = [&](COleDateTime CExtras::*pField) {
        const COleDateTime dt = ReadDate(ar);
        if (!(dt == COleDateTime()) || m_pExtras)
            Extras().*pField = dt;
    };
    auto readAddress = [&] {
        std::array<uint8_t, 16> bytes;
        ar.Read(bytes.data(), bytes.size());
        return CIPAddress::FromBytes(bytes);
    };

    if (bIPv6) {
        const CIPAddress address = readAddress();
        if (address.IsIPv6()) {
            MakeIPv6(address);
        } else {
            // An IPv4-mapped value is the IPv4 address.
            MakeIPv4();
            m_address.m_text.Assign(address.ToString());
            m_dwIPAddress = address.IPv4();
        }
    } else {
        MakeIPv4();
        m_address.m_text.Assign(ar.ReadStringView(strBuf));
    }
    m_dtWhoisDone = ReadDate(ar);
    readRareDate(&CExtras::m_dtSpare1);
    ReadText(ar, strBuf, m_strRawWhois);
    ReadText(ar, strBuf, m_strHostName);
    readRare(&CExtras::m_strSpare1);
    ReadText(ar, strBuf, m_strTraceData);
    m_dtTraceDone = ReadDate(ar);
    m_dPingTime = ar.ReadDouble();
    m_nPingTries = ar.ReadU32();
    m_nPingFailures = ar.ReadU32();
    m_dtPingDone = ReadDate(ar);
    ReadText(ar, strBuf, m_strOwner);
    ReadText(ar, strBuf, m_strCountry);
    readRare(&CExtras::m_strSpare2);
    readRare(&CExtras::m_strSpare3);
    if (bIPv6) {
        const CIPAddress first = readAddress();
        const CIPAddress last = readAddress();
        // A range of the other family (or reversed) is not kept.
        if (first <= last)
            SetRange(first, last);
    } else {
        m_range.m_dw.m_dwStart = ar.ReadU32();
        m_range.m_dw.m_dwEnd = ar.ReadU32();
    }
    readRare(&CExtras::m_strSpare4);
    readRareDate(&CExtras::m_dtSpare2);
    readRareDate(&CExtras::m_dtSpare3);
    for (int i = 0; i < 4; ++i) {
        const std::string_view text = ar.ReadStringView(strBuf);
        if (!text.empty() || m_pExtras)
            Extras().m_strNotes[i].Assign(text);
    }
}

// The IPv6 support lives in space the IPv4 record already had.
static_assert(sizeof(void*) != 8 || sizeof(CIPAddressData) == 144);
