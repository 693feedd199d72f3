#include "ui/frame/MainFrame.h"

#include "cache/DelegationStore.h"
#include "core/document/ImportTally.h"
#include "core/record/Clock.h"
#include "core/record/DottedQuad.h"
#include "core/record/HostLookup.h"
#include "core/record/IPAddressData.h"
#include "core/record/LookupJob.h"
#include "core/record/LookupKind.h"
#include "core/settings/CheckedSettingsStore.h"
#include "core/settings/ProgramSettings.h"
#include "core/settings/SettingsLoader.h"
#include "core/settings/SettingsStore.h"
#include "facts/RecordStatus.h"
#include "facts/WhoisFactsCache.h"
#include "io/ImportSummary.h"
#include "io/IoTexts.h"
#include "io/TableExport.h"
#include "io/TextFile.h"
#include "net/LinuxIcmpService.h"
#include "net/SystemNameResolver.h"
#include "sched/DelegationUpdate.h"
#include "sched/SettingsFileCheck.h"
#include "ui/TextConv.h"
#include "ui/frame/ConnSetupDlg.h"
#include "ui/frame/DocManager.h"
#include "ui/frame/FilePrompt.h"
#include "ui/frame/FrameIcons.h"
#include "ui/frame/FramePrompts.h"
#include "ui/frame/FrameTexts.h"
#include "ui/frame/GuiCompletionSink.h"
#include "ui/frame/LogFileImportDlg.h"
#include "ui/frame/LookupOptionsDlg.h"
#include "ui/frame/MessageLogBar.h"
#include "ui/frame/ProgressDlg.h"
#include "ui/frame/SystemTray.h"
#include "ui/frame/TextResultView.h"
#include "ui/frame/WindowPlacement.h"
#include "ui/lists/BigListCtrl.h"
#include "ui/lists/DetailsModel.h"
#include "ui/lists/DetailsView.h"
#include "ui/lists/IPEntryDlgBar.h"
#include "ui/lists/IPListBar.h"
#include "ui/lists/ListTexts.h"
#include "ui/lists/RebarAnimCtrl.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QSizePolicy>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTextDocument>
#include <QThread>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <utility>

namespace FT = FrameTexts;
namespace PS = ProgramSettings;

// The list bar issues and shows some of the frame's commands by their ids.
static_assert(ListTexts::kCmdLookupSelected == FT::kCmdLookupSelected);
static_assert(ListTexts::kModeBinary == FT::kCmdModeBinary && ListTexts::kModeHex == FT::kCmdModeHex &&
              ListTexts::kModeQuad == FT::kCmdModeQuad && ListTexts::kModeDecimal == FT::kCmdModeDecimal &&
              ListTexts::kModeDetails == FT::kCmdModeDetails);

static void InitFrameResources()
{
    Q_INIT_RESOURCE(frame);
}

namespace {

QString Text(const char* psz)
{
    return QString::fromLatin1(psz);
}

// The display modes in menu and toolbar order.
constexpr int kModeCommands[] = {FT::kCmdModeBinary, FT::kCmdModeHex, FT::kCmdModeQuad, FT::kCmdModeDecimal,
                                 FT::kCmdModeDetails};

// Where the list bar goes in the Details mode (the "Details Place" setting).
constexpr int kPlaceBelow = 0;
constexpr int kPlaceFloating = 1;
constexpr int kPlaceSide = 2;

QString Pane(const char* pszFormat, int n)
{
    char sz[64];
    std::snprintf(sz, sizeof sz, pszFormat, n);
    return QString::fromLatin1(sz);
}

// A status-bar text that gives way: it takes the room the fixed panes leave and
// ends in "..." where that room ends, instead of widening the bar and pushing the
// panes about. text() keeps the whole text.
class CElidedLabel : public QLabel
{
public:
    using QLabel::QLabel;

    QSize minimumSizeHint() const override { return QSize(0, QLabel::minimumSizeHint().height()); }
    QSize sizeHint() const override { return QSize(0, QLabel::sizeHint().height()); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRect rect = contentsRect();
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         fontMetrics().elidedText(text(), Qt::ElideRight, rect.width()));
    }
};

} // namespace

CMainFrame::CMainFrame(CSettingsStore& store, const CFrameServices& services, QWidget* pParent)
    : QMainWindow(pParent)
    , m_pCheckedStore(std::make_unique<CCheckedSettingsStore>(store,
                                                              [this](const std::string& strMessage) {
                                                                  const QString str = ToQString(strMessage);
                                                                  if (QThread::currentThread() == thread())
                                                                      LogMessage(str);
                                                                  else
                                                                      QMetaObject::invokeMethod(
                                                                          this, [this, str] { LogMessage(str); },
                                                                          Qt::QueuedConnection);
                                                              }))
    , m_store(*m_pCheckedStore)
    , m_services(services)
{
    InitFrameResources();
    if (!m_services.m_pResolver) {
        m_pOwnResolver = std::make_unique<CSystemNameResolver>();
        m_services.m_pResolver = m_pOwnResolver.get();
    }
    if (!m_services.m_pIcmp) {
        m_pOwnIcmp = std::make_unique<CLinuxIcmpService>();
        m_services.m_pIcmp = m_pOwnIcmp.get();
    }
    if (!m_services.m_pClock) {
        m_pOwnClock = std::make_unique<CSystemClock>();
        m_services.m_pClock = m_pOwnClock.get();
    }
    if (!m_services.m_pFiles) {
        m_pOwnFiles = std::make_unique<CFilePrompt>();
        m_services.m_pFiles = m_pOwnFiles.get();
    }
    if (!m_services.m_pPrompts) {
        m_pOwnPrompts = std::make_unique<CFramePrompts>();
        m_services.m_pPrompts = m_pOwnPrompts.get();
    }
    if (!m_services.m_fnReadAbuse)
        m_services.m_fnReadAbuse = [this](const CIPAddressData& record) {
            return GetWhoisFacts(m_doc.GetData(), record).m_strAbuse;
        };
    if (!m_services.m_fnOpenUrl)
        m_services.m_fnOpenUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

    m_doc.SetClock(m_services.m_pClock);
    // The lookup run, and the settings snapshot it keeps.
    m_pSink = new CGuiCompletionSink([this](int nCode, CLookupJob* pJob) { OnLookupCompleted(nCode, pJob); }, this);
    m_pRun =
        std::make_unique<CLookupRun>(m_doc, *m_services.m_pResolver, m_services.m_pIcmp, *m_services.m_pClock, m_pSink);
    m_pRun->SetListener(this);
    m_pRun->Session().LoadSettings(m_store);
    // A stored limit below 1 would keep every lookup of its kind waiting: said once, and the default used.
    m_pRun->Session().SetSettings(LoadUsableConnSettings(m_store));
    OpenAnswerCache();
    // The delegation data names each address's registry for pacing, the back-off and RDAP.
    m_pRun->Session().SetDelegations(&m_delegations);
    m_doc.SetViewNotifier(this);
    m_doc.SetHost(this);
    m_pDocs = std::make_unique<CDocManager>(m_doc, m_store, *m_services.m_pFiles, *m_services.m_pPrompts);
    m_pDocs->SetParentWidget(this);
    m_pDocs->SetRecoveryFolder(m_services.m_strRecoveryFolder);
    m_pDocs->SetChangedHandler([this] {
        // Saved, replaced or restored: nothing of the old run carries over.
        m_pRun->OnDocumentChanged();
        RefreshListBar();
        UpdateAllViews(nullptr);
        RebuildRecentFiles();
    });

    QTimer::singleShot(0, this, [this] { ReportRdapProblem(); });
    m_doc.GetData().SetResolveTraceHops(GetConnSettings().m_bTraceHostLookup);
    CSettingsLoader loader(m_store);
    m_bReportSelected = loader.Get(PS::kSelectedRowReport);
    m_nAutoLoad = loader.Get(PS::kAutoDocLoad);
    m_pRun->SetCheckpointCadence(loader.Get(PS::kCheckpointSeconds), loader.Get(PS::kCheckpointResults));

    setWindowIcon(CFrameIcons::Get(CFrameIcons::kApp));
    setAcceptDrops(true);
    m_doc.OnNewDocument();
}

CMainFrame::~CMainFrame()
{
    DestroyViews();
    // Running lookups are not stopped; their workers finish before the services they use go.
    m_pRun->Session().JoinAll();
}

void CMainFrame::DestroyViews()
{
    m_timer.stop();
    m_doc.SetViewNotifier(nullptr);
    m_doc.SetHost(nullptr);
    // The bars and the view point at the document; they go before it does.
    delete m_pView;
    m_pView = nullptr;
    if (m_pListBar)
        m_pListBar->SetDocument(nullptr);
    delete m_pListBar;
    m_pListBar = nullptr;
}

// ------------------------------------------------------------------ start-up

