#pragma once

#include "core/text/TextSource.h"

#include <cstdint>
#include <string>

typedef struct gzFile_s* gzFile;

// What reading a text file found. Reading never throws: a failure ends reading
// and keeps what was read.
struct CTextReadResult {
    bool m_bOpened = false; // false: the file could not be opened, the text is empty
    bool m_bComplete = false; // read to its end without an error
    uint64_t m_nBytesCut = 0; // bytes dropped after zero bytes inside their chunk (or of damaged lines)
    uint64_t m_nDamagedLines = 0; // lines dropped for a zero byte (SkipDamagedLines)
    uint64_t m_nTextBytes = 0; // bytes of text delivered
    std::string m_strError; // why reading failed or ended early
};

// Reads a plain or gzip-compressed file through zlib's gz reader, which passes
// plain files through unchanged, piece by piece: the text never needs to fit in
// memory. The file is read in chunks of 1000 bytes; a zero byte cuts its chunk
// short, and reading goes on with the next chunk. Character and block devices are
// refused: /dev/zero and its like never end.
class CTextFileReader : public CTextSource
{
public:
    CTextFileReader() = default;
    ~CTextFileReader() override;
    CTextFileReader(const CTextFileReader&) = delete;
    CTextFileReader& operator=(const CTextFileReader&) = delete;

    // False when the file cannot be read at all (the reason in Result()).
    [[nodiscard]] bool Open(const std::string& strPath);
    // Instead of cutting a chunk at a zero byte, drops only the line (up to CR or LF)
    // that holds it, and counts it: the valid lines around it are kept. Before Open.
    void SkipDamagedLines() { m_bSkipDamagedLines = true; }
    bool Read(std::string& strBuffer, size_t nWanted) override;
    // A plain file by the text's offset, a compressed one by the compressed bytes read.
    int Percent(uint64_t nTextOffset) const override;
    // True when the file holds no text at all; reads ahead to find out (kept for Read).
    [[nodiscard]] bool IsEmpty();
    // The outcome so far; complete once Read has returned false without an error.
    const CTextReadResult& Result() const { return m_result; }
    // The file's size in bytes, and whether it is gzip-compressed.
    uint64_t FileSize() const { return m_nFileSize; }
    bool IsCompressed() const { return m_bCompressed; }
    // The uncompressed size the file announces (its own size for a plain file, the
    // gzip trailer's length within what deflate can produce); a hint only.
    uint64_t ExpectedTextSize() const { return m_nExpected; }

private:
    void Finish(int nLastRead);
    void AppendLines(std::string& strBuffer, const char* pData, size_t nSize);

    gzFile m_gz = nullptr;
    int m_fd = -1;
    uint64_t m_nFileSize = 0;
    uint64_t m_nExpected = 0;
    uint64_t m_nCompressedRead = 0;
    uint64_t m_nOffsetAsked = 0; // the text's length when m_nCompressedRead was taken
    bool m_bCompressed = false;
    bool m_bEnded = false;
    std::string m_strAhead; // read by IsEmpty, handed out by the next Read
    bool m_bSkipDamagedLines = false;
    std::string m_strLine; // the line being read, held until its end shows it whole
    bool m_bLineDamaged = false;
    CTextReadResult m_result;
};

// The whole text of a file at once into strText (replaced), for small files. Its
// buffer is sized from the file before reading, so the text is held once. A
// compressed file stops being read once its text passes 64 times the file's size
// or nMinLimit, whichever is larger (the result then says so and is not complete):
// imports of large logs read piece by piece through CTextFileReader instead.
inline constexpr uint64_t kMinTextLimit = uint64_t(1) << 30;
[[nodiscard]] CTextReadResult ReadTextFile(const std::string& strPath, std::string& strText,
                                           uint64_t nMinLimit = kMinTextLimit);

// Replaces the file atomically with the bytes as they are (WriteFileAtomically).
// False with "PATH: reason" in strError when it could not be written; an existing
// file is then unchanged.
[[nodiscard]] bool WriteTextFile(const std::string& strPath, const std::string& strText, std::string& strError);
