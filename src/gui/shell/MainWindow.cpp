#include "gui/shell/MainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "core/catalog/ValueFunctions.h"
#include "core/config/Config.h"
#include "core/library/Library.h"
#include "gui/library/FrmCatTree.h"
#include "gui/search/DuplicatesDialog.h"
#include "gui/shell/AboutDialog.h"
#include "gui/shell/CatalogModel.h"
#include "gui/shell/ConfigDialog.h"
#include "gui/shell/ContentView.h"
#include "gui/shell/DetailPanel.h"
#include "gui/shell/FileIcons.h"
#include "gui/shell/Guard.h"
#include "gui/shell/GuiPrompt.h"
#include "gui/shell/HelpFile.h"
#include "gui/shell/HelpWindow.h"
#include "gui/shell/ViewStyle.h"
#include "gui/shell/WaitForm.h"

namespace melodrix {

namespace {

QString ColourSheet(const QColor& colour) {
    return QStringLiteral("background-color: rgb(%1, %2, %3);")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue());
}

QIcon ToolbarIcon(const QString& themeName, const QString& painted, const QColor& colour) {
    QIcon icon = QIcon::fromTheme(themeName);
    return icon.isNull() ? PaintedIcon(painted, colour) : icon;
}

}  // namespace

// Keeps the detail panel from showing, and editing, an item the content view no longer has.
class TFMMain::TContentWatcher final : public ITreeObserver {
public:
    explicit TContentWatcher(TFMMain& window) : window_(window) {
        window_.contentTree_.AddObserver(this);
    }
    ~TContentWatcher() override { window_.contentTree_.RemoveObserver(this); }
    TContentWatcher(const TContentWatcher&) = delete;
    TContentWatcher& operator=(const TContentWatcher&) = delete;

    void TreeAboutToReset() override {
        window_.ForgetContentDetail();
        window_.ContentChanging();
        if (!window_.quickFilling_) {
            window_.ForgetQuickSearch();
        }
    }
    void LayoutChanged() override {
        if (window_.quickRunning_ != 0) {
            window_.quickSortedMeanwhile_ = true;
        }
    }
    void TreeReset() override { window_.contentUpdate_->start(); }
    void NodesInserted() override { window_.contentUpdate_->start(); }
    void NodesRemoved() override { window_.contentUpdate_->start(); }
    void NodesAboutToBeRemoved(TCatalogNode* parent, int first, int last) override {
        for (const TCatalogNode* node = window_.detailNode_; node; node = node->Parent()) {
            if (node->Parent() == parent && node->Row() >= first && node->Row() <= last) {
                window_.ForgetContentDetail();
                return;
            }
        }
    }

private:
    TFMMain& window_;
};

