#pragma once

#include <cstdint>
#include <functional>
#include <string>

// How a file is fetched over HTTP(S).
struct CHttpDownloadOptions {
    std::string m_strCaFile; // an extra certificate to trust; empty: the system's
    int m_nConnectTimeoutMs = 15000;
    int m_nIdleTimeoutMs = 30000; // no byte for this long ends the download
    int64_t m_nMaxBytes = int64_t(256) << 20; // a longer body is refused
    // Bytes so far and announced (0 when unknown); returning false cancels.
    std::function<bool(int64_t nDone, int64_t nTotal)> m_progress;
};

struct CHttpDownloadResult {
    bool m_bOk = false;
    bool m_bCancelled = false;
    long m_nStatus = 0; // the HTTP status, 0 when none arrived
    std::string m_strBody;
    std::string m_strError; // why it failed: a cut transfer, a status, a time-out
};

// One GET with libcurl, no redirects beyond HTTP(S), the body only when it arrived
// whole with status 200 (a transfer shorter than its announced length fails).
CHttpDownloadResult HttpDownload(const std::string& strUrl, const CHttpDownloadOptions& options);
