#include "ui/frame/DocManager.h"

#include "core/document/DocumentLock.h"
#include "core/document/NetloreDoc.h"
#include "ui/TextConv.h"
#include "ui/frame/FilePrompt.h"
#include "ui/frame/FramePrompts.h"
#include "ui/frame/FrameTexts.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QString>

#include <set>
#include <unistd.h>

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
    m_recovery.Reset(std::string());
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
    // A recovery file beside a document nobody else has open is a crashed run's.
    if (pLock && pLock->IsHeld() && QFileInfo::exists(ToQString(CRecoveryFile::PathFor(strPath)))) {
        switch (OfferRecovery(CRecoveryFile::PathFor(strPath), strPath, pLock, false)) {
        case kRestored:
            return true;
        case kLeft:
            return false;
        case kDiscarded:
            break;
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
    // A document open read-only keeps its recovery file among the untitled ones:
    // the one beside it belongs to the window that writes it.
    m_recovery.Reset(bReadOnly ? std::string() : strPath);
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
    m_recovery.Reset(strTarget);
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

// ------------------------------------------------------------------ recovery file

bool CDocManager::WriteRecovery(std::string& strError)
{
    return m_recovery.Write(m_doc, strError);
}

void CDocManager::OfferLeftoverRecoveries(const std::string& strFolder)
{
    std::vector<std::pair<std::string, std::string>> leftovers; // recovery file, document (empty: untitled)
    for (const std::string& strRecovery : CRecoveryFile::FindUntitled(strFolder))
        leftovers.emplace_back(strRecovery, std::string());
    for (const std::string& strDoc : m_recent.GetFiles())
        if (strDoc != m_doc.GetPathName() && QFileInfo::exists(ToQString(CRecoveryFile::PathFor(strDoc))))
            leftovers.emplace_back(CRecoveryFile::PathFor(strDoc), strDoc);
    for (const auto& [strRecovery, strDoc] : leftovers) {
        if (strRecovery == m_recovery.GetPath())
            continue;
        // Held by a live process: that window is still at work on it.
        auto pLock = std::make_unique<CDocumentLock>();
        if (pLock->Acquire(strDoc.empty() ? CRecoveryFile::DocumentOf(strRecovery) : strDoc) != CDocumentLock::acquired)
            continue;
        // One document at a time: the others wait for the next start.
        if (OfferRecovery(strRecovery, strDoc, pLock, true) == kRestored)
            return;
    }
}

CDocManager::EOffer CDocManager::OfferRecovery(const std::string& strRecovery, const std::string& strDocPath,
                                               std::unique_ptr<CDocumentLock>& pLock, bool bSaveFirst)
{
    const QFileInfo info(ToQString(strRecovery));
    const QString strWhen = QLocale().toString(info.lastModified(), QLocale::ShortFormat);
    const QString strDoc = strDocPath.empty() ? QString::fromLatin1(FT::kUntitled) : ToQString(strDocPath);
    switch (m_prompts.AskYesNoCancel(m_pParent,
                                     QString::fromLatin1(FT::kRecoveryOffer).arg(strDoc, strWhen, info.filePath()))) {
    case CFramePrompts::kYes:
        break;
    case CFramePrompts::kNo:
        ::unlink(strRecovery.c_str());
        return kDiscarded;
    case CFramePrompts::kCancel:
        return kLeft;
    }
    if ((bSaveFirst && !SaveModified()) || !ReadRecovery(strRecovery))
        return kLeft;
    m_doc.SetPathName(strDocPath);
    m_doc.RefreshTitle();
    m_doc.SetModifiedFlag(true);
    m_bReadOnly = false;
    m_recovery.Reset(strDocPath);
    if (strDocPath.empty()) {
        m_pLock.reset();
        m_recovery.Adopt(strRecovery, std::move(pLock));
    } else {
        m_pLock = std::move(pLock);
        m_recovery.Adopt(strRecovery, nullptr);
        m_recent.Add(strDocPath);
        m_recent.Save(m_store);
    }
    Changed();
    return kRestored;
}

bool CDocManager::ReadRecovery(const std::string& strRecovery)
{
    // Read aside first: a damaged file must leave the open document as it was.
    std::vector<std::string> errors;
    auto sink = [&errors](const std::string& strMessage) {
        if (errors.size() < 3)
            errors.push_back(strMessage);
    };
    CNetloreDoc probe;
    int nErrors = 0;
    QString strWhy;
    if (!probe.OnOpenDocument(strRecovery, sink, &nErrors)) {
        strWhy = QString::fromLatin1(FT::kRecoveryUnreadable);
    } else if (nErrors > 0) {
        strWhy = QString::fromLatin1(FT::kRecoveryDamagedReason);
        for (const std::string& strMessage : errors)
            strWhy += QStringLiteral("\n") + ToQString(strMessage);
    }
    if (!strWhy.isEmpty()) {
        m_prompts.ShowMessage(m_pParent, QString::fromLatin1(FT::kRecoveryDamaged).arg(ToQString(strRecovery), strWhy));
        return false;
    }
    probe.OnCloseDocument();
    return m_doc.OnOpenDocument(strRecovery, [](const std::string&) {});
}
