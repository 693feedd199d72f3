#pragma once

#include <optional>
#include <string>
#include <utility>

// A parsed value, or the reason the text did not read as one.
template <typename T> class CParseResult
{
public:
    static CParseResult Ok(T value)
    {
        CParseResult r;
        r.m_value = std::move(value);
        return r;
    }
    static CParseResult Fail(std::string strReason)
    {
        CParseResult r;
        r.m_strReason = std::move(strReason);
        return r;
    }

    bool IsOk() const { return m_value.has_value(); }
    explicit operator bool() const { return IsOk(); }
    // Only on success.
    const T& Value() const { return *m_value; }
    const T& operator*() const { return *m_value; }
    const T* operator->() const { return &*m_value; }
    // Empty on success.
    const std::string& Reason() const { return m_strReason; }

private:
    CParseResult() = default;
    std::optional<T> m_value;
    std::string m_strReason;
};
