#pragma once

#include <QHash>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <pugixml.hpp>

#include "core/catalog/CatalogTree.h"
#include "core/engine/FileInfo.h"
#include "core/scan/ItemEdits.h"
#include "gui/search/QuickSearch.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QSplitter;
class QTimer;
class QToolButton;
class QUrl;

namespace melodrix {

class TCatalogModel;
class TContentView;
class TDetailPanel;
class TFrmCatTree;
class TFMUpdatePreview;
class TGuiPrompt;
class THelpWindow;
class TWaitForm;

// The main window: toolbar, library tree with the detail panel, the catalog content view
// and the status bar. It owns the catalog engine and the catalog shown.
class TFMMain final : public QMainWindow {
    Q_OBJECT
public:
    explicit TFMMain(QWidget* parent = nullptr);
    ~TFMMain() override;

    std::unique_ptr<TFileInfo> FileInfo;  // made when the window is first shown
    QString CurrentCatalog;               // the catalog file shown; empty for none or results
    QString LastScanFolder;               // folder of the last new-catalog command
    int SortField = FileName;             // field the content view is sorted by
    bool DetailEditable = false;          // the detail panel shows an item of the content view

    // --- Parts the commands work with ---
    pugi::xml_document& Document() { return document_; }
    TCatalogTree& ContentTree() { return contentTree_; }
    TContentView* VT() const { return vt_; }
    TCatalogModel* ContentModel() const { return contentModel_; }
    TDetailPanel* VLE() const { return vle_; }
    TFrmCatTree* FrmCatTree() const { return frmCatTree_; }
    TWaitForm* WaitForm() const { return waitForm_; }
    IProgressSink& Progress() const;
    IPromptSink& Prompt() const { return *prompt_; }
    // Replace the prompt and progress sinks (tests script and record them); the engine
    // follows.
    void UsePrompt(IPromptSink& prompt);
    void UseProgress(IProgressSink& progress);
    QLabel* StatusPanel() const { return statusPanel_; }
    // A hint: it stays until the next one.
    void ShowStatusText(const QString& text);
    // A message about what the content view shows (a catalog reloaded, one that could not be
    // opened, an export done): it goes when the view is filled anew.
    void ShowStatusMessage(const QString& text);
    // The panel at the right of the status bar: what the content view shows (the open
    // catalog's items, size and playing time, or the count of hits).
    QLabel* ContentPanel() const { return contentPanel_; }
    // The help window, once Help has been asked for.
    THelpWindow* HelpWindow() const { return helpWindow_; }
    QToolButton* ToolButton(const QString& objectName) const;
    QMenu* MenuOptions() const { return menuOptions_; }

    // --- Start-up and shutdown ---
    void InitializeMainWindow();
    void ApplyWindowLayout();
    void StoreWindowLayout();

    // --- The current catalog ---
    void OpenCatalog(const QString& path);
    void SaveCurrentCatalog();
    // Stores an edit and saves it; returns the node that holds the edited item afterwards
    // (another one when the catalog had to be read again, nullptr when it is gone).
    TCatalogNode* EditItemField(TCatalogNode* node, int field, const QString& text);
    // Shows `tree` (taken over) as the catalog at `path`, sorted like the view.
    void ShowCatalogTree(const QString& path, TCatalogTree& tree);
    void ShowDetail(const TFileItem* item);
    // The detail panel shows an item of the content view; its edits go to that item.
    void ShowContentDetail(TCatalogNode* node);
    // The content item whose rows the detail panel shows, or nullptr.
    TCatalogNode* DetailNode() const { return detailNode_; }
    // Sorts the content view by the current sort field and direction.
    void SortContent();
    void ContentHeaderClick(int column);
    void LibraryClick();
    // Brings the status bar and the widths of the number columns up to what the content
    // view now shows. Runs by itself shortly after the view is filled; tests call it at once.
    void UpdateContentStatus();

