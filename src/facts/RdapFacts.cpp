#include "facts/RdapFacts.h"

#include "facts/CountryNames.h"
#include "facts/IPv6Text.h"
#include "facts/RdapText.h"
#include "facts/WhoisFacts.h"

#include "core/text/TextCase.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <deque>
#include <string>
#include <vector>

using Json = nlohmann::json;

namespace {

// Entities nest a few levels in real answers; the walk stops well before anything hostile.
constexpr size_t kMaxEntities = 512;

const Json* Member(const Json& obj, const char* name)
{
    if (!obj.is_object())
        return nullptr;
    const auto it = obj.find(name);
    return it == obj.end() ? nullptr : &*it;
}

std::string Text(const Json& obj, const char* name)
{
    const Json* p = Member(obj, name);
    return p && p->is_string() ? p->get<std::string>() : std::string();
}

// Control characters would break the one-line-per-label form of the summary.
std::string Clean(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// One role string may name several roles: LACNIC has sent ["technical, abuse"].
bool NamesRole(std::string_view list, std::string_view role)
{
    while (!list.empty()) {
        const size_t comma = list.find(',');
        std::string_view one = list.substr(0, comma);
        while (!one.empty() && one.front() == ' ')
            one.remove_prefix(1);
        while (!one.empty() && one.back() == ' ')
            one.remove_suffix(1);
        if (one == role)
            return true;
        if (comma == std::string_view::npos)
            break;
        list.remove_prefix(comma + 1);
    }
    return false;
}

bool HasRole(const Json& entity, std::string_view role)
{
    const Json* roles = Member(entity, "roles");
    if (!roles || !roles->is_array())
        return false;
    for (const Json& r : *roles)
        if (r.is_string() && NamesRole(r.get_ref<const std::string&>(), role))
            return true;
    return false;
}

// The entities of the answer, breadth first: the network's own before nested ones.
std::vector<const Json*> AllEntities(const Json& root)
{
    std::vector<const Json*> out;
    std::deque<const Json*> todo {&root};
    while (!todo.empty() && out.size() < kMaxEntities) {
        const Json* obj = todo.front();
        todo.pop_front();
        const Json* list = Member(*obj, "entities");
        if (!list || !list->is_array())
            continue;
        for (const Json& e : *list) {
            if (!e.is_object())
                continue;
            out.push_back(&e);
            todo.push_back(&e);
            if (out.size() >= kMaxEntities)
                break;
        }
    }
    return out;
}

// The properties of a jCard: ["vcard", [[name, params, type, value], ...]].
const Json* VcardProperties(const Json& entity)
{
    const Json* card = Member(entity, "vcardArray");
    if (!card || !card->is_array() || card->size() < 2 || !(*card)[1].is_array())
        return nullptr;
    return &(*card)[1];
}

std::string VcardText(const Json& entity, std::string_view name)
{
    const Json* props = VcardProperties(entity);
    if (!props)
        return {};
    for (const Json& p : *props) {
        if (!p.is_array() || p.size() < 4 || !p[0].is_string() || p[0].get_ref<const std::string&>() != name)
            continue;
        const Json& value = p[3];
        if (value.is_string())
            return Clean(value.get<std::string>());
        // "org" may be structured: the organisation name comes first.
        if (value.is_array() && !value.empty() && value[0].is_string())
            return Clean(value[0].get<std::string>());
    }
    return {};
}

// An entity's e-mail address for abuse reports: one typed "abuse" outranks a plain one.
std::string AbuseMail(const Json& entity)
{
    const Json* props = VcardProperties(entity);
    if (!props)
        return {};
    std::string plain;
    for (const Json& p : *props) {
        if (!p.is_array() || p.size() < 4 || !p[0].is_string() || p[0].get_ref<const std::string&>() != "email" ||
            !p[3].is_string())
            continue;
        bool bAbuse = false;
        if (const Json& params = p[1]; params.is_object())
            if (const auto it = params.find("type"); it != params.end()) {
                const auto isAbuse = [](const Json& t) {
                    return t.is_string() && EqualNoCase(t.get_ref<const std::string&>(), "abuse");
                };
                if (it->is_array()) {
                    for (const Json& t : *it)
                        bAbuse = bAbuse || isAbuse(t);
                } else {
                    bAbuse = isAbuse(*it);
                }
            }
        std::string mail = Clean(p[3].get<std::string>());
        if (mail.empty())
            continue;
        if (bAbuse)
            return mail;
        if (plain.empty())
            plain = std::move(mail);
    }
    return plain;
}

// A country as the facts give it everywhere else: its two-letter code. ARIN writes the
// English name ("UNITED STATES") at the end of a vCard label; a name the standard does
// not list is kept as written.
std::string CountryCode(std::string strCountry)
{
    const std::string_view code = CountryCodeOfName(strCountry);
    return code.empty() ? strCountry : std::string(code);
}

// The country of a vCard address: its "cc" parameter, the country-name field, or
// the last line of its label.
std::string VcardCountry(const Json& entity)
{
    const Json* props = VcardProperties(entity);
    if (!props)
        return {};
    for (const Json& p : *props) {
        if (!p.is_array() || p.size() < 4 || !p[0].is_string() || p[0].get_ref<const std::string&>() != "adr")
            continue;
        std::string cc = Text(p[1], "cc");
        if (!cc.empty())
            return Clean(cc);
        const Json& value = p[3];
        if (value.is_array() && value.size() >= 7 && value[6].is_string()) {
            std::string country = Clean(value[6].get<std::string>());
            if (!country.empty())
                return CountryCode(std::move(country));
        }
        std::string label = Text(p[1], "label");
        const size_t end = label.find_last_not_of(" \r\n");
        if (end != std::string::npos) {
            label.erase(end + 1);
            size_t nStart = 0;
            if (const size_t nl = label.find_last_of('\n'); nl != std::string::npos)
                nStart = nl + 1;
            // Some servers escape the line breaks once too often: a literal backslash and n.
            if (const size_t nEscaped = label.rfind("\\n"); nEscaped != std::string::npos && nEscaped + 2 > nStart)
                nStart = nEscaped + 2;
            return CountryCode(Clean(nStart == 0 ? std::string() : label.substr(nStart)));
        }
    }
    return {};
}

std::string EntityName(const Json& entity)
{
    std::string name = VcardText(entity, "org");
    if (name.empty())
        name = VcardText(entity, "fn");
    return name;
}

// A RIPE maintainer object ("SWITCH-MNT", "MNT-HEG"): who may change the block, not who holds it.
bool IsMaintainer(const Json& entity)
{
    const std::string handle = Text(entity, "handle");
    return (handle.size() > 4 && EqualNoCase(std::string_view(handle).substr(handle.size() - 4), "-MNT")) ||
           (handle.size() > 4 && EqualNoCase(std::string_view(handle).substr(0, 4), "MNT-"));
}

// How well a registrant names the holder: 0 not at all (no name, or a maintainer),
// 1 a name, 2 an organisation's name.
int RegistrantRank(const Json& entity)
{
    if (IsMaintainer(entity) || EntityName(entity).empty())
        return 0;
    return VcardText(entity, "kind") == "org" ? 2 : 1;
}

// The first e-mail address in a free text ("send abuse reports to abuse@example.net").
std::string MailIn(std::string_view text)
{
    const size_t at = text.find('@');
    if (at == std::string_view::npos || at == 0)
        return {};
    const auto isMailChar = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
               c == '_' || c == '+';
    };
    size_t b = at;
    while (b > 0 && isMailChar(text[b - 1]))
        --b;
    size_t e = at + 1;
    while (e < text.size() && isMailChar(text[e]))
        ++e;
    while (e > at + 1 && text[e - 1] == '.')
        --e;
    if (b == at || e == at + 1)
        return {};
    return std::string(text.substr(b, e - b));
}

// Calls fn with each text line of the object's remarks until fn returns true.
template <typename Fn> void ForEachRemarkLine(const Json& root, Fn fn)
{
    const Json* remarks = Member(root, "remarks");
    if (!remarks || !remarks->is_array())
        return;
    for (const Json& r : *remarks) {
        const Json* lines = Member(r, "description");
        if (!lines || !lines->is_array())
            continue;
        for (const Json& line : *lines)
            if (line.is_string() && fn(line.get_ref<const std::string&>()))
                return;
    }
}

std::string AbuseFromRemarks(const Json& root)
{
    std::string mail;
    ForEachRemarkLine(root, [&](const std::string& s) {
        if (s.find("abuse") != std::string::npos)
            mail = MailIn(s);
        return !mail.empty();
    });
    return mail;
}

// APNIC carries a network's "descr:" lines as a remark titled "description", RIPE
// as remarks without a title: the first line that names somebody, as in a whois answer.
std::string FirstDescription(const Json& root)
{
    const Json* remarks = Member(root, "remarks");
    if (!remarks || !remarks->is_array())
        return {};
    for (const Json& r : *remarks) {
        const Json* lines = Member(r, "description");
        const Json* title = Member(r, "title");
        if (!lines || !lines->is_array() || (title && Text(r, "title") != "description"))
            continue;
        for (const Json& line : *lines)
            if (line.is_string())
                if (std::string text = Clean(line.get<std::string>()); ReadsAsHolderName(text))
                    return text;
    }
    return {};
}

std::string HostOfUrl(std::string_view url)
{
    const size_t scheme = url.find("://");
    if (scheme == std::string_view::npos)
        return {};
    url.remove_prefix(scheme + 3);
    return std::string(url.substr(0, url.find_first_of(":/?#")));
}

std::string RegistryOf(const Json& root)
{
    if (std::string r = RdapText::RegistryOfHost(Text(root, "port43")); !r.empty())
        return r;
    if (const Json* links = Member(root, "links"); links && links->is_array())
        for (const Json& l : *links)
            if (std::string r = RdapText::RegistryOfHost(HostOfUrl(Text(l, "href"))); !r.empty())
                return r;
    return {};
}

bool RangeOfCidr0(const Json& root, uint32_t& dwStart, uint32_t& dwEnd)
{
    const Json* cidrs = Member(root, "cidr0_cidrs");
    if (!cidrs || !cidrs->is_array())
        return false;
    for (const Json& c : *cidrs) {
        uint32_t start = 0;
        const Json* len = Member(c, "length");
        if (!RdapText::ParseAddress(Text(c, "v4prefix"), start) || !len || !len->is_number_unsigned())
            continue;
        const uint64_t n = len->get<uint64_t>();
        if (n > 32)
            continue;
        const uint32_t mask = n == 0 ? 0 : ~uint32_t(0) << (32 - n);
        dwStart = start & mask;
        dwEnd = dwStart | ~mask;
        return true;
    }
    return false;
}

std::optional<CIPRange> Range6OfCidr0(const Json& root)
{
    const Json* cidrs = Member(root, "cidr0_cidrs");
    if (!cidrs || !cidrs->is_array())
        return std::nullopt;
    for (const Json& c : *cidrs) {
        const std::optional<CIPAddress> start = IPv6Text::ReadAddress(Text(c, "v6prefix"));
        const Json* len = Member(c, "length");
        if (!start || !len || !len->is_number_unsigned() || len->get<uint64_t>() > 128)
            continue;
        if (const CParseResult<CIPRange> r = CIPRange::FromPrefix(*start, unsigned(len->get<uint64_t>())))
            return *r;
    }
    return std::nullopt;
}

// A national registry's allocation block as APNIC serves it: its remarks send the
// reader to the national registry's own whois for what lies inside.
bool IsNationalRegistryBlock(const Json& root)
{
    bool bBlock = false, bElsewhere = false;
    ForEachRemarkLine(root, [&](const std::string& t) {
        bBlock = bBlock || t.find("Allocation Block") != std::string::npos;
        bElsewhere = bElsewhere || t.find("whois.nic.ad.jp") != std::string::npos ||
                     t.find("whois.nic.or.kr") != std::string::npos || t.find("whois.twnic.net") != std::string::npos;
        return false;
    });
    return bBlock && bElsewhere;
}

// ARIN lists the origin ASes; registro.br names the one AS of the block.
std::string OriginAS(const Json& root)
{
    const Json* list = Member(root, "arin_originas0_originautnums");
    if (list && list->is_array() && !list->empty() && (*list)[0].is_number_unsigned())
        return "AS" + std::to_string((*list)[0].get<uint64_t>());
    const Json* autnum = Member(root, "nicbr_autnum");
    if (autnum && autnum->is_number_unsigned())
        return "AS" + std::to_string(autnum->get<uint64_t>());
    return {};
}

} // namespace

