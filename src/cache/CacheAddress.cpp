#include "cache/CacheAddress.h"

#include <arpa/inet.h>
#include <cstring>

unsigned __int128 CCacheAddress::Value() const
{
    unsigned __int128 v = 0;
    for (size_t i = 0; i < Size(); ++i)
        v = (v << 8) | m_bytes[i];
    return v;
}

std::string CCacheAddress::Text() const
{
    char buf[INET6_ADDRSTRLEN] = {};
    if (!inet_ntop(m_nFamily == 4 ? AF_INET : AF_INET6, m_bytes.data(), buf, sizeof buf))
        return std::string();
    return buf;
}

CCacheAddress CCacheAddress::FromIPv4(uint32_t dwAddress)
{
    return FromValue(4, dwAddress);
}

CCacheAddress CCacheAddress::FromValue(int nFamily, unsigned __int128 value)
{
    CCacheAddress a;
    a.m_nFamily = nFamily;
    for (size_t i = a.Size(); i-- > 0;) {
        a.m_bytes[i] = uint8_t(value & 0xff);
        value >>= 8;
    }
    return a;
}

std::optional<CCacheAddress> CCacheAddress::Parse(std::string_view text)
{
    if (text.empty() || text.size() >= INET6_ADDRSTRLEN)
        return std::nullopt;
    char buf[INET6_ADDRSTRLEN] = {};
    std::memcpy(buf, text.data(), text.size());
    CCacheAddress a;
    if (inet_pton(AF_INET, buf, a.m_bytes.data()) == 1) {
        a.m_nFamily = 4;
        return a;
    }
    if (inet_pton(AF_INET6, buf, a.m_bytes.data()) == 1) {
        a.m_nFamily = 6;
        return a;
    }
    return std::nullopt;
}

std::optional<CCacheAddress> CCacheAddress::FromBytes(int nFamily, std::string_view bytes)
{
    CCacheAddress a;
    a.m_nFamily = nFamily;
    if ((nFamily != 4 && nFamily != 6) || bytes.size() != a.Size())
        return std::nullopt;
    std::memcpy(a.m_bytes.data(), bytes.data(), bytes.size());
    return a;
}

unsigned __int128 CacheRangeSpan(const CCacheAddress& first, const CCacheAddress& last)
{
    return last.Value() - first.Value();
}

std::string CacheRangeText(const CCacheAddress& first, const CCacheAddress& last)
{
    return first.Text() + " - " + last.Text();
}
