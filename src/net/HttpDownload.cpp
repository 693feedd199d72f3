#include "net/HttpDownload.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace {

struct CSink {
    std::string* m_pBody;
    int64_t m_nMax;
    bool m_bTooLong = false;
    const CHttpDownloadOptions* m_pOptions;
    bool m_bCancelled = false;
};

size_t WriteBody(char* pData, size_t nSize, size_t nCount, void* pUser)
{
    CSink& sink = *static_cast<CSink*>(pUser);
    const size_t n = nSize * nCount;
    if (int64_t(sink.m_pBody->size() + n) > sink.m_nMax) {
        sink.m_bTooLong = true;
        return 0;
    }
    sink.m_pBody->append(pData, n);
    return n;
}

int Progress(void* pUser, curl_off_t nTotal, curl_off_t nDone, curl_off_t, curl_off_t)
{
    CSink& sink = *static_cast<CSink*>(pUser);
    if (sink.m_pOptions->m_progress && !sink.m_pOptions->m_progress(int64_t(nDone), int64_t(nTotal))) {
        sink.m_bCancelled = true;
        return 1;
    }
    return 0;
}

} // namespace

CHttpDownloadResult HttpDownload(const std::string& strUrl, const CHttpDownloadOptions& options)
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    CHttpDownloadResult result;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) {
        result.m_strError = "cannot start a transfer";
        return result;
    }
    CSink sink {&result.m_strBody, options.m_nMaxBytes, false, &options, false};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, strUrl.c_str());
    curl_easy_setopt(c, CURLOPT_USERAGENT, "addrscope");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!options.m_strCaFile.empty())
        curl_easy_setopt(c, CURLOPT_CAINFO, options.m_strCaFile.c_str());
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(std::max(1, options.m_nConnectTimeoutMs)));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(std::max(1, options.m_nIdleTimeoutMs / 1000)));
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(options.m_nMaxBytes));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, Progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &sink);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    const CURLcode code = curl_easy_perform(c);
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &result.m_nStatus);
    if (sink.m_bCancelled) {
        result.m_bCancelled = true;
        result.m_strError = "cancelled";
    } else if (sink.m_bTooLong || code == CURLE_FILESIZE_EXCEEDED) {
        result.m_strError = "longer than " + std::to_string(options.m_nMaxBytes >> 20) + " MB";
    } else if (code != CURLE_OK) {
        result.m_strError = curl_easy_strerror(code);
    } else if (result.m_nStatus != 200) {
        result.m_strError = "the server answered " + std::to_string(result.m_nStatus);
    } else {
        result.m_bOk = true;
        return result;
    }
    result.m_strBody.clear();
    return result;
}