    // --- Commands ---
    // Runs a command the user started. While one runs (its dialog may still be handling
    // the clicks queued behind its closing) no other starts.
    void RunCommand(const std::function<void()>& command);
    bool CommandRunning() const { return commandRunning_; }
    void ConfigureVisibleColumns();
    void OpenHelp();
    void ShowAbout();
    // The four dialog commands, each in a MainCommands*.cpp file of its own.
    void NewCatalogCommand();
    void CatalogLibraryCommand();
    void SearchCommand();
    void ExportCommand();
    // Rescans the folder of a library catalog and saves it once its preview is applied.
    void UpdateCatalogCommand(const QString& catalogPath);
    // Whether the view lists hits and `node` is one that knows its catalog.
    bool IsHitWithCatalog(const TCatalogNode* node) const;
    // Opens the catalog a hit came from, with the hit's item focused.
    void ShowHitInCatalog(const TCatalogNode* hit);
    // Opens a catalog with the item at `fullPath` focused in the content view.
    void ShowItemInCatalog(const QString& catalog, const std::string& fullPath);
    // The statistics of the open catalog, else of the focused library node.
    void StatisticsCommand();
    // Opens a statistics window of a catalog or, for a folder of the library, a group.
    void OpenStatistics(const QString& path, bool group);
    // The folder question of an update, pre-filled; empty when cancelled. Tests replace it.
    std::function<QString(const QString& storedFolder)> AskUpdateFolder;
    // Shows an update's preview; true for "Apply". Tests replace it.
    std::function<bool(TFMUpdatePreview& preview)> ShowUpdatePreview;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* MakeToolbar();
    QToolButton* MakeToolButton(const QString& name, const QString& caption, const QString& hint,
                                const QIcon& icon, void (TFMMain::*command)());
    QWidget* MakeCaptionStrip(const QString& text, const QString& name);
    void MakeOptionsMenu();
    void ShowOptionsMenu();
    void QuitCommand();
    void SetHint(QWidget* widget, const QString& hint);
    void ConnectViews();
    void MakeContentMenu();
    void MakeLibraryMenu();
    // Enables the pop-up menu's commands for the focused item of the content view.
    void UpdateContentMenu();
    // Opens a file or folder with the desktop's program for it.
    void OpenOnDesktop(const QString& path);
    // The content view was emptied or is being filled anew.
    void ContentChanging();
    // FileSize and FileTime as wide as a newly shown catalog needs, unless the user sized them.
    void FitNumberColumns();
    // The content view was emptied or refilled, or the shown item is going.
    void ForgetContentDetail();
    // An edit of a search or duplicate hit goes to the catalog the hit came from.
    void EditHit(TCatalogNode* hit, int field, const std::string& typed);
    class TContentWatcher;

    pugi::xml_document document_;
    TCatalogTree contentTree_;
    TCatalogModel* contentModel_;
    std::unique_ptr<TGuiPrompt> guiPrompt_;
    IPromptSink* prompt_;
    TWaitForm* waitForm_ = nullptr;
    IProgressSink* progress_ = nullptr;
    TContentView* vt_ = nullptr;
    TDetailPanel* vle_ = nullptr;
    TFrmCatTree* frmCatTree_ = nullptr;
    QSplitter* mainSplitter_ = nullptr;
    QSplitter* leftSplitter_ = nullptr;
    QWidget* plHint_ = nullptr;
    QLabel* statusPanel_ = nullptr;
    QLabel* contentPanel_ = nullptr;
    bool statusIsMessage_ = false;
    QPoint messageCursor_;  // where the mouse was when the message was shown
    QTimer* contentUpdate_ = nullptr;
    QString fittedCatalog_;         // the catalog the number columns were last fitted to
    QStringList userSizedColumns_;  // columns whose width the user chose, kept across runs
    THelpWindow* helpWindow_ = nullptr;
    QMenu* menuOptions_ = nullptr;
    QAction* actionAbout_ = nullptr;
    QAction* actionWeb_ = nullptr;
    QHash<QObject*, QString> hints_;
    TCatalogNode* detailNode_ = nullptr;
    // Edits shown in the view that could not be saved (the catalog was locked too long, the
    // disk full): a save that has to read the catalog again applies them once more.
    struct TUnsavedEdit {
        TItemLocation location;
        int field = 0;
        std::string text;
    };
    std::vector<TUnsavedEdit> unsavedEdits_;
    std::unique_ptr<TContentWatcher> contentWatcher_;
    bool initialized_ = false;
    bool commandRunning_ = false;