bool CMainFrame::Create()
{
    setWindowTitle(Text(FT::kAppDisplayName));
    CreateActions();
    CreateMenus();
    if (!CreateToolBars())
        return false;
    CreateStatusBar();
    // The client area exists from the start, so the docked list keeps its own
    // width until the whois view takes the area's place.
    setCentralWidget(new QWidget(this));
    if (!CreateListBar())
        return false;
    CreateMessageLog();

    if (const auto placement = CWindowPlacement::Load(m_store)) {
        const QScreen* pScreen = QGuiApplication::primaryScreen();
        placement->ApplyGeometry(*this, pScreen ? pScreen->virtualGeometry() : QRect());
    }
    PostCommand(FT::kCmdViewRawWhois);
    m_timer.setInterval(FT::kTimerMs);
    connect(&m_timer, &QTimer::timeout, this, &CMainFrame::OnTimer);
    m_timer.start();
    UpdateTitle();
    CreateTray();
    UpdateCommandStates();
    // Once the window is up, so that the question has a window to belong to.
    QTimer::singleShot(0, this, [this] { m_pDocs->OfferLeftoverRecoveries(m_services.m_strRecoveryFolder); });
    return true;
}

// Every command of the window, one row each: id, menu text, prompt, toolbar
// button and icon, shortcut, handler, enable rule and check rule. A row without
// a menu text has no action (it is only posted). A new command is one row here
// and one handler.
const std::vector<CMainFrame::CCommand>& CMainFrame::Commands()
{
    using I = CFrameIcons;
    using F = CMainFrame;
    using K = QKeySequence;
    static const auto always = [](const F&) { return true; };
    static const auto hasSelection = [](const F& f) { return f.GetSelectedCount() > 0; };
    // The exports take the selected rows or all, as the report choice says.
    static const auto exportRule = [](const F& f) {
        return f.m_bReportSelected ? f.GetSelectedCount() > 0 : f.GetRowCount() > 0;
    };
    static const auto modeRule = [](const F& f) { return f.m_nViewMode == FT::kCmdViewRawWhois; };
    static const auto modeChecked = [](const F& f, int nId) {
        return f.m_pListBar && f.m_pListBar->GetDisplayMode() == nId;
    };
    static const std::vector<CCommand> commands = {
        {FT::kCmdFileNew, FT::kItemNew, FT::kPromptNew, FT::kButtonNew, I::kNew, K::New, 0,
         [](F& f, int) { f.m_pDocs->OnFileNew(); }, always, nullptr},
        {FT::kCmdFileOpen, FT::kItemOpen, FT::kPromptOpen, FT::kButtonOpen, I::kOpen, K::Open, 0,
         [](F& f, int) { f.m_pDocs->OnFileOpen(); }, always, nullptr},
        {FT::kCmdFileSave, FT::kItemSave, FT::kPromptSave, FT::kButtonSave, I::kSave, K::Save, 0,
         [](F& f, int) { f.m_pDocs->OnFileSave(); }, always, nullptr},
        {FT::kCmdFileSaveAs, FT::kItemSaveAs, FT::kPromptSaveAs, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.m_pDocs->OnFileSaveAs(); }, always, nullptr},
        {FT::kCmdImportTextFile, FT::kItemImportText, FT::kPromptImportText, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.OnImportTextFile(); }, always, nullptr},
        {FT::kCmdImportWebLog, FT::kItemImportLog, FT::kPromptImportLog, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.OnImportWebLog(); }, always, nullptr},
        {FT::kCmdMinimizeToTray, FT::kItemMinimizeToTray, FT::kPromptMinimizeToTray, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.OnMinimizeToTray(); }, always, nullptr},
        {FT::kCmdAutoLoad, FT::kItemAutoLoad, FT::kPromptAutoLoad, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.OnToggleAutoLoad(); }, always, [](const F& f, int) { return f.m_nAutoLoad != 0; }},
        {FT::kCmdAppExit, FT::kItemExit, FT::kPromptExit, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { QMetaObject::invokeMethod(&f, &QWidget::close, Qt::QueuedConnection); }, always, nullptr},
        {FT::kCmdDelete, FT::kItemDelete, FT::kPromptDelete, FT::kButtonDelete, I::kDelete, K::UnknownKey, 0,
         [](F& f, int) { f.OnDelete(); }, [](const F& f) { return f.GetRowCount() > 0; }, nullptr},
        {FT::kCmdEditUndo, FT::kItemUndo, FT::kPromptUndo, nullptr, -1, K::Undo, 0, [](F& f, int) { f.OnUndo(); },
         [](const F& f) { return f.m_undo.CanUndo(f.m_doc); }, nullptr},
        {FT::kCmdEditFind, FT::kItemFind, FT::kPromptFind, nullptr, -1, K::Find, 0, [](F& f, int) { f.OnFind(); },
         always, nullptr},
        {FT::kCmdLookupSelected, FT::kItemLookupSelected, FT::kPromptLookupSelected, FT::kButtonLookup, I::kLookup,
         K::UnknownKey, Qt::Key_F5, [](F& f, int) { f.OnLookupSelected(); }, hasSelection, nullptr},
        {FT::kCmdLookupWithOptions, FT::kPromptLookupWithOptions, FT::kPromptLookupWithOptions, nullptr, -1,
         K::UnknownKey, Qt::Key_F8, [](F& f, int) { f.OnLookupWithOptions(); },
         [](const F& f) { return f.GetRowCount() > 0; }, nullptr},
        {FT::kCmdRefreshIPList, FT::kItemRefreshList, FT::kPromptRefreshList, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.RefreshListBar(); }, always, nullptr},
        {FT::kCmdStopAll, FT::kItemStopAll, FT::kPromptStopAll, FT::kButtonStop, I::kStop, K::UnknownKey, Qt::Key_F10,
         [](F& f, int) { f.OnStopAll(); }, [](const F& f) { return f.m_doc.HasPendingLookups(); }, nullptr},
        {FT::kCmdLookupHostNames, FT::kItemLookupHostNames, FT::kPromptLookupHostNames, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int nId) { f.OnQueueSelected(nId); }, hasSelection, nullptr},
        {FT::kCmdPingSelected, FT::kItemPingSelected, FT::kPromptPingSelected, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int nId) { f.OnQueueSelected(nId); }, hasSelection, nullptr},
        {FT::kCmdTraceSelected, FT::kItemTraceSelected, FT::kPromptTraceSelected, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int nId) { f.OnQueueSelected(nId); }, hasSelection, nullptr},
        {FT::kCmdModeBinary, FT::kItemBinary, FT::kPromptBinary, nullptr, I::kBinary, K::UnknownKey, 0,
         [](F& f, int nId) { f.OnDisplayMode(nId); }, modeRule, modeChecked},
        {FT::kCmdModeHex, FT::kItemHex, FT::kPromptHex, nullptr, I::kHex, K::UnknownKey, 0,
         [](F& f, int nId) { f.OnDisplayMode(nId); }, modeRule, modeChecked},
        {FT::kCmdModeQuad, FT::kItemQuad, FT::kPromptQuad, nullptr, I::kQuad, K::UnknownKey, 0,
         [](F& f, int nId) { f.OnDisplayMode(nId); }, modeRule, modeChecked},
        {FT::kCmdModeDecimal, FT::kItemDecimal, FT::kPromptDecimal, nullptr, I::kDecimal, K::UnknownKey, 0,
         [](F& f, int nId) { f.OnDisplayMode(nId); }, modeRule, modeChecked},
        {FT::kCmdModeDetails, FT::kItemDetails, FT::kPromptDetails, nullptr, I::kDetails, K::UnknownKey, 0,
         [](F& f, int nId) { f.OnDisplayMode(nId); }, modeRule, modeChecked},
        {FT::kCmdToggleIPListBar, FT::kItemIPListBar, FT::kPromptIPListBar, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.OnToggleIPListBar(); }, always,
         [](const F& f, int) { return f.m_pListBar && !f.m_pListBar->isHidden(); }},
        {FT::kCmdToggleQuickBar, FT::kItemQuickBar, FT::kPromptQuickBar, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.OnToggleQuickBar(); }, always,
         [](const F& f, int) { return f.m_pQuickBar && !f.m_pQuickBar->isHidden(); }},
        {FT::kCmdToggleStatusBar, FT::kItemStatusBar, FT::kPromptStatusBar, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.statusBar()->setVisible(f.statusBar()->isHidden()); }, always,
         [](const F& f, int) { return !f.statusBar()->isHidden(); }},
        {FT::kCmdExportRawWhois, FT::kItemRawWhois, FT::kPromptRawWhois, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.OnExportRawWhois(); }, exportRule, nullptr},
        {FT::kCmdExportTableCsv, FT::kItemTableCsv, FT::kPromptTableCsv, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.OnExportTable(false); }, exportRule, nullptr},
        {FT::kCmdExportTableJson, FT::kItemTableJson, FT::kPromptTableJson, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.OnExportTable(true); }, exportRule, nullptr},
        {FT::kCmdReportSelected, FT::kItemReportSelected, FT::kPromptReportSelected, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int nId) { f.OnReportRows(nId); }, always, [](const F& f, int) { return f.m_bReportSelected; }},
        {FT::kCmdReportAll, FT::kItemReportAll, FT::kPromptReportAll, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int nId) { f.OnReportRows(nId); }, always, [](const F& f, int) { return !f.m_bReportSelected; }},
        {FT::kCmdConnectionSettings, FT::kItemConnSettings, FT::kPromptConnSettings, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.OnConnectionSettings(); }, always, nullptr},
        {FT::kCmdUpdateRegistryData, FT::kItemUpdateRegistryData, FT::kPromptUpdateRegistryData, nullptr, -1,
         K::UnknownKey, 0, [](F& f, int) { f.OnUpdateRegistryData(); }, always, nullptr},
        {FT::kCmdWebProductHome, FT::kItemProductHome, FT::kPromptProductHome, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.OpenWebPage(FT::kUrlProductHome); }, always, nullptr},
        {FT::kCmdWebSupport, FT::kItemSupport, FT::kPromptSupport, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.OpenWebPage(FT::kUrlSupport); }, always, nullptr},
        {FT::kCmdWebCompanyHome, FT::kItemCompanyHome, FT::kPromptCompanyHome, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.OpenWebPage(FT::kUrlCompanyHome); }, always, nullptr},
        {FT::kCmdMoreTools, FT::kButtonMoreTools, FT::kPromptMoreTools, FT::kButtonMoreTools, I::kMoreTools,
         K::UnknownKey, 0, [](F& f, int) { f.OpenWebPage(FT::kUrlMoreTools); }, always, nullptr},
        {FT::kCmdAppAbout, FT::kItemAbout, FT::kPromptAbout, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.OnAbout(); }, always, nullptr},
        {FT::kCmdTrayShow, FT::kItemTrayShow, FT::kPromptTrayShow, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.OnTrayShow(); }, always, nullptr},
        {FT::kCmdTrayExit, FT::kItemTrayExit, FT::kPromptTrayExit, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { QMetaObject::invokeMethod(&f, &QWidget::close, Qt::QueuedConnection); }, always, nullptr},
        {FT::kCmdQuickLookup, FT::kButtonLookup, nullptr, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.OnQuickLookup(); }, always, nullptr},
        // Posted only.
        {FT::kCmdViewRawWhois, nullptr, nullptr, nullptr, -1, K::UnknownKey, 0, [](F& f, int) { f.OnViewRawWhois(); },
         always, nullptr},
        {FT::kCmdRefreshTitle, nullptr, nullptr, nullptr, -1, K::UnknownKey, 0,
         [](F& f, int) { f.m_doc.RefreshTitle(); }, always, nullptr},
    };
    return commands;
}

