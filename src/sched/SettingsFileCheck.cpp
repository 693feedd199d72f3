#include "sched/SettingsFileCheck.h"

#include "core/settings/ProgramSettings.h"
#include "core/settings/SettingsStore.h"
#include "net/RdapBootstrap.h"
#include "net/WhoisServerTable.h"
#include "net/WhoisTexts.h"
#include "sched/RdapSettings.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Far beyond any real settings file.
constexpr off_t kMaxSettingsBytes = 4 * 1024 * 1024;
constexpr size_t kMaxHostLength = 253;

struct CKnownSetting {
    std::string m_strSection;
    std::string m_strKey;
};

std::vector<CKnownSetting> KnownSettings()
{
    namespace PS = ProgramSettings;
    std::vector<CKnownSetting> known;
    for (size_t i = 0; i < kWhoisRoleCount; ++i)
        known.push_back({WhoisTexts::kSection, CWhoisServerTable::ValueName(EWhoisRole(i))});
    for (const char* key : {WhoisTexts::kWhoisPort, WhoisTexts::kRWhoisPort, WhoisTexts::kConnectTimeout,
                            WhoisTexts::kIdleTimeout, WhoisTexts::kAnswerTimeout, WhoisTexts::kMaxAnswerSize})
        known.push_back({WhoisTexts::kSection, key});
    for (const char* key : {RdapSettingNames::kUseRdap, RdapSettingNames::kBootstrapFile, RdapSettingNames::kCaFile})
        known.push_back({RdapSettingNames::kSection, key});
    for (const char* key :
         {PS::kRescanGap.m_pszKey,         PS::kWhoisInterval.m_pszKey,     PS::kPingLimit.m_pszKey,
          PS::kTraceLimit.m_pszKey,        PS::kDnsLimit.m_pszKey,          PS::kWhoisLimit.m_pszKey,
          PS::kTraceHostLookup.m_pszKey,   PS::kConvertHostNames.m_pszKey,  PS::kLogFileError.m_pszKey,
          PS::kLogFileExploit.m_pszKey,    PS::kLogFileDownload.m_pszKey,   PS::kLogFileDownloadFile.m_pszKey,
          PS::kLogFileCustom.m_pszKey,     PS::kLogFileCustomText.m_pszKey, PS::kReuseKnownRanges.m_pszKey,
          PS::kLookupAfterImport.m_pszKey, PS::kCheckpointSeconds.m_pszKey, PS::kCheckpointResults.m_pszKey,
          PS::kSelectedRowReport.m_pszKey, PS::kViewMode.m_pszKey,          PS::kAutoDocLoad.m_pszKey,
          PS::kWindowPosition.m_pszKey,    PS::kDisplayMode.m_pszKey,       PS::kDetailsColumns.m_pszKey,
          PS::kDetailsPlace.m_pszKey,      PS::kListSide.m_pszKey})
        known.push_back({PS::kSection, key});
    return known;
}

bool EqualNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)b[i]))
            return false;
    return true;
}

// INI names are stored percent-encoded ("Whois%20Port").
std::string Decoded(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit((unsigned char)text[i + 1]) &&
            std::isxdigit((unsigned char)text[i + 2])) {
            out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Why a server value cannot be asked; empty when it names a host or an address.
std::string HostProblem(const std::string& host)
{
    if (host.empty())
        return "is empty, not a host";
    if (host.size() > kMaxHostLength)
        return "is longer than a host name can be (" + std::to_string(kMaxHostLength) + " characters)";
    size_t labelStart = 0;
    for (size_t i = 0; i <= host.size(); ++i) {
        if (i == host.size() || host[i] == '.') {
            const size_t len = i - labelStart;
            if ((len == 0 && i != host.size()) || len > 63)
                return "'" + host + "' is not a host name or address";
            labelStart = i + 1;
            continue;
        }
        const unsigned char c = (unsigned char)host[i];
        if (!std::isalnum(c) && c != '-' && c != ':')
            return "'" + host + "' is not a host name or address";
    }
    return {};
}

// --settings /dev/null: no settings at all.
bool IsDevNull(const struct stat& st)
{
    struct stat null { };
    return S_ISCHR(st.st_mode) && ::stat("/dev/null", &null) == 0 && st.st_rdev == null.st_rdev;
}

std::string ReadSettingsFile(const std::string& strPath, std::string& strText, bool& bMissing)
{
    bMissing = false;
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        bMissing = errno == ENOENT;
        return std::string("cannot be read: ") + std::strerror(errno);
    }
    struct stat st { };
    std::string reason;
    if (::fstat(fd, &st) != 0)
        reason = std::string("cannot be read: ") + std::strerror(errno);
    else if (S_ISDIR(st.st_mode))
        reason = "is a directory";
    else if (!S_ISREG(st.st_mode) && !IsDevNull(st))
        reason = "is not a regular file";
    else if (st.st_size > kMaxSettingsBytes)
        reason = "is not a settings file (larger than " + std::to_string(kMaxSettingsBytes) + " bytes)";
    if (reason.empty()) {
        strText.assign(S_ISREG(st.st_mode) ? size_t(st.st_size) : 0, '\0');
        size_t done = 0;
        while (done < strText.size()) {
            const ssize_t n = ::pread(fd, strText.data() + done, strText.size() - done, off_t(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                reason = std::string("cannot be read: ") + (n < 0 ? std::strerror(errno) : "it shrank");
                break;
            }
            done += size_t(n);
        }
    }
    ::close(fd);
    return reason;
}

} // namespace

