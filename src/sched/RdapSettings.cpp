#include "sched/RdapSettings.h"

#include "core/settings/SettingsStore.h"
#include "net/RdapClient.h"

using namespace RdapSettingNames;

CRdapSettings LoadRdapSettings(CSettingsStore& store)
{
    CRdapSettings s;
    s.m_bUseRdap = store.GetProfileInt(kSection, kUseRdap, 0) == 1;
    s.m_strBootstrapFile = store.GetProfileString(kSection, kBootstrapFile);
    s.m_strCaFile = store.GetProfileString(kSection, kCaFile);
    return s;
}

void SaveRdapSettings(CSettingsStore& store, const CRdapSettings& s)
{
    store.WriteProfileInt(kSection, kUseRdap, s.m_bUseRdap ? 1 : 0);
    store.WriteProfileString(kSection, kBootstrapFile, s.m_strBootstrapFile);
    store.WriteProfileString(kSection, kCaFile, s.m_strCaFile);
}

std::unique_ptr<CRdapClient> MakeRdapClient(const CRdapSettings& settings, const CWhoisServerTable& servers,
                                            std::string& strProblem)
{
    return std::make_unique<CRdapClient>(CRdapBootstrap::Load(settings.m_strBootstrapFile, strProblem), servers,
                                         settings.m_strCaFile);
}
