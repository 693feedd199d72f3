#pragma once

// The completion codes a finished job carries back to the UI thread, one per
// lookup kind (the window message's command parameter on the original platform).
namespace LookupCodes {

inline constexpr int kWhoisCompleted = 32790;
inline constexpr int kHostNameCompleted = 32819;
inline constexpr int kPingCompleted = 32822;
inline constexpr int kTraceCompleted = 32825;

} // namespace LookupCodes
