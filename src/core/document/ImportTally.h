#pragma once

#include <cstdint>

// What one import took from its text, line by line, so that the user is told
// why lines were left out. Lines are the non-empty lines of the text.
struct CImportTally {
    int64_t m_nLines = 0; // every non-empty line
    int64_t m_nMatching = 0; // lines whose address was taken
    int64_t m_nDamaged = 0; // overlong lines and lines holding NUL bytes
    int64_t m_nNotAddress = 0; // lines whose token is no address and names no host that resolved
    int64_t m_nAddresses = 0; // distinct addresses taken
    int64_t m_nNew = 0; // records the import added
    int64_t m_nAddressesIPv6 = 0; // of m_nAddresses, the IPv6 ones
    int64_t m_nNewIPv6 = 0; // of m_nNew, the IPv6 ones

    int64_t Skipped() const { return m_nLines - m_nMatching; }
};