TFMMain::TFMMain(QWidget* parent)
    : QMainWindow(parent),
      contentModel_(new TCatalogModel(contentTree_, this)),
      guiPrompt_(std::make_unique<TGuiPrompt>(this)),
      prompt_(guiPrompt_.get()) {
    setObjectName(QStringLiteral("FMMain"));
    setWindowTitle(QStringLiteral("Melodrix 2.01"));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(MakeToolbar());

    // Left: the library tree over the detail panel; right: the catalog content.
    auto* libraryPart = new QWidget;
    auto* libraryLayout = new QVBoxLayout(libraryPart);
    libraryLayout->setContentsMargins(0, 0, 0, 0);
    libraryLayout->setSpacing(0);
    libraryLayout->addWidget(
        MakeCaptionStrip(QStringLiteral("    Catalog Library"), QStringLiteral("CaptionLibrary")));
    frmCatTree_ = new TFrmCatTree;
    libraryLayout->addWidget(frmCatTree_);

    plHint_ = new QWidget;
    plHint_->setObjectName(QStringLiteral("plHint"));
    plHint_->setAutoFillBackground(true);
    QPalette hintPalette = plHint_->palette();
    hintPalette.setColor(QPalette::Window, kPanelColour);
    plHint_->setPalette(hintPalette);
    auto* hintLayout = new QVBoxLayout(plHint_);
    hintLayout->setContentsMargins(0, 0, 0, 0);
    hintLayout->setSpacing(0);
    hintLayout->addWidget(
        MakeCaptionStrip(QStringLiteral("    Selected Detail "), QStringLiteral("CaptionDetail")));
    vle_ = new TDetailPanel;
    hintLayout->addWidget(vle_);

    const QString splitterSheet =
        QStringLiteral("QSplitter::handle { %1 }").arg(ColourSheet(kPanelColour));
    leftSplitter_ = new QSplitter(Qt::Vertical);
    leftSplitter_->setObjectName(QStringLiteral("plLeft"));
    leftSplitter_->setHandleWidth(6);
    leftSplitter_->setChildrenCollapsible(false);
    leftSplitter_->setStyleSheet(splitterSheet);
    leftSplitter_->addWidget(libraryPart);
    leftSplitter_->addWidget(plHint_);
    leftSplitter_->setStretchFactor(0, 1);
    leftSplitter_->setStretchFactor(1, 0);
    libraryPart->setMinimumHeight(80);
    plHint_->setMinimumHeight(80);
    leftSplitter_->setSizes({300, 147});

    auto* plRight = new QWidget;
    plRight->setObjectName(QStringLiteral("plRight"));
    auto* rightLayout = new QVBoxLayout(plRight);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    rightLayout->addWidget(
        MakeCaptionStrip(QStringLiteral("    Catalog Content"), QStringLiteral("CaptionContent")));
    vt_ = new TContentView;
    vt_->SetCatalogModel(contentModel_);
    rightLayout->addWidget(vt_);

    mainSplitter_ = new QSplitter(Qt::Horizontal);
    mainSplitter_->setObjectName(QStringLiteral("MainSplitter"));
    mainSplitter_->setHandleWidth(6);
    mainSplitter_->setChildrenCollapsible(false);
    mainSplitter_->setStyleSheet(splitterSheet);
    mainSplitter_->addWidget(leftSplitter_);
    mainSplitter_->addWidget(plRight);
    mainSplitter_->setStretchFactor(0, 0);
    mainSplitter_->setStretchFactor(1, 1);
    leftSplitter_->setMinimumWidth(80);
    plRight->setMinimumWidth(80);
    mainSplitter_->setSizes({240, 560});
    layout->addWidget(mainSplitter_, 1);
    setCentralWidget(central);

    auto* statusBar = new QStatusBar;
    statusBar->setObjectName(QStringLiteral("SB"));
    statusBar->setSizeGripEnabled(true);
    statusPanel_ = new QLabel;
    statusPanel_->setObjectName(QStringLiteral("StatusPanel"));
    statusPanel_->setFixedWidth(700);
    statusPanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar->addWidget(statusPanel_);
    indexPanel_ = new QLabel;
    indexPanel_->setObjectName(QStringLiteral("StatusIndex"));
    indexPanel_->hide();
    statusBar->addPermanentWidget(indexPanel_);
    contentPanel_ = new QLabel;
    contentPanel_->setObjectName(QStringLiteral("StatusContent"));
    statusBar->addPermanentWidget(contentPanel_);
    setStatusBar(statusBar);
    // The command that fills the view has ended (and set CurrentCatalog) when this runs.
    contentUpdate_ = new QTimer(this);
    contentUpdate_->setSingleShot(true);
    contentUpdate_->setInterval(0);
    connect(contentUpdate_, &QTimer::timeout, this,
            [this] { IgnoreException([this] { UpdateContentStatus(); }); });

    SetHint(frmCatTree_->VTLib(), QStringLiteral("Catalog library"));
    SetHint(vt_, QStringLiteral("Catalog file items"));
    SetHint(vle_, QStringLiteral("Selected detail info"));
    MakeOptionsMenu();
    ConnectViews();
    ConnectLibraryToQuickSearch();

    waitForm_ = new TWaitForm(this);
    progress_ = waitForm_;
    contentWatcher_ = std::make_unique<TContentWatcher>(*this);
    resize(800, 600);
}

