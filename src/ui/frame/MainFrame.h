#pragma once

#include "cache/AnswerCacheFile.h"
#include "core/document/DeletionUndo.h"
#include "core/document/DocumentHost.h"
#include "core/document/NetloreDoc.h"
#include "core/document/ViewNotifier.h"
#include "facts/RecordStatus.h"
#include "sched/DelegationLookup.h"
#include "sched/LookupChoice.h"
#include "sched/LookupProgress.h"
#include "sched/LookupRun.h"
#include "sched/LookupSession.h"
#include "sched/RangeReuse.h"
#include "ui/frame/FrameServices.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QStringList>
#include <QTimer>

#include <map>
#include <memory>
#include <string>
#include <vector>

class CCheckedSettingsStore;
class CClock;
struct CWhoisFacts;
class CIPAddressData;
class CDocManager;
class CFilePrompt;
class CFramePrompts;
class CGuiCompletionSink;
class CIPEntryDlgBar;
class CIPListBar;
class CLookupJob;
class CMessageLogBar;
class CNameResolver;
class CIcmpService;
class CProgress;
class CRebarAnimCtrl;
class CSettingsStore;
class CSystemTray;
class CTextResultView;
class QAction;
class QLabel;
class QMenu;
class QToolBar;

// The program's one window: menus, the main and options toolbars, the quick lookup
// bar, the busy animation, the status panes, the docking IP list, the whois view
// and the tray icon. Every command arrives here; the 2-second timer drives the
// lookup run, finished lookups come back through the completion sink to be merged
// on this thread, and the run tells the window what to show.
class CMainFrame : public QMainWindow, public CViewNotifier, public CDocumentHost, public CLookupRunListener
{
    Q_OBJECT
public:
    static constexpr int kViewModeNone = -1;

    explicit CMainFrame(CSettingsStore& store, const CFrameServices& services = CFrameServices(),
                        QWidget* pParent = nullptr);
    ~CMainFrame() override;

    // Takes down the view and the bars (which write their settings as they go);
    // the destructor does this too, then waits for the running lookups.
    void DestroyViews();

    // The start-up steps in order; false when a required part could not be made.
    bool Create();

    // ---- commands ----
    // One command of the window: the table in MainFrame.cpp has a row for each.
    struct CCommand {
        int m_nId;
        const char* m_pszText; // menu text; null: no action, the command is only posted
        const char* m_pszPrompt; // status bar prompt and tool tip
        const char* m_pszButton; // toolbar button text; null: none
        int m_nIcon; // CFrameIcons::EIcon; -1: none
        QKeySequence::StandardKey m_standardKey;
        int m_nKey; // a key of its own when no standard one; 0: none
        void (*m_pfnRun)(CMainFrame& frame, int nId); // null: does nothing
        bool (*m_pfnEnabled)(const CMainFrame& frame);
        bool (*m_pfnChecked)(const CMainFrame& frame, int nId); // null: not checkable
    };
    static const std::vector<CCommand>& Commands();
    // Runs the command as if its menu item, button or key had issued it.
    void OnCommand(int nCommandId);
    // The action of a command id, null for ids without one.
    QAction* GetAction(int nCommandId) const;
    void UpdateCommandStates();
    // Every 2000 ms: the busy animation, one scheduler tick, the status panes.
    void OnTimer();
    // Addresses of the selected rows, or all rows, of the IP list bar; nothing while
    // the bar is hidden. Cancel in the progress window ends it early.
    std::vector<std::string> CollectRows(bool bSelectedOnly);
    // A finished job on the UI thread: the document's merge for its code.
    void OnLookupCompleted(int nCode, CLookupJob* pJob);
    // Files dropped on the window, opened one after the other.
    void OpenDroppedFiles(const QStringList& paths);
    // Saves the document's recovery file when "Checkpoint Results" results or
    // "Checkpoint Seconds" have passed since the last one (bNow: at once, when any
    // result is unsaved). The document file itself is saved only when the user says so.
    void Checkpoint(bool bNow = false);
    // A line in the log of messages (and for a while in the status bar).
    void LogMessage(const QString& strMessage);
    // Opens the shared answer cache the settings name (off when empty).
    void OpenAnswerCache();
    // Tools/Update Registry Data: the registries' delegation files downloaded into
    // the answer cache's file, with progress and Cancel; what each gave in Messages.
    void OnUpdateRegistryData();
    // Checks the settings file behind the store: what cannot be used as written goes
    // to the log of messages and a dialog, and no lookup starts until it is mended
    // (the next start reads the mended file). bDialog: false for unattended runs.
    void CheckSettingsFile(const std::string& strPath, bool bDialog);

