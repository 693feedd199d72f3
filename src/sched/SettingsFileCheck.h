#pragma once

#include <string>
#include <vector>

class CSettingsStore;

// What makes a settings file unusable as written, so that a front end stops
// instead of quietly asking the real registries: the file cannot be read, is not
// an INI file, spells a setting's name with the wrong case, names a server that is
// not a host, or names a bootstrap or CA file that cannot be used. One line per
// problem, "Section/Key: reason" or a reason about the whole file. Values that are
// merely out of range are not here: they are reported and replaced as they are read.
// store reads the values the way the program does; a file that does not exist has
// no problems (a profile not written yet).
std::vector<std::string> CheckSettingsFile(const std::string& strPath, CSettingsStore& store);
