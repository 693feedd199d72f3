#include "facts/WhoisFacts.h"

#include "facts/ArinFacts.h"
#include "facts/CountryNames.h"
#include "facts/JpnicFacts.h"
#include "facts/KrnicFacts.h"
#include "facts/RdapFacts.h"
#include "facts/RdapText.h"
#include "facts/RpslFacts.h"
#include "facts/RwhoisFacts.h"
#include "facts/TwnicFacts.h"
#include "facts/WhoisAnswer.h"

#include "core/record/DottedQuad.h"
#include "core/text/TextCase.h"

#include <vector>

// One pass per answer over its lines, no copies of the text until the chosen
// facts are returned: a document of 100,000 answers is read in well under a
// second. Each registry layout has its reader; this file picks the reader and
// the block.

using namespace WhoisAnswer;

namespace {

// A word that only a company's name carries ("Example Broadband GmbH", "JSC \"Ufanet\"").
bool HasLegalForm(std::string_view s)
{
    static constexpr std::string_view kForms[] = {
        "gmbh", "ltd", "limited", "inc", "llc", "sa",  "spa", "ab",  "oy",   "oyj", "pjsc", "jsc", "ojsc", "cjsc",
        "llp",  "plc", "ag",      "bv",  "nv",  "srl", "sl",  "sas", "sarl", "kg",  "corp", "pty", "ltda", "sro",
    };
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        size_t e = i;
        while (e < s.size() && s[e] != ' ' && s[e] != '\t')
            ++e;
        std::string word;
        for (size_t k = i; k < e && word.size() < 8; ++k) {
            const char c = s[k];
            if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
                word += char(c | 0x20);
            else if (c != '.' && c != ',' && c != ';' && c != '(' && c != ')' && c != '"' && c != '\'')
                word += '?';
        }
        for (std::string_view form : kForms)
            if (word == form)
                return true;
        i = e;
    }
    return false;
}

} // namespace

bool ReadsAsDescrName(std::string_view s)
{
    // A company's legal form names it even beside a word that usually describes.
    const std::string_view t = TrimView(s);
    return ReadsAsHolderName(t) || (t.size() <= 120 && HasLegalForm(t));
}

bool ReadsAsHolderName(std::string_view s)
{
    s = TrimView(s);
    // A name is short; a long line describes.
    if (s.size() < 2 || s.size() > 120)
        return false;
    bool bLetter = false;
    for (char c : s)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (unsigned char)c >= 0x80)
            bLetter = true;
    // A lone short word ("UDC", "NOC") is a code rather than a name.
    if (!bLetter || (s.size() <= 3 && s.find(' ') == std::string_view::npos))
        return false;
    static constexpr std::string_view kNotNames[] = {
        "pool",  "customer", "broadband", "dynamic", "static ",        "subscriber",  " dsl",        "adsl",
        "xdsl",  "dial",     "address",   "assign",  "allocat",        "infrastruct", "network for", "used for",
        "users", "clients",  "range",     "block",   "provider local", "ip space",    "for ",        "vlan",
        "gprs",  "nat ",     "cgnat",     "servers", "hosting ",       "colocation",  "this ",       "see ",
    };
    for (std::string_view word : kNotNames)
        if (ContainsNoCase(s, word))
            return false;
    // "CHINANET Sichuan province network" describes; "China Telecom" on the next line names.
    if (ContainsNoCase(s, "province") || (s.size() > 8 && EqualNoCase(s.substr(s.size() - 8), " network")))
        return false;
    // "Zurich, Switzerland" or "Germany" says where, not who.
    const size_t nComma = s.rfind(',');
    if (!CountryCodeOfName(s).empty() ||
        (nComma != std::string_view::npos && !CountryCodeOfName(TrimView(s.substr(nComma + 1))).empty()))
        return false;
    return true;
}

namespace {

enum class ELayout
{
    kNone,
    kArin,
    kRpsl,
    kRwhois,
    kKrnic,
    kJpnic,
    kTwnic
};

bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

// One look at the start of every line decides which registry wrote the answer.
ELayout DetectLayout(std::string_view text)
{
    bool bRwhois = false, bKrnic = false, bJpnic = false, bRpsl = false, bNetblock = false, bNetname = false,
         bArin = false;
    CLineReader lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        if (line.empty())
            continue;
        switch (line[0]) {
        case '%':
            bRwhois = bRwhois || StartsWith(line, "%rwhois");
            break;
        case 'n':
            bRwhois = bRwhois || StartsWith(line, "network:");
            break;
        case 'i':
            bRpsl = bRpsl || StartsWith(line, "inetnum:") || StartsWith(line, "inet6num:");
            break;
        case '[':
            bKrnic = bKrnic || StartsWith(line, "[ Network Information ]");
            bJpnic = bJpnic || StartsWith(line, "[Network Number]");
            break;
        case 'N':
            bJpnic = bJpnic || StartsWith(line, "Network Information:");
            bArin = bArin || StartsWith(line, "NetRange:");
            bNetname = bNetname || StartsWith(line, "Netname:");
            bNetblock = bNetblock || StartsWith(line, "Netblock:");
            break;
        case 'O':
            bArin = bArin || StartsWith(line, "OrgName:");
            break;
        case 'C':
            bArin = bArin || StartsWith(line, "CIDR:");
            break;
        case ' ':
        case '\t': {
            const std::string_view t = TrimView(line);
            bNetname = bNetname || StartsWith(t, "Netname:");
            bNetblock = bNetblock || StartsWith(t, "Netblock:");
            break;
        }
        default:
            if (line.size() > 3 && line[1] == '.' && line[2] == ' ')
                bJpnic = bJpnic || StartsWith(line.substr(3), "[Network Number]");
            break;
        }
    }
    if (bRwhois)
        return ELayout::kRwhois;
    if (bKrnic)
        return ELayout::kKrnic;
    if (bJpnic)
        return ELayout::kJpnic;
    if (bRpsl)
        return ELayout::kRpsl;
    if (bNetblock && bNetname)
        return ELayout::kTwnic;
    if (bArin || text.find("(NET-") != std::string_view::npos || text.find("(NET6-") != std::string_view::npos)
        return ELayout::kArin;
    return ELayout::kNone;
}

