#include "qt/QtSettingsStore.h"

#include "core/settings/SettingsValue.h"

namespace {

QString Key(const std::string& section, const std::string& entry)
{
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(entry);
}

} // namespace

CQtSettingsStore::CQtSettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::UserScope, OrganizationName(), ApplicationName()))
{ }

CQtSettingsStore::CQtSettingsStore(const QString& iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{ }

int CQtSettingsStore::GetProfileInt(const std::string& section, const std::string& entry, int nDefault)
{
    std::lock_guard lock(m_mutex);
    const QVariant v = m_settings->value(Key(section, entry));
    if (!v.isValid())
        return nDefault;
    return ParseProfileInt(v.toString().toStdString(), nDefault);
}

std::string CQtSettingsStore::GetProfileString(const std::string& section, const std::string& entry,
                                               const std::string& strDefault)
{
    std::lock_guard lock(m_mutex);
    const QVariant v = m_settings->value(Key(section, entry));
    if (!v.isValid())
        return strDefault;
    return v.toString().toStdString();
}

bool CQtSettingsStore::WriteProfileInt(const std::string& section, const std::string& entry, int nValue)
{
    std::lock_guard lock(m_mutex);
    m_settings->setValue(Key(section, entry), nValue);
    return m_settings->status() == QSettings::NoError;
}

bool CQtSettingsStore::WriteProfileString(const std::string& section, const std::string& entry,
                                          const std::string& strValue)
{
    std::lock_guard lock(m_mutex);
    m_settings->setValue(Key(section, entry), QString::fromStdString(strValue));
    return m_settings->status() == QSettings::NoError;
}

void CQtSettingsStore::Sync()
{
    std::lock_guard lock(m_mutex);
    m_settings->sync();
}
