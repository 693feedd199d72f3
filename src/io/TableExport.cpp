#include "io/TableExport.h"

#include "core/record/DottedQuad.h"
#include "core/record/IPDataArray.h"
#include "core/text/JsonString.h"
#include "core/text/Utf8Text.h"
#include "facts/WhoisFactsCache.h"

#include <algorithm>
#include <ctime>
#include <map>

namespace {

constexpr const char* kRecordColumns[] = {"address", "hostName",   "holder",   "country",   "range",        "abuse",
                                          "netName", "originAS",   "registry", "whoisTime", "ping",         "notes",
                                          "status",  "reusedFrom", "reason",   "allocated", "countrySource"};
constexpr size_t kRecordColumnCount = sizeof kRecordColumns / sizeof kRecordColumns[0];

// "2026-12-07T13:05:09" in local time; empty for a lookup that never happened.
std::string IsoDateTime(const COleDateTime& dt)
{
    struct tm parts { };
    if (!dt.IsValid() || !dt.GetAsTm(parts) || parts.tm_year + 1900 <= 1970)
        return {};
    char buf[32];
    const size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &parts);
    return std::string(buf, n);
}

std::vector<std::string> RecordRow(const CIPAddressData& r, const CWhoisFacts& f, const CRecordStatus& status,
                                   const std::optional<CDelegationFacts>& d)
{
    std::string notes;
    bool bAnyNote = false;
    for (int i = 0; i < 4; ++i) {
        const std::string note = r.GetNote(i);
        bAnyNote = bAnyNote || !note.empty();
        notes += (i ? " | " : "") + note;
    }
    return {r.GetIPAddress(), r.GetHostName(), f.m_strHolder,
            // Until an answer names the country, the delegation data's.
            !f.m_strCountry.empty() || !d ? f.m_strCountry : d->m_strCountry, f.RangeText(), f.m_strAbuse,
            f.m_strNetName, f.m_strOriginAS, !f.m_strRegistry.empty() || !d ? f.m_strRegistry : d->m_strRegistry,
            IsoDateTime(r.GetWhoisDone()), r.GetPingText(), bAnyNote ? notes : std::string(),
            std::string(RecordStatusToken(status.m_eStatus)), status.m_strReusedFrom, status.m_strReason,
            d ? d->m_strAllocated : std::string(), std::string(CountrySource(f.m_strCountry, d))};
}

void AppendCsvRow(std::string& out, const std::vector<std::string>& fields)
{
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i)
            out += ',';
        out += CsvField(fields[i]);
    }
    out += "\r\n";
}

std::string JsonOrNull(const std::string& s)
{
    return s.empty() ? std::string("null") : JsonQuoted(s);
}

struct CNetworkRow {
    CWhoisFacts facts;
    std::vector<std::string> addresses;
};

} // namespace

std::string TableUtf8(std::string_view s)
{
    return Utf8OrLatin1(s);
}