void CMainFrame::CreateActions()
{
    // One choice of two: drawn as radio buttons.
    auto* pReportRows = new QActionGroup(this);
    for (const CCommand& c : Commands()) {
        if (!c.m_pszText)
            continue;
        auto* pAction = new QAction(Text(c.m_pszText), this);
        if (c.m_pszPrompt) {
            pAction->setStatusTip(Text(c.m_pszPrompt));
            pAction->setToolTip(Text(c.m_pszPrompt));
        }
        if (c.m_standardKey != QKeySequence::UnknownKey)
            pAction->setShortcut(c.m_standardKey);
        else if (c.m_nKey != 0)
            pAction->setShortcut(QKeySequence(c.m_nKey));
        if (c.m_nIcon >= 0)
            pAction->setIcon(CFrameIcons::Get(CFrameIcons::EIcon(c.m_nIcon)));
        const bool bMode = c.m_nId >= FT::kCmdModeBinary && c.m_nId <= FT::kCmdModeDetails;
        // The menu draws a check mark only for an item without a picture outside an
        // exclusive group; UpdateCommandStates keeps exactly one mode checked.
        if (bMode)
            pAction->setIconVisibleInMenu(false);
        // The toolbar buttons show the short texts and their pictures.
        if (c.m_pszButton)
            pAction->setIconText(Text(c.m_pszButton));
        pAction->setCheckable(c.m_pfnChecked != nullptr);
        if (c.m_nId == FT::kCmdReportSelected || c.m_nId == FT::kCmdReportAll)
            pReportRows->addAction(pAction);
        const int nId = c.m_nId;
        connect(pAction, &QAction::triggered, this, [this, nId] { OnCommand(nId); });
        m_actions[nId] = pAction;
    }
}

void CMainFrame::CreateMenus()
{
    QMenuBar* pBar = menuBar();
    m_pFileMenu = pBar->addMenu(Text(FT::kMenuFile));
    for (int nId : {int(FT::kCmdFileNew), int(FT::kCmdFileOpen), int(FT::kCmdFileSave), int(FT::kCmdFileSaveAs)})
        m_pFileMenu->addAction(m_actions[nId]);
    m_pFileMenu->addSeparator();
    QMenu* pImport = m_pFileMenu->addMenu(Text(FT::kMenuImport));
    pImport->addAction(m_actions[FT::kCmdImportTextFile]);
    pImport->addAction(m_actions[FT::kCmdImportWebLog]);
    m_pFileMenu->addSeparator();
    m_pFileMenu->addAction(m_actions[FT::kCmdMinimizeToTray]);
    m_pFileMenu->addAction(m_actions[FT::kCmdAutoLoad]);
    m_pRecentSeparator = m_pFileMenu->addSeparator();
    m_pFileMenu->addSeparator();
    m_pFileMenu->addAction(m_actions[FT::kCmdAppExit]);
    RebuildRecentFiles();
    // A file that failed to open has left the list meanwhile.
    connect(m_pFileMenu, &QMenu::aboutToShow, this, &CMainFrame::RebuildRecentFiles);

    QMenu* pEdit = pBar->addMenu(Text(FT::kMenuEdit));
    pEdit->addAction(m_actions[FT::kCmdEditUndo]);
    pEdit->addAction(m_actions[FT::kCmdEditFind]);

    QMenu* pView = pBar->addMenu(Text(FT::kMenuView));
    m_pViewMenu = pView;
    pView->addAction(m_actions[FT::kCmdToggleQuickBar]);
    pView->addAction(m_actions[FT::kCmdToggleIPListBar]);
    pView->addAction(m_actions[FT::kCmdToggleStatusBar]);

    QMenu* pAddresses = pBar->addMenu(Text(FT::kMenuIPAddresses));
    pAddresses->addAction(m_actions[FT::kCmdLookupSelected]);
    pAddresses->addAction(m_actions[FT::kCmdStopAll]);
    pAddresses->addSeparator();
    pAddresses->addAction(m_actions[FT::kCmdLookupHostNames]);
    pAddresses->addAction(m_actions[FT::kCmdPingSelected]);
    pAddresses->addAction(m_actions[FT::kCmdTraceSelected]);
    pAddresses->addSeparator();
    pAddresses->addAction(m_actions[FT::kCmdDelete]);
    pAddresses->addAction(m_actions[FT::kCmdRefreshIPList]);
    // F8 has no menu item; its key works through the window.
    addAction(m_actions[FT::kCmdLookupWithOptions]);

    QMenu* pModes = pBar->addMenu(Text(FT::kMenuDisplayMode));
    for (int nId : kModeCommands)
        pModes->addAction(m_actions[nId]);

    QMenu* pReports = pBar->addMenu(Text(FT::kMenuReports));
    pReports->addAction(m_actions[FT::kCmdExportRawWhois]);
    pReports->addAction(m_actions[FT::kCmdExportTableCsv]);
    pReports->addAction(m_actions[FT::kCmdExportTableJson]);
    pReports->addSeparator();
    pReports->addAction(m_actions[FT::kCmdReportSelected]);
    pReports->addAction(m_actions[FT::kCmdReportAll]);

    QMenu* pTools = pBar->addMenu(Text(FT::kMenuTools));
    pTools->addAction(m_actions[FT::kCmdConnectionSettings]);
    pTools->addAction(m_actions[FT::kCmdUpdateRegistryData]);

    QMenu* pHelp = pBar->addMenu(Text(FT::kMenuHelp));
    QMenu* pWeb = pHelp->addMenu(Text(FT::kMenuOnTheWeb));
    pWeb->addAction(m_actions[FT::kCmdWebProductHome]);
    pWeb->addAction(m_actions[FT::kCmdWebSupport]);
    pWeb->addAction(m_actions[FT::kCmdWebCompanyHome]);
    pHelp->addSeparator();
    pHelp->addAction(m_actions[FT::kCmdAppAbout]);

    for (QMenu* pMenu : pBar->findChildren<QMenu*>())
        connect(pMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);

    m_pTrayMenu = new QMenu(this);
    m_pTrayMenu->addAction(m_actions[FT::kCmdTrayShow]);
    m_pTrayMenu->addAction(m_actions[FT::kCmdTrayExit]);
}

void CMainFrame::RebuildRecentFiles()
{
    if (!m_pFileMenu)
        return;
    for (QAction* pAction : m_recentActions)
        delete pAction;
    m_recentActions.clear();
    const auto& files = m_pDocs->GetRecentFiles().GetFiles();
    QAction* pBefore = m_pRecentSeparator;
    for (size_t i = 0; i < files.size(); ++i) {
        const QString strPath = ToQString(files[i]);
        auto* pAction = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(strPath).fileName()), this);
        pAction->setStatusTip(Text(FT::kPromptRecent));
        // A file name may look like markup; a tooltip would render it.
        pAction->setToolTip(Qt::convertFromPlainText(strPath, Qt::WhiteSpaceNoWrap));
        connect(pAction, &QAction::triggered, this,
                [this, strPath] { m_pDocs->OpenDocumentFile(ToStdString(strPath)); });
        m_pFileMenu->insertAction(pBefore, pAction);
        m_recentActions.push_back(pAction);
    }
}

