#include "facts/RwhoisFacts.h"

#include "core/text/TextCase.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace WhoisAnswer {

void ReadRwhois(std::string_view text, CAnswer& answer)
{
    CLineReader lines(text);
    std::string_view line;
    CBlock* pCur = nullptr;
    bool bHasId = false;
    std::string_view customer, orgName, organization, customerCountry;
    std::vector<std::pair<std::string_view, std::string_view>> orgs; // organisation record ID, its country
    auto finish = [&] {
        if (!pCur)
            return;
        SetIfEmpty(pCur->holder, customer);
        SetIfEmpty(pCur->holder, orgName);
        SetIfEmpty(pCur->holder, organization);
        if (!customerCountry.empty())
            pCur->country = customerCountry;
        customer = orgName = organization = customerCountry = {};
    };
    auto start = [&] {
        finish();
        answer.blocks.emplace_back();
        pCur = &answer.blocks.back();
        bHasId = false;
    };
    while (lines.Next(line)) {
        line = TrimView(line);
        if (line.empty())
            continue;
        if (line[0] == '%') {
            if (StartsWithNoCase(line, "%rwhois ") && answer.strRegistry.empty()) {
                std::string_view rest = TrimView(line.substr(8));
                rest = TrimView(rest.substr(rest.find(' ') == std::string_view::npos ? rest.size() : rest.find(' ')));
                const std::string_view host = rest.substr(0, rest.find(' '));
                if (!host.empty())
                    answer.strRegistry = "rwhois:" + std::string(host);
            }
            continue;
        }
        // "class:Attribute:value"; lines of the network class, or without a class, describe networks.
        std::string_view body = line;
        std::string_view cls;
        if (const size_t nColon = line.find(':'); nColon != std::string_view::npos) {
            const std::string_view prefix = line.substr(0, nColon);
            for (std::string_view known : {"network", "contact", "organization", "org", "referral", "domain", "host"})
                if (EqualNoCase(prefix, known) && line.find(':', nColon + 1) != std::string_view::npos)
                    cls = prefix;
            if (!cls.empty())
                body = line.substr(nColon + 1);
        }
        std::string_view key, value;
        if (!SplitAttribute(body, key, value))
            continue;
        key = key.substr(0, key.find(';'));
        if (!cls.empty() && !EqualNoCase(cls, "network")) {
            if (EqualNoCase(cls, "organization") || EqualNoCase(cls, "org")) {
                if (EqualNoCase(key, "ID"))
                    orgs.push_back({value, {}});
                else if (EqualNoCase(key, "Country-Code") && !orgs.empty())
                    SetIfEmpty(orgs.back().second, CountryCode(value));
            }
            if (pCur && ContainsNoCase(key, "abuse"))
                SetIfEmpty(pCur->abuse, FindMailAddress(value));
            continue;
        }
        if (EqualNoCase(key, "Class-Name")) {
            if (EqualNoCase(value, "network"))
                start();
            continue;
        }
        if (EqualNoCase(key, "ID")) {
            if (!pCur || bHasId)
                start();
            bHasId = true;
            pCur->id = value;
            continue;
        }
        const bool bBlockKey = EqualNoCase(key, "IP-Network-Block") || EqualNoCase(key, "IP-Network-Range");
        const bool bNetKey = EqualNoCase(key, "IP-Network") || bBlockKey;
        if (!pCur || (bNetKey && pCur->HasRange() && EqualNoCase(key, "IP-Network") && !bHasId))
            start();
        CBlock& b = *pCur;
        if (bBlockKey) {
            SetRangeFrom(b, value);
        } else if (EqualNoCase(key, "IP-Network")) {
            if (!b.HasRange())
                SetRangeFrom(b, value);
        } else if (EqualNoCase(key, "Customer Organization") || EqualNoCase(key, "Customer-Name") ||
                   EqualNoCase(key, "Customer Name")) {
            SetIfEmpty(customer, value);
        } else if (EqualNoCase(key, "Org-Name") || EqualNoCase(key, "OrgName")) {
            SetIfEmpty(orgName, value);
        } else if (EqualNoCase(key, "Organization")) {
            SetIfEmpty(organization, value);
        } else if (EqualNoCase(key, "Customer Country Code")) {
            SetIfEmpty(customerCountry, CountryCode(value));
        } else if (EqualNoCase(key, "Country-Code") || EqualNoCase(key, "Country")) {
            SetIfEmpty(b.country, CountryCode(value));
        } else if (EqualNoCase(key, "Network-Name") || EqualNoCase(key, "Net-Name")) {
            SetIfEmpty(b.netName, value);
        } else if (ContainsNoCase(key, "abuse")) {
            SetIfEmpty(b.abuse, FindMailAddress(value));
        } else if (EqualNoCase(key, "Origin-AS") || EqualNoCase(key, "OriginAS")) {
            SetIfEmpty(b.originAS, value);
        }
    }
    finish();
    // A network without a country takes that of the organisation record with its ID.
    std::stable_sort(orgs.begin(), orgs.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (CBlock& b : answer.blocks) {
        if (!b.country.empty() || b.id.empty())
            continue;
        const auto it = std::lower_bound(orgs.begin(), orgs.end(), b.id,
                                         [](const auto& o, std::string_view id) { return o.first < id; });
        if (it != orgs.end() && it->first == b.id)
            b.country = it->second;
    }
}

} // namespace WhoisAnswer
