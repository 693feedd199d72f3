#pragma once

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

private:
    bool DoSave(const std::string& strPath);
    // The lock of strPath for this window; false (and a message) when another holds it.
    // pNewLock receives the new lock when strPath is not the locked document.
    bool LockForSave(const std::string& strPath, std::unique_ptr<CDocumentLock>& pNewLock);
    void Changed();

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
};