    // --- Following the disk (MainFollowDisk.cpp) ---
public:
    // Starts following the open catalog and the library folders: when another program
    // changes them, the views reload by themselves and keep the user's place.
    void StartFollowingDisk();
    // Reloads, now, what changed on disk since it was read, unless MayFollowDiskNow says
    // no (the next check then does it). True when something was reloaded or emptied.
    bool FollowDisk();
    // Nothing is in the way of a reload: no command, long operation, dialog, pop-up, open
    // editor or held mouse button.
    bool MayFollowDiskNow() const;
    // Runs `reload`, which may replace the content tree, and puts the content view (open
    // folders, focused item, scroll position, sort) and the detail panel back where they were.
    void KeepPlaceAcrossReload(const std::function<void()>& reload);

private:
    class TDiskFollower;
    // The edits shown in the view that are not saved yet, applied again to a tree read afresh.
    void ReapplyUnsavedEdits();
    TDiskFollower* diskFollower_ = nullptr;  // owned as a child

    // --- The search box of the tool bar (MainQuickSearch.cpp) ---
public:
    // The text is searched as a name a moment after the last key; Enter runs the full search.
    QLineEdit* QuickSearchBox() const { return quickBox_; }
    // Where the box searches: the whole library (the first entry) or a group.
    QComboBox* QuickSearchScope() const { return quickScope_; }
    // The status bar's note while the search index is brought up to date.
    QLabel* IndexPanel() const { return indexPanel_; }
    // Searches the box's text now, as the pause after the last key does.
    void StartQuickSearch();
    // No quick search runs or waits for its pause, and every hit of the last one is shown.
    bool QuickSearchIdle() const;
    // Whether the content view shows the hits of a quick search.
    bool ShowsQuickHits() const { return quickShown_ != 0; }
    TQuickSearch& QuickSearcher() const { return *quickSearch_; }
    // The most hits a quick search puts in the view; the others are only counted (Enter
    // runs the full search, which shows them all).
    size_t QuickHitsShownAtMost = 10000;
    TIndexUpkeep& IndexUpkeep() const { return *indexUpkeep_; }

private:
    QWidget* MakeQuickSearchBar();
    void ConnectLibraryToQuickSearch();
    void FillQuickScopes();
    void QuickTextChanged();
    bool QuickSearchMayStart() const;
    // Cancels the running quick search; the hits it showed stay.
    void CancelQuickSearch();
    // Another command fills the view: the quick search is over.
    void ForgetQuickSearch();
    // Shows the hits handed over, for a few milliseconds at a time.
    void TakeQuickHits();
    // The hit count of the quick search, with the hits not shown.
    QString QuickHitsText() const;
    void QuickSearchEnterCommand();
    void ShowIndexProgress();
    // The window closes: the searches and the survey stop.
    void StopQuickSearchWork();
    // Searches with the progress window and shows the hits, as the Search command does.
    void RunFullSearch(TSearchScope scope, TFileItem& conditions, const TSearchOptions& options);

    QLineEdit* quickBox_ = nullptr;
    QComboBox* quickScope_ = nullptr;
    QLabel* indexPanel_ = nullptr;
    QTimer* quickPause_ = nullptr;     // the pause after a key
    QTimer* quickTake_ = nullptr;      // shows more hits once the event loop has had a turn
    QTimer* scopesRefresh_ = nullptr;  // the scopes follow the library
    QTimer* surveyDelay_ = nullptr;    // the library changed
    QTimer* surveyResume_ = nullptr;   // a quick search is over
    QTimer* indexPoll_ = nullptr;      // the survey's progress
    std::unique_ptr<TQuickSearch> quickSearch_;
    std::unique_ptr<TIndexUpkeep> indexUpkeep_;
    TQuickHits quickHits_;          // the batch being shown
    size_t quickHitsShown_ = 0;     // of quickHits_.hits
    uint64_t quickHitsBeyond_ = 0;  // hits of the quick search past QuickHitsShownAtMost
    bool quickBatchOpen_ = false;   // quickHits_ has hits still to show
    uint64_t quickRunning_ = 0;     // the quick search whose hits come, 0: none
    uint64_t quickShown_ = 0;       // the quick search whose hits the view shows, 0: none
    bool quickFilling_ = false;     // the quick search is changing the view
    bool quickSortedMeanwhile_ = false;
};

// The file: URL of a path, by the path's bytes on disk.
QUrl LocalFileUrl(const QString& path);

// "Cannot open catalog: <reason>" from the engine's message.
QString CannotOpenCatalogText(const QString& engineMessage);
// "1,234 items, 5.2 GB, playing time 3:25:07": all items of the tree, the size and playing
// time of its top items (folders carry the sums of what they hold).
QString CatalogSummaryText(const TCatalogTree& tree);

}  // namespace melodrix
