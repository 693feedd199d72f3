#include "facts/WhoisFacts.h"

#include "facts/CountryNames.h"
#include "facts/RdapText.h"

#include "core/record/DottedQuad.h"
#include "core/text/TextCase.h"

#include <algorithm>
#include <cstring>
#include <vector>

// One pass per answer over its lines, no copies of the text until the chosen
// facts are returned: a document of 100,000 answers is read in well under a
// second. Every registry layout is read into the same list of network blocks;
// the most specific block that covers the address gives the facts.

namespace {

// ---- text helpers ----

constexpr std::string_view kBlanks = " \t\v\f\r";

std::string_view TrimView(std::string_view s)
{
    const size_t b = s.find_first_not_of(kBlanks);
    if (b == std::string_view::npos)
        return {};
    return s.substr(b, s.find_last_not_of(kBlanks) - b + 1);
}

// Case-insensitive search for a short ASCII needle; linear for the short needles used here.
bool ContainsNoCase(std::string_view s, std::string_view needle)
{
    if (needle.empty())
        return true;
    if (s.size() < needle.size())
        return false;
    const char first = FoldCase(needle[0]);
    for (size_t i = 0; i + needle.size() <= s.size(); ++i)
        if (FoldCase(s[i]) == first && EqualNoCase(s.substr(i, needle.size()), needle))
            return true;
    return false;
}

// Splits a text into lines at LF, CR LF, CR CR LF or a lone CR; the line ends are not part of the lines.
class CLineReader
{
public:
    explicit CLineReader(std::string_view text)
        : m_text(text)
    { }
    bool Next(std::string_view& line)
    {
        if (m_nPos >= m_text.size())
            return false;
        const char* p = m_text.data() + m_nPos;
        const size_t nLeft = m_text.size() - m_nPos;
        const void* pLf = std::memchr(p, '\n', nLeft);
        size_t nLen = pLf ? size_t(static_cast<const char*>(pLf) - p) : nLeft;
        size_t nNext = m_nPos + nLen + (pLf ? 1 : 0);
        // A CR not followed by more CRs and the LF ends a line of its own.
        if (const void* pCr = std::memchr(p, '\r', nLen)) {
            const size_t nCr = size_t(static_cast<const char*>(pCr) - p);
            size_t nAfter = nCr;
            while (nAfter < nLen && p[nAfter] == '\r')
                ++nAfter;
            if (nAfter < nLen) {
                nLen = nCr;
                nNext = m_nPos + nAfter;
            }
        }
        line = std::string_view(p, nLen);
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        m_nPos = nNext;
        return true;
    }

private:
    std::string_view m_text;
    size_t m_nPos = 0;
};

// ---- addresses and ranges ----

// Reads "a.b.c.d" (or, with bShort, "a.b" and "a.b.c" as LACNIC writes network
// numbers) from the front of s; the rest of s stays.
bool TakeQuad(std::string_view& s, uint32_t& dwValue, bool bShort)
{
    uint32_t dw = 0;
    int nParts = 0;
    size_t i = 0;
    while (nParts < 4) {
        size_t nDigits = 0;
        uint32_t n = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9' && nDigits < 4) {
            n = n * 10 + uint32_t(s[i] - '0');
            ++i;
            ++nDigits;
        }
        if (nDigits == 0 || nDigits > 3 || n > 255)
            return false;
        dw = (dw << 8) | n;
        ++nParts;
        if (nParts < 4 && i + 1 < s.size() && s[i] == '.' && s[i + 1] >= '0' && s[i + 1] <= '9')
            ++i;
        else
            break;
    }
    if (nParts < 4) {
        if (!bShort || nParts < 2)
            return false;
        dw <<= 8 * (4 - nParts);
    }
    if (i < s.size() && ((s[i] >= '0' && s[i] <= '9') || s[i] == '.'))
        return false;
    dwValue = dw;
    s.remove_prefix(i);
    return true;
}

bool TakePrefixLength(std::string_view& s, unsigned& nPrefix)
{
    if (s.empty() || s[0] != '/')
        return false;
    size_t i = 1;
    unsigned n = 0;
    while (i < s.size() && i < 4 && s[i] >= '0' && s[i] <= '9')
        n = n * 10 + unsigned(s[i++] - '0');
    if (i == 1 || n > 32 || (i < s.size() && s[i] >= '0' && s[i] <= '9'))
        return false;
    nPrefix = n;
    s.remove_prefix(i);
    return true;
}

