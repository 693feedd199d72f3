#include "cache/DelegationStore.h"

#include "cache/CacheDatabase.h"
#include "cache/CacheStatement.h"
#include "cache/DelegationFile.h"

#include <sqlite3.h>

CCacheResult CDelegationStore::Replace(const CDelegationFile& file, int64_t nNow)
{
    if (!m_db.IsOpen())
        return CCacheResult::Fail("the cache is not open");
    if (!file.IsRead())
        return CCacheResult::Fail(file.m_strError);
    CCacheResult r = m_db.BeginWrite();
    if (!r)
        return r;
    auto fail = [&](const std::string& strError) {
        m_db.Rollback();
        return CCacheResult::Fail(strError);
    };
    {
        CCacheStatement drop(m_db.Handle(), "DELETE FROM delegations WHERE registry = ?1");
        drop.BindText(1, file.m_strRegistry);
        if (drop.Step() != SQLITE_DONE)
            return fail(m_db.LastError());
        CCacheStatement add(m_db.Handle(), "INSERT INTO delegations (registry, country, date, status, family, first, "
                                           "last) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        for (const CDelegationBlock& b : file.m_blocks) {
            add.Reset();
            add.BindText(1, b.m_strRegistry)
                .BindText(2, b.m_strCountry)
                .BindText(3, b.m_strDate)
                .BindText(4, b.m_strStatus)
                .Bind(5, b.m_first.m_nFamily)
                .BindBlob(6, b.m_first.Bytes())
                .BindBlob(7, b.m_last.Bytes());
            if (add.Step() != SQLITE_DONE)
                return fail(m_db.LastError());
        }
        CCacheStatement note(m_db.Handle(), "INSERT OR REPLACE INTO delegation_files (registry, serial, records, "
                                            "imported) VALUES (?1, ?2, ?3, ?4)");
        note.BindText(1, file.m_strRegistry).BindText(2, file.m_strSerial).Bind(3, file.m_nRecords).Bind(4, nNow);
        if (note.Step() != SQLITE_DONE)
            return fail(m_db.LastError());
    }
    r = m_db.Commit();
    if (!r)
        return fail(r.m_strError);
    return r;
}

std::vector<CDelegationImport> CDelegationStore::Imports()
{
    std::vector<CDelegationImport> imports;
    if (!m_db.IsOpen())
        return imports;
    CCacheStatement s(m_db.Handle(), "SELECT registry, serial, records, imported FROM delegation_files ORDER BY 1");
    while (s.Step() == SQLITE_ROW)
        imports.push_back({s.Text(0), s.Text(1), s.Int(2), s.Int(3)});
    return imports;
}

CDelegationIndexResult CDelegationStore::LoadIndex()
{
    CDelegationIndexResult result;
    if (!m_db.IsOpen()) {
        result.m_strError = "the cache is not open";
        return result;
    }
    CCacheStatement s(m_db.Handle(), "SELECT registry, country, date, status, family, first, last FROM delegations");
    int nStep;
    while ((nStep = s.Step()) == SQLITE_ROW) {
        const int nFamily = int(s.Int(4));
        const auto first = CCacheAddress::FromBytes(nFamily, s.Blob(5));
        const auto last = CCacheAddress::FromBytes(nFamily, s.Blob(6));
        if (!first || !last)
            continue;
        result.m_index.Add(*first, *last, s.Text(0), s.Text(1), s.Text(2), s.Text(3));
    }
    if (nStep != SQLITE_DONE)
        result.m_strError = m_db.LastError();
    result.m_index.Finish();
    return result;
}
