#include "core/record/DateTimeText.h"

#include <clocale>
#include <cstring>
#include <ctime>

namespace {

bool IsUserLocaleSet()
{
    const char* name = std::setlocale(LC_TIME, nullptr);
    if (!name || !*name)
        return false;
    return std::strcmp(name, "C") != 0 && std::strcmp(name, "POSIX") != 0 && std::strncmp(name, "C.", 2) != 0;
}

} // namespace

std::string FormatDateTimeText(const COleDateTime& dt)
{
    struct tm parts { };
    if (!dt.IsValid() || !dt.GetAsTm(parts) || parts.tm_year + 1900 <= 1970)
        return "-";
    char buf[128];
    const char* format = IsUserLocaleSet() ? "%x %X" : "%Y-%m-%d %H:%M:%S";
    const size_t len = std::strftime(buf, sizeof buf, format, &parts);
    if (len == 0)
        return "-";
    return std::string(buf, len);
}