void PrefixBounds(uint32_t dwStart, unsigned nPrefix, uint32_t& dwFirst, uint32_t& dwLast)
{
    const uint32_t dwMask = nPrefix == 0 ? 0 : ~uint32_t(0) << (32 - nPrefix);
    dwFirst = dwStart & dwMask;
    dwLast = dwFirst | ~dwMask;
}

// "a.b.c.d - e.f.g.h", "a.b.c.d/n" or the short "a.b/n"; trailing text such as
// " (/13)" is allowed. A range whose start lies above its end is no range.
bool ParseRange(std::string_view s, uint32_t& dwStart, uint32_t& dwEnd)
{
    s = TrimView(s);
    uint32_t dwA = 0;
    if (!TakeQuad(s, dwA, true))
        return false;
    std::string_view rest = s;
    unsigned nPrefix = 0;
    if (TakePrefixLength(rest, nPrefix)) {
        PrefixBounds(dwA, nPrefix, dwStart, dwEnd);
        return true;
    }
    rest = TrimView(rest);
    if (rest.empty() || rest[0] != '-')
        return false;
    rest = TrimView(rest.substr(1));
    uint32_t dwB = 0;
    if (!TakeQuad(rest, dwB, false) || dwB < dwA)
        return false;
    dwStart = dwA;
    dwEnd = dwB;
    return true;
}

// A list of prefixes ("a/n, b/n, ..."), in any order: the smallest range that holds them all.
bool ParseCidrList(std::string_view s, uint32_t& dwStart, uint32_t& dwEnd)
{
    bool bAny = false;
    while (!s.empty()) {
        const size_t nComma = s.find(',');
        std::string_view item = TrimView(s.substr(0, nComma));
        s = nComma == std::string_view::npos ? std::string_view() : s.substr(nComma + 1);
        uint32_t dwA = 0, dwB = 0;
        if (!ParseRange(item, dwA, dwB))
            continue;
        if (!bAny || dwA < dwStart)
            dwStart = dwA;
        if (!bAny || dwB > dwEnd)
            dwEnd = dwB;
        bAny = true;
    }
    return bAny;
}

// ---- values ----

bool IsAddressChar(char c, bool bDomain)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.')
        return true;
    return !bDomain && (c == '_' || c == '+' || c == '%' || c == '=');
}

// The e-mail address in a value ("abuse@example.net # comment", "<x@y>"); empty
// when there is none or it is a placeholder nobody reads.
std::string_view FindMailAddress(std::string_view s)
{
    const size_t nAt = s.find('@');
    if (nAt == std::string_view::npos || nAt == 0)
        return {};
    size_t b = nAt;
    while (b > 0 && IsAddressChar(s[b - 1], false))
        --b;
    size_t e = nAt + 1;
    while (e < s.size() && IsAddressChar(s[e], true))
        ++e;
    while (e > nAt + 1 && s[e - 1] == '.')
        --e;
    const std::string_view local = s.substr(b, nAt - b);
    const std::string_view domain = s.substr(nAt + 1, e - nAt - 1);
    if (local.empty() || domain.size() < 3 || domain.find('.') == std::string_view::npos || domain[0] == '.')
        return {};
    if (StartsWithNoCase(domain, "example.") || EqualNoCase(domain, "localhost.localdomain") ||
        EqualNoCase(local, "nobody") || EqualNoCase(local, "noreply") || EqualNoCase(local, "no-reply"))
        return {};
    return s.substr(b, e - b);
}

// A two-letter country code, "# comments" cut off; never the "ZZ" of contact objects.
std::string_view CountryCode(std::string_view s)
{
    s = TrimView(s.substr(0, s.find('#')));
    if (s.size() != 2)
        return {};
    for (char c : s)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return {};
    if (EqualNoCase(s, "ZZ"))
        return {};
    return s;
}

// "Google LLC (GOGL)" -> "Google LLC"
std::string_view WithoutHandle(std::string_view s)
{
    s = TrimView(s);
    if (!s.empty() && s.back() == ')') {
        const size_t nOpen = s.rfind('(');
        if (nOpen != std::string_view::npos && nOpen > 0)
            return TrimView(s.substr(0, nOpen));
    }
    return s;
}

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

// A descr line that names somebody rather than describing the addresses; a company's
// legal form names it even beside a word that usually describes.
bool ReadsAsName(std::string_view s)
{
    const std::string_view t = TrimView(s);
    return ReadsAsHolderName(t) || (t.size() <= 120 && HasLegalForm(t));
}

} // namespace

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

// "AS13335" from "AS13335 # comment"; empty for "N/A" and other placeholders.
std::string_view AsNumber(std::string_view s)
{
    s = TrimView(s);
    s = s.substr(0, s.find_first_of(" \t#"));
    if (s.size() < 3 || !StartsWithNoCase(s, "AS") || s[2] < '0' || s[2] > '9')
        return {};
    return s;
}

