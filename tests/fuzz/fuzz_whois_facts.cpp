// The whois facts reader and the table export's text encoders over hostile
// answers. The first four bytes, when present, are the address asked for; the
// rest is the answer. Checks what must hold for every input.

#include "facts/WhoisFacts.h"
#include "io/TableExport.h"

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
    if (size >= 4 && (data[0] & 1)) {
        dwAddress = uint32_t(data[0]) << 24 | uint32_t(data[1]) << 16 | uint32_t(data[2]) << 8 | data[3];
        text.remove_prefix(4);
    }
    const CWhoisFacts facts = ReadWhoisFacts(text, dwAddress);
    if (facts.m_bHasRange && facts.m_dwRangeStart > facts.m_dwRangeEnd)
        std::abort();
    if (!facts.m_bHasRange && !facts.RangeText().empty())
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
