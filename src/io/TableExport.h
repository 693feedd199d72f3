#pragma once

#include "facts/DelegationFacts.h"
#include "facts/RecordStatus.h"
#include "facts/WhoisFacts.h"

#include <functional>

#include <string>
#include <string_view>
#include <vector>

class CIPAddressData;
class CIPDataArray;

// The table export beside the raw whois export: one row per record with the
// whois facts, as CSV (RFC 4180, UTF-8) or as a JSON array of objects; or one
// row per distinct network for an abuse desk.
enum class ETableFormat
{
    kCsv,
    kJson
};
enum class ETableRows
{
    kRecords,
    kNetworks
};

// Builds the table of the given addresses (addresses without a record are
// skipped); nRows receives the number of rows written.
// Each record row ends with its status, reusedFrom and reason: what fnStatus says
// (the run knows of reused answers and failures), else what the record and its
// facts tell (RecordStatusOf).
using TableStatusFn = std::function<CRecordStatus(const CIPAddressData& record, const CWhoisFacts& facts)>;
// Then allocated and countrySource: with fnDelegation, what the registries'
// delegation files say fills the registry and country an answer does not name.
std::string BuildTableExport(const CIPDataArray& data, const std::vector<std::string>& addresses, ETableFormat format,
                             ETableRows rows, int& nRows, const TableStatusFn& fnStatus = {},
                             const DelegationFactsFn& fnDelegation = {});

// The "facts" object: holder, country, rangeStart, rangeEnd, range, abuse,
// netName, originAS, registry, isRegistryStub; null for what is absent.
std::string WhoisFactsJson(const CWhoisFacts& facts);

// Text as UTF-8: runs of valid UTF-8 pass, every other byte is read as Latin-1.
std::string TableUtf8(std::string_view s);
// One CSV field: quoted when it holds a quote, comma or line end; a leading
// '=', '+', '-', '@', tab or CR gets a "'" first so that no spreadsheet runs it.
std::string CsvField(std::string_view s);
// A JSON string literal, quotes included, control characters and DEL as \u escapes.
std::string JsonQuoted(std::string_view s);
