#pragma once

#include "core/record/IPAddress.h"
#include "core/record/OleDateTime.h"
#include "core/text/CompactText.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CArchive;

// A record's address text. For an IPv4 record it views the text the record keeps;
// an IPv6 record keeps only the 128-bit value, so its RFC 5952 text is made into
// this object. Use it within the expression that produced it (or keep the object):
// a std::string_view taken from a temporary one dangles for an IPv6 record.
class CAddressText
{
public:
    explicit CAddressText(std::string_view view)
        : m_view(view)
    { }
    explicit CAddressText(const CIPAddress& address);
    CAddressText(const CAddressText&) = delete;
    CAddressText& operator=(const CAddressText&) = delete;

    std::string_view View() const { return m_view; }
    operator std::string_view() const { return m_view; }
    bool empty() const { return m_view.empty(); }
    size_t size() const { return m_view.size(); }
    std::string Str() const { return std::string(m_view); }
    friend bool operator==(const CAddressText& a, std::string_view b) { return a.m_view == b; }

private:
    std::string_view m_view;
    char m_buf[40];
};

// One address, IPv4 or IPv6, and everything learned about it. An IPv4 record keeps
// its address as typed (and its number beside it); an IPv6 record keeps the 128-bit
// address where the IPv4 text would be and its range in a block of its own, so the
// IPv4 records do not grow for it. and everything learned about it. Texts are kept compactly (an
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
    // IPv4 records only (an IPv6 record ignores it).
    void SetRange(uint32_t dwStart, uint32_t dwEnd)
    {
        if (IsIPv6())
            return;
        m_range.m_dw.m_dwStart = dwStart;
        m_range.m_dw.m_dwEnd = dwEnd;
    }
    // Either family; a range of the other family than the record's is ignored.
    void SetRange(const CIPAddress& first, const CIPAddress& last);

    // ---- getters ----
    std::string GetIPAddress() const { return IPAddressView().Str(); }
    CAddressText IPAddressView() const
    {
        if (IsIPv6())
            return CAddressText(m_address.m_v6);
        return CAddressText(m_address.m_text.View());
    }
    // 0 for an IPv6 record.
    uint32_t GetIPAddressNumber() const { return m_dwIPAddress; }
    bool IsIPv6() const { return (m_nCacheSlot & kIPv6Flag) != 0; }
    // The address as a value: for an IPv4 record its number (0.0.0.0 for a text that
    // is no dotted quad).
    CIPAddress GetAddress() const { return IsIPv6() ? m_address.m_v6 : CIPAddress::FromIPv4(m_dwIPAddress); }
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
    // IPv4 records; 0 for an IPv6 record.
    uint32_t GetRangeStart() const { return IsIPv6() ? 0 : m_range.m_dw.m_dwStart; }
    uint32_t GetRangeEnd() const { return IsIPv6() ? 0 : m_range.m_dw.m_dwEnd; }
    // Either family: the first and last address of the range (both the record's
    // family; equal while no range is known).
    CIPAddress GetRangeFirst() const;
    CIPAddress GetRangeLast() const;
    // Empty for an index outside 0..3.
    std::string GetNote(int nIndex) const;
    std::string_view NoteView(int nIndex) const;
    // Spare fields: kept for the file layout, never set by any operation. n is 1..4
    // for texts, 1..3 for date-times.
    std::string GetSpare(int n) const;
    COleDateTime GetDtSpare(int n) const;

    // "192.0.2.0 - 192.0.2.255" or "2001:db8:: - 2001:db8::ffff", empty while start
    // equals end.
    std::string GetRangeText() const;
    // "Failed", "12 ms" or empty.
    std::string GetPingText() const;

    // Owner, country and range from the whois text; false (changing nothing) when
    // the text is empty.
    bool ExtractWhoisFields();
    // Sets the range from "a.b.c.d - e.f.g.h" or "a.b.c.d/n" (an IPv6 record: from
    // "first - last" or "prefix/n" of IPv6 addresses); false when the text is
    // neither.
    bool ParseNetRange(std::string_view strRange);

    // Writes or reads the record's fields: the IPv4 layout (CIPAddressData), or for
    // an IPv6 record the IPv6 one (CIPv6AddressData), whose address and range are 16
    // bytes each in network order. Reading errors are reported through the
    // archive and swallowed: the fields read so far stay, the rest keep defaults.
    void Serialize(CArchive& ar);
    // Reads a CIPv6AddressData entry's fields into this (new) record.
    void SerializeIPv6(CArchive& ar);

    // Where the collection's record cache keeps what it holds for this record (0:
    // nowhere); the cache assigns it. Never stored in the file; it fills space the
    // layout leaves free.
    uint32_t GetCacheSlot() const { return m_nCacheSlot & ~kIPv6Flag; }
    void SetCacheSlot(uint32_t nSlot) const { m_nCacheSlot = (m_nCacheSlot & kIPv6Flag) | (nSlot & ~kIPv6Flag); }

    ~CIPAddressData();

private:
    static constexpr uint32_t kIPv6Flag = 0x80000000u;
    // Kept in a pool of equal blocks: the heap's per-block overhead would be half
    // the block again.
    struct CRange6 {
        CIPAddress m_first, m_last;
        static void* operator new(size_t nSize);
        static void operator delete(void* p) noexcept;
    };
    // The text of an IPv4 record or the value of an IPv6 one (the flag in
    // m_nCacheSlot tells which).
    union UAddress {
        UAddress() { new (&m_text) CShortText; }
        ~UAddress() { }
        CShortText m_text;
        CIPAddress m_v6;
    };
    // An IPv4 record's range, or an IPv6 record's block (null until a range is set).
    union URange {
        struct {
            uint32_t m_dwStart, m_dwEnd;
        } m_dw;
        CRange6* m_p6;
    };
    void MakeIPv6(const CIPAddress& address);
    void MakeIPv4();
    void ReadFields(CArchive& ar, std::string& strBuf, bool bIPv6);
    void WriteFields(CArchive& ar) const;

    struct CExtras {
        CCompactText m_strSpare1, m_strSpare2, m_strSpare3, m_strSpare4;
        COleDateTime m_dtSpare1, m_dtSpare2, m_dtSpare3;
        CCompactText m_strNotes[4];
    };
    CExtras& Extras();

    UAddress m_address;
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
    URange m_range {{0, 0}};
    uint32_t m_dwIPAddress = 0;
    mutable uint32_t m_nCacheSlot = 0;
    std::unique_ptr<CExtras> m_pExtras;
};
