#pragma once

#include "cache/CacheResult.h"

#include <cstdint>
#include <string>
#include <sys/types.h>

struct sqlite3;

// What opening the cache file came to.
struct CCacheOpenResult {
    bool m_bOpen = false;
    // Why it could not be used (m_bOpen false); the caller goes on without it.
    std::string m_strError;
    // Said once when a damaged or foreign file was moved aside and a new one
    // started: where the old one went.
    std::string m_strNotice;
};

// The SQLite file of the answer cache and the delegation data, shared by every
// process of the user: WAL mode, so that readers never wait for a writer, and a
// busy time-out, so that writers queue instead of failing. A file that is not
// SQLite, or is SQLite without this program's application id and tables, is moved
// aside to FILE.damaged-YYYYMMDD-HHMMSS (local time) and a new one started.
class CCacheDatabase
{
public:
    CCacheDatabase() = default;
    ~CCacheDatabase();
    CCacheDatabase(const CCacheDatabase&) = delete;
    CCacheDatabase& operator=(const CCacheDatabase&) = delete;

    // Opens or creates strPath (its folder too). nNow (Unix seconds) names a
    // moved-aside file. An empty path opens nothing.
    CCacheOpenResult Open(const std::string& strPath, int64_t nNow, int nBusyTimeoutMs = 5000);
    void Close();

    bool IsOpen() const { return m_pDb != nullptr; }
    sqlite3* Handle() const { return m_pDb; }
    const std::string& Path() const { return m_strPath; }
    // Grows whenever the connection is replaced: prepared statements of the old one are stale.
    unsigned Generation() const { return m_nGeneration; }
    int BusyTimeoutMs() const { return m_nBusyTimeoutMs; }

    // A statement failed with nCode. When the code says the file is damaged, the
    // file is moved aside and a new one opened (once per open); the notice says so,
    // empty otherwise.
    std::string HandleFailure(int nCode, int64_t nNow);

    // The SQL in one go; the reason on failure.
    CCacheResult Exec(const char* pszSql);
    // "SQL error text (code N)" of the last failure.
    std::string LastError() const;

    // Begins a write transaction (waiting for other writers up to the busy time-out).
    CCacheResult BeginWrite() { return Exec("BEGIN IMMEDIATE"); }
    CCacheResult Commit() { return Exec("COMMIT"); }
    void Rollback();

    static constexpr int kApplicationId = 0x41445253; // "ADRS"
    static constexpr int kSchemaVersion = 1;

private:
    enum class EState
    {
        kReady,
        kForeign, // SQLite, but not ours
        kDamaged, // not SQLite, or unreadable
        kFailed, // could not be opened or checked for another reason
    };
    EState OpenOnce(std::string& strWhy);
    CCacheResult CreateSchema();
    // Moves the file (and its WAL) aside; the new name, empty on failure.
    std::string MoveAside(int64_t nNow, std::string& strError);

    sqlite3* m_pDb = nullptr;
    std::string m_strPath;
    int m_nBusyTimeoutMs = 5000;
    unsigned m_nGeneration = 0;
    bool m_bRecovered = false;
    dev_t m_nDev = 0;
    ino_t m_nIno = 0;
};
