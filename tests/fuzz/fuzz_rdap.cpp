// RDAP answers and bootstrap files as they arrive: the facts reader, the stored
// text built from them (which must give its JSON back), the bootstrap parser and
// the whois extraction over the stored text. Nothing touches the network.

#include "core/record/IPAddressData.h"
#include "facts/RdapFacts.h"
#include "facts/RdapText.h"
#include "facts/WhoisFacts.h"
#include "net/RdapBootstrap.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string json(reinterpret_cast<const char*>(data), size);
    const CWhoisFacts facts = ReadRdapFacts(json);
    const std::string text = RdapText::Compose("192.0.2.1", facts, "", "https://rdap.example/ip/192.0.2.1", json);
    const std::string_view back = RdapText::JsonOf(text);
    const size_t first = json.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && json[first] == '{' && back != json)
        std::abort();
    if (ReadRdapFacts(back) != (back.empty() ? CWhoisFacts() : facts))
        std::abort();

    CIPAddressData rec;
    rec.SetRawWhois(text);

    CRdapBootstrap bootstrap;
    std::string error;
    if (bootstrap.Parse(json, error))
        (void)bootstrap.BaseUrl(0x08080808u);
    return 0;
}
