#pragma once

// The main window's fixed texts, command ids and settings names, as users and
// stored profiles know them.
namespace FrameTexts {

// ---- application ----
inline constexpr const char* kAppDisplayName = "Addrscope";
inline constexpr const char* kUntitled = "Untitled";
// Another process writes the document: %1 the file, %2 its process id.
inline constexpr const char* kDocInUse = "%1 is in use by process %2.";
inline constexpr const char* kDocInUseOpenReadOnly = "%1 is in use by process %2.\n\nOpen it read-only?";
inline constexpr const char* kDocReadOnlySaveAs = "%1 is open read-only. Save it under another name.";
// A leftover recovery file: %1 the document, %2 when it was written, %3 the file.
inline constexpr const char* kRecoveryOffer =
    "Addrscope did not end normally while %1 had lookup results that were not saved. They were kept in %3 at "
    "%2.\n\nRestore them as unsaved changes?\n\nYes restores them, No discards them, Cancel leaves them for later.";
// %1 the recovery file, %2 why.
inline constexpr const char* kRecoveryDamaged =
    "The lookup results kept in %1 cannot be restored: %2\n\nThe file was left where it is.";
inline constexpr const char* kRecoveryUnreadable = "it cannot be read as a file";
inline constexpr const char* kRecoveryDamagedReason = "it is damaged";
inline constexpr const char* kMessageLogTitle = "Messages";
// %1: "PATH: reason".
inline constexpr const char* kMsgCheckpointFailed = "The lookup results could not be kept for recovery: %1";
inline constexpr const char* kBuildDate = "Build Date: %s";
inline constexpr const char* kAboutTitle = "About Addrscope";
inline constexpr const char* kAboutProduct = "Addrscope: who holds an IPv4 address";
inline constexpr const char* kAboutVersion = "Version %1";
inline constexpr const char* kDocFilter = "Quaddle Files (*.qdl)";
inline constexpr const char* kDocExtension = "qdl";
inline constexpr const char* kRunMarkerFolder = "addrscope";
inline constexpr const char* kRunMarkerFile = "addrscope.run";
inline constexpr const char* kRunMarkerContent = "run";

// ---- settings (the main section: core/ProgramSettings.h) ----
inline constexpr const char* kRecentFileSection = "Recent File List";
inline constexpr const char* kRecentFileKey = "File%d";
inline constexpr int kRecentFileCount = 4;
inline constexpr const char* kIPListBarProfile = "IPListBar";

// ---- connection settings dialog ----
inline constexpr const char* kConnTitle = "Connection and Other Settings";
inline constexpr const char* kConnGroupRescan = "Rescan Interval";
inline constexpr const char* kConnRescanBefore = "Redo a lookup only if the existing data is older by more than";
inline constexpr const char* kConnRescanAfter = "Min.";
inline constexpr const char* kConnGroupLimits = "Maximum number of simultaneous connections";
inline constexpr const char* kConnWhoisLimit = "IP Whois Lookups";
inline constexpr const char* kConnDnsLimit = "Host Name Lookups";
inline constexpr const char* kConnTraceLimit = "Traceroutes";
inline constexpr const char* kConnPingLimit = "Ping Checks";
inline constexpr const char* kConnGroupInterval = "IP Whois, Min Interval between 2 Connections";
inline constexpr const char* kConnIntervalAfter = "Seconds";
inline constexpr const char* kConnTraceHosts = "Resolve IP Addresses during Traceroute (will be slow)";
inline constexpr const char* kConnConvertHosts = "Convert Host Names to IP while Importing/Adding";
inline constexpr const char* kConnPacePerRegistry = "Pace per registry: one start and one interval for each registry";
inline constexpr const char* kConnGroupSource = "IP Whois Source";
inline constexpr const char* kConnSourcePort43 = "Port 43 whois";
inline constexpr const char* kConnSourceRdap = "RDAP first (port 43 whois when RDAP gives no answer)";
inline constexpr const char* kConnBootstrap = "RDAP bootstrap file (empty: the shipped one)";
inline constexpr const char* kPromptPositiveInteger = "Please enter a positive integer.";
inline constexpr const char* kPromptInteger = "Please enter an integer.";
// A limit of 0 or less would stop its kind of lookup for good.
inline constexpr const char* kPromptLimitAtLeastOne = "\"%1\" must be at least 1.";

// ---- lookup with options, bulk runs ----
// (their settings: core/ProgramSettings.h)
inline constexpr const char* kOptionsTitle = "Lookup (With Options)";
inline constexpr const char* kOptionsGroupRows = "Rows";
inline constexpr const char* kOptionsRowsSelected = "&Selected rows";
inline constexpr const char* kOptionsRowsAll = "&All rows";
inline constexpr const char* kOptionsRowsNever = "Rows &never looked up";
inline constexpr const char* kOptionsGroupKinds = "Lookups";
inline constexpr const char* kOptionsWhois = "&Whois";
inline constexpr const char* kOptionsHostName = "&Host name";
inline constexpr const char* kOptionsPing = "&Ping";
inline constexpr const char* kOptionsTrace = "&Traceroute";
inline constexpr const char* kOptionsSkipFresh = "S&kip results newer than the rescan gap";
inline constexpr const char* kNoteNoAnswer = "No answer (3 tries)";
inline constexpr const char* kNoteFailed = "Lookup failed";
inline constexpr const char* kNoteReusedFrom = "answered from the range of %s";
inline constexpr const char* kNoteFromCache = "answered from the answer cache";
// The reason the exports give for an address nobody answered.
inline constexpr const char* kReasonNoAnswer = "no answer";
inline constexpr const char* kNoteRangeMismatch = "the answer's range %s does not hold this address";
inline constexpr const char* kLookupAfterImport = "&Look up the imported addresses";

// ---- messages ----
inline constexpr const char* kCollecting = "Constructing IP Address List";
inline constexpr const char* kDeleting = "Deleting IP Addresses";

// ---- commands the frame handles ----
enum ECommand : int
{
    kCmdFileNew = 57600,
    kCmdFileOpen = 57601,
    kCmdFileSave = 57603,
    kCmdFileSaveAs = 57604,
    kCmdAppExit = 57665,
    kCmdAppAbout = 57664,
    kCmdImportTextFile = 32772,
    kCmdDelete = 32773,
    kCmdLookupSelected = 32774,
    kCmdLookupWithOptions = 32775,
    kCmdRefreshIPList = 32777,
    kCmdStopAll = 32784,
    kCmdMinimizeToTray = 32792,
    kCmdViewRawWhois = 32794,
    kCmdRefreshTitle = 32796,
    kCmdModeBinary = 32798,
    kCmdModeHex = 32799,
    kCmdModeQuad = 32800,
    kCmdModeDecimal = 32801,
    kCmdModeDetails = 32802,
    kCmdToggleIPListBar = 32807,
    kCmdLookupHostNames = 32810,
    kCmdWebProductHome = 32813,
    kCmdWebSupport = 32814,
    kCmdWebCompanyHome = 32815,
    kCmdPingSelected = 32820,
    kCmdTraceSelected = 32823,
    kCmdTrayShow = 32826,
    kCmdTrayExit = 32827,
    kCmdConnectionSettings = 32835,
    kCmdExportRawWhois = 32840,
    kCmdExportTableCsv = 32860,
    kCmdExportTableJson = 32861,
    kCmdReportSelected = 32845,
    kCmdImportWebLog = 32849,
    kCmdReportAll = 32850,
    kCmdAutoLoad = 32852,
    kCmdToggleQuickBar = 32853,
    kCmdMoreTools = 32855,
    kCmdUpdateRegistryData = 32862,
    kCmdQuickLookup = 1037,
    kCmdToggleStatusBar = 59393,
    kCmdEditUndo = 57643,
    kCmdEditFind = 57636,
};

// ---- menus ----
inline constexpr const char* kMenuFile = "&File";
inline constexpr const char* kMenuImport = "&Import";
inline constexpr const char* kMenuEdit = "&Edit";
inline constexpr const char* kMenuView = "&View";
inline constexpr const char* kMenuIPAddresses = "&IP Addresses";
inline constexpr const char* kMenuDisplayMode = "List Display &Mode";
inline constexpr const char* kMenuReports = "&Reports";
inline constexpr const char* kMenuTools = "&Tools";
inline constexpr const char* kMenuHelp = "&Help";
inline constexpr const char* kMenuOnTheWeb = "On the &Web";

inline constexpr const char* kItemNew = "&New";
inline constexpr const char* kItemOpen = "&Open...";
inline constexpr const char* kItemSave = "&Save";
inline constexpr const char* kItemSaveAs = "Save &As...";
inline constexpr const char* kItemImportText = "IP Addresses From a &Text File...";
inline constexpr const char* kItemImportLog = "IP Addresses From &Web Log Files...";
inline constexpr const char* kItemMinimizeToTray = "Minimize To &Tray";
inline constexpr const char* kItemAutoLoad = "Open &Last Document At Startup";
inline constexpr const char* kItemExit = "E&xit";
inline constexpr const char* kItemUndo = "&Undo Delete";
inline constexpr const char* kItemFind = "&Filter Details...";
inline constexpr const char* kPromptFind = "Type a text to show only the Details rows that hold it";
inline constexpr const char* kPromptUndo = "Bring back the IP addresses deleted last";
inline constexpr const char* kMsgUndoneDelete = "%1 deleted IP addresses are back";
inline constexpr const char* kItemDelete = "&Delete IP Addresses...";
inline constexpr const char* kItemLookupSelected = "IP &Lookup Selected";
inline constexpr const char* kItemRefreshList = "&Refresh IP List";
inline constexpr const char* kItemStopAll = "&Stop All Lookups";
inline constexpr const char* kItemLookupHostNames = "Lookup &HostNames for Selected IPs";
inline constexpr const char* kItemPingSelected = "&Ping Check Selected IPs";
inline constexpr const char* kItemTraceSelected = "&TraceRoute Selected";
inline constexpr const char* kItemBinary = "&Binary";
inline constexpr const char* kItemHex = "&Hexadecimal";
inline constexpr const char* kItemQuad = "Regular &Quad";
inline constexpr const char* kItemDecimal = "&Decimal";
inline constexpr const char* kItemDetails = "De&tails";
inline constexpr const char* kItemIPListBar = "&IP List Bar";
inline constexpr const char* kItemQuickBar = "&Quick Lookup Bar";
inline constexpr const char* kItemStatusBar = "&Status Bar";
inline constexpr const char* kItemRawWhois = "Raw &Whois Data (Text)...";
inline constexpr const char* kItemTableCsv = "Export Table as &CSV...";
inline constexpr const char* kItemTableJson = "Export Table as &JSON...";
inline constexpr const char* kItemReportSelected = "Create Report For Only &Selected Rows";
inline constexpr const char* kItemReportAll = "Create Report For &All Rows";
inline constexpr const char* kItemConnSettings = "&Connection Settings...";
inline constexpr const char* kItemUpdateRegistryData = "&Update Registry Data...";
inline constexpr const char* kItemProductHome = "Product Home";
inline constexpr const char* kItemSupport = "Technical Support";
inline constexpr const char* kItemCompanyHome = "Company Home";
inline constexpr const char* kItemAbout = "&About Addrscope...";
inline constexpr const char* kItemTrayShow = "&Show Window";
inline constexpr const char* kItemTrayExit = "Exit Application";

// ---- toolbar button texts ----
inline constexpr const char* kButtonNew = "New";
inline constexpr const char* kButtonOpen = "Open";
inline constexpr const char* kButtonSave = "Save";
inline constexpr const char* kButtonLookup = "Lookup";
inline constexpr const char* kButtonDelete = "Delete";
inline constexpr const char* kButtonStop = "Stop";
inline constexpr const char* kButtonMoreTools = "More Tools";

// ---- status-bar prompts (and tooltips) ----
inline constexpr const char* kPromptNew = "Create a new document";
inline constexpr const char* kPromptOpen = "Open an existing document";
inline constexpr const char* kPromptSave = "Save the active document";
inline constexpr const char* kPromptSaveAs = "Save the active document with a new name";
inline constexpr const char* kPromptExit = "Quit the application; prompts to save documents";
inline constexpr const char* kPromptAbout = "Display program information, version number and copyright";
inline constexpr const char* kPromptRecent = "Open this document";
inline constexpr const char* kPromptDelete = "Delete Selected IP Addresses";
inline constexpr const char* kPromptLookupSelected = "Lookup Selected IP Addresses";
inline constexpr const char* kPromptLookupWithOptions = "Lookup (With Options)";
inline constexpr const char* kPromptRefreshList = "Refresh IP Address List";
inline constexpr const char* kPromptStopAll = "Stop All Lookups";
inline constexpr const char* kPromptMinimizeToTray = "Minimize To System Tray";
inline constexpr const char* kPromptBinary = "SHow IP List in Binary";
inline constexpr const char* kPromptHex = "Show IP List in Hex";
inline constexpr const char* kPromptQuad = "Show IP List in Quad";
inline constexpr const char* kPromptDecimal = "Show IP List in Decimal";
inline constexpr const char* kPromptDetails = "Show the records as a table of their whois facts";
inline constexpr const char* kPromptIPListBar = "Show or hide the IP Address List";
inline constexpr const char* kPromptProductHome = "Addrscope Home Page";
inline constexpr const char* kPromptSupport = "Technical Support";
inline constexpr const char* kPromptCompanyHome = "Company Home Page";
inline constexpr const char* kPromptMoreTools = "More Software Tools";
inline constexpr const char* kPromptTrayShow = "Show Application";
inline constexpr const char* kPromptTrayExit = "Exit";
inline constexpr const char* kPromptRawWhois = "Export Raw Whois Data";
inline constexpr const char* kPromptTableCsv = "Export the whois facts of the rows as a CSV table";
inline constexpr const char* kPromptTableJson = "Export the whois facts of the rows as a JSON table";
inline constexpr const char* kTableCsvFilter = "CSV Files (*.csv)|*.csv|All Files (*.*)|*.*||";
inline constexpr const char* kTableCsvExtension = "csv";
inline constexpr const char* kTableJsonFilter = "JSON Files (*.json)|*.json|All Files (*.*)|*.*||";
inline constexpr const char* kTableJsonExtension = "json";
inline constexpr const char* kTableWriteFailed = "Cannot write %1: %2";
inline constexpr const char* kPromptReportSelected = "Create Reports for Selected Rows Only";
inline constexpr const char* kPromptReportAll = "Create Reports for All Rows";
inline constexpr const char* kPromptQuickBar = "Toggle Quick Lookup Bar";
inline constexpr const char* kPromptStatusBar = "Show or hide the status bar";
inline constexpr const char* kPromptImportText = "Import IP Addresses From a Text File";
inline constexpr const char* kPromptImportLog = "Process IP Addresses from Web Log Files";
inline constexpr const char* kPromptConnSettings = "Connection Settings";
inline constexpr const char* kPromptUpdateRegistryData =
    "Download the registries' delegation files: registry, country and allocation date of every address";
// ---- the registries' delegation data ----
inline constexpr const char* kRegistryDataNoCache =
    "The registry data is kept in the answer cache, which is off (\"Answer Cache\" is empty).";
inline constexpr const char* kRegistryDataDownloading = "Downloading %s";
inline constexpr const char* kRegistryDataKept = "; the previous data is kept";
inline constexpr const char* kRegistryDataCancelled =
    "Update Registry Data cancelled; the data not yet downloaded stays as it was.";
inline constexpr const char* kRegistryDataDone = "Registry data: %d registries updated, %d failed.";
inline constexpr const char* kPromptLookupHostNames = "Lookup HostNames for Selected IPs";
inline constexpr const char* kPromptPingSelected = "Ping Check Selected IPs";
inline constexpr const char* kPromptTraceSelected = "TraceRoute Selected";
inline constexpr const char* kPromptAutoLoad = "Open the most recent document when the program starts";

// ---- status panes ----
inline constexpr const char* kPaneTotal = "Total: %d";
inline constexpr const char* kPaneDisplay = "Display: %d";
// The least width of a pane; longer counts widen it.
inline constexpr int kPaneWidth = 90;
inline constexpr const char* kPaneIdle = "Ready";
inline constexpr const char* kMsgNoAddressFound = "No IP address or resolvable host name in \"%1\"";
// A typed text with a colon that is no IPv6 address: the text and the reason.
inline constexpr const char* kMsgNotAnAddress = "\"%1\" is not an IP address: %2";
inline constexpr int kMessageMs = 10000;
// After a report or table is written: which rows it holds, as the Reports menu chose them.
inline constexpr const char* kMsgReportWritten = "Wrote %1 of %2 rows (%3) to %4";
inline constexpr const char* kReportRowsSelected = "selected rows only";
inline constexpr const char* kReportRowsAll = "all rows";
inline constexpr int kTimerMs = 2000;

// ---- web pages (the implementer's choice: public pages about IP whois) ----
inline constexpr const char* kUrlProductHome = "https://www.iana.org/whois";
inline constexpr const char* kUrlSupport = "https://www.arin.net/resources/registry/whois/";
inline constexpr const char* kUrlCompanyHome = "https://www.nro.net/";
inline constexpr const char* kUrlMoreTools = "https://www.nro.net/about/rirs/";

} // namespace FrameTexts