// ---- blocks ----

struct CBlock {
    bool bRange = false;
    uint32_t dwStart = 0;
    uint32_t dwEnd = 0;
    std::string_view holder;
    std::string_view country;
    std::string_view abuse;
    std::string_view netName;
    std::string_view originAS;
    bool bStub = false;
    bool bListed = false; // from a one-line list entry, used only without full records
    std::string_view id; // rwhois: the record's ID, which its organisation record repeats

    uint64_t Size() const { return uint64_t(dwEnd) - dwStart + 1; }
    bool Covers(uint32_t dw) const { return bRange && dwStart <= dw && dw <= dwEnd; }
    bool Holds(const CBlock& o) const { return bRange && o.bRange && dwStart <= o.dwStart && o.dwEnd <= dwEnd; }
};

struct CAnswer {
    std::vector<CBlock> blocks;
    std::string strRegistry;
    std::string_view defaultCountry;
};

void SetRangeFrom(CBlock& b, std::string_view value)
{
    uint32_t dwA = 0, dwB = 0;
    if (ParseRange(value, dwA, dwB)) {
        b.bRange = true;
        b.dwStart = dwA;
        b.dwEnd = dwB;
    }
}

template <typename T> void SetIfEmpty(std::string_view& field, T value)
{
    if (field.empty())
        field = value;
}

// Splits "Key: value" at the first colon; false for lines without one or with
// a key that does not look like one.
bool SplitAttribute(std::string_view line, std::string_view& key, std::string_view& value, size_t nMaxKey = 40)
{
    const size_t nColon = line.find(':');
    if (nColon == std::string_view::npos || nColon == 0 || nColon > nMaxKey)
        return false;
    key = TrimView(line.substr(0, nColon));
    if (key.empty())
        return false;
    value = TrimView(line.substr(nColon + 1));
    return true;
}

bool IsBlankLine(std::string_view line)
{
    return TrimView(line).empty();
}

bool IsRirHandle(std::string_view s)
{
    return EqualNoCase(s, "RIPE") || EqualNoCase(s, "APNIC") || EqualNoCase(s, "LACNIC") || EqualNoCase(s, "AFRINIC");
}

// ---- ARIN ----