    // Runs the command after the current one.
    void PostCommand(int nCommandId);

    // ---- CViewNotifier, CDocumentHost ----
    void UpdateAllViews(const std::string* pHint) override;
    void PostListRefresh() override;

    // ---- CLookupRunListener ----
    void OnAddressFinished(const CRunFinished& finished) override;
    ECheckpoint OnCheckpointDue(bool bNow) override;
    void OnPauseChanged(const std::string& strPauses) override;
    void OnRegistryDenied(const std::string& strRegistry, const std::string& strReason) override;
    void OnRunEnded() override;

    // ---- parts ----
    CNetloreDoc& GetDocument() { return m_doc; }
    CDocManager& GetDocManager() { return *m_pDocs; }
    CSettingsStore& GetStore() { return m_store; }
    CIPListBar* GetIPListBar() const { return m_pListBar; }
    CIPEntryDlgBar* GetEntryBar() const { return m_pEntryBar; }
    CTextResultView* GetView() const { return m_pView; }
    CSystemTray* GetTray() const { return m_pTray; }
    CMessageLogBar* GetMessageLog() const { return m_pMessageLog; }
    CRebarAnimCtrl* GetAnimation() const { return m_pAnim; }
    QToolBar* GetMainToolBar() const { return m_pMainToolBar; }
    QToolBar* GetOptionsToolBar() const { return m_pOptionsToolBar; }
    QToolBar* GetQuickBar() const { return m_pQuickBar; }
    QLabel* GetTotalPane() const { return m_pTotalPane; }
    QLabel* GetDisplayPane() const { return m_pDisplayPane; }
    // "Looking up N of M" of the current bulk run; empty between runs.
    QLabel* GetRunPane() const { return m_pRunPane; }
    const CLookupProgress& GetRunProgress() const { return m_pRun->Progress(); }
    CRangeReuse& GetRangeReuse() { return m_pRun->Reuse(); }
    QTimer& GetTimer() { return m_timer; }
    const CConnSettings& GetConnSettings() const { return m_pRun->Session().GetSettings(); }
    int GetViewMode() const { return m_nViewMode; }
    bool IsReportSelected() const { return m_bReportSelected; }
    bool IsAutoLoad() const { return m_nAutoLoad != 0; }
    CLookupSession& GetSession() { return m_pRun->Session(); }
    CLookupRun& GetRun() { return *m_pRun; }
    // Rows and selection of the list as the commands see them: none while the bar is hidden.
    int GetRowCount() const;
    int GetSelectedCount() const;

protected:
    void closeEvent(QCloseEvent* pEvent) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;

private:
    // The outcome of a checkpoint written in the background, when it has ended.
    void TakeCheckpointResult();
    void CheckpointFailed(const std::string& strError);
    void CreateActions();
    void CreateMenus();
    bool CreateToolBars();
    void CreateStatusBar();
    bool CreateListBar();
    void CreateMessageLog();
    void CreateTray();
    void RebuildRecentFiles();
    void UpdateTitle();
    void UpdateStatusPanes();
    // A message cut to the room the status bar has for it, ending in "...".
    QString ElidedStatusText(const QString& strText) const;
    void RefreshListBar();

