#pragma once

#include "core/record/DottedQuad.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Hostile whois answers of about nBytes each, named: endless lines and objects, many
// blocks, networks and references. colt is a real RIPE answer, repeated for "many objects".
inline std::vector<std::pair<const char*, std::string>> HostileWhoisAnswers(size_t nBytes, const std::string& colt)
{
    std::vector<std::pair<const char*, std::string>> cases = {
        {"many objects", std::string()},
        {"one endless line", "inetnum: 192.0.2.0 - 192.0.2.255\ndescr: " + std::string(nBytes, 'x') + "\n"},
        {"one endless object", "inetnum: 192.0.2.0 - 192.0.2.255\n"},
        {"many blocks", std::string()},
        {"many ARIN networks", std::string()},
        {"many rwhois networks", "%rwhois V-1.5 host.example (x)\n"},
        {"many references to one huge object", std::string()},
    };
    while (cases[0].second.size() < nBytes)
        cases[0].second += colt;
    while (cases[2].second.size() < nBytes)
        cases[2].second += "admin-c: P1\ntech-c: P2\n";
    for (uint32_t i = 0; cases[3].second.size() < nBytes; ++i)
        cases[3].second += "inetnum: " + FormatDottedQuad(i << 8) + " - " + FormatDottedQuad((i << 8) | 255) +
                           "\norg: ORG-" + std::to_string(i) + "\n\n";
    for (uint32_t i = 0; cases[4].second.size() < nBytes; ++i)
        cases[4].second += "NetRange: " + FormatDottedQuad(i << 8) + " - " + FormatDottedQuad((i << 8) | 255) +
                           "\nOrgName: O\nOrgAbuseEmail: a@b.example.org\n\n";
    for (uint32_t i = 0; cases[5].second.size() < nBytes; ++i)
        cases[5].second += "network:Class-Name:network\nnetwork:ID:N" + std::to_string(i) +
                           "\nnetwork:IP-Network:" + FormatDottedQuad(i << 8) + "/24\n\norganization:ID:N" +
                           std::to_string(i) + "\norganization:Country-Code:US\n";
    std::string& refs = cases[6].second;
    for (uint32_t i = 0; refs.size() < nBytes / 2; ++i)
        refs += "inetnum: " + FormatDottedQuad(i << 8) + " - " + FormatDottedQuad((i << 8) | 255) +
                "\norg: ORG-1\nadmin-c: P1\ntech-c: P1\n\n";
    refs += "organisation: ORG-1\nabuse-c: P1\n";
    refs += "role: R\nnic-hdl: P1\n";
    while (refs.size() < nBytes)
        refs += "remarks: nothing about it\naddress: somewhere\n";
    return cases;
}
