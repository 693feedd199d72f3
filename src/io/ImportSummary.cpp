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
    std::string strSummary = buf;
    // An import that met IPv6 clients says what it took of each family; an IPv4-only
    // one reads as it always did.
    if (tally.m_nAddressesIPv6 > 0) {
        std::snprintf(buf, sizeof buf, IoTexts::kImportByFamily,
                      static_cast<long long>(tally.m_nAddresses - tally.m_nAddressesIPv6),
                      static_cast<long long>(tally.m_nNew - tally.m_nNewIPv6),
                      static_cast<long long>(tally.m_nAddressesIPv6), static_cast<long long>(tally.m_nNewIPv6));
        strSummary += buf;
    }
    return strSummary;
}
