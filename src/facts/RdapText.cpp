#include "facts/RdapText.h"

#include "core/record/DottedQuad.h"
#include "facts/WhoisFacts.h"

#include <cstring>
#include <vector>

namespace RdapText {

namespace {

// Label column as ARIN's whois answers align it.
constexpr size_t kLabelWidth = 16;
// Longer values are cut: the summary is for reading, the JSON keeps everything.
constexpr size_t kMaxValue = 1000;

// The labels the owner, country and range extraction searches anywhere in a text.
constexpr std::string_view kExtractionLabels[] = {"CustName:", "OrgName:", "descr:",    "owner:",   "network:",
                                                  "Country:",  "country:", "NetRange:", "inetnum:", "IPv4 Address"};

void AddLine(std::string& out, std::string_view label, std::string_view value)
{
    out += label;
    out.append(label.size() < kLabelWidth ? kLabelWidth - label.size() : 1, ' ');
    std::string clean;
    for (char c : value.substr(0, kMaxValue))
        clean += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? ' ' : c;
    // A value must not carry a label of its own into the summary (a net name
    // "X Country: ZZ" would otherwise set the country).
    for (std::string_view l : kExtractionLabels)
        for (size_t at = clean.find(l); at != std::string::npos; at = clean.find(l, at + 1))
            clean[at + l.size() - 1] = l.back() == ':' ? ' ' : '_';
    out += clean;
    out += "\r\n";
}

// The fewest prefixes that cover start..end exactly.
std::string CidrsOf(uint32_t dwStart, uint32_t dwEnd)
{
    std::string out;
    uint64_t cur = dwStart;
    int n = 0;
    while (cur <= dwEnd && n < 32) {
        int len = 32;
        while (len > 0) {
            const uint64_t size = uint64_t(1) << (32 - (len - 1));
            if ((cur & (size - 1)) != 0 || cur + size - 1 > dwEnd)
                break;
            --len;
        }
        if (!out.empty())
            out += ", ";
        out += FormatDottedQuad(uint32_t(cur)) + "/" + std::to_string(len);
        cur += uint64_t(1) << (32 - len);
        ++n;
    }
    return out;
}

bool StartsWithLine(std::string_view text, size_t pos, std::string_view label)
{
    return text.compare(pos, label.size(), label) == 0;
}

} // namespace

std::string_view JsonOf(std::string_view strText)
{
    // address line, blank line, summary ... "RDAP URL:" line, blank line, JSON
    const size_t first = strText.find("\r\n\r\n");
    // "address [host name]": a host name has at most 253 characters.
    if (first == std::string_view::npos || first > 300)
        return {};
    size_t pos = first + 4;
    // The summary is a handful of short lines; never scan a long text for it.
    for (int line = 0; line < 16 && pos < strText.size(); ++line) {
        const size_t eol = strText.find("\r\n", pos);
        if (eol == std::string_view::npos || eol - pos > 4096)
            return {};
        if (StartsWithLine(strText, pos, kUrlLabel)) {
            if (strText.compare(eol, 4, "\r\n\r\n") != 0)
                return {};
            std::string_view json = strText.substr(eol + 4);
            const size_t b = json.find_first_not_of(" \t\r\n");
            if (b == std::string_view::npos || json[b] != '{')
                return {};
            return json;
        }
        pos = eol + 2;
    }
    return {};
}

bool NestingWithin(std::string_view strJson, size_t nMaxDepth)
{
    size_t depth = 0;
    bool inString = false;
    for (size_t i = 0; i < strJson.size(); ++i) {
        const char c = strJson[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"')
            inString = true;
        else if (c == '{' || c == '[') {
            if (++depth > nMaxDepth)
                return false;
        } else if ((c == '}' || c == ']') && depth > 0)
            --depth;
    }
    return true;
}

bool ParseAddress(std::string_view strText, uint32_t& dwAddress)
{
    const size_t slash = strText.find('/');
    if (slash != std::string_view::npos)
        strText = strText.substr(0, slash);
    uint32_t value = 0;
    int parts = 0;
    size_t i = 0;
    while (parts < 4) {
        size_t digits = 0;
        uint32_t part = 0;
        while (i < strText.size() && strText[i] >= '0' && strText[i] <= '9' && digits < 3) {
            part = part * 10 + uint32_t(strText[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || part > 255)
            return false;
        value = (value << 8) | part;
        ++parts;
        if (parts < 4) {
            if (i >= strText.size() || strText[i] != '.')
                return false;
            ++i;
        }
    }
    if (i != strText.size())
        return false;
    dwAddress = value;
    return true;
}

std::string Compose(std::string_view strHeader, const CWhoisFacts& facts, std::string_view strRegistry,
                    std::string_view strUrl, std::string_view strJson)
{
    std::string out;
    out.reserve(strJson.size() + 512);
    out.append(strHeader);
    out += "\r\n\r\n";
    if (facts.m_bHasRange) {
        AddLine(out,
                "NetRange:", FormatDottedQuad(facts.m_dwRangeStart) + " - " + FormatDottedQuad(facts.m_dwRangeEnd));
        AddLine(out, "CIDR:", CidrsOf(facts.m_dwRangeStart, facts.m_dwRangeEnd));
    } else if (facts.m_range6) {
        AddLine(out, "NetRange:", facts.RangeText());
        if (facts.m_range6->PrefixLength())
            AddLine(out, "CIDR:", facts.m_range6->ToString());
    }
    AddLine(out, "NetName:", facts.m_strNetName);
    AddLine(out, "OrgName:", facts.m_strHolder);
    AddLine(out, "Country:", facts.m_strCountry);
    AddLine(out, "OrgAbuseEmail:", facts.m_strAbuse);
    AddLine(out, "Registry:", facts.m_strRegistry.empty() ? strRegistry : std::string_view(facts.m_strRegistry));
    AddLine(out, kUrlLabel, strUrl);
    out += "\r\n";
    out.append(strJson);
    return out;
}

std::string ComposeNoMatch(std::string_view strHeader, std::string_view strAddress, std::string_view strRegistry,
                           std::string_view strUrl)
{
    std::string out(strHeader);
    out += "\r\n\r\n";
    out += kNoMatch;
    out += ' ';
    out += strAddress;
    out += ".\r\n\r\n";
    AddLine(out, "Registry:", strRegistry);
    AddLine(out, kUrlLabel, strUrl);
    return out;
}

std::string RegistryOfHost(std::string_view strHost)
{
    std::string host(strHost);
    for (char& c : host)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    static const struct {
        const char* suffix;
        const char* registry;
    } kHosts[] = {
        {"arin.net", "ARIN"},
        {"ripe.net", "RIPE"},
        {"lacnic.net", "LACNIC"},
        {"afrinic.net", "AFRINIC"},
        {"nic.ad.jp", "JPNIC"},
        {"jpnic.rdap.apnic.net", "JPNIC"},
        {"krnic.rdap.apnic.net", "KRNIC"},
        {"twnic.rdap.apnic.net", "TWNIC"},
        {"nic.or.kr", "KRNIC"},
        {"kisa.or.kr", "KRNIC"},
        {"twnic.net", "TWNIC"},
        {"twnic.net.tw", "TWNIC"},
        {"apnic.net", "APNIC"},
        {"registro.br", "NIC.br"},
        {"nic.br", "NIC.br"},
    };
    for (const auto& h : kHosts) {
        const std::string_view suffix = h.suffix;
        if (host.size() < suffix.size() || host.compare(host.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        if (host.size() == suffix.size() || host[host.size() - suffix.size() - 1] == '.')
            return h.registry;
    }
    return {};
}

} // namespace RdapText