// "NetRange:" starts a network; the organisation or customer section and the
// contacts that follow it belong to it. Sections before the first network (the
// older layout printed the organisation first) go to the first network.
void ReadArin(std::string_view text, CAnswer& answer)
{
    answer.strRegistry = "ARIN";
    std::vector<CBlock>& blocks = answer.blocks;
    CBlock pending;
    bool bPending = false;
    std::string_view custName, orgName, orgRef, custRef, rAbuse, orgAbuse;
    auto finish = [&](CBlock& b) {
        SetIfEmpty(b.holder, custName);
        SetIfEmpty(b.holder, orgName);
        SetIfEmpty(b.holder, custRef);
        SetIfEmpty(b.holder, orgRef);
        SetIfEmpty(b.abuse, rAbuse);
        SetIfEmpty(b.abuse, orgAbuse);
        custName = orgName = orgRef = custRef = rAbuse = orgAbuse = {};
    };
    CBlock* pCur = nullptr;
    CLineReader lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        if (line.empty() || line[0] == '#' || line[0] == ' ' || line[0] == '\t')
            continue;
        std::string_view key, value;
        if (!SplitAttribute(line, key, value, 24)) {
            // List answers: "Google LLC GOGL (NET-8-8-8-0-2) 8.8.8.0 - 8.8.8.255"
            const size_t nHandle = line.find("(NET-");
            const size_t nClose = nHandle == std::string_view::npos ? nHandle : line.find(')', nHandle);
            if (nClose != std::string_view::npos) {
                CBlock b;
                b.bListed = true;
                SetRangeFrom(b, line.substr(nClose + 1));
                const std::string_view names = TrimView(line.substr(0, nHandle));
                const size_t nSpace = names.find_last_of(' ');
                if (nSpace != std::string_view::npos) {
                    b.holder = TrimView(names.substr(0, nSpace));
                    b.netName = names.substr(nSpace + 1);
                } else {
                    b.holder = names;
                }
                if (b.bRange)
                    blocks.push_back(b);
                pCur = nullptr;
            }
            continue;
        }
        if (key == "NetRange") {
            if (pCur)
                finish(*pCur);
            blocks.emplace_back();
            pCur = &blocks.back();
            if (bPending) {
                *pCur = pending;
                bPending = false;
            }
            SetRangeFrom(*pCur, value);
            continue;
        }
        CBlock* pTarget = pCur;
        if (!pTarget) {
            pTarget = &pending;
            bPending = true;
        }
        CBlock& b = *pTarget;
        if (key == "CIDR") {
            if (!b.bRange) {
                uint32_t dwA = 0, dwB = 0;
                if (ParseCidrList(value, dwA, dwB)) {
                    b.bRange = true;
                    b.dwStart = dwA;
                    b.dwEnd = dwB;
                }
            }
        } else if (key == "NetName") {
            SetIfEmpty(b.netName, value);
            const size_t nDash = value.find('-');
            if (IsRirHandle(value.substr(0, nDash)))
                b.bStub = true;
        } else if (key == "NetType") {
            if (ContainsNoCase(value, "Allocated to") || ContainsNoCase(value, "Transferred to"))
                b.bStub = true;
        } else if (key == "OriginAS") {
            if (!AsNumber(value).empty())
                SetIfEmpty(b.originAS, value);
        } else if (key == "Organization") {
            SetIfEmpty(orgRef, WithoutHandle(value));
            const size_t nOpen = value.rfind('(');
            if (nOpen != std::string_view::npos &&
                IsRirHandle(TrimView(value.substr(nOpen + 1, value.size() - nOpen - 2))))
                b.bStub = true;
        } else if (key == "Customer") {
            SetIfEmpty(custRef, WithoutHandle(value));
        } else if (key == "CustName") {
            SetIfEmpty(custName, value);
        } else if (key == "OrgName") {
            SetIfEmpty(orgName, value);
        } else if (key == "OrgId" || key == "OrgID") {
            if (IsRirHandle(value))
                b.bStub = true;
        } else if (key == "Country") {
            SetIfEmpty(b.country, CountryCode(value));
        } else if (key == "RAbuseEmail") {
            SetIfEmpty(rAbuse, FindMailAddress(value));
        } else if (key == "OrgAbuseEmail") {
            SetIfEmpty(orgAbuse, FindMailAddress(value));
        }
    }
    if (pCur)
        finish(*pCur);
    else if (bPending) {
        finish(pending);
        blocks.push_back(pending);
    }
    // One-line list entries only stand in for the full records they summarise.
    bool bFull = false;
    for (const CBlock& b : blocks)
        bFull = bFull || !b.bListed;
    if (bFull)
        std::erase_if(blocks, [](const CBlock& b) { return b.bListed; });
}

// ---- RPSL: RIPE, APNIC, AFRINIC, LACNIC, registro.br ----

bool LessNoCase(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char ca = FoldCase(a[i]), cb = FoldCase(b[i]);
        if (ca != cb)
            return (unsigned char)ca < (unsigned char)cb;
    }
    return a.size() < b.size();
}

struct CHandle {
    std::string_view name;
    size_t index = 0;
};

template <typename T> std::vector<T>& Scratch()
{
    thread_local std::vector<T> items;
    items.clear();
    // A huge answer once read should not keep its memory for good.
    if (items.capacity() > 65536)
        std::vector<T>().swap(items);
    return items;
}

struct CAttr {
    std::string_view key;
    std::string_view value;
};

struct CObject {
    size_t nFirst = 0;
    size_t nCount = 0;
    std::string_view type;
    std::string_view name;
    std::string_view abuseNotice; // "% Abuse contact for ... is '...'" printed before it
    // First values of what other objects look up in this one, noted while reading it,
    // so that a reference costs the same however large the object is.
    std::string_view orgName;
    std::string_view country;
    std::string_view abuseMailbox;
    std::string_view eMail;
    std::string_view nicHdl;
    std::string_view abuseC;
    std::string_view abuseRemark; // an address in "remarks: ... abuse/spam ... x@y"
    bool bAboutAbuse = false; // its name or remarks speak of abuse or spam
};

class CRpslReader
{
public:
    CRpslReader(std::string_view text, CAnswer& answer)
        : m_answer(answer)
    {
        Parse(text);
        Index();
    }