    void OnQuickLookup();
    // The address a typed text names (itself or the address of a host name);
    // false when it names none.
    bool FindTypedAddress(const std::string& strTyped, std::string& strAddress);
    void OnLookupSelected();
    void OnLookupWithOptions();
    // Queues the addresses for the choice's kinds as one run ("Reuse Known Ranges"
    // read at the time).
    void QueueRun(const std::vector<std::string>& addresses, const CLookupChoice& choice);
    std::string CaptionNote(const std::string& strAddress) const;
    std::string RangeMismatchNote(const std::string& strAddress) const;
    // The record's status with what this window's runs know (reused answers, give-ups).
    CRecordStatus RunStatusOf(const CIPAddressData& record, const CWhoisFacts& facts) const;
    void OnDelete();
    void OnUndo();
    void OnFind();
    void NoteReportWritten(const std::string& strPath, int nRows);
    void OnViewRawWhois();
    void OnStopAll();
    void OnDisplayMode(int nMode);
    // The list bar at the side for the address modes; below the view, floating or at
    // the side (as last chosen) for the Details mode.
    void PlaceListBar();
    void NoteListBarPlace();
    Qt::DockWidgetArea ListSide() const;
    void OnToggleIPListBar();
    void OnToggleQuickBar();
    void OnExportRawWhois();
    void OnExportTable(bool bJson);
    void OnQueueSelected(int nCommandId);
    void ImportFile(bool bLog);
    void OnImportTextFile();
    void OnImportWebLog();
    void OnConnectionSettings();
    void ReportRdapProblem();
    void OnMinimizeToTray();
    void OnTrayShow();
    void OnToggleAutoLoad();
    void OnReportRows(int nCommandId);
    void OnAbout();
    void OpenWebPage(const char* pszUrl);
    // The records from nBefore on were imported; bLookup queues them for whois.
    void AfterImport(int nBefore, int nAdded, bool bLookup);

    // Every read of the settings goes through it, so that a value it cannot use
    // reaches the log of messages.
    std::unique_ptr<CCheckedSettingsStore> m_pCheckedStore;
    CSettingsStore& m_store;
    CFrameServices m_services;
    std::unique_ptr<CNameResolver> m_pOwnResolver;
    std::unique_ptr<CIcmpService> m_pOwnIcmp;
    std::unique_ptr<CClock> m_pOwnClock;
    std::unique_ptr<CFilePrompt> m_pOwnFiles;
    std::unique_ptr<CFramePrompts> m_pOwnPrompts;

    CNetloreDoc m_doc;
    std::unique_ptr<CDocManager> m_pDocs;
    CGuiCompletionSink* m_pSink = nullptr;

    int m_nViewMode = kViewModeNone;
    bool m_bReportSelected = true;
    int m_nAutoLoad = 1;
    CLookupChoice m_lastChoice;
    CDeletionUndo m_undo;
    bool m_bCheckpointFailed = false;
    // Messages that came before the log of messages was made.
    QStringList m_earlyMessages;
    // What makes the settings file unusable; lookups wait while it holds anything.
    std::vector<std::string> m_settingsProblems;

    std::map<int, QAction*> m_actions;
    QMenu* m_pFileMenu = nullptr;
    QAction* m_pRecentSeparator = nullptr;
    std::vector<QAction*> m_recentActions;
    QMenu* m_pTrayMenu = nullptr;
    QToolBar* m_pMainToolBar = nullptr;
    QToolBar* m_pOptionsToolBar = nullptr;
    QToolBar* m_pQuickBar = nullptr;
    CIPEntryDlgBar* m_pEntryBar = nullptr;
    CRebarAnimCtrl* m_pAnim = nullptr;
    QLabel* m_pTotalPane = nullptr;
    QLabel* m_pDisplayPane = nullptr;
    QLabel* m_pRunPane = nullptr;
    // The summary of the last run as the status bar shows it, until the next run begins.
    QString m_strRunSummary;
    CIPListBar* m_pListBar = nullptr;
    bool m_bPlacingBar = false;
    // The Details mode moved the bar from its side; the address modes move it back.
    bool m_bBarMovedForDetails = false;
    CTextResultView* m_pView = nullptr;
    CSystemTray* m_pTray = nullptr;
    QMenu* m_pViewMenu = nullptr;
    CMessageLogBar* m_pMessageLog = nullptr;
    QTimer m_timer;

    // The answers shared with every document and process; the run writes to it.
    CAnswerCacheFile m_answerCache;
    CDelegationLookup m_delegations;
    // Last: destroyed first, so every worker has finished before what it uses goes.
    std::unique_ptr<CLookupRun> m_pRun;
};
