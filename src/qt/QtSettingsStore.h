#pragma once

#include "core/settings/SettingsStore.h"

#include <QSettings>
#include <QString>

#include <memory>
#include <mutex>

// The user's settings through QSettings: the organisation/application profile by
// default, or one INI file (--settings FILE) for tests and portable use.
class CQtSettingsStore : public CSettingsStore
{
public:
    // The per-user profile of the application.
    CQtSettingsStore();
    // One INI file.
    explicit CQtSettingsStore(const QString& iniPath);

    int GetProfileInt(const std::string& section, const std::string& entry, int nDefault) override;
    std::string GetProfileString(const std::string& section, const std::string& entry,
                                 const std::string& strDefault = std::string()) override;
    bool WriteProfileInt(const std::string& section, const std::string& entry, int nValue) override;
    bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& strValue) override;

    void Sync();
    QSettings& Settings() { return *m_settings; }

    static const char* OrganizationName() { return "Addrscope"; }
    static const char* ApplicationName() { return "Addrscope"; }

private:
    std::mutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
};
