#include "core/record/IPAddressData.h"

#include "core/document/Archive.h"
#include "core/record/DottedQuad.h"

#include <cstdio>

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

void CIPAddressData::SetIPAddress(std::string_view strAddress)
{
    m_strIPAddress.Assign(strAddress);
    m_dwIPAddress = ParseDottedQuad(strAddress);
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
    if (m_dwRangeStart == m_dwRangeEnd)
        return {};
    return FormatDottedQuad(m_dwRangeStart) + " - " + FormatDottedQuad(m_dwRangeEnd);
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
        static const CExtras kNoExtras;
        const CExtras& x = m_pExtras ? *m_pExtras : kNoExtras;
        ar.WriteString(m_strIPAddress.View());
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
        ar.WriteU32(m_dwRangeStart);
        ar.WriteU32(m_dwRangeEnd);
        ar.WriteString(x.m_strSpare4.View());
        WriteDate(ar, x.m_dtSpare2);
        WriteDate(ar, x.m_dtSpare3);
        for (const CCompactText& note : x.m_strNotes)
            ar.WriteString(note.View());
        return;
    }

    std::string strBuf;
    try {
        ReadFields(ar, strBuf);
    } catch (const CArchiveException& e) {
        ar.ReportError(e);
    }
    m_dwIPAddress = ParseDottedQuad(m_strIPAddress.View());
}

void CIPAddressData::ReadFields(CArchive& ar, std::string& strBuf)
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

    m_strIPAddress.Assign(ar.ReadStringView(strBuf));
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
    m_dwRangeStart = ar.ReadU32();
    m_dwRangeEnd = ar.ReadU32();
    readRare(&CExtras::m_strSpare4);
    readRareDate(&CExtras::m_dtSpare2);
    readRareDate(&CExtras::m_dtSpare3);
    for (int i = 0; i < 4; ++i) {
        const std::string_view text = ar.ReadStringView(strBuf);
        if (!text.empty() || m_pExtras)
            Extras().m_strNotes[i].Assign(text);
    }
}
