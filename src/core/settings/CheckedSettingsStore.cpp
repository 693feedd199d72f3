#include "core/settings/CheckedSettingsStore.h"

#include "core/settings/SettingsValue.h"

namespace {

// A value no settings file holds by accident: tells "missing" from "empty".
constexpr const char* kMissing = "\x01missing\x01";

} // namespace

CCheckedSettingsStore::CCheckedSettingsStore(CSettingsStore& inner, Reporter report)
    : m_inner(inner)
    , m_report(std::move(report))
{ }

int CCheckedSettingsStore::GetProfileInt(const std::string& section, const std::string& entry, int nDefault)
{
    const std::string text = m_inner.GetProfileString(section, entry, kMissing);
    if (text == kMissing)
        return nDefault;
    // Text that reads the same with two different defaults is a number.
    if (ParseProfileInt(text, 0) == ParseProfileInt(text, 1))
        return ParseProfileInt(text, nDefault);
    Report(section, entry,
           section + "/" + entry + "=" + text + " is not a number; using the default " + std::to_string(nDefault));
    return nDefault;
}

std::string CCheckedSettingsStore::GetProfileString(const std::string& section, const std::string& entry,
                                                    const std::string& strDefault)
{
    return m_inner.GetProfileString(section, entry, strDefault);
}

bool CCheckedSettingsStore::WriteProfileInt(const std::string& section, const std::string& entry, int nValue)
{
    return m_inner.WriteProfileInt(section, entry, nValue);
}

bool CCheckedSettingsStore::WriteProfileString(const std::string& section, const std::string& entry,
                                               const std::string& strValue)
{
    return m_inner.WriteProfileString(section, entry, strValue);
}

void CCheckedSettingsStore::ReportProblem(const std::string& section, const std::string& entry,
                                          const std::string& strMessage)
{
    Report(section, entry, strMessage);
}

void CCheckedSettingsStore::Report(const std::string& section, const std::string& entry, const std::string& strMessage)
{
    std::lock_guard lock(m_mutex);
    if (m_reported.insert(section + "/" + entry).second && m_report)
        m_report("settings: " + strMessage);
}
