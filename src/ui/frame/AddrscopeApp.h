#pragma once

#include "ui/frame/FrameServices.h"

#include <QString>
#include <QStringList>

#include <memory>

class CMainFrame;
class CSettingsStore;

// The application's start and end: the run marker that tells a crashed or killed
// run from a clean one, the main window, the document named on the command line,
// the window's placement, and reopening the most recent document.
class CAddrscopeApp
{
public:
    // strMarkerFolder: where the run marker lives (the user's application-data
    // folder in the program; a temporary folder in tests).
    CAddrscopeApp(CSettingsStore& store, const QString& strMarkerFolder, const CFrameServices& services = {});
    ~CAddrscopeApp();

    // The start-up steps; false ends the program. files: the documents named on
    // the command line (the first is opened).
    bool InitInstance(const QStringList& files);
    // Removes the run marker.
    void ExitInstance();

    CMainFrame* GetMainFrame() const { return m_pFrame.get(); }
    bool WasUncleanExit() const { return m_bUncleanExit; }
    QString GetMarkerPath() const;
    // The folder below the user's application-data folder, made when missing.
    static QString DefaultMarkerFolder();

private:
    void ShowMainWindow();
    void AutoLoad(const QStringList& files);

    CSettingsStore& m_store;
    QString m_strMarkerFolder;
    CFrameServices m_services;
    std::unique_ptr<CMainFrame> m_pFrame;
    bool m_bUncleanExit = false;
};