namespace {
void ReadInto(std::string_view strJson, CWhoisFacts& facts);
}

CWhoisFacts ReadRdapFacts(std::string_view strJson, const CIPAddress& address)
{
    if (address.IsIPv4())
        return ReadRdapFacts(strJson, std::optional<uint32_t>(address.IPv4()));
    CWhoisFacts facts = ReadRdapFacts(strJson);
    facts.m_bMissesAddress = facts.m_range6 && !facts.m_range6->Contains(address);
    return facts;
}

CWhoisFacts ReadRdapFacts(std::string_view strJson, std::optional<uint32_t> dwAddress)
{
    // An RDAP query names one address and the answer is the one network holding it.
    CWhoisFacts facts;
    if (strJson.empty() || !RdapText::NestingWithin(strJson))
        return facts;
    try {
        ReadInto(strJson, facts);
    } catch (...) {
        // Out of memory or a type surprise the checks missed: no facts rather than a crash.
        facts = CWhoisFacts();
    }
    facts.m_bMissesAddress =
        dwAddress && facts.m_bHasRange && (*dwAddress < facts.m_dwRangeStart || *dwAddress > facts.m_dwRangeEnd);
    return facts;
}

namespace {

void ReadInto(std::string_view strJson, CWhoisFacts& facts)
{
    Json root = Json::parse(strJson.begin(), strJson.end(), nullptr, false);
    if (root.is_discarded() || !root.is_object())
        return;
    const std::string cls = Text(root, "objectClassName");
    if (cls != "ip network" && !Member(root, "startAddress"))
        return;
    facts.m_bFromRdap = true;

    uint32_t start = 0, end = 0;
    if (RdapText::ParseAddress(Text(root, "startAddress"), start) &&
        RdapText::ParseAddress(Text(root, "endAddress"), end) && start <= end) {
        facts.m_bHasRange = true;
        facts.m_dwRangeStart = start;
        facts.m_dwRangeEnd = end;
    } else if (RangeOfCidr0(root, start, end)) {
        facts.m_bHasRange = true;
        facts.m_dwRangeStart = start;
        facts.m_dwRangeEnd = end;
    } else {
        const std::optional<CIPAddress> first = IPv6Text::ReadAddress(Text(root, "startAddress"));
        const std::optional<CIPAddress> last = IPv6Text::ReadAddress(Text(root, "endAddress"));
        CParseResult<CIPRange> r = CIPRange::Make(first.value_or(CIPAddress()), last.value_or(CIPAddress()));
        if (first && last && r)
            facts.m_range6 = *r;
        else
            facts.m_range6 = Range6OfCidr0(root);
    }
    facts.m_bIsRegistryStub = IsNationalRegistryBlock(root);

    facts.m_strNetName = Clean(Text(root, "name"));
    if (facts.m_strNetName.empty())
        facts.m_strNetName = Clean(Text(root, "handle"));
    facts.m_strCountry = Clean(Text(root, "country"));

    const std::vector<const Json*> entities = AllEntities(root);
    // RIPE lists the maintainers as registrants too, often before the organisation and
    // with a card that only repeats the handle: an organisation's card outranks them.
    const Json* registrant = nullptr;
    int best = 0;
    for (const Json* e : entities) {
        if (!HasRole(*e, "registrant"))
            continue;
        if (!registrant)
            registrant = e;
        const int rank = RegistrantRank(*e);
        if (rank > best) {
            best = rank;
            registrant = e;
        }
    }
    if (best > 0)
        facts.m_strHolder = EntityName(*registrant);
    if (facts.m_strHolder.empty())
        for (const Json* e : entities)
            if (VcardText(*e, "kind") == "org")
                if (std::string name = EntityName(*e); !name.empty()) {
                    facts.m_strHolder = std::move(name);
                    break;
                }
    // A registrant without a card (RIPE lists the maintainer so) says less than the network's name.
    if (facts.m_strHolder.empty())
        facts.m_strHolder = FirstDescription(root);
    if (facts.m_strHolder.empty())
        facts.m_strHolder = facts.m_strNetName;
    if (facts.m_strCountry.empty() && registrant)
        facts.m_strCountry = VcardCountry(*registrant);

    for (const Json* e : entities)
        if (HasRole(*e, "abuse"))
            if (std::string mail = AbuseMail(*e); !mail.empty()) {
                facts.m_strAbuse = std::move(mail);
                break;
            }
    if (facts.m_strAbuse.empty())
        facts.m_strAbuse = AbuseFromRemarks(root);

    facts.m_strOriginAS = OriginAS(root);
    facts.m_strRegistry = RegistryOf(root);
}

} // namespace
