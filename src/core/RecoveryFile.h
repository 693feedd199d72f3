#pragma once

#include "core/DocumentLock.h"

#include <memory>
#include <string>
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
    ~CRecoveryFile() = default;
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
    // Removes the file (the document was saved, replaced or closed normally).
    void Remove();

    // The file of the current document; empty until the first checkpoint.
    const std::string& GetPath() const { return m_strPath; }

private:
    bool ChooseUntitledPath(std::string& strError);

    std::string m_strFolder;
    std::string m_strDocPath;
    std::string m_strPath;
    std::unique_ptr<CDocumentLock> m_pUntitledLock;
};
