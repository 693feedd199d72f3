#pragma once

#include <cstdint>
#include <string>

// What reading a text file found. Reading never throws: a failure ends reading
// and keeps what was read.
struct CTextReadResult {
    bool m_bOpened = false; // false: the file could not be opened, the text is empty
    bool m_bComplete = false; // read to its end without an error
    uint64_t m_nBytesCut = 0; // bytes dropped after zero bytes inside their chunk
    std::string m_strError; // why reading failed or ended early
};

// Reads a plain or gzip-compressed file through zlib's gz reader, which passes
// plain files through unchanged, into strText (replaced). The file is read in
// chunks of 1000 bytes; a zero byte cuts its chunk short, and reading goes on
// with the next chunk. The text is held once: its buffer is sized from the file
// before reading, so a large log does not need a second copy while it grows.
// Character and block devices are refused: /dev/zero and its like never end.
// A compressed file stops being read once its text passes 64 times the file's size
// or nMinLimit, whichever is larger (the result then says so and is not complete).
inline constexpr uint64_t kMinTextLimit = uint64_t(1) << 30;
CTextReadResult ReadTextFile(const std::string& strPath, std::string& strText, uint64_t nMinLimit = kMinTextLimit);

// Creates the file or truncates an existing one and writes the bytes as they
// are. False with the reason when the file could not be created or written.
bool WriteTextFile(const std::string& strPath, const std::string& strText, std::string& strError);
