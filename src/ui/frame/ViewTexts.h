#pragma once

// The fixed texts of the whois text view and the progress window.
namespace ViewTexts {

inline constexpr const char* kQuickStart = "QUICK START\r\n"
                                           "-----------------\r\n\r\n"
                                           "1. Type an IP address in to the drop-down box.\r\n"
                                           "2. Click Lookup\r\n";
inline constexpr const char* kCaptionAfterAddress = " : IP Whois Data";
inline constexpr const char* kCaptionNoAddress = "IP Whois Data";
inline constexpr const char* kCaptionAbuse = "Abuse:";
inline constexpr int kIdTextBox = 299;

inline constexpr const char* kProgressInitialPercent = " 0 %";
inline constexpr const char* kProgressPercentFormat = "%d%c";
inline constexpr const char* kProgressCancel = "Cancel";

} // namespace ViewTexts