TFMMain::~TFMMain() {
    // The threads end first: nothing they send reaches a window half gone.
    quickSearch_.reset();
    indexUpkeep_.reset();
    // The views and models go before the catalog tree they show.
    contentWatcher_.reset();
    delete centralWidget();
    delete contentModel_;
}

IProgressSink& TFMMain::Progress() const {
    return *progress_;
}

void TFMMain::UseProgress(IProgressSink& progress) {
    progress_ = &progress;
    if (FileInfo) {
        FileInfo->SetProgress(progress);
    }
}

void TFMMain::UsePrompt(IPromptSink& prompt) {
    prompt_ = &prompt;
    if (FileInfo) {
        FileInfo->SetPrompt(prompt);
    }
}

QWidget* TFMMain::MakeCaptionStrip(const QString& text, const QString& name) {
    auto* strip = new QLabel(text);
    strip->setObjectName(name);
    strip->setFixedHeight(22);
    strip->setAutoFillBackground(true);
    strip->setStyleSheet(ColourSheet(kCaptionStripColour) +
                         QStringLiteral(" color: rgb(20, 24, 60); font-weight: bold;"));
    return strip;
}

QToolButton* TFMMain::MakeToolButton(const QString& name, const QString& caption,
                                     const QString& hint, const QIcon& icon,
                                     void (TFMMain::*command)()) {
    auto* button = new QToolButton;
    button->setObjectName(name);
    button->setText(caption);
    button->setIcon(icon);
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    QFont bold = button->font();
    bold.setBold(true);
    button->setFont(bold);
    // 90 x 65, wider only where the desktop's font needs more room for the caption.
    QString plain = caption;
    plain.remove(QLatin1Char('&'));
    button->setFixedSize(std::max(90, QFontMetrics(bold).horizontalAdvance(plain) + 14), 65);
    SetHint(button, hint);
    connect(button, &QToolButton::clicked, this,
            [this, command] { RunCommand([&] { (this->*command)(); }); });
    return button;
}

QWidget* TFMMain::MakeToolbar() {
    auto* panel = new QWidget;
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 2, 0, 2);
    row->setSpacing(0);
    row->addSpacing(48);
    const QColor blue(70, 110, 190);
    row->addWidget(MakeToolButton(
        QStringLiteral("BtnNewCat"), QStringLiteral("&New catalog"),
        QStringLiteral("Create a new catalog"),
        ToolbarIcon(QStringLiteral("media-optical"), QStringLiteral("disc"), QColor(170, 180, 200)),
        &TFMMain::NewCatalogCommand));
    row->addWidget(MakeToolButton(
        QStringLiteral("BtnCatLib"), QStringLiteral("&Catalog library"),
        QStringLiteral("The library of catalogs"),
        ToolbarIcon(QStringLiteral("folder"), QStringLiteral("folder"), QColor(232, 186, 84)),
        &TFMMain::CatalogLibraryCommand));
    row->addWidget(
        MakeToolButton(QStringLiteral("BtnSearch"), QStringLiteral("&Search"),
                       QStringLiteral("Search a file in the library"),
                       ToolbarIcon(QStringLiteral("edit-find"), QStringLiteral("search"), blue),
                       &TFMMain::SearchCommand));
    row->addWidget(MakeToolButton(
        QStringLiteral("BtnExport"), QStringLiteral("&Export"), QStringLiteral("Export to a file "),
        ToolbarIcon(QStringLiteral("document-save-as"), QStringLiteral("export"), blue),
        &TFMMain::ExportCommand));
    row->addWidget(MakeToolButton(
        QStringLiteral("BtnStats"), QStringLiteral("S&tatistics"),
        QStringLiteral("Charts and tag health of the catalog"),
        ToolbarIcon(QStringLiteral("x-office-presentation"), QStringLiteral("chart"), blue),
        &TFMMain::StatisticsCommand));
    QToolButton* options = MakeToolButton(
        QStringLiteral("BtnOptions"), QStringLiteral("&Options.."),
        QStringLiteral("Visible columns, help and information about the program"),
        ToolbarIcon(QStringLiteral("preferences-system"), QStringLiteral("options"), blue),
        &TFMMain::ShowOptionsMenu);
    row->addWidget(options);
    row->addWidget(MakeToolButton(QStringLiteral("BtnQuit"), QStringLiteral("&Quit"),
                                  QStringLiteral("Quit"),
                                  ToolbarIcon(QStringLiteral("application-exit"),
                                              QStringLiteral("quit"), QColor(200, 60, 50)),
                                  &TFMMain::QuitCommand));
    row->addWidget(MakeQuickSearchBar());
    row->addStretch(1);

    auto* strip = new QScrollArea;
    strip->setObjectName(QStringLiteral("ToolBar"));
    strip->setFixedHeight(70);
    strip->setWidget(panel);
    strip->setWidgetResizable(true);
    strip->setFrameStyle(QFrame::NoFrame);
    strip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    strip->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return strip;
}

