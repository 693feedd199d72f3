#include "cache/DelegationSettings.h"

#include "core/settings/SettingsLoader.h"

std::vector<CDelegationSource> LoadDelegationSources(CSettingsStore& store)
{
    CSettingsLoader loader(store);
    std::vector<CDelegationSource> sources;
    for (const CTextSetting* p : {&DelegationSettings::kRipe, &DelegationSettings::kArin, &DelegationSettings::kApnic,
                                  &DelegationSettings::kLacnic, &DelegationSettings::kAfrinic})
        sources.push_back({p->m_pszKey, loader.Get(*p)});
    return sources;
}

std::string LoadDelegationCaFile(CSettingsStore& store)
{
    return CSettingsLoader(store).Get(DelegationSettings::kCaFile);
}
