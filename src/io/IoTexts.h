#pragma once

// The fixed texts of the import and export commands: the log import dialog and
// the file prompts. Kept as users know them.
namespace IoTexts {

// The closing quote of the request followed by status 404.
inline constexpr const char kPageNotFoundPattern[] = "\" 404 |";
inline constexpr const char kExploitPatterns[] =
    "/default.ida?|/scripts/root.exe?|GET /_vti_inf.html|/_vti_bin/owssvr.dll?|/MSOffice/cltreq.asp?|";

inline constexpr const char kLogDialogTitle[] = "Import From Log File: Settings";
inline constexpr const char kLogDialogGroup[] = "Conditional Log File Processing [Extract Only...]";
inline constexpr const char kLogDialogError[] = "IP Addresses of visitors who got a 'Page Not Found' error.";
inline constexpr const char kLogDialogExploit[] = "IP Addresses of visitors with possible exploit attempts";
inline constexpr const char kLogDialogDownload[] = "IP Addresses of visitors who accessed a specific page or file";
inline constexpr const char kLogDialogCustom[] = "IP Addresses of visitors with a custom text in log file entry.";
inline constexpr const char kLogDialogNote[] = "Note: Only Apache common and combined log file formats are supported.";

inline constexpr const char kImportPromptTitle[] = "Import IP Address From";
inline constexpr const char kImportPromptFilter[] =
    "text files (*.txt)|*.txt|log files (*.log)|*.log|gzip files (*.gz)|*.gz|all files (*.*)|*.*||";
inline constexpr const char kImportPromptExtension[] = "txt";

inline constexpr const char kSavePromptTitle[] = "Save File Name";
inline constexpr const char kSavePromptFilter[] = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
inline constexpr const char kSavePromptExtension[] = "txt";
inline constexpr const char kFilePathSection[] = "File Path";

// After every import, in the window and on the command line.
inline constexpr const char kImportSummary[] =
    "Imported %lld addresses (%lld new) from %lld matching lines of %lld; skipped %lld lines (%lld damaged, %lld not "
    "an address)";
// Appended to the summary when the import took IPv6 addresses.
inline constexpr const char kImportByFamily[] = "; IPv4: %lld addresses (%lld new), IPv6: %lld addresses (%lld new)";

// I/O failures shown in the window; the reason comes from the system.
inline constexpr const char kMsgCannotWriteReport[] = "The report could not be written.\n\n%1";
inline constexpr const char kMsgCannotRead[] = "%1 could not be read:\n%2";
inline constexpr const char kMsgPartialRead[] = "Reading %1 stopped after %2 bytes:\n%3\n\n"
                                                "%4 IP addresses were added from what was read.";

} // namespace IoTexts
