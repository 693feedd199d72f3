// addrscope: the desktop program.

#include "ScriptedLookup.h"
#include "qt/QtSettingsStore.h"
#include "ui/frame/AddrscopeApp.h"
#include "ui/frame/MainFrame.h"
#include "ui/lists/ListTexts.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

namespace {

// The list's display modes by the names the command line takes; 0 for an unknown name.
int DisplayModeCommand(const QString& strName)
{
    const std::pair<const char*, int> modes[] = {{"binary", ListTexts::kModeBinary},
                                                 {"hex", ListTexts::kModeHex},
                                                 {"dotted", ListTexts::kModeQuad},
                                                 {"decimal", ListTexts::kModeDecimal},
                                                 {"details", ListTexts::kModeDetails}};
    for (const auto& [pszName, nCommand] : modes)
        if (strName == QLatin1String(pszName))
            return nCommand;
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QString::fromLatin1(CQtSettingsStore::OrganizationName()));
    QApplication::setApplicationName(QString::fromLatin1(CQtSettingsStore::ApplicationName()));
    QApplication::setApplicationVersion(QStringLiteral(ADDRSCOPE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("addrscope"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Finds out who holds IPv4 addresses."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption settingsOption(
        QStringLiteral("settings"), QStringLiteral("Use this INI file as the settings store."), QStringLiteral("FILE"));
    const QCommandLineOption lookupOption(QStringLiteral("lookup"),
                                          QStringLiteral("Type ADDRESS into the quick lookup bar and press Lookup."),
                                          QStringLiteral("ADDRESS"));
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"), QStringLiteral("With --lookup: save a picture of the window once answered."),
        QStringLiteral("FILE"));
    const QCommandLineOption quitOption(QStringLiteral("quit-after-result"),
                                        QStringLiteral("With --lookup: end once answered, without saving."));
    const QCommandLineOption timeoutOption(QStringLiteral("lookup-timeout"),
                                           QStringLiteral("With --lookup: seconds to wait (default 60)."),
                                           QStringLiteral("SECONDS"), QStringLiteral("60"));
    const QCommandLineOption modeOption(
        QStringLiteral("display-mode"),
        QStringLiteral("Show the list as binary, hex, dotted or decimal, or the details table."),
        QStringLiteral("MODE"));
    parser.addOptions({settingsOption, lookupOption, screenshotOption, quitOption, timeoutOption, modeOption});
    parser.addPositionalArgument(QStringLiteral("document"), QStringLiteral("A .qdl document to open."));
    parser.process(app);
    const int nModeCommand = parser.isSet(modeOption) ? DisplayModeCommand(parser.value(modeOption)) : 0;
    if (parser.isSet(modeOption) && nModeCommand == 0) {
        std::fprintf(stderr, "addrscope: unknown display mode %s\n", qPrintable(parser.value(modeOption)));
        return 2;
    }

    std::unique_ptr<CQtSettingsStore> pStore = parser.isSet(settingsOption)
                                                   ? std::make_unique<CQtSettingsStore>(parser.value(settingsOption))
                                                   : std::make_unique<CQtSettingsStore>();

    CAddrscopeApp addrscope(*pStore, CAddrscopeApp::DefaultMarkerFolder());
    if (!addrscope.InitInstance(parser.positionalArguments())) {
        addrscope.ExitInstance();
        return 1;
    }

    // An unattended run has nobody to close a dialog: the log of messages says it.
    addrscope.GetMainFrame()->CheckSettingsFile(pStore->Settings().fileName().toLocal8Bit().toStdString(),
                                                !parser.isSet(lookupOption));

    if (nModeCommand != 0)
        addrscope.GetMainFrame()->OnCommand(nModeCommand);

    std::unique_ptr<CScriptedLookup> pScript;
    if (parser.isSet(lookupOption)) {
        pScript = std::make_unique<CScriptedLookup>(*addrscope.GetMainFrame(), parser.value(lookupOption),
                                                    parser.value(screenshotOption), parser.isSet(quitOption),
                                                    parser.value(timeoutOption).toInt() * 1000);
        pScript->Start();
    }
    const int nResult = app.exec();
    // Lookups still running are cancelled: with no window left nothing could store
    // their results, and a server that never answers must not keep the program
    // alive for minutes. Their workers end at once and are joined as the frame goes.
    if (CMainFrame* pFrame = addrscope.GetMainFrame()) {
        pFrame->GetRun().CancelRunning();
        pFrame->DestroyViews();
    }
    addrscope.ExitInstance();
    pStore->Sync();
    return nResult;
}
