#pragma once

#include <QString>

#include <string>

class CSettingsStore;
class QWidget;

// The open/save file prompt that remembers the last folder per file extension in
// "File Path" (value named after the extension, text "<folder>/*.<ext>").
class CFilePrompt
{
public:
    virtual ~CFilePrompt() = default;

    // True and the chosen full path when the user confirmed.
    bool PromptFileName(QWidget* pParent, CSettingsStore& store, bool bSave, const char* pszFilter,
                        const char* pszDefaultExt, const char* pszTitle, std::string& strPath);

    // A "text (*.a)|*.a|..||" filter in the form Qt's dialogs take.
    static QString QtFilter(const char* pszFilter);
    // The folder remembered for the extension, empty when none.
    static QString RememberedFolder(CSettingsStore& store, const char* pszDefaultExt);
    static void RememberFolder(CSettingsStore& store, const char* pszDefaultExt, const std::string& strPath);

    // The dialog itself (also for documents, whose folder is not remembered);
    // tests answer without one. An empty result is Cancel.
    virtual QString AskFileName(QWidget* pParent, bool bSave, const QString& strFilter, const QString& strDefaultExt,
                                const QString& strTitle, const QString& strFolder);
};
