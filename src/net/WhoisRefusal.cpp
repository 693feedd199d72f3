#include "net/WhoisRefusal.h"

#include "core/text/TextCase.h"
#include "net/WhoisTexts.h"

#include <string>
#include <vector>

namespace {

struct CRefusalText {
    const char* m_pszText;
    EWhoisRefusal m_refusal;
};

// The registries' refusals, permanent ones first (they carry the error code the
// temporary ones share). Matched without regard to case, anywhere in the answer.
// Sources:
// - RIPE NCC whois server (github.com/RIPE-NCC/whois, QueryMessages.java:
//   accessDeniedPermanently, accessDeniedTemporarily, connectionsExceeded); APNIC and
//   AFRINIC run the same software and send the same texts, "%"-prefixed on port 43.
// - LACNIC's port-43 server: "Query rate limit exceeded".
// - The classic limit line of the ARIN-era servers: "Your query limit has been exceeded".
const CRefusalText kRefusals[] = {
    {"access from your host has been permanently", EWhoisRefusal::deniedForGood},
    {"permanently denied", EWhoisRefusal::deniedForGood},
    {"ERROR:201: access denied", EWhoisRefusal::limit},
    {"Access from your host has been temporarily denied.", EWhoisRefusal::limit},
    {"Queries from your IP address have passed the daily limit of controlled objects.", EWhoisRefusal::limit},
    {"ERROR:306: connections exceeded", EWhoisRefusal::limit},
    {"Query rate limit exceeded", EWhoisRefusal::limit},
    {WhoisTexts::kQueryLimit, EWhoisRefusal::limit},
};

std::string Folded(const char* psz)
{
    std::string s(psz);
    for (char& c : s)
        c = FoldCase(c);
    return s;
}

} // namespace

EWhoisRefusal FindWhoisRefusal(std::string_view answer)
{
    static const auto folded = [] {
        std::vector<std::string> texts;
        for (const CRefusalText& r : kRefusals)
            texts.push_back(Folded(r.m_pszText));
        return texts;
    }();
    for (size_t i = 0; i < folded.size(); ++i)
        if (ContainsFolded(answer, folded[i]))
            return kRefusals[i].m_refusal;
    return EWhoisRefusal::none;
}
