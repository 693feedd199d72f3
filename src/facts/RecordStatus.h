#pragma once

#include <string>
#include <string_view>

class CIPAddressData;
struct CWhoisFacts;

// What became of a record's whois lookup, in one vocabulary for the Details table
// and the exports.
enum class ERecordStatus
{
    kOk, // answered, the range holds the address
    kReused, // answered from the range another address's answer named
    kCached, // answered from the cache of earlier answers
    kStub, // the answer only says the block belongs to another registry
    kRangeMismatch, // the answer's range does not hold the address
    kFailed, // the lookup ended without an answer
    kGaveUp, // the run stopped asking
    kNotLookedUp, // no lookup yet
};

// "ok", "reused", "cached", "stub", "range-mismatch", "failed", "gave-up", "not-looked-up".
std::string_view RecordStatusToken(ERecordStatus status);

// Why a whois or RDAP lookup came back without an answer, as the network met it.
enum class ELookupFailure
{
    kNone, // it did not fail
    kTimeOut, // the connection or the answer took longer than the settings allow
    kConnectionRefused, // no connection could be made
    kConnectionReset, // the connection broke before the answer was complete
    kCutAtMaxSize, // the answer passed "Max Answer Size" and was cut there
    kRegistryRefused, // the registry answered with a limit or a denial instead
    kNameNotResolved, // the server's name did not resolve
    kNoAnswer, // the server closed without a usable answer
};

// "time-out", "connection refused", "connection reset", "cut at Max Answer Size",
// "registry refused", "name not resolved", "no answer"; empty for kNone.
std::string_view LookupFailureToken(ELookupFailure failure);

// What the record and its facts tell by themselves: not-looked-up without a whois
// text, stub, range-mismatch, else ok. Reused, cached, failed and gave-up are known
// to the run that produced the result, which overrides this.
ERecordStatus RecordStatusOf(const CIPAddressData& record, const CWhoisFacts& facts);

// A record's status with what the run knows beside it, as the exports write it.
struct CRecordStatus {
    ERecordStatus m_eStatus = ERecordStatus::kNotLookedUp;
    std::string m_strReusedFrom; // the address whose answer was reused, or "cache"
    std::string m_strReason; // why a lookup failed ("time-out", "no answer", ...)
};
