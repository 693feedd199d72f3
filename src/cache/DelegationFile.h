#pragma once

#include "cache/CacheAddress.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One IPv4 or IPv6 record of a delegation file: who holds first..last since when.
struct CDelegationBlock {
    std::string m_strRegistry; // "ripencc", "arin", ...
    std::string m_strCountry; // ISO 3166 code; empty for reserved and available blocks
    std::string m_strDate; // yyyymmdd of the allocation; empty or 00000000 when unknown
    std::string m_strStatus; // allocated, assigned, available, reserved
    CCacheAddress m_first;
    CCacheAddress m_last;
};

// A registry's delegated-<registry>[-extended]-latest file as read: the version
// line, the summary lines and the records.
struct CDelegationFile {
    std::string m_strError; // why the file was refused; empty when it was read
    std::string m_strRegistry; // of the version line
    std::string m_strSerial;
    int64_t m_nHeaderRecords = 0; // the version line's record count
    int64_t m_nRecords = 0; // record lines read, of every type
    int64_t m_nSummaryRecords = -1; // the summary lines' counts added up; -1 without summaries
    std::vector<CDelegationBlock> m_blocks; // the ipv4 and ipv6 records

    bool IsRead() const { return m_strError.empty(); }
};

// Reads the file. IPv4 records count addresses (any number, not only powers of
// two), IPv6 records give a prefix length; ASN and unknown types are counted and
// skipped. A malformed version line or record refuses the whole file, naming its line.
CDelegationFile ParseDelegationFile(std::string_view text);

// Empty when the records read are as many as the version line and the summaries
// announce: a cut download fails this; else why not.
std::string CheckDelegationCount(const CDelegationFile& file);

// The digest of a .md5 file in either published form, "MD5 (name) = hex" or
// "hex  name": the first 32-hex-digit word of its first non-empty line, in lower
// case; empty when there is none. The name is not compared (ARIN's names the dated file).
std::string Md5OfChecksumFile(std::string_view text);

// MD5 of the bytes, 32 lower-case hex digits.
std::string Md5Hex(std::string_view bytes);

// Empty when the bytes have the digest the .md5 file names; else why not.
std::string CheckDelegationMd5(std::string_view bytes, std::string_view md5File);
