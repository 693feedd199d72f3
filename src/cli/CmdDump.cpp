// addrscope-cli dump DOC.qdl [--json]: every record of a document in file order
// (the IPv4 records first, then the IPv6 ones).

#include "cli/CliCommand.h"
#include "cli/CliDocument.h"
#include "cli/CliOutput.h"
#include "cli/CmdCacheOpen.h"
#include "cli/JsonText.h"
#include "core/document/NetloreDoc.h"
#include "core/record/DateTimeText.h"
#include "facts/WhoisFactsCache.h"
#include "io/TableExport.h"

#include <cstdio>
#include <optional>
#include <string>

namespace {

std::string JsonDate(const COleDateTime& dt)
{
    return "{\"status\": " + std::to_string(int(dt.GetStatus())) + ", \"days\": " + JsonNumber(dt.GetDays()) + "}";
}

// {"registry": ..., "country": ..., "allocated": ...} of the delegation data, or null.
std::string DelegationJson(const std::optional<CDelegationFacts>& d)
{
    if (!d)
        return "null";
    return "{\"registry\": " + JsonString(d->m_strRegistry) + ", \"country\": " + JsonString(d->m_strCountry) +
           ", \"allocated\": " + JsonString(d->m_strAllocated) + "}";
}

void PrintJsonRecord(FILE* out, const CIPAddressData& r, const CWhoisFacts& facts,
                     const std::optional<CDelegationFacts>& delegation, bool bFirst)
{
    std::string s = bFirst ? "\n  {" : ",\n  {";
    auto field = [&s](const char* name, const std::string& value, bool bComma = true) {
        s += "\n    \"";
        s += name;
        s += "\": ";
        s += value;
        if (bComma)
            s += ',';
    };
    field("address", JsonString(r.GetIPAddress()));
    field("rawWhois", JsonString(r.GetRawWhois()));
    field("hostName", JsonString(r.GetHostName()));
    field("traceData", JsonString(r.GetTraceData()));
    field("owner", JsonString(r.GetOwner()));
    field("country", JsonString(r.GetCountry()));
    // An IPv4 record's range ends are its 32-bit numbers; no one reads 128-bit ones,
    // so an IPv6 record's are their RFC 5952 texts.
    if (r.IsIPv6()) {
        field("rangeStart", JsonString(r.GetRangeFirst().ToString()));
        field("rangeEnd", JsonString(r.GetRangeLast().ToString()));
    } else {
        field("rangeStart", std::to_string(r.GetRangeStart()));
        field("rangeEnd", std::to_string(r.GetRangeEnd()));
    }
    field("pingTime", JsonNumber(r.GetPingTime()));
    field("pingTries", std::to_string(r.GetPingTries()));
    field("pingFailures", std::to_string(r.GetPingFailures()));
    std::string notes = "[";
    for (int i = 0; i < 4; ++i)
        notes += (i ? ", " : "") + JsonString(r.GetNote(i));
    field("notes", notes + "]");
    for (int i = 1; i <= 4; ++i)
        field(("spare" + std::to_string(i)).c_str(), JsonString(r.GetSpare(i)));
    field("whoisDone", JsonDate(r.GetWhoisDone()));
    field("traceDone", JsonDate(r.GetTraceDone()));
    field("pingDone", JsonDate(r.GetPingDone()));
    field("dtSpare1", JsonDate(r.GetDtSpare(1)));
    field("dtSpare2", JsonDate(r.GetDtSpare(2)));
    field("dtSpare3", JsonDate(r.GetDtSpare(3)));
    field("delegation", DelegationJson(delegation));
    field("countrySource", JsonString(std::string(CountrySource(facts.m_strCountry, delegation))));
    field("facts", WhoisFactsJson(facts), false);
    s += "\n  }";
    std::fwrite(s.data(), 1, s.size(), out);
}

void PrintPlainRecord(FILE* out, const CIPAddressData& r)
{
    std::string s = PlainText(r.GetIPAddress());
    for (const std::string& col : {FormatDateTimeText(r.GetWhoisDone()), r.GetOwner(), r.GetCountry(), r.GetRangeText(),
                                   r.GetHostName(), r.GetPingText()}) {
        s += '\t';
        s += PlainText(col);
    }
    s += '\n';
    CliWriteUntrusted(out, s);
}

class CCmdDump : public CCliCommand
{
public:
    const char* Name() const override { return "dump"; }
    const char* Usage() const override { return "DOC.qdl [--json]"; }
    const char* Summary() const override { return "print every record of a document"; }
    const std::vector<CCliParam>& Params() const override
    {
        static const std::vector<CCliParam> params {
            CliArgument("DOC.qdl", "the document (read only: no lock is taken)"),
            CliFlag("--json", "print the records as a JSON array of objects"),
        };
        return params;
    }

    int Run(CCliContext& ctx, const CCliArgs& args) override
    {
        const bool bJson = args.Has("--json");
        if (args.Words().size() > 1)
            return CliUsageError(ctx, *this, "one document only");
        const std::string strPath = args.Words().empty() ? "" : args.Words()[0];
        if (strPath.empty())
            return CliUsageError(ctx, *this, "no document given");

        CNetloreDoc doc;
        const CCliOpenResult opened = OpenCliDocument(ctx, Name(), strPath, doc, false);
        if (!opened.m_bOpened)
            return opened.m_nExit;

        const CIPDataArray& data = doc.GetData();
        CDelegationLookup delegations;
        if (bJson)
            LoadCliDelegations(ctx, Name(), delegations);
        if (bJson)
            std::fputs("[", ctx.out);
        for (int i = 0; i < data.GetSize(); ++i) {
            if (bJson)
                PrintJsonRecord(ctx.out, *data.GetAt(i), GetWhoisFacts(data, *data.GetAt(i)),
                                delegations.Find(*data.GetAt(i)), i == 0);
            else
                PrintPlainRecord(ctx.out, *data.GetAt(i));
        }
        if (bJson)
            std::fputs(data.IsEmpty() ? "]\n" : "\n]\n", ctx.out);
        std::fflush(ctx.out);
        return opened.m_nErrors == 0 ? 0 : 1;
    }
};

CCliRegistration<CCmdDump> reg;

} // namespace