bool CMainFrame::CreateToolBars()
{
    m_pMainToolBar = addToolBar(tr("Main"));
    m_pMainToolBar->setObjectName(QStringLiteral("toolbar-142"));
    m_pMainToolBar->setIconSize(QSize(32, 32));
    m_pMainToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_pMainToolBar->setMovable(false);
    for (int nId : {int(FT::kCmdFileNew), int(FT::kCmdFileOpen), int(FT::kCmdFileSave), 0, int(FT::kCmdDelete),
                    int(FT::kCmdLookupSelected), int(FT::kCmdStopAll), 0, int(FT::kCmdMoreTools)}) {
        if (nId == 0)
            m_pMainToolBar->addSeparator();
        else
            m_pMainToolBar->addAction(m_actions[nId]);
    }
    for (QWidget* pButton : m_pMainToolBar->findChildren<QWidget*>())
        if (pButton->inherits("QToolButton"))
            pButton->setMinimumSize(56, 56);
    // The busy animation sits at the far end of the main bar.
    auto* pSpacer = new QWidget(m_pMainToolBar);
    pSpacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_pMainToolBar->addWidget(pSpacer);
    m_pAnim = new CRebarAnimCtrl(m_pMainToolBar);
    m_pAnim->CreateInRebar(m_pMainToolBar);

    // The quick lookup bar starts a row of its own, the options bar beside it.
    addToolBarBreak();
    m_pQuickBar = addToolBar(tr("Quick Lookup"));
    m_pQuickBar->setObjectName(QStringLiteral("dialogbar-128"));
    m_pQuickBar->setMovable(false);
    m_pEntryBar = new CIPEntryDlgBar(m_store, m_pQuickBar);
    m_pQuickBar->addWidget(m_pEntryBar);
    connect(m_pEntryBar, &CIPEntryDlgBar::lookupClicked, this, [this] { OnCommand(FT::kCmdQuickLookup); });
    m_pEntryBar->LoadEntryHistory();

    m_pOptionsToolBar = addToolBar(tr("Options"));
    m_pOptionsToolBar->setObjectName(QStringLiteral("toolbar-143"));
    m_pOptionsToolBar->setIconSize(QSize(20, 20));
    m_pOptionsToolBar->setMovable(false);
    for (int nId : kModeCommands)
        m_pOptionsToolBar->addAction(m_actions[nId]);
    return m_pMainToolBar && m_pQuickBar && m_pOptionsToolBar;
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* pStatus = statusBar();
    auto makePane = [this, pStatus](CFrameIcons::EIcon icon, QLabel*& pText) {
        auto* pPane = new QWidget(pStatus);
        auto* pLayout = new QHBoxLayout(pPane);
        pLayout->setContentsMargins(2, 0, 2, 0);
        pLayout->setSpacing(4);
        auto* pIcon = new QLabel(pPane);
        pIcon->setPixmap(CFrameIcons::Get(icon).pixmap(16, 16));
        pText = new QLabel(pPane);
        pLayout->addWidget(pIcon);
        pLayout->addWidget(pText, 1);
        // As wide as the widest text with seven digits, and no wider: the panes keep
        // their place while the counts grow and whatever the other texts say.
        const QFontMetrics metrics = pText->fontMetrics();
        const int nText = std::max(metrics.horizontalAdvance(Pane(FT::kPaneDisplay, 8888888)),
                                   metrics.horizontalAdvance(Pane(FT::kPaneTotal, 8888888)));
        pPane->setFixedWidth(std::max(FT::kPaneWidth, 2 + 16 + 4 + nText + 2 + 4));
        pText->setTextFormat(Qt::PlainText);
        pStatus->addPermanentWidget(pPane);
    };
    // Shown while no other message is: the status bar hides it for prompts and messages.
    auto* pIdle = new CElidedLabel(Text(FT::kPaneIdle), pStatus);
    pIdle->setObjectName(QStringLiteral("status-idle"));
    pIdle->setTextFormat(Qt::PlainText);
    pStatus->addWidget(pIdle, 1);
    makePane(CFrameIcons::kTotal, m_pTotalPane);
    makePane(CFrameIcons::kDisplay, m_pDisplayPane);
    m_pRunPane = new CElidedLabel(pStatus);
    m_pRunPane->setTextFormat(Qt::PlainText);
    pStatus->addWidget(m_pRunPane, 1);
    UpdateStatusPanes();
}

bool CMainFrame::CreateListBar()
{
    m_pListBar = new CIPListBar(m_store, tr("IP List"), this);
    m_pListBar->setObjectName(QStringLiteral("IPListBar"));
    m_pListBar->SetDocument(&m_doc);
    m_pListBar->SetLookupAction(m_actions[FT::kCmdLookupSelected]);
    m_pListBar->SetDeleteAction(m_actions[FT::kCmdDelete]);
    m_pListBar->SetNoAnswerTest([this](const std::string& strAddress) { return m_pRun->IsGivenUp(strAddress); });
    m_pListBar->GetDetailsView()->GetModel()->SetStatusFunction(
        [this](const CIPAddressData& record, const CWhoisFacts& facts) { return RunStatusOf(record, facts); });
    m_pListBar->GetDetailsView()->GetModel()->SetDelegationFunction(
        [this](const CIPAddressData& record) { return m_delegations.Find(record); });
    addDockWidget(ListSide(), m_pListBar);
    m_pListBar->LoadState(m_store, FT::kIPListBarProfile);
    PlaceListBar();
    connect(m_pListBar, &CIPListBar::rowSelectionChanged, this, &CMainFrame::UpdateCommandStates);
    connect(m_pListBar, &CIPListBar::shownRowsChanged, this, [this] {
        UpdateStatusPanes();
        UpdateCommandStates();
    });
    connect(m_pListBar, &QDockWidget::visibilityChanged, this, &CMainFrame::UpdateCommandStates);
    connect(m_pListBar, &QDockWidget::dockLocationChanged, this, &CMainFrame::NoteListBarPlace);
    connect(m_pListBar, &QDockWidget::topLevelChanged, this, &CMainFrame::NoteListBarPlace);
    return true;
}

void CMainFrame::CreateMessageLog()
{
    m_pMessageLog = new CMessageLogBar(Text(FT::kMessageLogTitle), this);
    m_pMessageLog->setObjectName(QStringLiteral("MessageLogBar"));
    addDockWidget(Qt::BottomDockWidgetArea, m_pMessageLog);
    m_pMessageLog->setVisible(CSettingsLoader(m_store).Get(PS::kShowMessages));
    if (m_pViewMenu)
        m_pViewMenu->addAction(m_pMessageLog->toggleViewAction());
    for (const QString& strMessage : std::exchange(m_earlyMessages, QStringList()))
        m_pMessageLog->AddMessage(strMessage);
}

