#include "ui/frame/FilePrompt.h"

#include "core/settings/SettingsStore.h"
#include "io/IoTexts.h"
#include "ui/TextConv.h"

#include <QFileDialog>
#include <QStringList>

#include <algorithm>

bool CFilePrompt::PromptFileName(QWidget* pParent, CSettingsStore& store, bool bSave, const char* pszFilter,
                                 const char* pszDefaultExt, const char* pszTitle, std::string& strPath)
{
    const QString strChosen = AskFileName(pParent, bSave, QtFilter(pszFilter), QString::fromLatin1(pszDefaultExt),
                                          QString::fromLatin1(pszTitle), RememberedFolder(store, pszDefaultExt));
    if (strChosen.isEmpty())
        return false;
    strPath = ToStdString(strChosen);
    RememberFolder(store, pszDefaultExt, strPath);
    return true;
}

namespace {

// A Windows pattern as Qt's dialog matches it: "*.*" is every file there, also
// those without a dot (access_log); logs are rotated as access.log.1 and named error_log.
QStringList QtPatterns(const QString& strPatterns)
{
    QStringList out;
    for (const QString& strPattern : strPatterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString p = strPattern.trimmed();
        if (p == QStringLiteral("*.*")) {
            out << QStringLiteral("*");
        } else if (p == QStringLiteral("*.log")) {
            out << p << QStringLiteral("*_log") << QStringLiteral("*.log.*");
        } else if (!p.isEmpty()) {
            out << p;
        }
    }
    return out;
}

} // namespace

QString CFilePrompt::QtFilter(const char* pszFilter)
{
    // Pairs of display text and pattern. Qt reads the patterns from the text's
    // parentheses, so the text keeps its name and shows the patterns Qt matches.
    const QStringList parts = QString::fromLatin1(pszFilter).split(QLatin1Char('|'));
    QStringList names;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        QString strName = parts[i];
        const int nParen = strName.indexOf(QLatin1Char('('));
        if (nParen >= 0)
            strName = strName.left(nParen).trimmed();
        names << strName + QStringLiteral(" (") + QtPatterns(parts[i + 1]).join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return names.join(QStringLiteral(";;"));
}

QString CFilePrompt::RememberedFolder(CSettingsStore& store, const char* pszDefaultExt)
{
    const QString strStored = ToQString(store.GetProfileString(IoTexts::kFilePathSection, pszDefaultExt));
    const int nSep = std::max(strStored.lastIndexOf(QLatin1Char('/')), strStored.lastIndexOf(QLatin1Char('\\')));
    return nSep < 0 ? QString() : strStored.left(nSep + 1);
}

void CFilePrompt::RememberFolder(CSettingsStore& store, const char* pszDefaultExt, const std::string& strPath)
{
    const size_t nSep = strPath.find_last_of("/\\");
    if (nSep == std::string::npos)
        return;
    store.WriteProfileString(IoTexts::kFilePathSection, pszDefaultExt,
                             strPath.substr(0, nSep + 1) + "*." + pszDefaultExt);
}

QString CFilePrompt::AskFileName(QWidget* pParent, bool bSave, const QString& strFilter, const QString& strDefaultExt,
                                 const QString& strTitle, const QString& strFolder)
{
    QFileDialog dlg(pParent, strTitle, strFolder, strFilter);
    dlg.setAcceptMode(bSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(bSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dlg.setDefaultSuffix(strDefaultExt);
    dlg.setOption(QFileDialog::ReadOnly, false);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().first();
}
