#pragma once

#include "core/settings/ProfileSetting.h"

// Every value of the profile's main section, each declared once. The
// section's name appears nowhere else; read and write them through CSettingsLoader.
namespace ProgramSettings {

inline constexpr const char* kSection = "Settings";

// ---- lookups (CConnSettings) ----
// How old (minutes) a result may be before a lookup asks again.
inline constexpr CIntSetting kRescanGap {kSection, "Rescan Gap", 1440};
// Seconds between whois results; 0 or less: no wait.
inline constexpr CIntSetting kWhoisInterval {kSection, "IP Whois Interval", 10};
// How many lookups of a kind run at once; 0 or less: none of the kind starts.
inline constexpr CIntSetting kPingLimit {kSection, "Ping Simul Connections", 3};
inline constexpr CIntSetting kTraceLimit {kSection, "Trace Simul Connections", 3};
inline constexpr CIntSetting kDnsLimit {kSection, "DNS Simul Connections", 8};
inline constexpr CIntSetting kWhoisLimit {kSection, "IP Whois Simul Connections", 3};
inline constexpr CBoolSetting kTraceHostLookup {kSection, "Trace Host Lookup", false};
inline constexpr CBoolSetting kConvertHostNames {kSection, "Convert Host Names", true};
// Whois lookups paced by each registry: a tick starts one per registry, the interval
// counts from that registry's latest result, the simultaneous limit holds for each
// registry, and port-43 chains start at the address's registry. Off: one start a
// tick, after the latest result of any, within one limit for all, from ARIN.
inline constexpr CBoolSetting kPacePerRegistry {kSection, "Pace Per Registry", true};

// ---- log import (CLogImportSettings) ----
inline constexpr CBoolSetting kLogFileError {kSection, "Log File Error", false};
inline constexpr CBoolSetting kLogFileExploit {kSection, "Log File Exploit", false};
inline constexpr CBoolSetting kLogFileDownload {kSection, "Log File Download", false};
inline constexpr CTextSetting kLogFileDownloadFile {kSection, "Log File Download File", ""};
inline constexpr CBoolSetting kLogFileCustom {kSection, "Log File Custom", false};
// The custom condition's text needs a value of its own, apart from the page/file text.
inline constexpr CTextSetting kLogFileCustomText {kSection, "Log File Custom Text", ""};

// ---- bulk lookups ----
// Whois answers cover the addresses waiting inside their range.
inline constexpr CBoolSetting kReuseKnownRanges {kSection, "Reuse Known Ranges", true};
inline constexpr CBoolSetting kLookupAfterImport {kSection, "Lookup After Import", false};
// The window's Messages bar was shown when the window last closed.
inline constexpr CBoolSetting kShowMessages {kSection, "Show Messages", false};
// Long runs keep their results at least this often (seconds) and every so many
// results: the command line into the document, the window into its recovery file.
inline constexpr CIntSetting kCheckpointSeconds {kSection, "Checkpoint Seconds", 30, 1};
inline constexpr CIntSetting kCheckpointResults {kSection, "Checkpoint Results", 500, 1};

// ---- answer cache ----
// The SQLite file of registry answers and delegation data shared by every document
// and process; empty turns it off. The default stands for the user's cache folder
// ($XDG_CACHE_HOME, else ~/.cache), which the front ends resolve.
inline constexpr CTextSetting kAnswerCache {kSection, "Answer Cache", "~/.cache/addrscope/answers.sqlite"};
// How old (days) a cached answer may be and still answer.
inline constexpr CIntSetting kAnswerCacheDays {kSection, "Answer Cache Days", 30, 0, 36500};
// Megabytes of answers kept; the least recently used go first.
inline constexpr CIntSetting kAnswerCacheMB {kSection, "Answer Cache MB", 512, 1, 1048576};

// ---- window ----
inline constexpr CBoolSetting kSelectedRowReport {kSection, "Selected Row Report", true};
// Written when the window closes: the view shown (a view command id, -1 for none).
inline constexpr CIntSetting kViewMode {kSection, "View Mode", -1};
inline constexpr CIntSetting kAutoDocLoad {kSection, "Enable Auto DocLoad", 1};
// The window's placement, as CWindowPlacement writes it.
inline constexpr CTextSetting kWindowPosition {kSection, "WindowPosition", ""};
// The list's address display: one of the display mode command ids (binary, hex,
// dotted, decimal, details; any other value is kept, and shows the addresses empty).
inline constexpr CIntSetting kDisplayMode {kSection, "IP Address Display Mode", 32800};
// The Details table's columns: order, widths, hidden ones and sort order, as the
// table's header writes them (base64).
inline constexpr CTextSetting kDetailsColumns {kSection, "Details Columns", ""};
// Where the list bar goes in the Details mode: 0 below the whois view, 1 floating,
// 2 at the side as in the other modes.
inline constexpr CIntSetting kDetailsPlace {kSection, "Details Place", 0, 0, 2};
// The side the list bar is docked at in the other modes: 1 left, 2 right.
inline constexpr CIntSetting kListSide {kSection, "List Side", 1, 1, 2};

} // namespace ProgramSettings
