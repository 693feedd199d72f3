#pragma once

#include "cache/DelegationSettings.h"
#include "net/HttpDownload.h"

#include <cstdint>
#include <string>

class CDelegationStore;

// How one registry's delegation file fared.
struct CDelegationUpdate {
    bool m_bImported = false;
    bool m_bCancelled = false;
    // "imported N blocks (serial S)", or why the file was not imported.
    std::string m_strText;
};

// Downloads the source's file and its .md5, checks the checksum and the record
// count, and replaces that registry's blocks in the store. Anything that fails
// leaves the previous blocks in place. Both front ends use it.
CDelegationUpdate UpdateDelegationSource(const CDelegationSource& source, const CHttpDownloadOptions& options,
                                         CDelegationStore& store, int64_t nNow);
