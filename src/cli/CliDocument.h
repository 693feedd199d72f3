#pragma once

#include "cli/CliCommand.h"
#include "core/NetloreDoc.h"

#include <cstdio>
#include <string>
#include <sys/stat.h>

// Opening and saving a document for the commands. Header only: the commands'
// build picks up Cmd*.cpp files alone.

// How opening went.
struct CCliOpenResult {
    bool m_bOpened = false; // the document is usable (read, or new when allowed)
    bool m_bCreated = false; // the file did not exist: the document is new
    int m_nErrors = 0; // archive errors while reading (reported on stderr)
};

inline CCliOpenResult OpenCliDocument(CCliContext& ctx, const char* pszCommand, const std::string& strPath,
                                      CNetloreDoc& doc, bool bCreateWhenMissing)
{
    CCliOpenResult result;
    struct stat st { };
    if (::stat(strPath.c_str(), &st) != 0 && errno == ENOENT) {
        if (!bCreateWhenMissing) {
            std::fprintf(ctx.err, "addrscope-cli %s: %s: no such document\n", pszCommand, strPath.c_str());
            return result;
        }
        doc.OnNewDocument();
        doc.SetPathName(strPath);
        doc.RefreshTitle();
        result.m_bOpened = true;
        result.m_bCreated = true;
        return result;
    }
    auto sink = [&](const std::string& strMessage) { std::fprintf(ctx.err, "%s\n", strMessage.c_str()); };
    if (!doc.OnOpenDocument(strPath, sink, &result.m_nErrors)) {
        std::fprintf(ctx.err, "addrscope-cli %s: %s: %s\n", pszCommand, strPath.c_str(), CNetloreDoc::kMsgFailedToOpen);
        return result;
    }
    result.m_bOpened = true;
    return result;
}

inline bool SaveCliDocument(CCliContext& ctx, const char* pszCommand, const std::string& strPath, CNetloreDoc& doc)
{
    if (doc.OnSaveDocument(strPath))
        return true;
    std::fprintf(ctx.err, "addrscope-cli %s: %s: %s\n", pszCommand, strPath.c_str(), CNetloreDoc::kMsgFailedToSave);
    return false;
}
