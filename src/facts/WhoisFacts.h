#pragma once

#include "core/record/IPAddress.h"
#include "core/record/IPRange.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What a careful reader takes from a whois (or RDAP) answer about one address:
// who holds the most specific network that covers it, where, how large, and
// where to send an abuse report. Derived from the stored text, never stored in
// the document file. Every text is empty when the answer does not state it.
struct CWhoisFacts {
    std::string m_strHolder;
    std::string m_strCountry;
    bool m_bHasRange = false;
    uint32_t m_dwRangeStart = 0;
    uint32_t m_dwRangeEnd = 0;
    std::string m_strAbuse;
    std::string m_strNetName;
    std::string m_strOriginAS;
    // "ARIN", "RIPE", "APNIC", "LACNIC", "AFRINIC", "JPNIC", "KRNIC", "TWNIC",
    // "NIC.br" or "rwhois:HOST"; empty when unknown.
    std::string m_strRegistry;
    // The answer only says the block belongs to another registry.
    bool m_bIsRegistryStub = false;
    // The answer came from RDAP (a summary and the JSON as received).
    bool m_bFromRdap = false;
    // The range the answer gives does not hold the address that was asked: the
    // answer is about some other network, and answers nobody else.
    bool m_bMissesAddress = false;

    // An IPv6 network's range. The IPv4 fields above stay for IPv4 ranges only:
    // m_bHasRange is false for an IPv6 network.
    std::optional<CIPRange> m_range6;

    // "192.0.2.0 - 192.0.2.255" or "2001:db8:: - 2001:db8::ffff", empty without a range.
    std::string RangeText() const;
    // The range of either family.
    std::optional<CIPRange> Range() const;
    bool operator==(const CWhoisFacts&) const = default;
};

// Whether the answer's range holds the address. False without a range, and when a
// server answered for another block than the one asked about (a referral that
// went to the wrong registry, a stale answer): such a range says nothing about
// the address.
bool CoversAddress(const CWhoisFacts& facts, uint32_t dwAddress);
// The answer names a range, and it does not hold the address.
bool MissesAddress(const CWhoisFacts& facts, uint32_t dwAddress);

// Reads the facts from a stored whois text. The address is dwAddress when given,
// else the dotted address on the text's first line (every stored result starts
// with it); without either, the smallest block in the answer counts. Texts that
// hold an RDAP answer (a summary, a blank line, then the JSON) are read from the
// JSON. Linear in the text's length; never throws.
CWhoisFacts ReadWhoisFacts(std::string_view strText, std::optional<uint32_t> dwAddress = std::nullopt);
// The same for an address of either family; an IPv6 address chooses among the IPv6
// networks of the answer as an IPv4 one does among the IPv4 networks. The stored
// text's first line may hold an IPv6 address too.
CWhoisFacts ReadWhoisFacts(std::string_view strText, const CIPAddress& address);

// Whether a description line ("descr:", an RDAP description remark) names who holds
// the block ("Japan Network Information Center") rather than describing the addresses
// ("Pool for Broadband customers") or saying where they are ("Zurich, Switzerland").
bool ReadsAsHolderName(std::string_view strLine);
// A descr line that names the holder: a name, or a text carrying a company's legal form.
bool ReadsAsDescrName(std::string_view strLine);