    void Read()
    {
        for (const CObject& o : m_objects) {
            if (!EqualNoCase(o.type, "inetnum"))
                continue;
            CBlock b;
            SetRangeFrom(b, o.name);
            ReadNetwork(o, b);
            m_answer.blocks.push_back(b);
        }
    }

private:
    void Parse(std::string_view text)
    {
        CLineReader lines(text);
        std::string_view line;
        bool bOpen = false;
        std::string_view notice;
        while (lines.Next(line)) {
            if (line.empty() || line[0] == '%' || line[0] == '#' || IsBlankLine(line)) {
                bOpen = false;
                if (!line.empty() && line[0] == '%')
                    ReadComment(line, notice);
                continue;
            }
            if (line[0] == ' ' || line[0] == '\t' || line[0] == '+')
                continue; // continuation of the previous value
            std::string_view key, value;
            if (!SplitAttribute(line, key, value, 24))
                continue;
            if (!bOpen) {
                CObject o;
                o.nFirst = m_attrs.size();
                o.type = key;
                o.name = value;
                if (EqualNoCase(key, "inetnum")) {
                    o.abuseNotice = notice;
                    notice = {};
                }
                m_objects.push_back(o);
                bOpen = true;
            }
            m_attrs.push_back({key, value});
            CObject& o = m_objects.back();
            ++o.nCount;
            Note(o, key, value);
        }
    }

    static void Note(CObject& o, std::string_view key, std::string_view value)
    {
        if (value.empty())
            return;
        if (EqualNoCase(key, "org-name"))
            SetIfEmpty(o.orgName, value);
        else if (EqualNoCase(key, "country"))
            SetIfEmpty(o.country, CountryCode(value));
        else if (EqualNoCase(key, "abuse-mailbox"))
            SetIfEmpty(o.abuseMailbox, FindMailAddress(value));
        else if (EqualNoCase(key, "e-mail"))
            SetIfEmpty(o.eMail, FindMailAddress(value));
        else if (EqualNoCase(key, "nic-hdl"))
            SetIfEmpty(o.nicHdl, value);
        else if (EqualNoCase(key, "abuse-c"))
            SetIfEmpty(o.abuseC, value);
        else if (EqualNoCase(key, "remarks") && (ContainsNoCase(value, "abuse") || ContainsNoCase(value, "spam"))) {
            o.bAboutAbuse = true;
            SetIfEmpty(o.abuseRemark, FindMailAddress(value));
        }
        if (o.nCount == 1 && ContainsNoCase(value, "abuse"))
            o.bAboutAbuse = true;
    }

    void ReadComment(std::string_view line, std::string_view& notice)
    {
        if (m_answer.strRegistry.empty()) {
            if (ContainsNoCase(line, "RIPE Database"))
                m_answer.strRegistry = "RIPE";
            else if (ContainsNoCase(line, "whois.apnic.net") || ContainsNoCase(line, "APNIC whois"))
                m_answer.strRegistry = "APNIC";
            else if (ContainsNoCase(line, "AfriNIC"))
                m_answer.strRegistry = "AFRINIC";
            else if (ContainsNoCase(line, "whois.lacnic.net") || ContainsNoCase(line, "LACNIC resource"))
                m_answer.strRegistry = "LACNIC";
            else if (ContainsNoCase(line, "Nic.br")) {
                m_answer.strRegistry = "NIC.br";
                m_answer.defaultCountry = "BR";
            }
        }
        constexpr std::string_view kAbuse = "Abuse contact for";
        const size_t nAt = line.find(kAbuse);
        if (nAt == std::string_view::npos)
            return;
        const std::string_view rest = line.substr(nAt + kAbuse.size());
        const size_t nIs = rest.rfind(" is ");
        if (nIs != std::string_view::npos)
            notice = FindMailAddress(rest.substr(nIs + 4));
    }

    std::string_view Value(const CObject& o, std::string_view key) const
    {
        for (size_t i = o.nFirst; i < o.nFirst + o.nCount; ++i)
            if (EqualNoCase(m_attrs[i].key, key) && !m_attrs[i].value.empty())
                return m_attrs[i].value;
        return {};
    }

    // Objects by handle, so that resolving every reference costs a binary search.
    void Index()
    {
        for (size_t i = 0; i < m_objects.size(); ++i) {
            const CObject& o = m_objects[i];
            if (EqualNoCase(o.type, "organisation") || EqualNoCase(o.type, "organization"))
                m_orgs.push_back({Handle(o.name), i});
            else if (EqualNoCase(o.type, "irt") || EqualNoCase(o.type, "nic-hdl") || EqualNoCase(o.type, "nic-hdl-br"))
                m_contacts.push_back({Handle(o.name), i});
            else if (EqualNoCase(o.type, "role") || EqualNoCase(o.type, "person"))
                m_contacts.push_back({Handle(o.nicHdl), i});
        }
        // The first object of a handle wins, as a reader takes the first one printed.
        for (auto* pList : {&m_orgs, &m_contacts})
            std::stable_sort(pList->begin(), pList->end(),
                             [](const CHandle& a, const CHandle& b) { return LessNoCase(a.name, b.name); });
    }

