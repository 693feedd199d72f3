#pragma once

#include "core/record/OleDateTime.h"
#include "core/text/CompactText.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CArchive;

// One IPv4 address and everything learned about it. Texts are kept compactly (an
// empty text costs one pointer) and the fields that are rarely set (spares, notes)
// live in a block allocated on first use, so that a document of a million
// addresses stays small in memory. The file layout is unaffected.
class CIPAddressData
{
public:
    CIPAddressData() = default;
    explicit CIPAddressData(std::string_view strAddress) { SetIPAddress(strAddress); }
    CIPAddressData(const CIPAddressData&) = delete;
    CIPAddressData& operator=(const CIPAddressData&) = delete;

    // ---- setters ----
    void SetIPAddress(std::string_view strAddress);
    // Stores the whois answer and extracts owner, country and range from it.
    void SetRawWhois(std::string_view strText);
    void SetHostName(std::string_view strText) { m_strHostName.Assign(strText); }
    void SetOwner(std::string_view strText) { m_strOwner.Assign(strText); }
    void SetCountry(std::string_view strText) { m_strCountry.Assign(strText); }
    // nIndex 0..3 (Notes-A..Notes-D); another index changes nothing.
    void SetNote(int nIndex, std::string_view strText);
    // Written directly by the collection's by-address operations.
    void SetWhoisDone(const COleDateTime& dt) { m_dtWhoisDone = dt; }
    void SetTraceData(std::string_view strText) { m_strTraceData.Assign(strText); }
    void SetTraceDone(const COleDateTime& dt) { m_dtTraceDone = dt; }
    void SetPingTime(double d) { m_dPingTime = d; }
    void SetPingTries(uint32_t n) { m_nPingTries = n; }
    void SetPingFailures(uint32_t n) { m_nPingFailures = n; }
    void SetPingDone(const COleDateTime& dt) { m_dtPingDone = dt; }
    void SetRange(uint32_t dwStart, uint32_t dwEnd)
    {
        m_dwRangeStart = dwStart;
        m_dwRangeEnd = dwEnd;
    }

    // ---- getters ----
    std::string GetIPAddress() const { return std::string(m_strIPAddress.View()); }
    std::string_view IPAddressView() const { return m_strIPAddress.View(); }
    uint32_t GetIPAddressNumber() const { return m_dwIPAddress; }
    COleDateTime GetWhoisDone() const { return m_dtWhoisDone; }
    std::string GetRawWhois() const { return m_strRawWhois.Str(); }
    std::string_view RawWhoisView() const { return m_strRawWhois.View(); }
    std::string GetHostName() const { return m_strHostName.Str(); }
    std::string_view HostNameView() const { return m_strHostName.View(); }
    std::string GetTraceData() const { return m_strTraceData.Str(); }
    COleDateTime GetTraceDone() const { return m_dtTraceDone; }
    double GetPingTime() const { return m_dPingTime; }
    uint32_t GetPingTries() const { return m_nPingTries; }
    uint32_t GetPingFailures() const { return m_nPingFailures; }
    COleDateTime GetPingDone() const { return m_dtPingDone; }
    std::string GetOwner() const { return m_strOwner.Str(); }
    std::string GetCountry() const { return m_strCountry.Str(); }
    uint32_t GetRangeStart() const { return m_dwRangeStart; }
    uint32_t GetRangeEnd() const { return m_dwRangeEnd; }
    // Empty for an index outside 0..3.
    std::string GetNote(int nIndex) const;
    std::string_view NoteView(int nIndex) const;
    // Spare fields: kept for the file layout, never set by any operation. n is 1..4
    // for texts, 1..3 for date-times.
    std::string GetSpare(int n) const;
    COleDateTime GetDtSpare(int n) const;

    // "192.0.2.0 - 192.0.2.255", empty while start equals end.
    std::string GetRangeText() const;
    // "Failed", "12 ms" or empty.
    std::string GetPingText() const;

    // Owner, country and range from the whois text; false (changing nothing) when
    // the text is empty.
    bool ExtractWhoisFields();
    // Sets the range from "a.b.c.d - e.f.g.h" or "a.b.c.d/n"; false when the text is
    // neither.
    bool ParseNetRange(std::string_view strRange);

    // Writes or reads the record's fields. Reading errors are reported through the
    // archive and swallowed: the fields read so far stay, the rest keep defaults.
    void Serialize(CArchive& ar);

    // Where the collection's record cache keeps what it holds for this record (0:
    // nowhere); the cache assigns it. Never stored in the file; it fills space the
    // layout leaves free.
    uint32_t GetCacheSlot() const { return m_nCacheSlot; }
    void SetCacheSlot(uint32_t nSlot) const { m_nCacheSlot = nSlot; }

private:
    struct CExtras {
        CCompactText m_strSpare1, m_strSpare2, m_strSpare3, m_strSpare4;
        COleDateTime m_dtSpare1, m_dtSpare2, m_dtSpare3;
        CCompactText m_strNotes[4];
    };
    CExtras& Extras();
    void ReadFields(CArchive& ar, std::string& strBuf);

    CShortText m_strIPAddress;
    COleDateTime m_dtWhoisDone;
    CCompactText m_strRawWhois;
    CCompactText m_strHostName;
    CCompactText m_strTraceData;
    COleDateTime m_dtTraceDone;
    double m_dPingTime = 0.0;
    uint32_t m_nPingTries = 0;
    uint32_t m_nPingFailures = 0;
    COleDateTime m_dtPingDone;
    CCompactText m_strOwner;
    CCompactText m_strCountry;
    uint32_t m_dwRangeStart = 0;
    uint32_t m_dwRangeEnd = 0;
    uint32_t m_dwIPAddress = 0;
    mutable uint32_t m_nCacheSlot = 0;
    std::unique_ptr<CExtras> m_pExtras;
};