void TFMMain::MakeOptionsMenu() {
    menuOptions_ = new QMenu(this);
    menuOptions_->setObjectName(QStringLiteral("MenuOptions"));
    auto addAction = [this](const QString& caption, const QString& hint, auto handler) {
        QAction* action = menuOptions_->addAction(caption);
        connect(action, &QAction::triggered, this, [this, handler] { RunCommand(handler); });
        if (!hint.isEmpty()) {
            connect(action, &QAction::hovered, this, [this, hint] { ShowStatusText(hint); });
        }
        return action;
    };
    addAction(QStringLiteral("Config Visible Columns"), QString(),
              [this] { ConfigureVisibleColumns(); });
    addAction(QStringLiteral("Find Duplicates"),
              QStringLiteral("Find the files that are in the library more than once"),
              [this] { FindDuplicatesCommand(*this); });
    addAction(QStringLiteral("Statistics"),
              QStringLiteral("Charts and tag health of the catalog or the library"),
              [this] { StatisticsCommand(); });
    menuOptions_->addSeparator();
    QAction* help = addAction(QStringLiteral("Help"), QStringLiteral("Help of Vellumdex"),
                              [this] { OpenHelp(); });
    // F1 anywhere in the window, not only while the menu is open.
    help->setShortcut(QKeySequence::HelpContents);
    help->setShortcutContext(Qt::WindowShortcut);
    QWidget::addAction(help);
    menuOptions_->addSeparator();
    actionAbout_ = addAction(QStringLiteral("About Melodrix"),
                             QStringLiteral("About of the software"), [this] { ShowAbout(); });
    actionWeb_ = addAction(QStringLiteral("Melodrix on the Web"), QString(), [] { OpenWebSite(); });
}

void TFMMain::ShowOptionsMenu() {
    const QToolButton* button = ToolButton(QStringLiteral("BtnOptions"));
    menuOptions_->popup(button->mapToGlobal(QPoint(button->width() / 2, button->height() + 6)));
}

QToolButton* TFMMain::ToolButton(const QString& objectName) const {
    return findChild<QToolButton*>(objectName);
}

void TFMMain::SetHint(QWidget* widget, const QString& hint) {
    hints_.insert(widget, hint);
    widget->installEventFilter(this);
}

