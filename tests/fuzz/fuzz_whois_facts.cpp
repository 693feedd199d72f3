// The whois facts reader and the table export's text encoders over hostile
// answers. The first four bytes, when present, are the address asked for (with the
// first byte's two low bits 10: a byte, then sixteen bytes of an IPv6 address); the
// rest is the answer. The address parsers read the answer's first line. Checks what must hold for every input.

#include "facts/WhoisFacts.h"
#include "io/TableExport.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::optional<uint32_t> dwAddress;
    std::string_view text = input;
    std::optional<CIPAddress> address;
    if (size >= 17 && (data[0] & 3) == 2) {
        // Bytes 1 to 16: an IPv6 address asked for.
        std::array<uint8_t, 16> bytes;
        std::copy(data + 1, data + 17, bytes.begin());
        address = CIPAddress::FromBytes(bytes);
        text.remove_prefix(17);
    } else if (size >= 4 && (data[0] & 1)) {
        dwAddress = uint32_t(data[0]) << 24 | uint32_t(data[1]) << 16 | uint32_t(data[2]) << 8 | data[3];
        text.remove_prefix(4);
    }
    const CWhoisFacts facts = address ? ReadWhoisFacts(text, *address) : ReadWhoisFacts(text, dwAddress);
    if (facts.m_bHasRange && facts.m_dwRangeStart > facts.m_dwRangeEnd)
        std::abort();
    if (!facts.Range() && !facts.RangeText().empty())
        std::abort();
    if (facts.m_range6 &&
        (facts.m_bHasRange || facts.m_range6->IsIPv4() || facts.m_range6->Last() < facts.m_range6->First()))
        std::abort();
    // The first line as an address: the canonical text reads back to the same address.
    const std::string_view line = text.substr(0, text.find('\n'));
    for (const CParseResult<CIPAddress>& a : {ParseIPAddress(line), ParseIPAddressInInput(line)}) {
        if (!a)
            continue;
        const CParseResult<CIPAddress> again = ParseIPAddress(a->ToString());
        if (!again || *again != *a)
            std::abort();
    }
    if (const CParseResult<CIPRange> r = ParseIPRange(line); r && r->Last() < r->First())
        std::abort();
    // Every fact is a piece of the answer or a fixed text, never longer than the answer.
    for (const std::string* p :
         {&facts.m_strHolder, &facts.m_strCountry, &facts.m_strAbuse, &facts.m_strNetName, &facts.m_strOriginAS})
        if (p->size() > text.size())
            std::abort();
    // A quoted field and a JSON string keep at least their quotes.
    const std::string csv = CsvField("," + facts.m_strHolder + std::string(text));
    const std::string json = WhoisFactsJson(facts) + JsonQuoted(text);
    if (csv.size() < 3 || csv.front() != '"' || csv.back() != '"' || json.back() != '"')
        std::abort();
    return 0;
}