std::string CsvField(std::string_view s)
{
    std::string text = TableUtf8(s);
    if (!text.empty() &&
        (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@' || text[0] == '\t' || text[0] == '\r'))
        text.insert(0, 1, '\'');
    if (text.find_first_of("\",\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string JsonQuoted(std::string_view s)
{
    return QuotedJson(s, EJsonEscapes::kUnicode);
}

std::string WhoisFactsJson(const CWhoisFacts& f)
{
    return "{\"holder\": " + JsonOrNull(f.m_strHolder) + ", \"country\": " + JsonOrNull(f.m_strCountry) +
           ", \"rangeStart\": " + (f.m_bHasRange ? std::to_string(f.m_dwRangeStart) : std::string("null")) +
           ", \"rangeEnd\": " + (f.m_bHasRange ? std::to_string(f.m_dwRangeEnd) : std::string("null")) +
           ", \"range\": " + JsonOrNull(f.RangeText()) + ", \"abuse\": " + JsonOrNull(f.m_strAbuse) +
           ", \"netName\": " + JsonOrNull(f.m_strNetName) + ", \"originAS\": " + JsonOrNull(f.m_strOriginAS) +
           ", \"registry\": " + JsonOrNull(f.m_strRegistry) +
           ", \"isRegistryStub\": " + (f.m_bIsRegistryStub ? "true" : "false") + "}";
}

std::string BuildTableExport(const CIPDataArray& data, const std::vector<std::string>& addresses, ETableFormat format,
                             ETableRows rows, int& nRows, const TableStatusFn& fnStatus,
                             const DelegationFactsFn& fnDelegation)
{
    nRows = 0;
    std::string out;
    if (rows == ETableRows::kRecords) {
        if (format == ETableFormat::kCsv)
            AppendCsvRow(out, std::vector<std::string>(std::begin(kRecordColumns), std::end(kRecordColumns)));
        else
            out += "[";
        for (const std::string& address : addresses) {
            const int nIndex = data.IndexOfIP(address);
            if (nIndex < 0)
                continue;
            const CIPAddressData& r = *data.GetAt(nIndex);
            const CWhoisFacts& facts = GetWhoisFacts(data, r);
            CRecordStatus status;
            if (fnStatus)
                status = fnStatus(r, facts);
            else
                status.m_eStatus = RecordStatusOf(r, facts);
            const std::vector<std::string> fields =
                RecordRow(r, facts, status, fnDelegation ? fnDelegation(r) : std::nullopt);
            if (format == ETableFormat::kCsv) {
                AppendCsvRow(out, fields);
            } else {
                out += nRows ? ",\n  {" : "\n  {";
                for (size_t i = 0; i < kRecordColumnCount; ++i)
                    out += std::string(i ? ", \"" : "\"") + kRecordColumns[i] + "\": " + JsonQuoted(fields[i]);
                out += "}";
            }
            ++nRows;
        }
        if (format == ETableFormat::kJson)
            out += nRows ? "\n]\n" : "]\n";
        return out;
    }

    // One row per network: the same range and holder make one network.
    std::map<std::pair<std::string, std::string>, CNetworkRow> networks;
    std::vector<std::pair<std::string, std::string>> order;
    for (const std::string& address : addresses) {
        const int nIndex = data.IndexOfIP(address);
        if (nIndex < 0)
            continue;
        const CIPAddressData& r = *data.GetAt(nIndex);
        const CWhoisFacts& facts = GetWhoisFacts(data, r);
        auto key = std::make_pair(facts.RangeText(), facts.m_strHolder);
        auto [it, bNew] = networks.try_emplace(key);
        if (bNew) {
            // A copy: the cache's reference lasts only until its next use.
            it->second.facts = facts;
            order.push_back(key);
        }
        it->second.addresses.push_back(r.GetIPAddress());
    }
    std::stable_sort(order.begin(), order.end(), [&networks](const auto& a, const auto& b) {
        const CNetworkRow& ra = networks.at(a);
        const CNetworkRow& rb = networks.at(b);
        if (ra.addresses.size() != rb.addresses.size())
            return ra.addresses.size() > rb.addresses.size();
        // IPv4 networks before IPv6 ones, each by its first address.
        const auto first = [](const CWhoisFacts& f) {
            const std::optional<CIPRange> range = f.Range();
            return range ? range->First() : CIPAddress();
        };
        return first(ra.facts) < first(rb.facts);
    });
    static constexpr const char* kNetworkColumns[] = {"range", "count",   "addresses", "holder",  "country",
                                                      "abuse", "netName", "originAS",  "registry"};
    if (format == ETableFormat::kCsv)
        AppendCsvRow(out, std::vector<std::string>(std::begin(kNetworkColumns), std::end(kNetworkColumns)));
    else
        out += "[";
    for (const auto& key : order) {
        const CNetworkRow& row = networks.at(key);
        const CWhoisFacts& f = row.facts;
        if (format == ETableFormat::kCsv) {
            std::string list;
            for (const std::string& a : row.addresses)
                list += (list.empty() ? "" : " ") + a;
            AppendCsvRow(out, {f.RangeText(), std::to_string(row.addresses.size()), list, f.m_strHolder, f.m_strCountry,
                               f.m_strAbuse, f.m_strNetName, f.m_strOriginAS, f.m_strRegistry});
        } else {
            std::string list;
            for (const std::string& a : row.addresses)
                list += (list.empty() ? "" : ", ") + JsonQuoted(a);
            out += nRows ? ",\n  {" : "\n  {";
            out += "\"range\": " + JsonQuoted(f.RangeText()) + ", \"count\": " + std::to_string(row.addresses.size()) +
                   ", \"addresses\": [" + list + "], \"holder\": " + JsonQuoted(f.m_strHolder) +
                   ", \"country\": " + JsonQuoted(f.m_strCountry) + ", \"abuse\": " + JsonQuoted(f.m_strAbuse) +
                   ", \"netName\": " + JsonQuoted(f.m_strNetName) + ", \"originAS\": " + JsonQuoted(f.m_strOriginAS) +
                   ", \"registry\": " + JsonQuoted(f.m_strRegistry) + "}";
        }
        ++nRows;
    }
    if (format == ETableFormat::kJson)
        out += nRows ? "\n]\n" : "]\n";
    return out;
}
