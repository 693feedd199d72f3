#pragma once

#include "core/document/DocumentLock.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class CNetloreDoc;

// The lookup results the window has not saved yet, kept in a file of their own so
// that a crash or a killed window loses at most one checkpoint's worth, while the
// document itself changes only when its user saves it. The file holds a whole
// document in the document format. A named document's file sits beside it
// ("DOC.qdl.recovery"); an untitled one's sits in the program's data folder as
// "Untitled-PID-N.qdl.recovery", with a document lock on "Untitled-PID-N.qdl" just
// like a named document has. A recovery file whose document lock no live process
// holds is a leftover of a run that did not end normally.
class CRecoveryFile
{
public:
    static constexpr const char* kSuffix = ".recovery";
    static constexpr const char* kUntitledPrefix = "Untitled-";

    static std::string PathFor(const std::string& strDocPath) { return strDocPath + kSuffix; }
    // The document a recovery file name belongs to; empty for a name without the suffix.
    static std::string DocumentOf(const std::string& strRecoveryPath);
    // The untitled documents' recovery files in strFolder, sorted by name.
    static std::vector<std::string> FindUntitled(const std::string& strFolder);
    static bool IsUntitledDocument(const std::string& strDocPath);

    // strFolder: where untitled documents keep theirs; empty: they keep none.
    explicit CRecoveryFile(std::string strFolder = std::string())
        : m_strFolder(std::move(strFolder))
    { }
    // Waits for a write still going, so that the file is whole.
    ~CRecoveryFile();
    CRecoveryFile(const CRecoveryFile&) = delete;
    CRecoveryFile& operator=(const CRecoveryFile&) = delete;

    void SetFolder(const std::string& strFolder) { m_strFolder = strFolder; }
    // Checkpoints from now on belong to the document at strDocPath (empty: untitled);
    // the previous document's recovery file is removed.
    void Reset(const std::string& strDocPath);
    // Takes a leftover's file as this document's own (pLock: the untitled document's lock).
    void Adopt(const std::string& strRecoveryPath, std::unique_ptr<CDocumentLock> pLock);
    // Writes the document as it stands; the document and its modified flag are left
    // alone. False with "PATH: reason" in strError, or with strError empty when an
    // untitled document has no folder to keep its file in.
    [[nodiscard]] bool Write(CNetloreDoc& doc, std::string& strError);

    // The same without waiting for the disk: the document's bytes are made now, on
    // the calling thread, and a thread of its own writes them, so a large document's
    // checkpoint does not stop the window. False as Write says, and false with
    // strError empty while the previous write is still going (nothing started then).
    [[nodiscard]] bool StartWrite(CNetloreDoc& doc, std::string& strError);
    enum class EWrite
    {
        kNone,
        kWriting,
        kWritten,
        kFailed
    };
    // How the last StartWrite ended, once (kFailed: with "PATH: reason" in strError).
    EWrite TakeWriteResult(std::string& strError);
    bool IsWriting() const { return m_writer.joinable() && !m_bWriteEnded.load(std::memory_order_acquire); }
    // Waits until a started write has ended; its result stays for TakeWriteResult.
    void WaitForWrite();
    // Removes the file (the document was saved, replaced or closed normally).
    void Remove();

    // The file of the current document; empty until the first checkpoint.
    const std::string& GetPath() const { return m_strPath; }

private:
    bool ChooseUntitledPath(std::string& strError);
    bool ChoosePath(std::string& strError);

    // The background write's bytes, in pieces of 1 MiB (growing one string would copy
    // it again and again), and its outcome; the writer thread alone touches them
    // until it ends.
    std::vector<std::string> m_pieces;
    std::thread m_writer;
    std::atomic<bool> m_bWriteEnded {false};
    bool m_bWriteOk = false;
    std::string m_strWriteError;
    bool m_bResultPending = false;

    std::string m_strFolder;
    std::string m_strDocPath;
    std::string m_strPath;
    std::unique_ptr<CDocumentLock> m_pUntitledLock;
};
