#include "cache/CacheDatabase.h"

#include "cache/CacheStatement.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The tables, created once in a new file. Ranges are (family, first, last) with
// the addresses as big-endian blobs of 4 or 16 bytes, so SQLite's memcmp order is
// the numeric order; span_class is floor(log2(number of addresses)), which bounds
// how far before an address a range holding it can start.
const char* const kSchema = R"SQL(
CREATE TABLE answers (
  id INTEGER PRIMARY KEY,
  family INTEGER NOT NULL,
  first BLOB NOT NULL,
  last BLOB NOT NULL,
  span_class INTEGER NOT NULL,
  source TEXT NOT NULL,
  server TEXT NOT NULL,
  fetched INTEGER NOT NULL,
  used INTEGER NOT NULL,
  bytes INTEGER NOT NULL,
  answer BLOB NOT NULL,
  UNIQUE (family, first, last)
);
CREATE INDEX answers_by_class ON answers (family, span_class, first);
CREATE INDEX answers_by_use ON answers (used);
CREATE TABLE totals (name TEXT PRIMARY KEY, value INTEGER NOT NULL);
INSERT INTO totals VALUES ('answer bytes', 0);
CREATE TRIGGER answers_added AFTER INSERT ON answers BEGIN
  UPDATE totals SET value = value + NEW.bytes WHERE name = 'answer bytes';
END;
CREATE TRIGGER answers_dropped AFTER DELETE ON answers BEGIN
  UPDATE totals SET value = value - OLD.bytes WHERE name = 'answer bytes';
END;
CREATE TRIGGER answers_changed AFTER UPDATE OF bytes ON answers BEGIN
  UPDATE totals SET value = value - OLD.bytes + NEW.bytes WHERE name = 'answer bytes';
END;
CREATE TABLE delegations (
  registry TEXT NOT NULL,
  country TEXT NOT NULL,
  date TEXT NOT NULL,
  status TEXT NOT NULL,
  family INTEGER NOT NULL,
  first BLOB NOT NULL,
  last BLOB NOT NULL
);
CREATE INDEX delegations_by_first ON delegations (family, first);
CREATE INDEX delegations_by_registry ON delegations (registry);
CREATE TABLE delegation_files (
  registry TEXT PRIMARY KEY,
  serial TEXT NOT NULL,
  records INTEGER NOT NULL,
  imported INTEGER NOT NULL
);
)SQL";

bool IsDamageCode(int nCode)
{
    const int nPrimary = nCode & 0xff;
    return nPrimary == SQLITE_NOTADB || nPrimary == SQLITE_CORRUPT;
}

std::string Stamp(int64_t nNow)
{
    const time_t t = time_t(nNow);
    struct tm tmLocal { };
    localtime_r(&t, &tmLocal);
    char buf[32] = {};
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tmLocal);
    return buf;
}