    static std::string_view Handle(std::string_view s) { return TrimView(s.substr(0, s.find('#'))); }

    const CObject* FindIn(const std::vector<CHandle>& list, std::string_view name) const
    {
        name = Handle(name);
        if (name.empty())
            return nullptr;
        const auto it = std::lower_bound(list.begin(), list.end(), name,
                                         [](const CHandle& a, std::string_view n) { return LessNoCase(a.name, n); });
        return it != list.end() && EqualNoCase(it->name, name) ? &m_objects[it->index] : nullptr;
    }
    const CObject* FindOrg(std::string_view name) const { return FindIn(m_orgs, name); }
    const CObject* FindContact(std::string_view handle) const { return FindIn(m_contacts, handle); }
    const CObject* FindIrt(std::string_view handle) const
    {
        const CObject* p = FindContact(handle);
        return p && EqualNoCase(p->type, "irt") ? p : nullptr;
    }

    std::string_view ContactMail(const CObject* p, bool bAnyMail) const
    {
        if (!p)
            return {};
        if (!p->abuseMailbox.empty() || !bAnyMail)
            return p->abuseMailbox;
        return p->eMail;
    }

    void ReadNetwork(const CObject& o, CBlock& b)
    {
        b.netName = Value(o, "netname");
        const CObject* pOrg = nullptr;
        if (const std::string_view org = Value(o, "org"); !org.empty())
            pOrg = FindOrg(org);
        if (pOrg)
            b.holder = pOrg->orgName;
        SetIfEmpty(b.holder, Value(o, "owner"));
        for (size_t i = o.nFirst; i < o.nFirst + o.nCount && b.holder.empty(); ++i)
            if (EqualNoCase(m_attrs[i].key, "descr") && ReadsAsName(m_attrs[i].value))
                b.holder = m_attrs[i].value;

        for (size_t i = o.nFirst; i < o.nFirst + o.nCount && b.country.empty(); ++i)
            if (EqualNoCase(m_attrs[i].key, "country"))
                b.country = CountryCode(m_attrs[i].value);
        if (b.country.empty() && pOrg)
            b.country = pOrg->country;

        b.originAS = AsNumber(Value(o, "aut-num"));

        b.abuse = o.abuseNotice;
        SetIfEmpty(b.abuse, FindMailAddress(Value(o, "abuse-mailbox")));
        if (b.abuse.empty())
            b.abuse = ContactMail(FindContact(Value(o, "abuse-c")), true);
        if (b.abuse.empty())
            b.abuse = ContactMail(FindIrt(Value(o, "mnt-irt")), true);
        if (b.abuse.empty() && pOrg) {
            b.abuse = pOrg->abuseMailbox;
            if (b.abuse.empty())
                b.abuse = ContactMail(FindContact(pOrg->abuseC), true);
        }
        // The network's own contacts: an abuse-mailbox, else the network's "remarks: send
        // abuse reports to ...", else a contact that says it takes abuse or spam reports.
        std::vector<const CObject*> contacts;
        for (size_t i = o.nFirst; i < o.nFirst + o.nCount && contacts.size() < 8; ++i)
            if (EqualNoCase(m_attrs[i].key, "admin-c") || EqualNoCase(m_attrs[i].key, "tech-c"))
                if (const CObject* p = FindContact(m_attrs[i].value))
                    contacts.push_back(p);
        for (size_t i = 0; i < contacts.size() && b.abuse.empty(); ++i)
            b.abuse = contacts[i]->abuseMailbox;
        SetIfEmpty(b.abuse, o.abuseRemark);
        for (size_t i = 0; i < contacts.size() && b.abuse.empty(); ++i)
            if (contacts[i]->bAboutAbuse)
                b.abuse = contacts[i]->abuseRemark.empty() ? contacts[i]->eMail : contacts[i]->abuseRemark;

        const std::string_view source = Value(o, "source");
        if (m_answer.strRegistry.empty())
            m_answer.strRegistry = RegistryOfSource(source);
        b.bStub = EqualNoCase(b.netName, "NON-RIPE-NCC-MANAGED-ADDRESS-BLOCK") || EqualNoCase(b.netName, "IANA-BLK") ||
                  StartsWithNoCase(b.netName, "IANA-NETBLOCK") || ContainsNoCase(b.netName, "ERX-NETBLOCK") ||
                  StartsWithNoCase(b.netName, "AFRINIC-NET-TRANSFERRED");
        // Last resort for the holder: the network's own name. A person or role object is a
        // contact, never the holder.
        if (b.holder.empty() && !b.bStub)
            b.holder = TrimView(b.netName);
    }

