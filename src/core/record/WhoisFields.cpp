#include "core/record/WhoisFields.h"

#include "core/record/DottedQuad.h"
#include "core/record/IPAddressData.h"
#include "core/record/IPRange.h"

#include <algorithm>
#include <initializer_list>

namespace {

constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

std::string_view Trim(std::string_view s, std::string_view chars = kWhiteSpace)
{
    const size_t b = s.find_first_not_of(chars);
    if (b == std::string_view::npos)
        return {};
    return s.substr(b, s.find_last_not_of(chars) - b + 1);
}

std::string FirstField(std::string_view strText, std::initializer_list<std::string_view> labels)
{
    for (std::string_view label : labels) {
        std::string strValue = ExtractWhoisField(strText, label);
        if (!strValue.empty())
            return strValue;
    }
    return {};
}

} // namespace

std::string ExtractWhoisField(std::string_view strText, std::string_view strLabel, std::string_view strTerminators)
{
    const size_t nAt = strText.find(strLabel);
    if (nAt == std::string_view::npos)
        return {};
    const std::string_view value = strText.substr(nAt + strLabel.size());
    const size_t nEnd = value.find_first_of(strTerminators);
    if (nEnd == std::string_view::npos)
        return {};
    return std::string(Trim(value.substr(0, nEnd)));
}

bool CIPAddressData::ExtractWhoisFields()
{
    const std::string_view text = m_strRawWhois.View();
    if (text.empty())
        return false;
    SetOwner(FirstField(text, {"CustName:", "OrgName:", "descr:", "owner:", "network:Org-Name:"}));
    SetCountry(FirstField(text, {"Country:", "country:", "network:Country-Code:"}));
    // The same first-label rule for an IPv6 record, with the labels that hold IPv6
    // networks (ARIN writes both families under NetRange, LACNIC under inetnum).
    const std::string strRange =
        IsIPv6() ? FirstField(text, {"NetRange:", "inet6num:", "inetnum:", "network:IP-Network:"})
                 : FirstField(text, {"NetRange:", "inetnum:", "IPv4 Address", "network:IP-Network:"});
    if (!strRange.empty())
        ParseNetRange(strRange);
    return true;
}

bool CIPAddressData::ParseNetRange(std::string_view strRange)
{
    if (IsIPv6()) {
        // "first - last" or "prefix/n"; an IPv4 network is not this record's range.
        const auto range = ParseIPRange(Trim(strRange));
        if (!range || range->IsIPv4())
            return false;
        SetRange(range->First(), range->Last());
        return true;
    }
    const std::string_view text = Trim(Trim(strRange), ":- \r\n");
    if (text.empty())
        return false;
    if (const size_t nDash = text.find('-'); nDash != std::string_view::npos) {
        const std::string_view left = Trim(text.substr(0, nDash));
        const std::string_view right = Trim(text.substr(nDash + 1));
        if (IsValidDottedQuad(left) && IsValidDottedQuad(right)) {
            SetRange(ParseDottedQuad(left), ParseDottedQuad(right));
            return true;
        }
    }
    // A dash with invalid sides still gets the slash form's chance.
    const size_t nSlash = text.find('/');
    if (nSlash == std::string_view::npos)
        return false;
    std::string strAddress(Trim(text.substr(0, nSlash)));
    const std::string strPrefix(Trim(text.substr(nSlash + 1)));
    for (int i = 0; i < 2 && !IsValidDottedQuad(strAddress); ++i)
        strAddress += ".0";
    if (!IsValidDottedQuad(strAddress) || IsValidDottedQuad(strPrefix))
        return false;
    // The leading digits, as before; a number too large for any prefix stays too
    // large instead of wrapping round into 1..31.
    unsigned nPrefix = 0;
    size_t nDigits = 0;
    while (nDigits < strPrefix.size() && strPrefix[nDigits] >= '0' && strPrefix[nDigits] <= '9') {
        nPrefix = std::min(nPrefix * 10 + unsigned(strPrefix[nDigits] - '0'), 1000u);
        ++nDigits;
    }
    if (nDigits == 0 || nPrefix < 1 || nPrefix > 31)
        return false;
    const uint32_t dwStart = ParseDottedQuad(strAddress);
    SetRange(dwStart, dwStart + (uint32_t(1) << (32 - nPrefix)) - 1);
    return true;
}
