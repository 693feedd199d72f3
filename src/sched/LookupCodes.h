#pragma once

#include "core/LookupKind.h"

// The completion codes a finished job carries back to the UI thread, one per
// lookup kind (the window message's command parameter on the original platform).
namespace LookupCodes {

inline constexpr int kWhoisCompleted = 32790;
inline constexpr int kHostNameCompleted = 32819;
inline constexpr int kPingCompleted = 32822;
inline constexpr int kTraceCompleted = 32825;

inline constexpr int CodeOfKind(int nKind)
{
    constexpr int codes[kLookupKindCount] = {kWhoisCompleted, kHostNameCompleted, kPingCompleted, kTraceCompleted};
    return nKind >= 0 && nKind < kLookupKindCount ? codes[nKind] : 0;
}

// -1 for a code that is none of the four.
inline constexpr int KindOfCode(int nCode)
{
    for (int k = 0; k < kLookupKindCount; ++k)
        if (CodeOfKind(k) == nCode)
            return k;
    return -1;
}

} // namespace LookupCodes
