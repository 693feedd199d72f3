#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// One prepared SQLite statement, finalized when it goes. Binds count from 1,
// columns from 0, as SQLite does.
class CCacheStatement
{
public:
    CCacheStatement() = default;
    CCacheStatement(sqlite3* pDb, const char* pszSql);
    ~CCacheStatement();
    CCacheStatement(const CCacheStatement&) = delete;
    CCacheStatement& operator=(const CCacheStatement&) = delete;

    bool IsValid() const { return m_pStmt != nullptr; }
    // The result code of preparing it.
    int PrepareCode() const { return m_nPrepare; }

    CCacheStatement& Bind(int nIndex, int64_t nValue);
    CCacheStatement& BindText(int nIndex, std::string_view text);
    CCacheStatement& BindBlob(int nIndex, std::string_view bytes);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step();
    // Ready to run again, bindings cleared.
    void Reset();

    int64_t Int(int nColumn) const;
    std::string_view Blob(int nColumn) const;
    std::string Text(int nColumn) const;

private:
    sqlite3_stmt* m_pStmt = nullptr;
    int m_nPrepare = 0;
};
