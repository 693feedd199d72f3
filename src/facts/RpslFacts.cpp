#include "facts/RpslFacts.h"

#include "facts/WhoisFacts.h"

#include "core/text/TextCase.h"

#include <algorithm>
#include <vector>

namespace WhoisAnswer {

namespace {

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
            if (!EqualNoCase(o.type, "inetnum") && !EqualNoCase(o.type, "inet6num"))
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
                if (EqualNoCase(key, "inetnum") || EqualNoCase(key, "inet6num")) {
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
        if (ContainsNoCase(line, "IANA WHOIS server"))
            m_answer.bIana = true;
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
                             [](const CHandle& a, const CHandle& b) { return CompareNoCase(a.name, b.name) < 0; });
    }

    static std::string_view Handle(std::string_view s) { return TrimView(s.substr(0, s.find('#'))); }

    const CObject* FindIn(const std::vector<CHandle>& list, std::string_view name) const
    {
        name = Handle(name);
        if (name.empty())
            return nullptr;
        const auto it = std::lower_bound(list.begin(), list.end(), name, [](const CHandle& a, std::string_view n) {
            return CompareNoCase(a.name, n) < 0;
        });
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
        // IANA names the registry a block is delegated to: "organisation: LACNIC".
        SetIfEmpty(b.holder, Value(o, "organisation"));
        for (size_t i = o.nFirst; i < o.nFirst + o.nCount && b.holder.empty(); ++i)
            if (EqualNoCase(m_attrs[i].key, "descr") && ReadsAsDescrName(m_attrs[i].value))
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
                  StartsWithNoCase(b.netName, "AFRINIC-NET-TRANSFERRED") ||
                  // IANA's own answer only says which registry holds the block.
                  m_answer.bIana || EqualNoCase(TrimView(source.substr(0, source.find('#'))), "IANA") ||
                  // "::/0" is nobody's network, only the root of the registry's tree.
                  (b.range6 && b.range6->IsWholeSpace());
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
        std::pair<uint64_t, uint64_t> nBest(UINT64_MAX, UINT64_MAX);
        for (const CObject& o : m_objects) {
            if (!EqualNoCase(o.type, "route") && !EqualNoCase(o.type, "route6"))
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

} // namespace

void ReadRpsl(std::string_view text, CAnswer& answer, const std::optional<CIPAddress>& address)
{
    CRpslReader reader(text, answer);
    reader.Read();
    if (const CBlock* p = Choose(answer.blocks, address))
        answer.routeOrigin = reader.RouteOrigin(*p);
}

} // namespace WhoisAnswer
