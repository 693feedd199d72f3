#pragma once

#include <QString>

#include <string>
#include <string_view>

// The one crossing between the core's byte strings and Qt's text. Whois answers
// arrive from many registries in whatever encoding they use: bytes that form
// valid UTF-8 are read as UTF-8, anything else as Latin-1, so no byte is lost or
// turned into a replacement character.
QString ToQString(std::string_view bytes);
// Back to bytes: UTF-8 (exact for every text that came in as UTF-8 or ASCII).
std::string ToStdString(const QString& text);
bool IsValidUtf8(std::string_view bytes);
