#pragma once

#include <string>

// The manual pages and shell completions, built from the command table's texts
// (the same texts --help prints), so that none of them can drift.
std::string GenerateCliManPage(const char* pszVersion);
std::string GenerateGuiManPage(const char* pszVersion);
std::string GenerateBashCompletion();
std::string GenerateZshCompletion();
