#pragma once

#include "core/document/RecoveryFile.h"
#include "ui/frame/RecentFileList.h"

#include <functional>
#include <memory>
#include <string>

class CDocumentLock;
class CFilePrompt;
class CFramePrompts;
class CNetloreDoc;
class CSettingsStore;
class QWidget;

// New, Open, Save and Save As of the one document, the save question before the
// document is replaced or the window closes, and the recent-file list.
class CDocManager
{
public:
    CDocManager(CNetloreDoc& doc, CSettingsStore& store, CFilePrompt& files, CFramePrompts& prompts);
    ~CDocManager();

    void SetParentWidget(QWidget* pParent) { m_pParent = pParent; }
    // Called after the document was replaced, read or saved (title, views, list).
    void SetChangedHandler(std::function<void()> fn) { m_fnChanged = std::move(fn); }

    bool OnFileNew();
    bool OnFileOpen();
    // Asks to save a modified document first; a file that cannot be opened keeps
    // the current document and says "Failed to open document.".
    bool OpenDocumentFile(const std::string& strPath);
    bool OnFileSave();
    bool OnFileSaveAs();
    // "Save changes to %1?" for a modified document: Yes saves (false when that
    // fails or is cancelled), No goes on, Cancel returns false.
    bool SaveModified();

    CRecentFileList& GetRecentFiles() { return m_recent; }
    // The document's title as the window shows it ("Untitled" before the first save).
    std::string GetDisplayTitle() const;
    // Opened while another process writes it: saved only under another name.
    bool IsReadOnly() const { return m_bReadOnly; }

    // ---- recovery file (core/RecoveryFile.h) ----
    // Where untitled documents keep their recovery files; empty: they keep none.
    void SetRecoveryFolder(const std::string& strFolder) { m_recovery.SetFolder(strFolder); }
    // A checkpoint: the document as it stands into its recovery file, the document
    // file untouched. False with "PATH: reason", or an empty reason when there is
    // nowhere to keep it.
    bool WriteRecovery(std::string& strError);
    // The same, written by a thread of its own (see CRecoveryFile::StartWrite).
    bool StartRecoveryWrite(std::string& strError) { return m_recovery.StartWrite(m_doc, strError); }
    CRecoveryFile::EWrite TakeRecoveryResult(std::string& strError) { return m_recovery.TakeWriteResult(strError); }
    bool IsWritingRecovery() const { return m_recovery.IsWriting(); }
    void WaitForRecoveryWrite() { m_recovery.WaitForWrite(); }
    // The document was closed normally: its recovery file goes.
    void DiscardRecovery() { m_recovery.Remove(); }
    const std::string& GetRecoveryPath() const { return m_recovery.GetPath(); }
    // Offers the leftovers of runs that did not end normally: the untitled
    // documents' in the recovery folder, then the recent documents'.
    void OfferLeftoverRecoveries(const std::string& strFolder);

private:
    bool DoSave(const std::string& strPath);
    // The lock of strPath for this window; false (and a message) when another holds it.
    // pNewLock receives the new lock when strPath is not the locked document.
    bool LockForSave(const std::string& strPath, std::unique_ptr<CDocumentLock>& pNewLock);
    void Changed();
    enum EOffer
    {
        kRestored,
        kDiscarded,
        kLeft, // cancelled or unreadable: the file stays for later
    };
    // Asks whether to restore the leftover strRecovery of strDocPath (empty:
    // untitled); pLock: the untitled document's lock, or the named document's.
    // bSaveFirst: the document it replaces may still need saving.
    EOffer OfferRecovery(const std::string& strRecovery, const std::string& strDocPath,
                         std::unique_ptr<CDocumentLock>& pLock, bool bSaveFirst);
    // Reads a recovery file into the document; a damaged or unreadable one is
    // reported and leaves the document as it was.
    bool ReadRecovery(const std::string& strRecovery);

    CNetloreDoc& m_doc;
    CSettingsStore& m_store;
    CFilePrompt& m_files;
    CFramePrompts& m_prompts;
    QWidget* m_pParent = nullptr;
    CRecentFileList m_recent;
    std::function<void()> m_fnChanged;
    // Held while the open document belongs to this window: one writer per document.
    std::unique_ptr<CDocumentLock> m_pLock;
    bool m_bReadOnly = false;
    CRecoveryFile m_recovery;
};
