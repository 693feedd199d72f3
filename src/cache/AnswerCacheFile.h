#pragma once

#include "cache/AnswerCache.h"
#include "cache/AnswerCacheSettings.h"
#include "cache/AnswerCacheWriter.h"
#include "cache/CacheDatabase.h"

#include <cstdint>
#include <memory>
#include <string>

class CSettingsStore;

// The answer cache a front end's lookups use: the file the settings name, opened
// once, with its limits. Off when "Answer Cache" is empty; a file that cannot be
// opened leaves it off too (lookups go on without it), with the reason kept for
// the front end to say once.
class CAnswerCacheFile
{
public:
    // True when the cache is usable afterwards.
    bool Open(CSettingsStore& store, const CCacheHomes& homes, int64_t nNow);
    void Close();

    // Null while off.
    CAnswerCache* Cache() { return m_pCache.get(); }
    // A writer of the same file on a thread of its own, for a front end whose thread
    // must not wait for the disk (the window); started on first use, null while off.
    // What it was handed is written before Close returns.
    CAnswerCacheWriter* Writer();
    // The open file, for the delegation data it also holds.
    CCacheDatabase& Database() { return m_db; }
    const std::string& Path() const { return m_strPath; }
    // What to tell the user once (a damaged file moved aside, a file that could not
    // be opened); empty when nothing.
    std::string TakeNotice();

private:
    CCacheDatabase m_db;
    std::unique_ptr<CAnswerCache> m_pCache;
    std::unique_ptr<CAnswerCacheWriter> m_pWriter;
    std::string m_strPath;
    std::string m_strNotice;
};
