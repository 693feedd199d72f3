#include "cache/CacheStatement.h"

#include <sqlite3.h>

CCacheStatement::CCacheStatement(sqlite3* pDb, const char* pszSql)
{
    m_nPrepare = sqlite3_prepare_v3(pDb, pszSql, -1, SQLITE_PREPARE_PERSISTENT, &m_pStmt, nullptr);
    if (m_nPrepare != SQLITE_OK) {
        sqlite3_finalize(m_pStmt);
        m_pStmt = nullptr;
    }
}

CCacheStatement::~CCacheStatement()
{
    sqlite3_finalize(m_pStmt);
}

CCacheStatement& CCacheStatement::Bind(int nIndex, int64_t nValue)
{
    sqlite3_bind_int64(m_pStmt, nIndex, nValue);
    return *this;
}

CCacheStatement& CCacheStatement::BindText(int nIndex, std::string_view text)
{
    sqlite3_bind_text64(m_pStmt, nIndex, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    return *this;
}

CCacheStatement& CCacheStatement::BindBlob(int nIndex, std::string_view bytes)
{
    // A zero-length blob, not NULL, for an empty text.
    static const char kNothing = 0;
    sqlite3_bind_blob64(m_pStmt, nIndex, bytes.empty() ? &kNothing : bytes.data(), bytes.size(), SQLITE_TRANSIENT);
    return *this;
}

int CCacheStatement::Step()
{
    return m_pStmt ? sqlite3_step(m_pStmt) : SQLITE_MISUSE;
}

void CCacheStatement::Reset()
{
    if (!m_pStmt)
        return;
    sqlite3_reset(m_pStmt);
    sqlite3_clear_bindings(m_pStmt);
}

int64_t CCacheStatement::Int(int nColumn) const
{
    return sqlite3_column_int64(m_pStmt, nColumn);
}

std::string_view CCacheStatement::Blob(int nColumn) const
{
    const void* p = sqlite3_column_blob(m_pStmt, nColumn);
    const int n = sqlite3_column_bytes(m_pStmt, nColumn);
    return p ? std::string_view(static_cast<const char*>(p), size_t(n)) : std::string_view();
}

std::string CCacheStatement::Text(int nColumn) const
{
    const unsigned char* p = sqlite3_column_text(m_pStmt, nColumn);
    const int n = sqlite3_column_bytes(m_pStmt, nColumn);
    return p ? std::string(reinterpret_cast<const char*>(p), size_t(n)) : std::string();
}