    static std::string RegistryOfSource(std::string_view source)
    {
        source = TrimView(source.substr(0, source.find('#')));
        if (StartsWithNoCase(source, "RIPE"))
            return "RIPE";
        if (EqualNoCase(source, "AFRINIC"))
            return "AFRINIC";
        if (EqualNoCase(source, "LACNIC"))
            return "LACNIC";
        // The national registries' objects are served by APNIC's server.
        if (EqualNoCase(source, "APNIC") || EqualNoCase(source, "JPNIC") || EqualNoCase(source, "KRNIC") ||
            EqualNoCase(source, "TWNIC") || EqualNoCase(source, "IDNIC") || EqualNoCase(source, "VNNIC") ||
            EqualNoCase(source, "CNNIC"))
            return "APNIC";
        return {};
    }

public:
    // Origin AS from the most specific route object that holds the block.
    std::string_view RouteOrigin(const CBlock& b) const
    {
        std::string_view origin;
        uint64_t nBest = UINT64_MAX;
        for (const CObject& o : m_objects) {
            if (!EqualNoCase(o.type, "route"))
                continue;
            CBlock r;
            SetRangeFrom(r, o.name);
            if (!r.Holds(b) || r.Size() >= nBest)
                continue;
            const std::string_view v = Value(o, "origin");
            if (!AsNumber(v).empty()) {
                origin = AsNumber(v);
                nBest = r.Size();
            }
        }
        return origin;
    }

private:
    CAnswer& m_answer;
    // Kept per thread and cleared per answer: reading many answers allocates only once.
    std::vector<CAttr>& m_attrs = Scratch<CAttr>();
    std::vector<CObject>& m_objects = Scratch<CObject>();
    std::vector<CHandle> m_orgs;
    std::vector<CHandle> m_contacts;
};

// ---- national registries ----

// KRNIC: the English part after "# ENGLISH", one "[ Network Information ]" section per block.
void ReadKrnic(std::string_view text, CAnswer& answer)
{
    answer.strRegistry = "KRNIC";
    answer.defaultCountry = "KR";
    if (const size_t nEnglish = text.find("# ENGLISH"); nEnglish != std::string_view::npos)
        text = text.substr(nEnglish);
    CLineReader lines(text);
    std::string_view line;
    CBlock* pCur = nullptr;
    while (lines.Next(line)) {
        if (line.find("[ Network Information ]") != std::string_view::npos) {
            answer.blocks.emplace_back();
            pCur = &answer.blocks.back();
            continue;
        }
        std::string_view key, value;
        if (!pCur || !SplitAttribute(line, key, value))
            continue;
        if (key == "IPv4 Address")
            SetRangeFrom(*pCur, value);
        else if (key == "Organization Name")
            SetIfEmpty(pCur->holder, value);
        else if (key == "Service Name")
            SetIfEmpty(pCur->netName, value);
        else if (key == "E-Mail")
            SetIfEmpty(pCur->abuse, FindMailAddress(value));
    }
}

// JPNIC: "[label]  value" lines, with or without "a. " key letters.
void ReadJpnic(std::string_view text, CAnswer& answer)
{
    answer.strRegistry = "JPNIC";
    answer.defaultCountry = "JP";
    CBlock b;
    std::string_view japaneseName;
    CLineReader lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        const size_t nOpen = line.find('[');
        if (nOpen == std::string_view::npos || nOpen > 4)
            continue;
        const size_t nClose = line.find(']', nOpen);
        if (nClose == std::string_view::npos)
            continue;
        const std::string_view label = line.substr(nOpen + 1, nClose - nOpen - 1);
        std::string_view value = TrimView(line.substr(nClose + 1));
        // The web gateway links the values: "<A HREF=...>133.1.0.0/16</A>".
        if (!value.empty() && value[0] == '<') {
            const size_t nTagEnd = value.find('>');
            value = nTagEnd == std::string_view::npos ? std::string_view() : value.substr(nTagEnd + 1);
            value = TrimView(value.substr(0, value.find('<')));
        }
        if (value.empty())
            continue;
        if (label == "IPネットワークアドレス" || label == "Network Number")
            SetRangeFrom(b, value);
        else if (label == "ネットワーク名" || label == "Network Name")
            SetIfEmpty(b.netName, value);
        else if (label == "Organization")
            SetIfEmpty(b.holder, value);
        else if (label == "組織名")
            SetIfEmpty(japaneseName, value);
        else if (label == "Abuse")
            SetIfEmpty(b.abuse, FindMailAddress(value));
    }
    SetIfEmpty(b.holder, japaneseName);
    if (b.bRange || !b.holder.empty())
        answer.blocks.push_back(b);
}