std::optional<CIPAddress> FirstLineAddress(std::string_view text)
{
    CLineReader lines(text);
    std::string_view line;
    if (!lines.Next(line))
        return std::nullopt;
    line = TrimView(line);
    const size_t nEnd = line.find(' ');
    const std::string_view first = line.substr(0, nEnd);
    if (nEnd != std::string_view::npos && line.substr(nEnd + 1).find('[') != 0)
        return std::nullopt;
    std::string_view s = first;
    uint32_t dw = 0;
    if (TakeQuad(s, dw, false) && s.empty())
        return CIPAddress::FromIPv4(dw);
    if (first.find(':') == std::string_view::npos)
        return std::nullopt;
    const CParseResult<CIPAddress> a = ParseIPAddress(first);
    return a ? std::optional<CIPAddress>(*a) : std::nullopt;
}

std::string UpperCopy(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return out;
}

CWhoisFacts ReadFacts(std::string_view strText, std::optional<CIPAddress> address);

} // namespace

std::string CWhoisFacts::RangeText() const
{
    if (m_range6)
        return m_range6->First().ToString() + " - " + m_range6->Last().ToString();
    if (!m_bHasRange)
        return {};
    return FormatDottedQuad(m_dwRangeStart) + " - " + FormatDottedQuad(m_dwRangeEnd);
}

std::optional<CIPRange> CWhoisFacts::Range() const
{
    if (m_range6)
        return m_range6;
    if (!m_bHasRange)
        return std::nullopt;
    const CParseResult<CIPRange> r =
        CIPRange::Make(CIPAddress::FromIPv4(m_dwRangeStart), CIPAddress::FromIPv4(m_dwRangeEnd));
    return r ? std::optional<CIPRange>(*r) : std::nullopt;
}

bool CoversAddress(const CWhoisFacts& facts, uint32_t dwAddress)
{
    return facts.m_bHasRange && facts.m_dwRangeStart <= dwAddress && dwAddress <= facts.m_dwRangeEnd;
}

bool MissesAddress(const CWhoisFacts& facts, uint32_t dwAddress)
{
    return facts.m_bHasRange && !CoversAddress(facts, dwAddress);
}

CWhoisFacts ReadWhoisFacts(std::string_view strText, std::optional<uint32_t> dwAddress)
{
    return ReadFacts(strText, dwAddress ? std::optional<CIPAddress>(CIPAddress::FromIPv4(*dwAddress)) : std::nullopt);
}

CWhoisFacts ReadWhoisFacts(std::string_view strText, const CIPAddress& address)
{
    return ReadFacts(strText, address);
}

namespace {

CWhoisFacts ReadFacts(std::string_view strText, std::optional<CIPAddress> address)
{
    CWhoisFacts facts;
    if (strText.empty())
        return facts;
    if (!address)
        address = FirstLineAddress(strText);
    // An RDAP lookup's text: its summary is ours, the JSON is the registry's answer.
    if (const std::string_view json = RdapText::JsonOf(strText); !json.empty())
        return address ? ReadRdapFacts(json, *address) : ReadRdapFacts(json);

    CAnswer answer;
    std::string_view origin;
    switch (DetectLayout(strText)) {
    case ELayout::kRwhois:
        ReadRwhois(strText, answer);
        break;
    case ELayout::kKrnic:
        ReadKrnic(strText, answer);
        break;
    case ELayout::kJpnic:
        ReadJpnic(strText, answer);
        break;
    case ELayout::kRpsl:
        ReadRpsl(strText, answer, address);
        origin = answer.routeOrigin;
        break;
    case ELayout::kTwnic:
        ReadTwnic(strText, answer);
        break;
    case ELayout::kArin:
        ReadArin(strText, answer);
        break;
    case ELayout::kNone:
        return facts;
    }

    facts.m_strRegistry = answer.strRegistry;
    const CBlock* pBest = Choose(answer.blocks, address);
    if (!pBest)
        return facts;
    const CBlock& b = *pBest;
    facts.m_strHolder = b.holder;
    facts.m_strCountry = UpperCopy(b.country.empty() ? answer.defaultCountry : b.country);
    facts.m_bHasRange = b.bRange && !b.range6;
    if (facts.m_bHasRange) {
        facts.m_dwRangeStart = b.dwStart;
        facts.m_dwRangeEnd = b.dwEnd;
    }
    facts.m_range6 = b.range6;
    facts.m_bMissesAddress = address && b.HasRange() && !b.Covers(*address);
    facts.m_strNetName = b.netName;
    facts.m_strOriginAS = b.originAS.empty() ? origin : b.originAS;
    facts.m_bIsRegistryStub = b.bStub;
    // The block's own abuse contact, else that of the nearest block that holds it.
    std::string_view abuse = b.abuse;
    if (abuse.empty()) {
        const CBlock* pParent = nullptr;
        for (const CBlock& o : answer.blocks)
            if (&o != pBest && !o.abuse.empty() && o.Holds(b) && (!pParent || o.Size() <= pParent->Size()))
                pParent = &o;
        if (pParent)
            abuse = pParent->abuse;
    }
    facts.m_strAbuse = abuse;
    return facts;
}

} // namespace
