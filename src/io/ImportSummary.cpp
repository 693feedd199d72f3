#include "io/ImportSummary.h"

#include "core/document/ImportTally.h"
#include "io/IoTexts.h"

#include <cstdio>

std::string FormatImportSummary(const CImportTally& tally)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, IoTexts::kImportSummary, static_cast<long long>(tally.m_nAddresses),
                  static_cast<long long>(tally.m_nNew), static_cast<long long>(tally.m_nMatching),
                  static_cast<long long>(tally.m_nLines), static_cast<long long>(tally.Skipped()),
                  static_cast<long long>(tally.m_nDamaged), static_cast<long long>(tally.m_nNotAddress));
    return buf;
}
