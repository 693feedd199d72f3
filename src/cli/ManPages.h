#pragma once

#include <string>

// The manual pages and shell completions, built from the commands' declared
// arguments and options (the same declarations --help lists and the parser reads),
// so that none of them can drift.
std::string GenerateCliManPage(const char* pszVersion);
std::string GenerateGuiManPage(const char* pszVersion);
std::string GenerateBashCompletion();
std::string GenerateZshCompletion();
// Every command's option names, one line each ("export: --format --by -o --output"),
// after a line of the common ones: for tests and scripts that check the other texts.
std::string GenerateOptionList();
