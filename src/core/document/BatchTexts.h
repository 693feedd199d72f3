#pragma once

// Texts the document shows while it adds addresses from text and builds the raw
// whois export, and the export's record envelope.
namespace BatchTexts {

inline constexpr const char kLocatingAndAdding[] = "Locating and Adding IP Addresses";
inline constexpr const char kAddressesAdded[] = "%d IP Addresses Added";
inline constexpr const char kCreatingReport[] = "Creating Report";

inline constexpr const char kRecordBegin[] = "<RECORD>\r\n";
inline constexpr const char kRecordAddress[] = "IP Address: %s\r\n";
inline constexpr const char kRecordWhoisDone[] = "IP Whois Done At: %s\r\n\r\n";
inline constexpr const char kRecordEnd[] = "\r\n</RECORD>\r\n\r\n";

} // namespace BatchTexts
