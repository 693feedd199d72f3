#include "ui/frame/DocManager.h"

#include "core/DocumentLock.h"
#include "core/NetloreDoc.h"
#include "ui/TextConv.h"
#include "ui/frame/FilePrompt.h"
#include "ui/frame/FramePrompts.h"
#include "ui/frame/FrameTexts.h"

#include <QString>

#include <set>

namespace FT = FrameTexts;

namespace {

// A damaged file could report an error per record; a few boxes say enough.
constexpr int kMaxErrorBoxes = 5;

QString DocFilter()
{
    return QString::fromLatin1(FT::kDocFilter);
}

} // namespace

CDocManager::CDocManager(CNetloreDoc& doc, CSettingsStore& store, CFilePrompt& files, CFramePrompts& prompts)
    : m_doc(doc)
    , m_store(store)
    , m_files(files)
    , m_prompts(prompts)
{
    m_recent.Load(store);
}

CDocManager::~CDocManager() = default;

bool CDocManager::LockForSave(const std::string& strPath, std::unique_ptr<CDocumentLock>& pNewLock)
{
    if (m_pLock && m_pLock->IsHeld() && strPath == m_doc.GetPathName())
        return true;
    pNewLock = std::make_unique<CDocumentLock>();
    if (pNewLock->Acquire(strPath) != CDocumentLock::inUse)
        return true; // a folder where no lock file can be made does not stop the save itself
    if (m_bReadOnly && strPath == m_doc.GetPathName())
        m_prompts.ShowMessage(m_pParent, QString::fromLatin1(FT::kDocReadOnlySaveAs).arg(ToQString(strPath)));
    else
        m_prompts.ShowMessage(
            m_pParent,
            QString::fromLatin1(FT::kDocInUse).arg(ToQString(strPath)).arg(QString::number(pNewLock->OwnerPid())));
    return false;
}

std::string CDocManager::GetDisplayTitle() const
{
    return m_doc.GetTitle().empty() ? std::string(FT::kUntitled) : m_doc.GetTitle();
}

void CDocManager::Changed()
{
    if (m_fnChanged)
        m_fnChanged();
}

bool CDocManager::OnFileNew()
{
    if (!SaveModified())
        return false;
    m_doc.OnNewDocument();
    m_doc.SetTitle(std::string());
    m_pLock.reset();
    m_bReadOnly = false;
    Changed();
    return true;
}

bool CDocManager::OnFileOpen()
{
    const QString strPath = m_files.AskFileName(m_pParent, false, DocFilter(), QString::fromLatin1(FT::kDocExtension),
                                                QString(), QString());
    if (strPath.isEmpty())
        return false;
    return OpenDocumentFile(ToStdString(strPath));
}

bool CDocManager::OpenDocumentFile(const std::string& strPath)
{
    if (!SaveModified())
        return false;
    // Taken before reading, so that what is read is what this window will save over.
    const bool bKeepLock = m_pLock && m_pLock->IsHeld() && strPath == m_doc.GetPathName();
    std::unique_ptr<CDocumentLock> pLock;
    bool bReadOnly = false;
    if (!bKeepLock) {
        pLock = std::make_unique<CDocumentLock>();
        if (pLock->Acquire(strPath) == CDocumentLock::inUse) {
            const QString strQuestion = QString::fromLatin1(FT::kDocInUseOpenReadOnly)
                                            .arg(ToQString(strPath))
                                            .arg(QString::number(pLock->OwnerPid()));
            if (m_prompts.AskYesNoCancel(m_pParent, strQuestion) != CFramePrompts::kYes)
                return false;
            bReadOnly = true;
            pLock.reset();
        }
    }
    std::vector<std::string> errors;
    std::set<std::string> seen;
    auto sink = [&](const std::string& strMessage) {
        if (int(errors.size()) < kMaxErrorBoxes && seen.insert(strMessage).second)
            errors.push_back(strMessage);
    };
    const bool bOpened = m_doc.OnOpenDocument(strPath, sink);
    for (const std::string& strMessage : errors)
        m_prompts.ShowMessage(m_pParent, ToQString(strMessage));
    if (!bOpened) {
        m_prompts.ShowMessage(m_pParent, QString::fromLatin1(CNetloreDoc::kMsgFailedToOpen));
        m_recent.Remove(strPath);
        m_recent.Save(m_store);
        return false;
    }
    if (!bKeepLock)
        m_pLock = std::move(pLock);
    m_bReadOnly = bReadOnly;
    m_recent.Add(strPath);
    m_recent.Save(m_store);
    Changed();
    return true;
}

bool CDocManager::OnFileSave()
{
    return DoSave(m_doc.GetPathName());
}

bool CDocManager::OnFileSaveAs()
{
    return DoSave(std::string());
}

bool CDocManager::DoSave(const std::string& strPath)
{
    std::string strTarget = strPath;
    if (strTarget.empty()) {
        const QString strChosen =
            m_files.AskFileName(m_pParent, true, DocFilter(), QString::fromLatin1(FT::kDocExtension), QString(),
                                ToQString(m_doc.GetPathName()));
        if (strChosen.isEmpty())
            return false;
        strTarget = ToStdString(strChosen);
    }
    std::unique_ptr<CDocumentLock> pNewLock;
    if (!LockForSave(strTarget, pNewLock))
        return false;
    std::string strError;
    if (!m_doc.OnSaveDocument(strTarget, &strError)) {
        m_prompts.ShowMessage(m_pParent,
                              QString::fromLatin1(CNetloreDoc::kMsgFailedToSave) + "\n\n" + ToQString(strError));
        return false;
    }
    if (pNewLock)
        m_pLock = std::move(pNewLock);
    m_bReadOnly = false;
    m_recent.Add(strTarget);
    m_recent.Save(m_store);
    Changed();
    return true;
}

bool CDocManager::SaveModified()
{
    if (!m_doc.IsModified())
        return true;
    const QString strText = QString::fromLatin1(CNetloreDoc::kMsgSaveChanges).arg(ToQString(GetDisplayTitle()));
    switch (m_prompts.AskYesNoCancel(m_pParent, strText)) {
    case CFramePrompts::kYes:
        return OnFileSave();
    case CFramePrompts::kNo:
        return true;
    case CFramePrompts::kCancel:
        break;
    }
    return false;
}