void CMainFrame::CheckSettingsFile(const std::string& strPath, bool bDialog)
{
    m_settingsProblems = ::CheckSettingsFile(strPath, m_store);
    if (m_settingsProblems.empty())
        return;
    QString strAll;
    for (const std::string& strProblem : m_settingsProblems) {
        const QString strLine = ToQString("settings file '" + strPath + "': " + strProblem);
        LogMessage(strLine);
        strAll += strLine + QLatin1Char('\n');
    }
    LogMessage(QStringLiteral("No lookup starts until the settings file is mended and Addrscope is started again."));
    if (bDialog) {
        // Plain text: the file and its values are anyone's text.
        QMessageBox box(QMessageBox::Warning, windowTitle(),
                        QStringLiteral("The settings cannot be used as written:\n\n") + strAll +
                            QStringLiteral("\nNo lookup starts until the settings file is mended and Addrscope is "
                                           "started again."),
                        QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
}

void CMainFrame::LogMessage(const QString& strMessage)
{
    if (!m_pMessageLog) {
        m_earlyMessages << strMessage;
        return;
    }
    m_pMessageLog->AddMessage(strMessage);
    statusBar()->showMessage(ElidedStatusText(strMessage), FT::kMessageMs);
}

QString CMainFrame::ElidedStatusText(const QString& strText) const
{
    // The status bar draws a message left of the fixed panes, and cuts it there.
    int nRoom = statusBar()->width() - 8;
    if (m_pTotalPane && m_pTotalPane->parentWidget()->isVisible())
        nRoom = std::min(nRoom, m_pTotalPane->parentWidget()->geometry().left() - 8);
    if (nRoom <= 0)
        return strText;
    return statusBar()->fontMetrics().elidedText(strText, Qt::ElideRight, nRoom);
}

void CMainFrame::OpenAnswerCache()
{
    // A file that cannot be opened leaves the cache off; lookups go on without it.
    const CCacheHomes homes {qEnvironmentVariable("XDG_CACHE_HOME").toStdString(),
                             qEnvironmentVariable("HOME").toStdString()};
    if (m_answerCache.Open(m_store, homes, int64_t(std::time(nullptr)))) {
        // Answers are written on the writer's thread: the event loop never waits for
        // the disk, nor for another process writing the same file.
        m_pRun->SetAnswerCache(m_answerCache.Cache(), true, m_answerCache.Writer());
        // The registries' delegation data in the same file: registry, country and
        // allocation date of every record before any query.
        if (const std::string strError = m_delegations.Load(m_answerCache.Database()); !strError.empty())
            LogMessage(ToQString("The delegation data cannot be read: " + strError));
    }
    if (const std::string strNotice = m_answerCache.TakeNotice(); !strNotice.empty())
        LogMessage(ToQString(strNotice));
}

void CMainFrame::OnUpdateRegistryData()
{
    if (!m_answerCache.Cache()) {
        LogMessage(Text(FT::kRegistryDataNoCache));
        return;
    }
    CDelegationStore store(m_answerCache.Database());
    CProgressDlg progress(this);
    CHttpDownloadOptions options;
    options.m_strCaFile = LoadDelegationCaFile(m_store);
    // The download reports often enough for the dialog to stay live and its Cancel to be read.
    options.m_progress = [&progress](int64_t nDone, int64_t nTotal) {
        if (nTotal > 0)
            progress.SetPos(int(nDone * 100 / nTotal));
        return !progress.PollCancel();
    };
    int nImported = 0;
    int nFailed = 0;
    bool bCancelled = false;
    for (const CDelegationSource& source : LoadDelegationSources(m_store)) {
        if (source.m_strUrl.empty())
            continue;
        char szText[96];
        std::snprintf(szText, sizeof szText, FT::kRegistryDataDownloading, source.m_strName.c_str());
        progress.Show(szText);
        const CDelegationUpdate update = UpdateDelegationSource(source, options, store, int64_t(std::time(nullptr)));
        if (update.m_bCancelled || progress.PollCancel()) {
            bCancelled = true;
            break;
        }
        (update.m_bImported ? nImported : nFailed) += 1;
        LogMessage(
            ToQString(source.m_strName + ": " + update.m_strText + (update.m_bImported ? "" : FT::kRegistryDataKept)));
    }
    progress.Close();
    if (bCancelled) {
        LogMessage(Text(FT::kRegistryDataCancelled));
    } else {
        char szDone[96];
        std::snprintf(szDone, sizeof szDone, FT::kRegistryDataDone, nImported, nFailed);
        LogMessage(Text(szDone));
    }
    if (nImported > 0) {
        if (const std::string strError = m_delegations.Load(m_answerCache.Database()); !strError.empty())
            LogMessage(ToQString("The delegation data cannot be read: " + strError));
        UpdateAllViews(nullptr);
    }
}

void CMainFrame::CreateTray()
{
    m_pTray = new CSystemTray(this);
    const bool bCreated =
        m_services.m_nTrayAvailable < 0
            ? m_pTray->Create(Text(FT::kAppDisplayName), CFrameIcons::Get(CFrameIcons::kApp), m_pTrayMenu)
            : m_pTray->Create(Text(FT::kAppDisplayName), CFrameIcons::Get(CFrameIcons::kApp), m_pTrayMenu,
                              m_services.m_nTrayAvailable != 0);
    if (!bCreated)
        return;
    m_pTray->SetMenuDefaultItem(0);
    m_pTray->HideIcon();
    PostCommand(FT::kCmdRefreshTitle);
}

// ------------------------------------------------------------------ dispatch

QAction* CMainFrame::GetAction(int nCommandId) const
{
    const auto it = m_actions.find(nCommandId);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::PostCommand(int nCommandId)
{
    QMetaObject::invokeMethod(
        this, [this, nCommandId] { OnCommand(nCommandId); }, Qt::QueuedConnection);
}

void CMainFrame::PostListRefresh()
{
    PostCommand(FT::kCmdRefreshIPList);
}

void CMainFrame::OnCommand(int nCommandId)
{
    const auto& commands = Commands();
    const auto it = std::find_if(commands.begin(), commands.end(),
                                 [nCommandId](const CCommand& c) { return c.m_nId == nCommandId; });
    if (it == commands.end())
        return;
    if (it->m_pfnRun)
        it->m_pfnRun(*this, nCommandId);
    UpdateTitle();
    UpdateCommandStates();
}

void CMainFrame::OnReportRows(int nCommandId)
{
    m_bReportSelected = nCommandId == FT::kCmdReportSelected;
    CSettingsLoader(m_store).Set(PS::kSelectedRowReport, m_bReportSelected);
}

int CMainFrame::GetRowCount() const
{
    if (!m_pListBar || m_pListBar->isHidden())
        return 0;
    return m_pListBar->GetShownRowCount();
}

int CMainFrame::GetSelectedCount() const
{
    if (!m_pListBar || m_pListBar->isHidden())
        return 0;
    return m_pListBar->GetSelectedRowCount();
}

void CMainFrame::UpdateCommandStates()
{
    if (m_actions.empty())
        return;
    for (const CCommand& c : Commands()) {
        QAction* pAction = GetAction(c.m_nId);
        if (!pAction)
            continue;
        pAction->setEnabled(c.m_pfnEnabled(*this));
        if (c.m_pfnChecked)
            pAction->setChecked(c.m_pfnChecked(*this, c.m_nId));
    }
}

// ------------------------------------------------------------------ views, title, timer

void CMainFrame::UpdateAllViews(const std::string* pHint)
{
    // A result for an address deleted meanwhile brings its record back: the list follows.
    if (m_pListBar && m_pListBar->GetList()->GetRowCount() != m_doc.GetData().GetSize())
        RefreshListBar();
    else if (m_pListBar)
        m_pListBar->UpdateRows();
    if (m_pView)
        m_pView->OnUpdate(pHint);
    UpdateTitle();
}

void CMainFrame::UpdateTitle()
{
    setWindowTitle(QStringLiteral("%1[*] - %2").arg(ToQString(m_pDocs->GetDisplayTitle()), Text(FT::kAppDisplayName)));
    setWindowModified(m_doc.IsModified());
}

void CMainFrame::UpdateStatusPanes()
{
    const int n = m_doc.GetData().GetSize();
    if (m_pTotalPane)
        m_pTotalPane->setText(Pane(FT::kPaneTotal, n));
    // The Details filter shows part of the records; every other mode shows them all.
    const bool bFiltered = m_pListBar && m_pListBar->IsDetailsMode() && !m_pListBar->isHidden();
    if (m_pDisplayPane)
        m_pDisplayPane->setText(Pane(FT::kPaneDisplay, bFiltered ? m_pListBar->GetShownRowCount() : n));
    // A paused registry and the end of its pause show beside the run's progress.
    std::string strRunText = m_pRun->Progress().Text();
    const std::string strBackoff = m_pRun->Session().BackoffText();
    if (!strBackoff.empty() && m_doc.HasPendingLookups())
        strRunText += (strRunText.empty() ? "" : "; ") + strBackoff;
    const QString strRun = ToQString(strRunText);
    if (m_pRunPane && m_pRunPane->text() != strRun)
        m_pRunPane->setText(strRun);
    // A new run's progress takes the place of the last run's summary.
    if (!strRun.isEmpty() && !m_strRunSummary.isEmpty() && statusBar()->currentMessage() == m_strRunSummary) {
        statusBar()->clearMessage();
        m_strRunSummary.clear();
    }
    // "Ready" gives way to a run's progress (the status bar itself hides it for messages).
    auto* pIdle = statusBar()->findChild<QLabel*>(QStringLiteral("status-idle"), Qt::FindDirectChildrenOnly);
    if (pIdle && statusBar()->currentMessage().isEmpty())
        pIdle->setVisible(strRun.isEmpty());
    if (m_pTray && m_pTray->GetIcon()) {
        const QString strTip =
            strRun.isEmpty() ? Text(FT::kAppDisplayName) : Text(FT::kAppDisplayName) + QStringLiteral("\n") + strRun;
        if (m_pTray->GetIcon()->toolTip() != strTip)
            m_pTray->GetIcon()->setToolTip(strTip);
    }
    // Where the lookups stand, as the command line counts them.
    if (m_pAnim)
        m_pAnim->setToolTip(ToQString(m_pRun->Session().DescribeCounts(m_doc)));
}

void CMainFrame::RefreshListBar()
{
    if (m_pListBar)
        m_pListBar->RefreshList();
    UpdateCommandStates();
}

void CMainFrame::OnTimer()
{
    if (m_pAnim) {
        if (m_doc.HasPendingLookups() && m_settingsProblems.empty())
            m_pAnim->StartAnimation();
        else
            m_pAnim->StopAnimation();
    }
    TakeCheckpointResult();
    // Asking with settings that are not the user's would reach the real registries.
    if (m_settingsProblems.empty())
        m_pRun->OnTimer();
    if (const std::string strNotice = m_pRun->TakeCacheNotice(); !strNotice.empty())
        LogMessage(ToQString(strNotice));
    UpdateStatusPanes();
    UpdateTitle();
    UpdateCommandStates();
}

void CMainFrame::OnLookupCompleted(int nCode, CLookupJob* pJob)
{
    TakeCheckpointResult();
    // The setting may change between two results; it is read as each one arrives.
    m_pRun->SetReuseKnownRanges(CSettingsLoader(m_store).Get(PS::kReuseKnownRanges));
    m_pRun->Complete(nCode, pJob);
    UpdateCommandStates();
}

void CMainFrame::Checkpoint(bool bNow)
{
    if (bNow)
        m_pDocs->WaitForRecoveryWrite();
    TakeCheckpointResult();
    m_pRun->Checkpoint(bNow);
}

ECheckpoint CMainFrame::OnCheckpointDue(bool bNow)
{
    // The previous checkpoint is still being written: a later tick takes this one.
    if (!bNow && m_pDocs->IsWritingRecovery())
        return ECheckpoint::busy;
    std::string strError;
    // Usually the disk is left to a thread of its own, so that a large document's
    // checkpoint holds the window up only while its bytes are made.
    if (bNow ? m_pDocs->WriteRecovery(strError) : m_pDocs->StartRecoveryWrite(strError)) {
        if (bNow)
            m_bCheckpointFailed = false;
        return ECheckpoint::written;
    }
    // A failure is said once; the next checkpoint tries again.
    CheckpointFailed(strError);
    return ECheckpoint::failed;
}

void CMainFrame::OnAddressFinished(const CRunFinished& finished)
{
    if (finished.m_nKind == lookupWhois) {
        if (finished.m_status != ERunStatus::ok)
            LogMessage(ToQString(DescribeFailure(finished)));
        if (finished.m_bZeroByteCut)
            LogMessage(ToQString(finished.m_strAddress + ": " + RunTexts::kZeroByteCut));
    }
    UpdateStatusPanes();
}

void CMainFrame::OnRunEnded()
{
    const CRunTally& tally = m_pRun->Tally();
    if (tally.Total() == 0)
        return;
    const QString strSummary = ToQString(FormatRunSummary(tally, true));
    // A run that went well is noted without bringing the log into view.
    if (m_pMessageLog)
        m_pMessageLog->AddMessage(strSummary, tally.m_nFailed + tally.m_nGaveUp > 0);
    // It stays until the next run begins or another message comes.
    m_strRunSummary = ElidedStatusText(strSummary);
    statusBar()->showMessage(m_strRunSummary);
}

void CMainFrame::OnPauseChanged(const std::string&)
{
    // A registry's pause has begun or ended: show it at once.
    UpdateStatusPanes();
}

void CMainFrame::OnRegistryDenied(const std::string&, const std::string& strReason)
{
    LogMessage(ToQString(strReason));
}

void CMainFrame::TakeCheckpointResult()
{
    std::string strError;
    switch (m_pDocs->TakeRecoveryResult(strError)) {
    case CRecoveryFile::EWrite::kWritten:
        m_bCheckpointFailed = false;
        break;
    case CRecoveryFile::EWrite::kFailed:
        CheckpointFailed(strError);
        m_pRun->CheckpointFailedLater();
        break;
    case CRecoveryFile::EWrite::kNone:
    case CRecoveryFile::EWrite::kWriting:
        break;
    }
}

void CMainFrame::CheckpointFailed(const std::string& strError)
{
    if (!strError.empty() && !m_bCheckpointFailed)
        LogMessage(Text(FT::kMsgCheckpointFailed).arg(ToQString(strError)));
    m_bCheckpointFailed = true;
}

// ------------------------------------------------------------------ row commands

std::vector<std::string> CMainFrame::CollectRows(bool bSelectedOnly)
{
    std::vector<std::string> result;
    if (!m_pListBar || m_pListBar->isHidden())
        return result;
    // Rows become records here, for every command that acts on rows.
    const std::vector<int> records = bSelectedOnly ? m_pListBar->GetSelectedRecords() : std::vector<int>();
    const int nRows = bSelectedOnly ? int(records.size()) : m_pListBar->GetShownRowCount();
    CProgressDlg progress(this);
    progress.Show(FT::kCollecting);
    const int nRecords = m_doc.GetData().GetSize();
    for (int i = 0; i < nRows; ++i) {
        const int nRecord = bSelectedOnly ? records[size_t(i)] : m_pListBar->RecordOfRow(i);
        if (nRecord >= 0 && nRecord < nRecords)
            result.push_back(m_doc.GetData().GetIPAddressAt(nRecord));
        if (i % 50 == 0)
            progress.SetPos(int(int64_t(i) * 100 / nRows));
        if (progress.PollCancel())
            break;
    }
    progress.Close();
    return result;
}

void CMainFrame::OnLookupSelected()
{
    const std::vector<std::string> addresses = CollectRows(true);
    for (const std::string& strAddress : addresses) {
        // Only the first selected address is looked up; a row emptied meanwhile counts as none.
        // An explicit request asks the servers, whatever a neighbour's answer says.
        m_pRun->QueueExplicit(lookupWhois, strAddress);
        break;
    }
}

void CMainFrame::OnLookupWithOptions()
{
    CLookupOptionsDlg dlg(GetSelectedCount(), m_lastChoice, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_lastChoice = dlg.GetChoice();
    QueueRun(CollectRows(m_lastChoice.m_eRows == CLookupChoice::rowsSelected), m_lastChoice);
}

void CMainFrame::QueueRun(const std::vector<std::string>& addresses, const CLookupChoice& choice)
{
    m_pRun->SetReuseKnownRanges(CSettingsLoader(m_store).Get(PS::kReuseKnownRanges));
    m_pRun->Queue(addresses, choice);
    UpdateStatusPanes();
    UpdateCommandStates();
}

std::string CMainFrame::CaptionNote(const std::string& strAddress) const
{
    if (const CRecordStatus* pFailure = m_pRun->FailureOf(strAddress)) {
        std::string strNote = m_pRun->IsGivenUp(strAddress) ? FT::kNoteNoAnswer : FT::kNoteFailed;
        if (pFailure->m_strReason != FT::kReasonNoAnswer)
            strNote += ": " + pFailure->m_strReason;
        return strNote;
    }
    if (m_pRun->IsGivenUp(strAddress))
        return FT::kNoteNoAnswer;
    const std::string strSource = m_pRun->Reuse().GetReusedFrom(strAddress);
    if (strSource.empty())
        return {};
    if (strSource == CLookupRun::kFromCache)
        return FT::kNoteFromCache;
    char szNote[96];
    std::snprintf(szNote, sizeof szNote, FT::kNoteReusedFrom, strSource.c_str());
    return szNote;
}

CRecordStatus CMainFrame::RunStatusOf(const CIPAddressData& record, const CWhoisFacts& facts) const
{
    CRecordStatus status;
    status.m_eStatus = RecordStatusOf(record, facts);
    const std::string strAddress = record.GetIPAddress();
    if (const CRecordStatus* pFailure = m_pRun->FailureOf(strAddress)) {
        // The last lookup ended without an answer: why, as the network met it.
        status = *pFailure;
    } else if (m_pRun->IsGivenUp(strAddress)) {
        // Three tries without an answer: the run stopped asking.
        status.m_eStatus = ERecordStatus::kGaveUp;
        status.m_strReason = FT::kReasonNoAnswer;
    } else if (status.m_eStatus == ERecordStatus::kOk) {
        status.m_strReusedFrom = m_pRun->Reuse().GetReusedFrom(strAddress);
        if (status.m_strReusedFrom == CLookupRun::kFromCache)
            status.m_eStatus = ERecordStatus::kCached;
        else if (!status.m_strReusedFrom.empty())
            status.m_eStatus = ERecordStatus::kReused;
    }
    return status;
}

std::string CMainFrame::RangeMismatchNote(const std::string& strAddress) const
{
    const CIPAddressData* pRecord = m_doc.GetData().FindByIP(strAddress);
    if (!pRecord)
        return {};
    const CWhoisFacts& facts = GetWhoisFacts(m_doc.GetData(), *pRecord);
    if (RecordStatusOf(*pRecord, facts) != ERecordStatus::kRangeMismatch)
        return {};
    char szNote[160];
    std::snprintf(szNote, sizeof szNote, FT::kNoteRangeMismatch, facts.RangeText().c_str());
    return szNote;
}

void CMainFrame::OnQueueSelected(int nCommandId)
{
    for (const std::string& strAddress : CollectRows(true)) {
        if (strAddress.empty())
            continue;
        // An explicit request runs even when an earlier result is fresh.
        const int nKind = nCommandId == FT::kCmdLookupHostNames ? lookupHostName
                          : nCommandId == FT::kCmdPingSelected  ? lookupPing
                                                                : lookupTrace;
        m_pRun->Session().Queue(m_doc, nKind, strAddress, 0);
    }
}

void CMainFrame::OnQuickLookup()
{
    std::string strText;
    if (!m_pEntryBar || !m_pEntryBar->TakeEntry(strText))
        return;
    const std::string strTyped = strText;
    int nAdded = 0;
    {
        CProgressDlg progress(this);
        nAdded = m_doc.AddIPsFromText(strText, true, nullptr, *m_services.m_pResolver, progress);
    }
    // Nothing added: the text names an address already listed, or no address at all.
    if (nAdded == 0) {
        if (!FindTypedAddress(strTyped, strText)) {
            m_pEntryBar->ForgetEntry();
            // A text with a colon was meant as an IPv6 address: say what is wrong with it.
            const std::string strToken = strTyped.substr(0, strTyped.find_first_of(" \t"));
            const CParseResult<CIPAddress> parsed = ParseIPAddressInInput(strToken);
            if (strToken.find(':') != std::string::npos && !parsed)
                statusBar()->showMessage(
                    Text(FT::kMsgNotAnAddress).arg(ToQString(strToken), ToQString(parsed.Reason())), FT::kMessageMs);
            else
                statusBar()->showMessage(Text(FT::kMsgNoAddressFound).arg(ToQString(strTyped)), FT::kMessageMs);
            return;
        }
        if (m_doc.GetData().IndexOfIP(strText) < 0)
            return; // adding was cancelled
    }
    m_doc.SelectIP(strText);
    RefreshListBar();
    m_doc.UpdateAllViews(nullptr);
    m_pRun->Session().Queue(m_doc, lookupWhois, strText);
}

bool CMainFrame::FindTypedAddress(const std::string& strTyped, std::string& strAddress)
{
    // The first word, as adding from text takes it.
    const std::string strToken = strTyped.substr(0, strTyped.find_first_of(" \t"));
    if (IsValidDottedQuad(strToken))
        strAddress = strToken;
    else if (const CParseResult<CIPAddress> parsed = ParseIPAddressInInput(strToken); parsed)
        strAddress = parsed->ToString();
    else if (strToken.find(':') != std::string::npos ||
             !HostNameToAddress(*m_services.m_pResolver, strToken, strAddress))
        return false;
    return true;
}

void CMainFrame::OnDelete()
{
    const std::vector<std::string> addresses = CollectRows(true);
    const int n = int(addresses.size());
    if (n == 0)
        return;
    // Where each record stands before any goes: the undo puts them back there.
    std::vector<int> indexes(addresses.size(), -1);
    for (size_t i = 0; i < addresses.size(); ++i)
        if (!addresses[i].empty())
            indexes[i] = m_doc.GetData().IndexOfIP(addresses[i]);
    m_undo.Begin(m_doc);
    int nDone = 0;
    CProgressDlg progress(this);
    progress.Show(FT::kDeleting);
    for (int i = 0; i < n; ++i) {
        if (!addresses[size_t(i)].empty())
            m_undo.Take(m_doc, addresses[size_t(i)], indexes[size_t(i)]);
        ++nDone;
        if (i % 50 == 0)
            progress.SetPos(i * 100 / n);
        if (progress.PollCancel())
            break;
    }
    progress.Close();
    if (nDone > 0) {
        m_doc.UpdateAllViews(nullptr);
        m_doc.SetModifiedFlag();
        m_undo.End(m_doc);
        RefreshListBar();
    }
}

void CMainFrame::OnFind()
{
    if (!m_pListBar)
        return;
    if (!m_pListBar->IsDetailsMode())
        OnDisplayMode(FT::kCmdModeDetails);
    m_pListBar->show();
    m_pListBar->raise();
    QLineEdit* pFilter = m_pListBar->GetDetailsView()->GetFilterBox();
    pFilter->setFocus(Qt::ShortcutFocusReason);
    pFilter->selectAll();
}

void CMainFrame::OnUndo()
{
    const int nRestored = m_undo.Undo(m_doc);
    if (nRestored == 0)
        return;
    m_doc.UpdateAllViews(nullptr);
    RefreshListBar();
    statusBar()->showMessage(Text(FT::kMsgUndoneDelete).arg(nRestored), FT::kMessageMs);
}

void CMainFrame::OnStopAll()
{
    // Nothing starts any more, and what still reports empty is not asked again.
    m_pRun->StopAll();
    UpdateStatusPanes();
}

void CMainFrame::OnViewRawWhois()
{
    m_nViewMode = FT::kCmdViewRawWhois;
    auto* pView = new CTextResultView(&m_doc, this);
    pView->SetCaptionNote([this](const std::string& strAddress) { return CaptionNote(strAddress); });
    pView->SetCaptionWarning([this](const std::string& strAddress) { return RangeMismatchNote(strAddress); });
    pView->setObjectName(QStringLiteral("view-raw-whois"));
    pView->SetUrlOpener(m_services.m_fnOpenUrl);
    pView->SetAbuseReader(m_services.m_fnReadAbuse);
    setCentralWidget(pView); // deletes the previous view
    pView->show();
    m_pView = pView;
    m_pView->OnInitialUpdate();
    if (m_pListBar) {
        m_pListBar->show();
        RefreshListBar();
    }
}

void CMainFrame::OnDisplayMode(int nMode)
{
    if (!m_pListBar)
        return;
    m_pListBar->SetDisplayMode(nMode);
    PlaceListBar();
    RefreshListBar();
    m_pListBar->UpdateRows();
    UpdateStatusPanes();
}

Qt::DockWidgetArea CMainFrame::ListSide() const
{
    return CSettingsLoader(m_store).Get(PS::kListSide) == 2 ? Qt::RightDockWidgetArea : Qt::LeftDockWidgetArea;
}

void CMainFrame::PlaceListBar()
{
    if (!m_pListBar)
        return;
    m_bPlacingBar = true;
    // A list of addresses belongs at the side; below the whois view the Details
    // table has the window's width.
    const Qt::DockWidgetAreas sides = Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea;
    m_pListBar->setAllowedAreas(m_pListBar->IsDetailsMode() ? sides | Qt::BottomDockWidgetArea : sides);
    const Qt::DockWidgetArea area = dockWidgetArea(m_pListBar);
    const bool bFloating = m_pListBar->isFloating();
    if (m_pListBar->IsDetailsMode()) {
        switch (CSettingsLoader(m_store).Get(PS::kDetailsPlace)) {
        case kPlaceFloating:
            if (!bFloating) {
                m_pListBar->setFloating(true);
                m_bBarMovedForDetails = true;
            }
            break;
        case kPlaceSide:
            if (bFloating || area == Qt::BottomDockWidgetArea) {
                addDockWidget(ListSide(), m_pListBar);
                m_pListBar->setFloating(false);
            }
            break;
        default:
            if (bFloating || area != Qt::BottomDockWidgetArea) {
                addDockWidget(Qt::BottomDockWidgetArea, m_pListBar);
                m_pListBar->setFloating(false);
                m_bBarMovedForDetails = true;
            }
            break;
        }
    } else if (!bFloating ? area == Qt::BottomDockWidgetArea : m_bBarMovedForDetails) {
        // The address list goes back to its side.
        addDockWidget(ListSide(), m_pListBar);
        m_pListBar->setFloating(false);
        m_bBarMovedForDetails = false;
    }
    m_pListBar->ApplyRememberedSize();
    m_bPlacingBar = false;
}

void CMainFrame::NoteListBarPlace()
{
    if (!m_pListBar || m_bPlacingBar)
        return;
    const Qt::DockWidgetArea area = dockWidgetArea(m_pListBar);
    CSettingsLoader loader(m_store);
    if (m_pListBar->IsDetailsMode()) {
        // Where the user puts the table is where it goes next time.
        const int nPlace = m_pListBar->isFloating()           ? kPlaceFloating
                           : area == Qt::BottomDockWidgetArea ? kPlaceBelow
                                                              : kPlaceSide;
        loader.Set(PS::kDetailsPlace, nPlace);
        m_bBarMovedForDetails = nPlace != kPlaceSide;
    }
    if (!m_pListBar->isFloating() && (area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea))
        loader.Set(PS::kListSide, area == Qt::RightDockWidgetArea ? 2 : 1);
}

void CMainFrame::OnToggleIPListBar()
{
    if (!m_pListBar)
        return;
    if (!m_pListBar->isHidden()) {
        m_pListBar->hide();
    } else {
        m_pListBar->show();
        RefreshListBar();
    }
}

void CMainFrame::OnToggleQuickBar()
{
    if (m_pQuickBar)
        m_pQuickBar->setVisible(m_pQuickBar->isHidden());
}

void CMainFrame::OnExportRawWhois()
{
    const std::vector<std::string> addresses = CollectRows(m_bReportSelected);
    std::string strReport;
    int nBlocks = 0;
    {
        CProgressDlg progress(this);
        nBlocks = m_doc.CreateReport(addresses, strReport, progress);
    }
    if (nBlocks == 0)
        return;
    std::string strPath;
    if (!m_services.m_pFiles->PromptFileName(this, m_store, true, IoTexts::kSavePromptFilter,
                                             IoTexts::kSavePromptExtension, IoTexts::kSavePromptTitle, strPath))
        return;
    std::string strError;
    if (!WriteTextFile(strPath, strReport, strError))
        m_services.m_pPrompts->ShowMessage(
            this, QString::fromLatin1(IoTexts::kMsgCannotWriteReport).arg(ToQString(strError)));
    else
        NoteReportWritten(strPath, nBlocks);
}

void CMainFrame::NoteReportWritten(const std::string& strPath, int nRows)
{
    statusBar()->showMessage(
        Text(FT::kMsgReportWritten)
            .arg(nRows)
            .arg(GetRowCount())
            .arg(Text(m_bReportSelected ? FT::kReportRowsSelected : FT::kReportRowsAll), ToQString(strPath)),
        FT::kMessageMs);
}

void CMainFrame::OnExportTable(bool bJson)
{
    const std::vector<std::string> addresses = CollectRows(m_bReportSelected);
    int nRows = 0;
    const std::string strTable = BuildTableExport(
        m_doc.GetData(), addresses, bJson ? ETableFormat::kJson : ETableFormat::kCsv, ETableRows::kRecords, nRows,
        [this](const CIPAddressData& record, const CWhoisFacts& facts) { return RunStatusOf(record, facts); },
        [this](const CIPAddressData& record) { return m_delegations.Find(record); });
    if (nRows == 0)
        return;
    std::string strPath;
    if (!m_services.m_pFiles->PromptFileName(this, m_store, true, bJson ? FT::kTableJsonFilter : FT::kTableCsvFilter,
                                             bJson ? FT::kTableJsonExtension : FT::kTableCsvExtension,
                                             IoTexts::kSavePromptTitle, strPath))
        return;
    std::string strError;
    if (!WriteTextFile(strPath, strTable, strError))
        m_services.m_pPrompts->ShowMessage(this,
                                           Text(FT::kTableWriteFailed).arg(ToQString(strPath), ToQString(strError)));
    else
        NoteReportWritten(strPath, nRows);
}

// ------------------------------------------------------------------ import, settings

void CMainFrame::AfterImport(int nBefore, int nAdded, bool bLookup)
{
    if (nAdded == 0)
        return;
    RefreshListBar();
    m_doc.UpdateAllViews(nullptr);
    if (!bLookup)
        return;
    // New records are appended: the imported ones are the last.
    std::vector<std::string> addresses;
    const CIPDataArray& data = m_doc.GetData();
    for (int i = std::max(nBefore, 0); i < data.GetSize(); ++i)
        addresses.push_back(data.GetIPAddressAt(i));
    CLookupChoice choice;
    choice.m_eRows = CLookupChoice::rowsAll;
    QueueRun(addresses, choice);
}

// Addresses come in while the file is read, so a log of any size fits in memory.
void CMainFrame::ImportFile(bool bLog)
{
    std::string strPath;
    if (!m_services.m_pFiles->PromptFileName(this, m_store, false, IoTexts::kImportPromptFilter,
                                             IoTexts::kImportPromptExtension, IoTexts::kImportPromptTitle, strPath))
        return;
    CTextFileReader reader;
    // A zero byte costs its own line only.
    reader.SkipDamagedLines();
    bool bEmpty = true;
    if (reader.Open(strPath)) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        bEmpty = reader.IsEmpty();
        QApplication::restoreOverrideCursor();
    }
    const CTextReadResult& read = reader.Result();
    const auto reportRead = [&](int nAdded) {
        if (read.m_nDamagedLines > 0)
            LogMessage(ToQString(strPath + " holds NUL bytes; " + std::to_string(read.m_nDamagedLines) +
                                 " damaged lines were skipped"));
        if (!read.m_bOpened || (bEmpty && !read.m_strError.empty()))
            m_services.m_pPrompts->ShowMessage(
                this, QString::fromLatin1(IoTexts::kMsgCannotRead).arg(ToQString(strPath), ToQString(read.m_strError)));
        else if (!read.m_bComplete && !read.m_strError.empty())
            m_services.m_pPrompts->ShowMessage(this, QString::fromLatin1(IoTexts::kMsgPartialRead)
                                                         .arg(ToQString(strPath), QString::number(read.m_nTextBytes),
                                                              ToQString(read.m_strError), QString::number(nAdded)));
    };
    if (bEmpty) {
        reportRead(0);
        return;
    }
    std::string strPatterns;
    // The text import has no dialog of its own: the choice last made in the log
    // import's dialog holds.
    bool bLookup = CSettingsLoader(m_store).Get(PS::kLookupAfterImport);
    if (bLog) {
        CLogFileImportDlg dlg(m_store, this);
        if (dlg.exec() != QDialog::Accepted)
            return;
        strPatterns = dlg.GetPatterns();
        bLookup = dlg.IsLookupAfterImport();
    }
    const int nBefore = m_doc.GetData().GetSize();
    int nAdded = 0;
    CImportTally tally;
    {
        CProgressDlg progress(this);
        // No condition ticked takes every visitor, as the text import does.
        const bool bFilter = bLog && !strPatterns.empty();
        nAdded = m_doc.AddIPsFromSource(reader, GetConnSettings().m_bConvertHostNames, bFilter ? &strPatterns : nullptr,
                                        *m_services.m_pResolver, progress, nullptr, &tally);
    }
    AfterImport(nBefore, nAdded, bLookup);
    LogMessage(ToQString(FormatImportSummary(tally)));
    reportRead(nAdded);
}

void CMainFrame::OnImportTextFile()
{
    ImportFile(false);
}

void CMainFrame::OnImportWebLog()
{
    ImportFile(true);
}

void CMainFrame::OnConnectionSettings()
{
    CConnSetupDlg dlg(m_store, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_pRun->Session().SetSettings(LoadUsableConnSettings(m_store));
    m_pRun->Session().LoadRdapSettings(m_store);
    ReportRdapProblem();
    m_doc.GetData().SetResolveTraceHops(GetConnSettings().m_bTraceHostLookup);
}

void CMainFrame::ReportRdapProblem()
{
    // Once per reading of the settings, and only when RDAP is in use.
    if (m_pRun->Session().GetWhoisSource() == EWhoisSource::kRdap && !m_pRun->Session().GetRdapProblem().empty())
        statusBar()->showMessage(QString::fromLocal8Bit(m_pRun->Session().GetRdapProblem().c_str()), 15000);
}

// ------------------------------------------------------------------ tray, web, application

void CMainFrame::OnMinimizeToTray()
{
    // Without a notification area a hidden window could not be brought back.
    if (!m_pTray || !m_pTray->IsEnabled()) {
        showMinimized();
        return;
    }
    m_pTray->ShowIcon();
    hide();
}

void CMainFrame::OnTrayShow()
{
    show();
    raise();
    activateWindow();
    if (m_pTray)
        m_pTray->HideIcon();
}

void CMainFrame::OpenWebPage(const char* pszUrl)
{
    m_services.m_fnOpenUrl(QUrl(QString::fromLatin1(pszUrl)));
}

void CMainFrame::OnToggleAutoLoad()
{
    m_nAutoLoad = m_nAutoLoad ? 0 : 1;
    CSettingsLoader(m_store).Set(PS::kAutoDocLoad, m_nAutoLoad);
}

void CMainFrame::OnAbout()
{
    char szDate[64];
    std::snprintf(szDate, sizeof szDate, FT::kBuildDate, __DATE__);
    m_services.m_pPrompts->ShowAbout(this, Text(FT::kAboutTitle),
                                     Text(FT::kAboutProduct) + QLatin1Char('\n') +
                                         Text(FT::kAboutVersion).arg(QStringLiteral(ADDRSCOPE_VERSION)) +
                                         QStringLiteral("\n\n") + Text(szDate));
}

// ------------------------------------------------------------------ closing, dropping

void CMainFrame::closeEvent(QCloseEvent* pEvent)
{
    CSettingsLoader(m_store).Set(PS::kViewMode, m_nViewMode);
    if (m_pMessageLog)
        CSettingsLoader(m_store).Set(PS::kShowMessages, !m_pMessageLog->isHidden());
    CWindowPlacement::Save(m_store, CWindowPlacement::FromWindow(*this));
    if (m_pListBar)
        m_pListBar->SaveState(m_store, FT::kIPListBarProfile);
    if (!m_pDocs->SaveModified()) {
        pEvent->ignore();
        return;
    }
    // Closed normally: what the recovery file kept was saved or given up.
    m_pDocs->DiscardRecovery();
    // Closing a window hidden in the tray is no "last window closed": end the program here.
    if (m_pTray && !m_pTray->IsHidden() && isHidden())
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    if (m_pTray)
        m_pTray->HideIcon();
    pEvent->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* pEvent)
{
    if (pEvent->mimeData()->hasUrls())
        pEvent->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* pEvent)
{
    QStringList paths;
    for (const QUrl& url : pEvent->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    pEvent->acceptProposedAction();
    OpenDroppedFiles(paths);
}

void CMainFrame::OpenDroppedFiles(const QStringList& paths)
{
    activateWindow();
    raise();
    for (const QString& strPath : paths)
        m_pDocs->OpenDocumentFile(ToStdString(strPath));
    UpdateTitle();
    UpdateCommandStates();
}