bool TFMMain::eventFilter(QObject* watched, QEvent* event) {
    // The status bar keeps the last hint; leaving a control does not clear it. A window that
    // closes over a control "enters" it without the mouse moving: that does not push aside a
    // message just shown (an export done).
    if (event->type() == QEvent::Enter || event->type() == QEvent::HoverEnter) {
        const auto found = hints_.constFind(watched);
        if (found != hints_.constEnd() && !(statusIsMessage_ && QCursor::pos() == messageCursor_)) {
            ShowStatusText(*found);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFMMain::ShowStatusText(const QString& text) {
    statusPanel_->setText(text);
    statusIsMessage_ = false;
}

void TFMMain::ShowStatusMessage(const QString& text) {
    statusPanel_->setText(text);
    statusIsMessage_ = true;
    messageCursor_ = QCursor::pos();
}

void TFMMain::ContentChanging() {
    contentPanel_->clear();
    if (statusIsMessage_) {
        ShowStatusText(QString());
    }
}

void TFMMain::UpdateContentStatus() {
    contentUpdate_->stop();
    // A command that fills the view (a scan) may let this run before the view is complete:
    // it runs again when the command ends.
    if (commandRunning_) {
        return;
    }
    if (CurrentCatalog.isEmpty()) {
        // Hits tell their count themselves; an empty view tells nothing.
        fittedCatalog_.clear();
        if (contentTree_.IsEmpty()) {
            contentPanel_->clear();
        }
        return;
    }
    contentPanel_->setText(CatalogSummaryText(contentTree_));
    if (CurrentCatalog != fittedCatalog_) {
        fittedCatalog_ = CurrentCatalog;
        FitNumberColumns();
    }
}

void TFMMain::FitNumberColumns() {
    QHeaderView* header = vt_->header();
    const std::vector<TColumnSpec>& columns = contentModel_->Columns();
    for (size_t i = 0; i < columns.size(); ++i) {
        const int column = static_cast<int>(i);
        if ((columns[i].Field != FileSize && columns[i].Field != FileTime) ||
            header->isSectionHidden(column) || userSizedColumns_.contains(columns[i].Name)) {
            continue;
        }
        header->resizeSection(column, vt_->FittedWidth(column));
    }
}

QString CatalogSummaryText(const TCatalogTree& tree) {
    double bytes = 0;
    double milliseconds = 0;
    for (int row = 0; row < tree.TopLevelCount(); ++row) {
        const TFileItem& item = tree.TopLevel(row)->Item();
        bytes += NumberOfText(item.Field(FileSize)).value_or(0);
        milliseconds += NumberOfText(item.Field(AudioDuration)).value_or(0);
    }
    const QLocale locale;
    const auto items = static_cast<qlonglong>(tree.NodeCount());
    QString text = items == 1 ? QStringLiteral("1 item")
                              : QStringLiteral("%1 items").arg(locale.toString(items));
    // In the units the content view shows sizes in.
    static const std::array<const char*, 5> kUnits = {"bytes", "KB", "MB", "GB", "TB"};
    size_t unit = 0;
    double amount = bytes;
    while (amount >= 1024 && unit + 1 < kUnits.size()) {
        amount /= 1024;
        ++unit;
    }
    text +=
        QStringLiteral(", %1 %2").arg(unit == 0 ? locale.toString(static_cast<qlonglong>(amount))
                                                : locale.toString(amount, 'f', 1),
                                      QLatin1String(kUnits[unit]));
    if (milliseconds > 0) {
        text +=
            QStringLiteral(", playing time ") + DurationText(static_cast<int64_t>(milliseconds));
    }
    return text;
}

void TFMMain::ConnectViews() {
    MakeContentMenu();
    MakeLibraryMenu();
    connect(vt_->Header(), &TGridHeader::LeftClicked, this,
            [this](int column) { RunCommand([&] { ContentHeaderClick(column); }); });
    connect(vt_->Header(), &TGridHeader::RightPressed, this,
            [this] { RunCommand([&] { ConfigureVisibleColumns(); }); });
    // A width the user chose is kept, never fitted to a catalog again.
    connect(vt_->Header(), &TGridHeader::UserResized, this, [this](int column) {
        IgnoreException([&] {
            const QString name =
                contentModel_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
            if (name.isEmpty() || userSizedColumns_.contains(name)) {
                return;
            }
            userSizedColumns_.append(name);
            GetConfig()
                .ConfigRoot()
                .Remembered("contentView")
                .SetText("userSized", userSizedColumns_.join(QLatin1Char(',')));
        });
    });
    contentModel_->NewText = [this](TCatalogNode* node, int field, const QString& text) {
        RunCommand([&] {
            // The edit may have had to read the catalog again: the item then has a new node.
            TCatalogNode* edited = EditItemField(node, field, text);
            const bool editable = DetailEditable;
            ShowContentDetail(edited);
            DetailEditable = editable;
        });
    };
    connect(vt_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        IgnoreException([&] {
            const QModelIndexList rows = vt_->selectionModel()->selectedRows();
            if (rows.isEmpty()) {
                detailNode_ = nullptr;
                ShowDetail(nullptr);
                return;
            }
            ShowContentDetail(TCatalogModel::NodeOf(rows.first()));
        });
    });
    vle_->Model().DetailEditable = [this] { return DetailEditable; };
    vle_->Model().NewText = [this](const QString& key, const QString& text) {
        RunCommand([&] {
            if (!DetailEditable) {
                return;
            }
            const QByteArray name = key.toUtf8();
            TCatalogNode* shown = detailNode_;
            TCatalogNode* edited = EditItemField(
                shown,
                FieldIndexOf(std::string_view(name.constData(), static_cast<size_t>(name.size()))),
                text);
            if (edited != shown) {
                // The catalog was read again: the rows follow the item to its new node.
                ShowContentDetail(edited);
            }
        });
    };
    connect(frmCatTree_, &TFrmCatTree::Click, this,
            [this] { RunCommand([&] { LibraryClick(); }); });
}

void TFMMain::RunCommand(const std::function<void()>& command) {
    if (commandRunning_) {
        return;
    }
    commandRunning_ = true;
    IgnoreException(command);
    commandRunning_ = false;
    contentUpdate_->start();
}

void TFMMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!initialized_) {
        initialized_ = true;
        IgnoreException([this] { InitializeMainWindow(); });
    } else {
        // Shown again after a close: the index is looked at again.
        surveyDelay_->start();
    }
}

