#include "ui/frame/AddrscopeApp.h"

#include "core/settings/ProgramSettings.h"
#include "core/settings/SettingsLoader.h"
#include "core/settings/SettingsStore.h"
#include "ui/TextConv.h"
#include "ui/frame/DocManager.h"
#include "ui/frame/FrameTexts.h"
#include "ui/frame/MainFrame.h"
#include "ui/frame/WindowPlacement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>

namespace FT = FrameTexts;

CAddrscopeApp::CAddrscopeApp(CSettingsStore& store, const QString& strMarkerFolder, const CFrameServices& services)
    : m_store(store)
    , m_strMarkerFolder(strMarkerFolder)
    , m_services(services)
{
    // Untitled documents keep their recovery files beside the run marker.
    if (m_services.m_strRecoveryFolder.empty())
        m_services.m_strRecoveryFolder = ToStdString(m_strMarkerFolder);
}

CAddrscopeApp::~CAddrscopeApp() = default;

QString CAddrscopeApp::DefaultMarkerFolder()
{
    QString strBase = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (strBase.isEmpty())
        strBase = QDir::tempPath();
    return strBase + QLatin1Char('/') + QString::fromLatin1(FT::kRunMarkerFolder);
}

QString CAddrscopeApp::GetMarkerPath() const
{
    return m_strMarkerFolder + QLatin1Char('/') + QString::fromLatin1(FT::kRunMarkerFile);
}

bool CAddrscopeApp::InitInstance(const QStringList& files)
{
    // A marker left behind means the last run did not end normally.
    m_bUncleanExit = false;
    QDir().mkpath(m_strMarkerFolder);
    QFile marker(GetMarkerPath());
    if (marker.exists()) {
        m_bUncleanExit = true;
    } else if (marker.open(QIODevice::WriteOnly)) {
        marker.write(FT::kRunMarkerContent);
        marker.close();
    }

    m_pFrame = std::make_unique<CMainFrame>(m_store, m_services);
    if (!m_pFrame->Create())
        return false;
    // A named file that cannot be opened has been reported; the program goes on
    // with an empty document rather than refusing to start.
    if (!files.isEmpty())
        m_pFrame->GetDocManager().OpenDocumentFile(ToStdString(files.first()));

    ShowMainWindow();
    AutoLoad(files);
    return true;
}

void CAddrscopeApp::ShowMainWindow()
{
    const QScreen* pScreen = QGuiApplication::primaryScreen();
    const QSize szScreen = pScreen ? pScreen->availableGeometry().size() : QSize(1024, 768);
    if (const auto placement = CWindowPlacement::Load(m_store)) {
        // The geometry was applied while the window was made.
        placement->ShowWindow(*m_pFrame);
        return;
    }
    if (const auto rc = CWindowPlacement::GetDefaultWindowRect(m_store, szScreen, 750, -1))
        m_pFrame->setGeometry(*rc);
    m_pFrame->show();
}

void CAddrscopeApp::AutoLoad(const QStringList& files)
{
    const int nAutoLoad = CSettingsLoader(m_store).Get(ProgramSettings::kAutoDocLoad);
    if (m_bUncleanExit || nAutoLoad == 0 || !files.isEmpty())
        return;
    const std::string strLast = m_store.GetProfileString(FT::kRecentFileSection, "File1");
    if (strLast.empty() || !QFileInfo(ToQString(strLast)).isFile())
        return;
    m_pFrame->GetDocManager().OpenDocumentFile(strLast);
}

void CAddrscopeApp::ExitInstance()
{
    // A normal end: nothing is left to recover.
    if (m_pFrame)
        m_pFrame->GetDocManager().DiscardRecovery();
    QFile::remove(GetMarkerPath());
}