bool MakeFolders(const std::string& strPath)
{
    for (size_t i = 1; i < strPath.size(); ++i) {
        if (strPath[i] != '/')
            continue;
        const std::string strFolder = strPath.substr(0, i);
        if (::mkdir(strFolder.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

} // namespace

CCacheDatabase::~CCacheDatabase()
{
    Close();
}

void CCacheDatabase::Close()
{
    if (m_pDb)
        sqlite3_close_v2(m_pDb);
    m_pDb = nullptr;
    ++m_nGeneration;
}

std::string CCacheDatabase::LastError() const
{
    if (!m_pDb)
        return "the cache is not open";
    return std::string(sqlite3_errmsg(m_pDb)) + " (code " + std::to_string(sqlite3_extended_errcode(m_pDb)) + ")";
}

CCacheResult CCacheDatabase::Exec(const char* pszSql)
{
    if (!m_pDb)
        return CCacheResult::Fail("the cache is not open");
    char* pszError = nullptr;
    if (sqlite3_exec(m_pDb, pszSql, nullptr, nullptr, &pszError) == SQLITE_OK)
        return CCacheResult::Ok();
    std::string strError = pszError ? pszError : LastError();
    sqlite3_free(pszError);
    return CCacheResult::Fail(strError);
}

void CCacheDatabase::Rollback()
{
    if (m_pDb && !sqlite3_get_autocommit(m_pDb))
        sqlite3_exec(m_pDb, "ROLLBACK", nullptr, nullptr, nullptr);
}

CCacheResult CCacheDatabase::CreateSchema()
{
    // Space freed by pruning goes back to the file system a little at a time.
    CCacheResult r = Exec("PRAGMA auto_vacuum = INCREMENTAL");
    if (r)
        r = Exec(kSchema);
    if (r)
        r = Exec(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
    if (r)
        r = Exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    return r;
}

CCacheDatabase::EState CCacheDatabase::OpenOnce(std::string& strWhy)
{
    Close();
    if (!MakeFolders(m_strPath)) {
        strWhy = "cannot create the folder of " + m_strPath + ": " + std::strerror(errno);
        return EState::kFailed;
    }
    sqlite3* pDb = nullptr;
    const int nOpen = sqlite3_open_v2(m_strPath.c_str(), &pDb,
                                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    m_pDb = pDb;
    if (nOpen != SQLITE_OK) {
        strWhy = LastError();
        const EState state = IsDamageCode(nOpen) ? EState::kDamaged : EState::kFailed;
        Close();
        return state;
    }
    sqlite3_extended_result_codes(m_pDb, 1);
    sqlite3_busy_timeout(m_pDb, m_nBusyTimeoutMs);
    struct stat st { };
    if (::stat(m_strPath.c_str(), &st) == 0) {
        m_nDev = st.st_dev;
        m_nIno = st.st_ino;
    }

    // Looked at under the write lock, so two processes starting on a new file do
    // not both create the tables, nor take the other's half-made file for damaged.
    const CCacheResult begin = BeginWrite();
    if (!begin) {
        strWhy = begin.m_strError;
        return IsDamageCode(sqlite3_extended_errcode(m_pDb)) ? EState::kDamaged : EState::kFailed;
    }
    int64_t nAppId = -1, nVersion = -1, nObjects = -1;
    {
        CCacheStatement app(m_pDb, "PRAGMA application_id");
        if (app.Step() == SQLITE_ROW)
            nAppId = app.Int(0);
        CCacheStatement version(m_pDb, "PRAGMA user_version");
        if (version.Step() == SQLITE_ROW)
            nVersion = version.Int(0);
        CCacheStatement objects(m_pDb, "SELECT count(*) FROM sqlite_schema");
        if (objects.Step() == SQLITE_ROW)
            nObjects = objects.Int(0);
    }
    if (nAppId < 0 || nVersion < 0 || nObjects < 0) {
        strWhy = LastError();
        const bool bDamaged = IsDamageCode(sqlite3_extended_errcode(m_pDb));
        Rollback();
        return bDamaged ? EState::kDamaged : EState::kFailed;
    }
    if (nAppId == 0 && nObjects == 0) {
        CCacheResult r = CreateSchema();
        if (r)
            r = Commit();
        if (!r) {
            strWhy = r.m_strError;
            Rollback();
            return EState::kFailed;
        }
    } else {
        Rollback();
        if (nAppId != kApplicationId) {
            strWhy = "it is an SQLite file of another program";
            return EState::kForeign;
        }
        if (nVersion != kSchemaVersion) {
            strWhy = "its layout version " + std::to_string(nVersion) + " is not " + std::to_string(kSchemaVersion);
            return EState::kForeign;
        }
        // Every table in place, with every column this program reads.
        CCacheStatement check(m_pDb, "SELECT a.id, a.family, a.first, a.last, a.span_class, a.source, a.server, "
                                     "a.fetched, a.used, a.bytes, a.answer, t.value, d.registry, d.country, d.date, "
                                     "d.status, d.family, d.first, d.last, f.registry, f.serial, f.records, "
                                     "f.imported FROM answers a, totals t, delegations d, delegation_files f LIMIT 0");
        if (!check.IsValid()) {
            strWhy = "its tables are not this program's: " + LastError();
            return IsDamageCode(check.PrepareCode()) ? EState::kDamaged : EState::kForeign;
        }
    }
    // Readers never wait for a writer; a commit needs no sync of its own (a cache
    // may lose its last answers in a power cut, never its consistency).
    CCacheResult wal = Exec("PRAGMA journal_mode = WAL");
    if (wal)
        wal = Exec("PRAGMA synchronous = NORMAL");
    if (!wal) {
        strWhy = wal.m_strError;
        return IsDamageCode(sqlite3_extended_errcode(m_pDb)) ? EState::kDamaged : EState::kFailed;
    }
    return EState::kReady;
}

std::string CCacheDatabase::MoveAside(int64_t nNow, std::string& strError)
{
    // Another process may have moved it first and started a new file under the name:
    // that one stays.
    struct stat st { };
    if (::stat(m_strPath.c_str(), &st) == 0 && m_nIno != 0 && (st.st_dev != m_nDev || st.st_ino != m_nIno))
        return std::string();
    Close();
    std::string strAside = m_strPath + ".damaged-" + Stamp(nNow);
    for (int n = 2; ::access(strAside.c_str(), F_OK) == 0 && n < 100; ++n)
        strAside = m_strPath + ".damaged-" + Stamp(nNow) + "-" + std::to_string(n);
    if (std::rename(m_strPath.c_str(), strAside.c_str()) != 0) {
        strError = "cannot move " + m_strPath + " aside: " + std::strerror(errno);
        return std::string();
    }
    // Its journal belongs to it, not to the new file.
    std::rename((m_strPath + "-wal").c_str(), (strAside + "-wal").c_str());
    std::remove((m_strPath + "-shm").c_str());
    std::remove((m_strPath + "-journal").c_str());
    return strAside;
}

CCacheOpenResult CCacheDatabase::Open(const std::string& strPath, int64_t nNow, int nBusyTimeoutMs)
{
    CCacheOpenResult result;
    Close();
    m_strPath = strPath;
    m_nBusyTimeoutMs = nBusyTimeoutMs;
    m_bRecovered = false;
    if (strPath.empty()) {
        result.m_strError = "the answer cache is off";
        return result;
    }
    std::string strWhy;
    EState state = OpenOnce(strWhy);
    if (state == EState::kForeign || state == EState::kDamaged) {
        std::string strError;
        const std::string strAside = MoveAside(nNow, strError);
        if (!strError.empty()) {
            Close();
            result.m_strError = strError;
            return result;
        }
        if (!strAside.empty())
            result.m_strNotice = "the answer cache " + strPath + " could not be used (" + strWhy + "); moved to " +
                                 strAside + " and started anew";
        m_bRecovered = true;
        state = OpenOnce(strWhy);
    }
    if (state != EState::kReady) {
        Close();
        result.m_strError = "cannot open the answer cache " + strPath + ": " + strWhy;
        return result;
    }
    result.m_bOpen = true;
    return result;
}

std::string CCacheDatabase::HandleFailure(int nCode, int64_t nNow)
{
    if (!IsDamageCode(nCode) || !m_pDb || m_bRecovered)
        return std::string();
    m_bRecovered = true;
    Rollback();
    std::string strError;
    const std::string strAside = MoveAside(nNow, strError);
    if (!strError.empty()) {
        Close();
        return strError + "; the answer cache is off";
    }
    std::string strWhy;
    const EState state = OpenOnce(strWhy);
    std::string strNotice = "the answer cache " + m_strPath + " is damaged";
    if (!strAside.empty())
        strNotice += "; moved to " + strAside;
    if (state != EState::kReady) {
        Close();
        return strNotice + "; cannot start a new one: " + strWhy;
    }
    return strNotice + " and started anew";
}
