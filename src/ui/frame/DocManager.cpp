#include "ui/frame/DocManager.h"

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
    std::string strError;
    if (!m_doc.OnSaveDocument(strTarget, &strError)) {
        m_prompts.ShowMessage(m_pParent,
                              QString::fromLatin1(CNetloreDoc::kMsgFailedToSave) + "\n\n" + ToQString(strError));
        return false;
    }
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
