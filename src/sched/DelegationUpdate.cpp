#include "sched/DelegationUpdate.h"

#include "cache/DelegationFile.h"
#include "cache/DelegationStore.h"

namespace {

CDelegationUpdate Failed(std::string strWhy, bool bCancelled = false)
{
    return {false, bCancelled, std::move(strWhy)};
}

} // namespace

CDelegationUpdate UpdateDelegationSource(const CDelegationSource& source, const CHttpDownloadOptions& options,
                                         CDelegationStore& store, int64_t nNow)
{
    const CHttpDownloadResult file = HttpDownload(source.m_strUrl, options);
    if (!file.m_bOk)
        return Failed(source.m_strUrl + ": " + file.m_strError, file.m_bCancelled);
    CHttpDownloadOptions md5Options = options;
    md5Options.m_nMaxBytes = 64 * 1024;
    md5Options.m_progress = nullptr;
    const CHttpDownloadResult md5 = HttpDownload(source.m_strUrl + ".md5", md5Options);
    if (!md5.m_bOk)
        return Failed(source.m_strUrl + ".md5: " + md5.m_strError);
    std::string why = CheckDelegationMd5(file.m_strBody, md5.m_strBody);
    if (!why.empty())
        return Failed(why);
    const CDelegationFile parsed = ParseDelegationFile(file.m_strBody);
    if (!parsed.IsRead())
        return Failed(parsed.m_strError);
    why = CheckDelegationCount(parsed);
    if (!why.empty())
        return Failed(why);
    const CCacheResult r = store.Replace(parsed, nNow);
    if (!r)
        return Failed("cannot import: " + r.m_strError);
    return {true, false,
            "imported " + std::to_string(parsed.m_blocks.size()) + " blocks (serial " + parsed.m_strSerial + ")"};
}
