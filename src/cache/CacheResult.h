#pragma once

#include <string>
#include <utility>

// Success, or the reason for a failure, as a value: nothing of the cache throws
// across its seam, and a cache that cannot be used never stops its caller.
struct CCacheResult {
    bool m_bOk = true;
    std::string m_strError;

    static CCacheResult Ok() { return {}; }
    static CCacheResult Fail(std::string strError) { return {false, std::move(strError)}; }
    explicit operator bool() const { return m_bOk; }
};