std::vector<std::string> CheckSettingsFile(const std::string& strPath, CSettingsStore& store)
{
    std::vector<std::string> problems;
    std::string text;
    bool bMissing = false;
    if (const std::string reason = ReadSettingsFile(strPath, text, bMissing); !reason.empty()) {
        if (!bMissing)
            problems.push_back(reason);
        return problems;
    }
    if (text.find('\0') != std::string::npos) {
        problems.push_back("is not an INI file (it holds NUL bytes)");
        return problems;
    }

    const std::vector<CKnownSetting> known = KnownSettings();
    std::string section = "General";
    size_t lineStart = 0;
    for (int nLine = 1; lineStart < text.size(); ++nLine) {
        size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos)
            lineEnd = text.size();
        const std::string line = Trimmed(text.substr(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 1;
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            section = Decoded(line.substr(1, line.size() - 2));
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) {
            problems.push_back("is not an INI file: line " + std::to_string(nLine) +
                               " is neither [Section] nor Key=Value");
            return problems;
        }
        const std::string key = Decoded(Trimmed(line.substr(0, eq)));
        for (const CKnownSetting& k : known) {
            const bool bSection = section == k.m_strSection;
            const bool bKey = key == k.m_strKey;
            if ((bSection && bKey) || !EqualNoCase(section, k.m_strSection) || !EqualNoCase(key, k.m_strKey))
                continue;
            problems.push_back(section + "/" + key + ": no such setting; it is spelt " + k.m_strSection + "/" +
                               k.m_strKey);
        }
    }

    // The servers as the lookups would read them: each must be something to connect to.
    for (size_t i = 0; i < kWhoisRoleCount; ++i) {
        const char* pszKey = CWhoisServerTable::ValueName(EWhoisRole(i));
        const std::string kMissing = "\x01";
        const std::string host = store.GetProfileString(WhoisTexts::kSection, pszKey, kMissing);
        if (host == kMissing)
            continue;
        if (const std::string why = HostProblem(host); !why.empty())
            problems.push_back(std::string(WhoisTexts::kSection) + "/" + pszKey + ": " + why);
    }

    const CRdapSettings rdap = LoadRdapSettings(store);
    if (!rdap.m_strBootstrapFile.empty()) {
        CRdapBootstrap bootstrap;
        std::string error;
        if (!bootstrap.ReadFile(rdap.m_strBootstrapFile, error))
            problems.push_back(std::string(RdapSettingNames::kSection) + "/" + RdapSettingNames::kBootstrapFile + ": " +
                               error);
    }
    if (!rdap.m_strCaFile.empty()) {
        struct stat st { };
        std::string why;
        if (::stat(rdap.m_strCaFile.c_str(), &st) != 0)
            why = std::strerror(errno);
        else if (!S_ISREG(st.st_mode))
            why = S_ISDIR(st.st_mode) ? "is a directory" : "is not a regular file";
        else if (::access(rdap.m_strCaFile.c_str(), R_OK) != 0)
            why = std::strerror(errno);
        if (!why.empty())
            problems.push_back(std::string(RdapSettingNames::kSection) + "/" + RdapSettingNames::kCaFile + ": " +
                               rdap.m_strCaFile + ": " + why);
    }
    return problems;
}
