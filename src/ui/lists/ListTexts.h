#pragma once

// The fixed texts, settings names and ids of the list display.
namespace ListTexts {

// ---- list engine ----
inline constexpr const char* kDefaultEmptyText = "The list is empty";
inline constexpr const char* kColumnWidthsSection = "List Column Widths";
inline constexpr const char* kKeyRowColor1 = "Row Color-1";
inline constexpr const char* kKeyRowColor2 = "Row Color-2";
inline constexpr const char* kKeyRowHeight = "Row Height";
inline constexpr const char* kKeyFontHeight = "Font lfHeight";
inline constexpr const char* kKeyFontWidth = "Font lfWidth";
inline constexpr const char* kKeyFontEscapement = "Font lfEscapement";
inline constexpr const char* kKeyFontOrientation = "Font lfOrientation";
inline constexpr const char* kKeyFontWeight = "Font lfWeight";
inline constexpr const char* kKeyFontItalic = "Font lfItalic";
inline constexpr const char* kKeyFontUnderline = "Font lfUnderline";
inline constexpr const char* kKeyFontStrikeOut = "Font lfStrikeOut";
inline constexpr const char* kKeyFontCharSet = "Font lfCharSet";
inline constexpr const char* kKeyFontOutPrecision = "Font lfOutPrecision";
inline constexpr const char* kKeyFontClipPrecision = "Font lfClipPrecision";
inline constexpr const char* kKeyFontQuality = "Font lfQuality";
inline constexpr const char* kKeyFontPitchAndFamily = "Font lfPitchAndFamily";
inline constexpr const char* kKeyFontFaceName = "Font lfFaceName";
inline constexpr const char* kKeyFontColor = "Font Color";
inline constexpr const char* kKeyTextColor1 = "Text Color-1";
inline constexpr const char* kKeyTextColor2 = "Text Color-2";
// The colour tag of a row whose address had no whois answer in three tries (a muted red).
inline constexpr const char* kNoAnswerColorTag = "<#B03A2E>";

// ---- docking bars ----
inline constexpr const char* kBarSectionFormat = "%s-SCBar-%d";
inline constexpr const char* kKeySizeHorzCX = "sizeHorzCX";
inline constexpr const char* kKeySizeHorzCY = "sizeHorzCY";
inline constexpr const char* kKeySizeVertCX = "sizeVertCX";
inline constexpr const char* kKeySizeVertCY = "sizeVertCY";
inline constexpr const char* kKeySizeFloatCX = "sizeFloatCX";
inline constexpr const char* kKeySizeFloatCY = "sizeFloatCY";
inline constexpr const char* kKeyVisible = "Visible";
inline constexpr int kIdBusyAnimation = 59394;

// ---- IP list bar ----
inline constexpr const char* kIPListName = "List Entries";
inline constexpr const char* kIPListEmptyText = "No Entries";
inline constexpr const char* kMenuCopySelectedRows = "Copy Selected Rows";
inline constexpr const char* kMenuCopyTable = "Copy Table";
inline constexpr const char* kMenuLookupSelected = "IP &Lookup Selected\tF5";

inline constexpr int kIdList = 501;
inline constexpr int kCmdListRowSelected = 502;
inline constexpr int kIdListMenu = 146;
inline constexpr int kCmdCopySelectedRows = 32833;
inline constexpr int kCmdCopyTable = 32834;
inline constexpr int kCmdLookupSelected = 32774;

// Display modes are the ids of the frame's "List Display Mode" commands.
inline constexpr int kModeBinary = 32798;
inline constexpr int kModeHex = 32799;
inline constexpr int kModeQuad = 32800;
inline constexpr int kModeDecimal = 32801;
// The records as a table of their facts, in place of the address list.
inline constexpr int kModeDetails = 32802;
inline constexpr const char* kDetailsFilterHint = "Filter: show the rows that contain...";

} // namespace ListTexts