bool IsAsciiText(std::string_view s)
{
    for (char c : s)
        if ((unsigned char)c >= 0x80)
            return false;
    return true;
}

// TWNIC: "Netname:" and "Netblock:", then indented free text (the holder's
// names and address, the English name the first line in ASCII), then contacts.
void ReadTwnic(std::string_view text, CAnswer& answer)
{
    answer.strRegistry = "TWNIC";
    answer.defaultCountry = "TW";
    CBlock* pCur = nullptr;
    bool bContacts = false;
    bool bAfterBlock = false;
    CLineReader lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        const std::string_view t = TrimView(line);
        if (t.empty())
            continue;
        std::string_view key, value;
        const bool bAttr = SplitAttribute(t, key, value, 24);
        if (bAttr && EqualNoCase(key, "Netname")) {
            answer.blocks.emplace_back();
            pCur = &answer.blocks.back();
            pCur->netName = value;
            bContacts = false;
            bAfterBlock = false;
            continue;
        }
        if (!pCur)
            continue;
        if (bAttr && EqualNoCase(key, "Netblock")) {
            SetRangeFrom(*pCur, value);
            bAfterBlock = true;
        } else if (bAttr && ContainsNoCase(key, "contact")) {
            bContacts = true;
        } else if (bContacts) {
            SetIfEmpty(pCur->abuse, FindMailAddress(t));
        } else if (bAfterBlock && !bAttr && IsAsciiText(t)) {
            if (const std::string_view cc = CountryCode(t); !cc.empty())
                SetIfEmpty(pCur->country, cc);
            else
                SetIfEmpty(pCur->holder, t);
        }
    }
}

// rwhois: "network:Key:Value" (also "Key;I:Value", keys with blanks, or no
// class prefix), "%rwhois V-1.5 HOST" first.
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
        if (!pCur || (bNetKey && pCur->bRange && EqualNoCase(key, "IP-Network") && !bHasId))
            start();
        CBlock& b = *pCur;
        if (bBlockKey) {
            SetRangeFrom(b, value);
        } else if (EqualNoCase(key, "IP-Network")) {
            if (!b.bRange)
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

// ---- choosing ----

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
            bRpsl = bRpsl || StartsWith(line, "inetnum:");
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
    if (bArin || text.find("(NET-") != std::string_view::npos)
        return ELayout::kArin;
    return ELayout::kNone;
}

std::optional<uint32_t> FirstLineAddress(std::string_view text)
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
    if (!TakeQuad(s, dw, false) || !s.empty())
        return std::nullopt;
    return dw;
}

const CBlock* Choose(const std::vector<CBlock>& blocks, std::optional<uint32_t> dwAddress)
{
    const CBlock* pBest = nullptr;
    for (int nPass = 0; nPass < 2 && !pBest; ++nPass) {
        for (const CBlock& b : blocks) {
            if (!b.bRange || (nPass == 0 && dwAddress && !b.Covers(*dwAddress)))
                continue;
            if (!pBest || b.Size() <= pBest->Size())
                pBest = &b;
        }
    }
    if (!pBest && !blocks.empty())
        pBest = &blocks.front();
    return pBest;
}

std::string UpperCopy(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return out;
}

} // namespace

std::string CWhoisFacts::RangeText() const
{
    if (!m_bHasRange)
        return {};
    return FormatDottedQuad(m_dwRangeStart) + " - " + FormatDottedQuad(m_dwRangeEnd);
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
    CWhoisFacts facts;
    if (strText.empty())
        return facts;
    if (!dwAddress)
        dwAddress = FirstLineAddress(strText);
    // An RDAP lookup's text: its summary is ours, the JSON is the registry's answer.
    if (const std::string_view json = RdapText::JsonOf(strText); !json.empty())
        return ReadRdapFacts(json, dwAddress);

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
    case ELayout::kRpsl: {
        CRpslReader reader(strText, answer);
        reader.Read();
        if (const CBlock* p = Choose(answer.blocks, dwAddress))
            origin = reader.RouteOrigin(*p);
        break;
    }
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
    const CBlock* pBest = Choose(answer.blocks, dwAddress);
    if (!pBest)
        return facts;
    const CBlock& b = *pBest;
    facts.m_strHolder = b.holder;
    facts.m_strCountry = UpperCopy(b.country.empty() ? answer.defaultCountry : b.country);
    facts.m_bHasRange = b.bRange;
    facts.m_dwRangeStart = b.dwStart;
    facts.m_dwRangeEnd = b.dwEnd;
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