void TFMMain::InitializeMainWindow() {
    setWindowTitle(QStringLiteral("Melodrix"));
    actionAbout_->setText(QStringLiteral("About Melodrix"));
    actionWeb_->setText(QStringLiteral("Melodrix on the Web"));
    FileInfo = std::make_unique<TFileInfo>(*progress_, *prompt_);
    FileInfo->Document = &document_;
    const QString library = GetConfig().LibraryPath();
    if (!QFileInfo::exists(library)) {
        CreateDefaultLibrary(library);
    }
    ApplyWindowLayout();
    ApplyColumns(*vt_, *contentModel_, GetConfig().Columns());
    userSizedColumns_ = GetConfig()
                            .ConfigRoot()
                            .Remembered("contentView")
                            .Text("userSized")
                            .split(QLatin1Char(','), Qt::SkipEmptyParts);
    frmCatTree_->LoadLibraryTree(QString(), false);
    ShowDetail(nullptr);
    DetailEditable = false;
    StartFollowingDisk();
}

void TFMMain::closeEvent(QCloseEvent* event) {
    // While an operation runs the progress window's guard holds the close back; it comes
    // again once the operation has ended. The engine lives as long as the window object,
    // so a handler that is still unwinding never meets a freed engine.
    IgnoreException([this] { StoreWindowLayout(); });
    StopQuickSearchWork();
    waitForm_->hide();
    event->accept();
}

void TFMMain::ConfigureVisibleColumns() {
    TFMConfig dialog(this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const TXMLNodesType nodes = GetConfig().ConfigRoot().Nodes();
    for (int i = 0; i < nodes.Count() && i < contentModel_->columnCount(); ++i) {
        vt_->header()->setSectionHidden(i, !nodes.Node(i).Visible());
    }
}

void TFMMain::QuitCommand() {
    close();
}

void TFMMain::OpenHelp() {
    if (!helpWindow_) {
        helpWindow_ = new THelpWindow(this);
    }
    helpWindow_->ShowPage(HelpFilePath(QCoreApplication::applicationDirPath()));
    helpWindow_->show();
    helpWindow_->raise();
    helpWindow_->activateWindow();
}

void TFMMain::ShowAbout() {
    TFMAbout about(this);
    about.exec();
}

}  // namespace melodrix
