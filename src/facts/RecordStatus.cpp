#include "facts/RecordStatus.h"

#include "core/record/DottedQuad.h"
#include "core/record/IPAddress.h"
#include "core/record/IPAddressData.h"
#include "facts/WhoisFacts.h"

std::string_view RecordStatusToken(ERecordStatus status)
{
    switch (status) {
    case ERecordStatus::kOk:
        return "ok";
    case ERecordStatus::kReused:
        return "reused";
    case ERecordStatus::kCached:
        return "cached";
    case ERecordStatus::kStub:
        return "stub";
    case ERecordStatus::kRangeMismatch:
        return "range-mismatch";
    case ERecordStatus::kFailed:
        return "failed";
    case ERecordStatus::kGaveUp:
        return "gave-up";
    case ERecordStatus::kNotLookedUp:
        return "not-looked-up";
    }
    return "not-looked-up";
}

std::string_view LookupFailureToken(ELookupFailure failure)
{
    switch (failure) {
    case ELookupFailure::kNone:
        return {};
    case ELookupFailure::kTimeOut:
        return "time-out";
    case ELookupFailure::kConnectionRefused:
        return "connection refused";
    case ELookupFailure::kConnectionReset:
        return "connection reset";
    case ELookupFailure::kCutAtMaxSize:
        return "cut at Max Answer Size";
    case ELookupFailure::kRegistryRefused:
        return "registry refused";
    case ELookupFailure::kNameNotResolved:
        return "name not resolved";
    case ELookupFailure::kNoAnswer:
        return "no answer";
    }
    return {};
}

ERecordStatus RecordStatusOf(const CIPAddressData& record, const CWhoisFacts& facts)
{
    if (record.RawWhoisView().empty())
        return ERecordStatus::kNotLookedUp;
    if (facts.m_bIsRegistryStub)
        return ERecordStatus::kStub;
    const CAddressText strAddress = record.IPAddressView();
    if (IsValidDottedQuad(strAddress)) {
        if (MissesAddress(facts, ParseDottedQuad(strAddress)))
            return ERecordStatus::kRangeMismatch;
    } else if (facts.m_range6) {
        const CParseResult<CIPAddress> address = ParseIPAddress(strAddress);
        if (address && !facts.m_range6->Contains(*address))
            return ERecordStatus::kRangeMismatch;
    }
    return ERecordStatus::kOk;
}
