#include "net/RdapQuery.h"

#include "net/ExchangeCancel.h"

#include "core/record/HostLookup.h"
#include "core/record/NameResolver.h"
#include "facts/RdapText.h"
#include "net/WhoisReferral.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace {

constexpr int kMaxRedirects = 5;

void GlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// One easy handle per thread: libcurl keeps its connections (and TLS sessions) in
// it, so the next request of the same worker to the same server skips the handshake.
class CThreadCurl
{
public:
    CThreadCurl()
    {
        GlobalInit();
        m_pCurl = curl_easy_init();
    }
    ~CThreadCurl()
    {
        if (m_pCurl)
            curl_easy_cleanup(m_pCurl);
    }
    CThreadCurl(const CThreadCurl&) = delete;
    CThreadCurl& operator=(const CThreadCurl&) = delete;
    CURL* Get() const { return m_pCurl; }

private:
    CURL* m_pCurl = nullptr;
};

class CSlist
{
public:
    ~CSlist() { curl_slist_free_all(m_pList); }
    void Add(const std::string& s) { m_pList = curl_slist_append(m_pList, s.c_str()); }
    curl_slist* Get() const { return m_pList; }

private:
    curl_slist* m_pList = nullptr;
};

struct CBody {
    std::string* m_pOut;
    size_t m_nMax;
    bool m_bTooLarge = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user)
{
    CBody* body = static_cast<CBody*>(user);
    const size_t n = size * count;
    if (body->m_pOut->size() + n > body->m_nMax) {
        body->m_bTooLarge = true;
        return 0; // ends the transfer with a write error
    }
    body->m_pOut->append(data, n);
    return n;
}

bool IsLoopback(uint32_t dwAddress)
{
    return (dwAddress >> 24) == 127;
}

struct CUrlParts {
    std::string m_strScheme;
    std::string m_strHost;
    long m_nPort = 0;
};

bool SplitUrl(const std::string& url, CUrlParts& parts)
{
    CURLU* u = curl_url();
    if (!u)
        return false;
    bool ok = curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK;
    char* scheme = nullptr;
    char* host = nullptr;
    char* port = nullptr;
    ok = ok && curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
         curl_url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
         curl_url_get(u, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK;
    if (ok) {
        parts.m_strScheme = scheme;
        parts.m_strHost = host;
        parts.m_nPort = std::strtol(port, nullptr, 10);
    }
    curl_free(scheme);
    curl_free(host);
    curl_free(port);
    curl_url_cleanup(u);
    return ok;
}

bool Resolve(CNameResolver& resolver, const std::string& host, uint32_t& address, bool& literal)
{
    literal = RdapText::ParseAddress(host, address) && host.find('/') == std::string::npos;
    if (literal)
        return true;
    // Bracketed IPv6 literals and the like are not for us.
    if (host.empty() || host[0] == '[')
        return false;
    return resolver.ResolveName(host, address);
}

} // namespace

namespace {

int CancelledTransfer(void* pData, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<const CExchangeCancel*>(pData)->IsCancelled() ? 1 : 0;
}

} // namespace

bool RdapHttpGet(const std::string& strUrl, const CRdapHttpLimits& limits, CNameResolver& resolver,
                 CRdapHttpAnswer& answer)
{
    answer = CRdapHttpAnswer();
    thread_local CThreadCurl t_curl;
    CURL* curl = t_curl.Get();
    if (!curl) {
        answer.m_strError = "cannot start an HTTP client";
        return false;
    }

    std::string url = strUrl;
    bool havePrevious = false;
    uint32_t previous = 0;
    for (int hop = 0; hop <= kMaxRedirects; ++hop) {
        CUrlParts parts;
        if (!SplitUrl(url, parts) || (parts.m_strScheme != "http" && parts.m_strScheme != "https")) {
            answer.m_strError = "not an http or https URL: " + url;
            return false;
        }
        uint32_t address = 0;
        bool literal = false;
        if (!Resolve(resolver, parts.m_strHost, address, literal)) {
            answer.m_strError = "cannot resolve " + parts.m_strHost;
            return false;
        }
        if (parts.m_strScheme == "http" && !IsLoopback(address)) {
            answer.m_strError = "refusing plain http to a non-loopback address: " + url;
            return false;
        }
        if (havePrevious) {
            const bool allowed = IsLoopback(address) ? IsLoopback(previous) : IsPublicUnicastAddress(address);
            if (!allowed) {
                answer.m_strError = "refusing a redirect to " + url;
                return false;
            }
        }

        curl_easy_reset(curl);
        CSlist headers;
        headers.Add("Accept: application/rdap+json");
        CSlist pin;
        if (!literal) {
            // Connect to the address just checked, not to whatever a second lookup might return.
            pin.Add(parts.m_strHost + ":" + std::to_string(parts.m_nPort) + ":" + FormatInetAddress(address));
            curl_easy_setopt(curl, CURLOPT_RESOLVE, pin.Get());
        }
        std::string body;
        CBody sink {&body, limits.m_nMaxAnswerBytes};
        const long idleSeconds = std::max(1L, long((limits.m_nIdleTimeoutMs + 999) / 1000));
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.Get());
        curl_easy_setopt(curl, CURLOPT_USERAGENT, "addrscope");
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS));
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!limits.m_strCaFile.empty())
            curl_easy_setopt(curl, CURLOPT_CAINFO, limits.m_strCaFile.c_str());
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(std::max(1, limits.m_nConnectTimeoutMs)));
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(std::max(1, limits.m_nAnswerTimeoutMs)));
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, idleSeconds);
        curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(limits.m_nMaxAnswerBytes));
        curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
        // A cancelled run ends the transfer from its next progress call.
        if (CExchangeCancel* pCancel = CExchangeCancel::Current()) {
            if (pCancel->IsCancelled()) {
                answer.m_strError = "cancelled";
                return false;
            }
            curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, CancelledTransfer);
            curl_easy_setopt(curl, CURLOPT_XFERINFODATA, pCancel);
            curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        }

        const CURLcode rc = curl_easy_perform(curl);
        if (rc != CURLE_OK) {
            if (sink.m_bTooLarge || rc == CURLE_FILESIZE_EXCEEDED)
                answer.m_strError = "the answer from " + url + " is larger than the answer limit";
            else
                answer.m_strError = std::string(curl_easy_strerror(rc)) + " (" + url + ")";
            return false;
        }
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 300 && status < 400) {
            char* location = nullptr;
            curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location);
            if (location && *location) {
                havePrevious = true;
                previous = address;
                url = location;
                continue;
            }
        }
        curl_off_t retryAfter = -1;
        if (curl_easy_getinfo(curl, CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK && retryAfter > 0)
            answer.m_nRetryAfter = long(retryAfter);
        answer.m_nStatus = status;
        answer.m_strBody = std::move(body);
        answer.m_strUrl = url;
        return true;
    }
    answer.m_strError = "more than 5 redirects, last to " + url;
    return false;
}
