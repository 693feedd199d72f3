#include "cache/DelegationFile.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <memory>

namespace {

std::vector<std::string_view> SplitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t bar = line.find('|', start);
        fields.push_back(line.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
        if (bar == std::string_view::npos)
            return fields;
        start = bar + 1;
    }
}

bool ParseCount(std::string_view text, uint64_t& value)
{
    if (text.empty() || text.size() > 19)
        return false;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool IsDate(std::string_view text)
{
    if (text.empty())
        return true;
    if (text.size() != 8)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Built by appending: GCC 12 warns wrongly about "'" + std::string(...).
std::string Quoted(std::string_view text, size_t nMax, const char* pszAfter)
{
    std::string s(1, '\'');
    s.append(text.substr(0, nMax));
    s.append("' ");
    s.append(pszAfter);
    return s;
}

std::string LineError(int64_t nLine, const std::string& why)
{
    return "line " + std::to_string(nLine) + ": " + why;
}

// The block of an ipv4 or ipv6 record; empty text when it is fine.
std::string ReadBlock(const std::vector<std::string_view>& f, CDelegationBlock& block)
{
    const std::optional<CCacheAddress> start = CCacheAddress::Parse(f[3]);
    const bool bV4 = f[2] == "ipv4";
    if (!start || start->m_nFamily != (bV4 ? 4 : 6))
        return Quoted(f[3], 60, bV4 ? "is not an IPv4 address" : "is not an IPv6 address");
    uint64_t value = 0;
    if (!ParseCount(f[4], value))
        return Quoted(f[4], 30, "is not a number");
    const unsigned __int128 first = start->Value();
    unsigned __int128 last = 0;
    if (bV4) {
        if (value == 0 || first + value - 1 > 0xFFFFFFFFu)
            return "the count " + std::to_string(value) + " runs past the end of the IPv4 space";
        last = first + value - 1;
    } else {
        if (value > 128)
            return "the prefix length " + std::to_string(value) + " is more than 128";
        const unsigned __int128 hostMask =
            value == 0 ? ~(unsigned __int128)(0) : ((unsigned __int128)(1) << (128 - value)) - 1;
        if (value == 128)
            last = first;
        else if ((first & hostMask) != 0)
            return "the address is not the first of its /" + std::to_string(value);
        else
            last = first | hostMask;
    }
    if (!IsDate(f[5]))
        return Quoted(f[5], 30, "is not a date");
    block.m_strRegistry.assign(f[0].substr(0, 16));
    block.m_strCountry.assign(f[1].substr(0, 8));
    block.m_strDate.assign(f[5]);
    block.m_strStatus.assign(f[6].substr(0, 32));
    block.m_first = *start;
    block.m_last = CCacheAddress::FromValue(start->m_nFamily, last);
    return std::string();
}

} // namespace

CDelegationFile ParseDelegationFile(std::string_view text)
{
    CDelegationFile file;
    bool bVersion = false;
    int64_t nLine = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++nLine;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line[0] == '#')
            continue;
        const std::vector<std::string_view> f = SplitFields(line);
        if (!bVersion) {
            uint64_t nRecords = 0;
            if (f.size() < 7 || f[0].empty() || !std::isdigit((unsigned char)f[0][0]) || !ParseCount(f[3], nRecords)) {
                file.m_strError = LineError(nLine, "not the version line of a delegation file");
                return file;
            }
            bVersion = true;
            file.m_strRegistry.assign(f[1].substr(0, 16));
            file.m_strSerial.assign(f[2].substr(0, 32));
            file.m_nHeaderRecords = int64_t(nRecords);
            continue;
        }
        if (f.size() >= 6 && f[1] == "*" && f[5] == "summary") {
            uint64_t nCount = 0;
            if (!ParseCount(f[4], nCount)) {
                file.m_strError = LineError(nLine, "the summary count is not a number");
                return file;
            }
            file.m_nSummaryRecords = std::max<int64_t>(file.m_nSummaryRecords, 0) + int64_t(nCount);
            continue;
        }
        if (f.size() < 7) {
            file.m_strError = LineError(nLine, "a record needs seven fields");
            return file;
        }
        ++file.m_nRecords;
        if (f[2] != "ipv4" && f[2] != "ipv6")
            continue;
        CDelegationBlock block;
        const std::string why = ReadBlock(f, block);
        if (!why.empty()) {
            file.m_strError = LineError(nLine, why);
            return file;
        }
        file.m_blocks.push_back(std::move(block));
    }
    if (!bVersion)
        file.m_strError = "no version line: not a delegation file";
    return file;
}

std::string CheckDelegationCount(const CDelegationFile& file)
{
    if (file.m_nRecords != file.m_nHeaderRecords)
        return "the file holds " + std::to_string(file.m_nRecords) + " records, its version line says " +
               std::to_string(file.m_nHeaderRecords);
    if (file.m_nSummaryRecords >= 0 && file.m_nSummaryRecords != file.m_nRecords)
        return "the file holds " + std::to_string(file.m_nRecords) + " records, its summary lines say " +
               std::to_string(file.m_nSummaryRecords);
    return std::string();
}

std::string Md5OfChecksumFile(std::string_view text)
{
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        size_t i = 0;
        bool bNonEmpty = false;
        while (i < line.size()) {
            while (i < line.size() && std::isspace((unsigned char)line[i]))
                ++i;
            size_t j = i;
            while (j < line.size() && !std::isspace((unsigned char)line[j]))
                ++j;
            const std::string_view word = line.substr(i, j - i);
            if (!word.empty())
                bNonEmpty = true;
            bool bHex = word.size() == 32;
            for (char c : word)
                bHex = bHex && std::isxdigit((unsigned char)c);
            if (bHex) {
                std::string digest(word);
                for (char& c : digest)
                    c = char(std::tolower((unsigned char)c));
                return digest;
            }
            i = j;
        }
        if (bNonEmpty)
            return std::string();
    }
    return std::string();
}

std::string Md5Hex(std::string_view bytes)
{
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int nDigest = 0;
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1 ||
        EVP_DigestUpdate(ctx.get(), bytes.data(), bytes.size()) != 1 ||
        EVP_DigestFinal_ex(ctx.get(), digest, &nDigest) != 1)
        return std::string();
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < nDigest; ++i) {
        out += kHex[digest[i] >> 4];
        out += kHex[digest[i] & 15];
    }
    return out;
}

std::string CheckDelegationMd5(std::string_view bytes, std::string_view md5File)
{
    const std::string expected = Md5OfChecksumFile(md5File);
    if (expected.empty())
        return "the .md5 file names no MD5 digest";
    const std::string actual = Md5Hex(bytes);
    if (actual != expected)
        return "its MD5 is " + actual + ", the .md5 file says " + expected;
    return std::string();
}
