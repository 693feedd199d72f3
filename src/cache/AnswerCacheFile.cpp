#include "cache/AnswerCacheFile.h"

#include <utility>

bool CAnswerCacheFile::Open(CSettingsStore& store, const CCacheHomes& homes, int64_t nNow)
{
    Close();
    const CAnswerCacheSettings settings = LoadAnswerCacheSettings(store, homes);
    m_strPath = settings.m_strPath;
    if (m_strPath.empty())
        return false;
    const CCacheOpenResult r = m_db.Open(m_strPath, nNow);
    m_strNotice = r.m_strNotice;
    if (!r.m_bOpen) {
        if (!m_strNotice.empty())
            m_strNotice += "; ";
        m_strNotice += "the answer cache is not used: " + r.m_strError;
        return false;
    }
    m_pCache = std::make_unique<CAnswerCache>(m_db, settings.m_limits);
    return true;
}

CAnswerCacheWriter* CAnswerCacheFile::Writer()
{
    if (!m_pCache)
        return nullptr;
    if (!m_pWriter)
        m_pWriter = std::make_unique<CAnswerCacheWriter>(m_strPath, m_pCache->Limits(), m_db.BusyTimeoutMs());
    return m_pWriter.get();
}

void CAnswerCacheFile::Close()
{
    m_pWriter.reset();
    m_pCache.reset();
    m_db.Close();
}

std::string CAnswerCacheFile::TakeNotice()
{
    std::string strNotice = std::move(m_strNotice);
    m_strNotice.clear();
    return strNotice;
}
