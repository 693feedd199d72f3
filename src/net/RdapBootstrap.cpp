#include "net/RdapBootstrap.h"

#include "core/record/DottedQuad.h"
#include "core/record/IPRange.h"
#include "facts/RdapText.h"
#include "net/RdapShippedBootstrap.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using Json = nlohmann::json;

namespace {

// The real file is a few kilobytes; anything far larger is not one.
constexpr off_t kMaxFileBytes = 4 * 1024 * 1024;

bool ReadSmallFile(const std::string& path, std::string& out, std::string& error)
{
    // Non-blocking, so that a FIFO does not wait for a writer; only a regular file
    // is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st { };
    std::string reason;
    if (::fstat(fd, &st) != 0)
        reason = std::strerror(errno);
    else if (S_ISDIR(st.st_mode))
        reason = "is a directory";
    else if (!S_ISREG(st.st_mode))
        reason = "is not a regular file";
    else if (st.st_size > kMaxFileBytes)
        reason = "is not a bootstrap file (larger than " + std::to_string(kMaxFileBytes) + " bytes)";
    if (reason.empty()) {
        out.assign(size_t(st.st_size), '\0');
        size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = ::pread(fd, out.data() + done, out.size() - done, off_t(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                reason = n < 0 ? std::strerror(errno) : "changed while it was read";
                break;
            }
            done += size_t(n);
        }
    }
    ::close(fd);
    if (!reason.empty()) {
        error = path + ": " + reason;
        return false;
    }
    return true;
}

bool ParsePrefix(const std::string& text, uint32_t& prefix, int& length)
{
    const size_t slash = text.find('/');
    std::string_view address = std::string_view(text).substr(0, slash);
    int len = 32;
    if (slash != std::string::npos) {
        const std::string digits = text.substr(slash + 1);
        if (digits.empty() || digits.size() > 2 || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        len = std::stoi(digits);
        if (len > 32)
            return false;
    }
    uint32_t a = 0;
    if (!RdapText::ParseAddress(address, a))
        return false;
    const uint32_t mask = len == 0 ? 0 : ~uint32_t(0) << (32 - len);
    prefix = a & mask;
    length = len;
    return true;
}

std::string ExeDir()
{
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    std::string path(buf, size_t(n));
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

bool CRdapBootstrap::Parse(std::string_view strJson, std::string& strError)
{
    if (strJson.empty()) {
        strError = "the bootstrap file is empty";
        return false;
    }
    if (!RdapText::NestingWithin(strJson)) {
        strError = "the bootstrap file nests too deep";
        return false;
    }
    Json root = Json::parse(strJson.begin(), strJson.end(), nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        strError = "the bootstrap file is not valid JSON";
        return false;
    }
    const auto services = root.find("services");
    if (services == root.end() || !services->is_array()) {
        strError = "the bootstrap file has no services";
        return false;
    }
    std::vector<CEntry> entries;
    std::vector<CEntry6> entries6;
    for (const Json& service : *services) {
        if (!service.is_array() || service.size() < 2 || !service[0].is_array() || !service[1].is_array())
            continue;
        std::string url;
        for (const Json& u : service[1]) {
            if (!u.is_string())
                continue;
            const std::string& s = u.get_ref<const std::string&>();
            if (s.rfind("https://", 0) == 0) {
                url = s;
                break;
            }
            if (url.empty() && s.rfind("http://", 0) == 0)
                url = s;
        }
        if (url.empty() || url.size() > 2000)
            continue;
        if (url.back() != '/')
            url += '/';
        for (const Json& p : service[0]) {
            if (!p.is_string())
                continue;
            const std::string& text = p.get_ref<const std::string&>();
            CEntry e;
            if (text.find(':') == std::string::npos) {
                if (ParsePrefix(text, e.m_dwPrefix, e.m_nLength)) {
                    e.m_strUrl = url;
                    entries.push_back(std::move(e));
                }
                continue;
            }
            // An IPv6 prefix: "2001:200::/23"; host bits are dropped.
            if (text.size() > 64 || text.find('/') == std::string::npos)
                continue;
            const CParseResult<CIPRange> range = ParseIPRange(text);
            if (!range || !range->First().IsIPv6() || !range->PrefixLength())
                continue;
            entries6.push_back(CEntry6 {range->First().High(), range->First().Low(), int(*range->PrefixLength()), url,
                                        RegistryOfBaseUrl(url)});
        }
    }
    if (entries.empty() && entries6.empty()) {
        strError = "the bootstrap file lists no usable IPv4 or IPv6 prefix";
        return false;
    }
    const auto pub = root.find("publication");
    const std::string publication = pub != root.end() && pub->is_string() ? pub->get<std::string>() : std::string();
    if (!entries.empty()) {
        std::stable_sort(entries.begin(), entries.end(),
                         [](const CEntry& a, const CEntry& b) { return a.m_nLength > b.m_nLength; });
        m_entries = std::move(entries);
        m_strPublication = publication;
        IndexRegistries();
    }
    if (!entries6.empty()) {
        std::stable_sort(entries6.begin(), entries6.end(),
                         [](const CEntry6& a, const CEntry6& b) { return a.m_nLength > b.m_nLength; });
        m_entries6 = std::move(entries6);
        m_strPublication6 = publication;
    }
    return true;
}

const CRdapBootstrap::CEntry6* CRdapBootstrap::Find6(const CIPAddress& address) const
{
    for (const CEntry6& e : m_entries6) {
        const int n = e.m_nLength;
        const uint64_t maskHigh = n == 0 ? 0 : n >= 64 ? ~uint64_t(0) : ~uint64_t(0) << (64 - n);
        const uint64_t maskLow = n <= 64 ? 0 : n >= 128 ? ~uint64_t(0) : ~uint64_t(0) << (128 - n);
        if ((address.High() & maskHigh) == e.m_qwHigh && (address.Low() & maskLow) == e.m_qwLow)
            return &e;
    }
    return nullptr;
}

std::string CRdapBootstrap::BaseUrl(const CIPAddress& address) const
{
    if (address.IsIPv4())
        return BaseUrl(address.IPv4());
    const CEntry6* pEntry = Find6(address);
    return pEntry ? pEntry->m_strUrl : std::string();
}

std::vector<CIPRange> CRdapBootstrap::Prefixes6() const
{
    std::vector<CIPRange> prefixes;
    for (const CEntry6& e : m_entries6)
        if (const CParseResult<CIPRange> r =
                CIPRange::FromPrefix(CIPAddress::FromIPv6(e.m_qwHigh, e.m_qwLow), unsigned(e.m_nLength)))
            prefixes.push_back(*r);
    return prefixes;
}

std::string CRdapBootstrap::BaseUrlOfRegistry(const std::string& strRegistry) const
{
    if (strRegistry.empty())
        return {};
    for (const CEntry& e : m_entries)
        if (RegistryOfBaseUrl(e.m_strUrl) == strRegistry)
            return e.m_strUrl;
    for (const CEntry6& e : m_entries6)
        if (e.m_strRegistry == strRegistry)
            return e.m_strUrl;
    return {};
}

std::string CRdapBootstrap::RegistryOfText(std::string_view strAddress) const
{
    if (IsValidDottedQuad(strAddress))
        return RegistryOf(ParseDottedQuad(strAddress));
    if (strAddress.find(':') == std::string_view::npos)
        return {};
    const CParseResult<CIPAddress> address = ParseIPAddress(strAddress);
    return address ? RegistryOf(*address) : std::string();
}

std::string CRdapBootstrap::RegistryOf(const CIPAddress& address) const
{
    if (address.IsIPv4())
        return RegistryOf(address.IPv4());
    const CEntry6* pEntry = Find6(address);
    return pEntry ? pEntry->m_strRegistry : std::string();
}

void CRdapBootstrap::IndexRegistries()
{
    m_registries.assign(256, std::string());
    m_bWholeSlash8.assign(256, true);
    for (const CEntry& e : m_entries)
        if (e.m_nLength > 8)
            m_bWholeSlash8[e.m_dwPrefix >> 24] = false;
    for (uint32_t n = 0; n < 256; ++n)
        if (m_bWholeSlash8[n])
            m_registries[n] = RegistryOfBaseUrl(BaseUrl(n << 24));
}

std::string CRdapBootstrap::RegistryOf(uint32_t dwAddress) const
{
    const uint32_t n = dwAddress >> 24;
    if (n < m_bWholeSlash8.size() && m_bWholeSlash8[n])
        return m_registries[n];
    return RegistryOfBaseUrl(BaseUrl(dwAddress));
}

std::string CRdapBootstrap::RegistryOfBaseUrl(const std::string& strBaseUrl)
{
    if (strBaseUrl.empty())
        return {};
    const size_t b = strBaseUrl.find("://");
    if (b != std::string::npos) {
        const size_t e = strBaseUrl.find_first_of(":/?#", b + 3);
        const std::string registry = RdapText::RegistryOfHost(
            strBaseUrl.substr(b + 3, e == std::string::npos ? std::string::npos : e - (b + 3)));
        if (!registry.empty())
            return registry;
    }
    return strBaseUrl;
}

std::string CRdapBootstrap::BaseUrl(uint32_t dwAddress) const
{
    for (const CEntry& e : m_entries) {
        const uint32_t mask = e.m_nLength == 0 ? 0 : ~uint32_t(0) << (32 - e.m_nLength);
        if ((dwAddress & mask) == e.m_dwPrefix)
            return e.m_strUrl;
    }
    return {};
}

CRdapBootstrap CRdapBootstrap::Shipped()
{
    CRdapBootstrap b;
    std::string error;
    std::vector<std::string> candidates;
    if (const std::string dir = ExeDir(); !dir.empty())
        candidates.push_back(dir + "/../share/addrscope/rdap/ipv4.json");
    candidates.push_back(ADDRSCOPE_RDAP_DATA_INSTALL);
    candidates.push_back(ADDRSCOPE_RDAP_DATA_BUILD);
    bool bFound = false;
    for (const std::string& path : candidates) {
        std::string text;
        if (ReadSmallFile(path, text, error) && b.Parse(text, error) && !b.Empty()) {
            bFound = true;
            break;
        }
    }
    if (!bFound)
        b.Parse(kShippedRdapBootstrap, error);

    candidates.clear();
    if (const std::string dir = ExeDir(); !dir.empty())
        candidates.push_back(dir + "/../share/addrscope/rdap/ipv6.json");
    candidates.push_back(ADDRSCOPE_RDAP6_DATA_INSTALL);
    candidates.push_back(ADDRSCOPE_RDAP6_DATA_BUILD);
    for (const std::string& path : candidates) {
        std::string text;
        CRdapBootstrap six;
        if (ReadSmallFile(path, text, error) && six.Parse(text, error) && six.HasIPv6()) {
            b.m_entries6 = std::move(six.m_entries6);
            b.m_strPublication6 = six.m_strPublication6;
            return b;
        }
    }
    CRdapBootstrap six;
    if (six.Parse(kShippedRdapBootstrap6, error)) {
        b.m_entries6 = std::move(six.m_entries6);
        b.m_strPublication6 = six.m_strPublication6;
    }
    return b;
}

bool CRdapBootstrap::ReadFile(const std::string& strFile, std::string& strError)
{
    std::string text;
    if (!ReadSmallFile(strFile, text, strError))
        return false;
    if (Parse(text, strError))
        return true;
    strError = strFile + ": " + strError;
    return false;
}

CRdapBootstrap CRdapBootstrap::Load(const std::string& strFile, std::string& strProblem)
{
    strProblem.clear();
    if (!strFile.empty()) {
        CRdapBootstrap b = Shipped();
        std::string error;
        if (b.ReadFile(strFile, error))
            return b;
        strProblem = "RDAP bootstrap file not used, the shipped one is: " + error;
    }
    return Shipped();
}
