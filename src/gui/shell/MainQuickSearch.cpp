// The tool bar's search box: the typed text is searched as a name in the whole library or a
// group, a moment after the last key, on the quick search's thread; its hits fill the content
// view catalog by catalog while the user goes on typing. In the background the search index
// is kept up to date.
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "core/config/Config.h"
#include "core/index/SearchIndex.h"
#include "core/search/SearchConditions.h"
#include "gui/library/FrmCatTree.h"
#include "gui/library/LibraryModel.h"
#include "gui/search/HitCount.h"
#include "gui/shell/Guard.h"
#include "gui/shell/InputGuard.h"
#include "gui/shell/MainWindow.h"
#include "gui/shell/WaitForm.h"

namespace melodrix {

namespace {

// The pause after a key before the text is searched.
constexpr int kTypingPauseMs = 250;
// How long the view takes hits in one go before the event loop (and the next key) has a turn.
constexpr qint64 kShowingSliceMs = 8;
// Hits added to the view in one insertion.
constexpr size_t kHitsPerInsertion = 4096;
// After a quick search, the survey of the index waits this long before it goes on.
constexpr int kSurveyResumeMs = 1000;
// A changed library is surveyed once it has been quiet this long.
constexpr int kSurveyDelayMs = 1500;

QString FullPathOf(const TCatalogNode* node) {
    const std::string_view text = node->Item().Field(FullPath);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QWidget* TFMMain::MakeQuickSearchBar() {
    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("QuickSearchBar"));
    auto* column = new QVBoxLayout(bar);
    column->setContentsMargins(12, 4, 12, 4);
    column->setSpacing(4);
    quickBox_ = new QLineEdit;
    quickBox_->setObjectName(QStringLiteral("EdQuickSearch"));
    quickBox_->setPlaceholderText(QStringLiteral("Search the library"));
    quickBox_->setClearButtonEnabled(true);
    quickScope_ = new QComboBox;
    quickScope_->setObjectName(QStringLiteral("CbQuickScope"));
    quickScope_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    quickScope_->setMinimumContentsLength(12);
    bar->setFixedWidth(240);
    column->addWidget(quickBox_);
    column->addWidget(quickScope_);
    SetHint(quickBox_, QStringLiteral("Finds names as you type; Enter searches with the progress "
                                      "window, as the Search command does"));
    SetHint(quickScope_,
            QStringLiteral("Where the search box looks: the whole library or a group"));

    quickPause_ = new QTimer(this);
    quickPause_->setSingleShot(true);
    quickPause_->setInterval(kTypingPauseMs);
    quickTake_ = new QTimer(this);
    quickTake_->setSingleShot(true);
    scopesRefresh_ = new QTimer(this);
    scopesRefresh_->setSingleShot(true);
    scopesRefresh_->setInterval(0);
    surveyDelay_ = new QTimer(this);
    surveyDelay_->setSingleShot(true);
    surveyDelay_->setInterval(kSurveyDelayMs);
    surveyResume_ = new QTimer(this);
    surveyResume_->setSingleShot(true);
    surveyResume_->setInterval(kSurveyResumeMs);
    indexPoll_ = new QTimer(this);
    indexPoll_->setInterval(250);

    const QString indexFolder = DefaultIndexFolder();
    quickSearch_ = std::make_unique<TQuickSearch>(indexFolder);
    indexUpkeep_ = std::make_unique<TIndexUpkeep>(indexFolder);

    connect(quickBox_, &QLineEdit::textChanged, this,
            [this] { IgnoreException([this] { QuickTextChanged(); }); });
    connect(quickBox_, &QLineEdit::returnPressed, this,
            [this] { RunCommand([this] { QuickSearchEnterCommand(); }); });
    connect(quickScope_, &QComboBox::currentIndexChanged, this, [this] {
        IgnoreException([this] {
            if (!quickBox_->text().trimmed().isEmpty()) {
                QuickTextChanged();
            }
        });
    });
    connect(quickPause_, &QTimer::timeout, this,
            [this] { IgnoreException([this] { StartQuickSearch(); }); });
    connect(quickTake_, &QTimer::timeout, this,
            [this] { IgnoreException([this] { TakeQuickHits(); }); });
    // Sent from the quick search's thread: it arrives queued.
    connect(quickSearch_.get(), &TQuickSearch::HitsWaiting, this,
            [this] { IgnoreException([this] { TakeQuickHits(); }); });
    connect(scopesRefresh_, &QTimer::timeout, this,
            [this] { IgnoreException([this] { FillQuickScopes(); }); });
    connect(surveyDelay_, &QTimer::timeout, this, [this] {
        IgnoreException([this] {
            indexUpkeep_->Survey(GetConfig().LibraryPath());
            // Paused by a quick search, it waits for that search to end.
            if (quickRunning_ == 0) {
                indexUpkeep_->Resume();
            }
            indexPoll_->start();
        });
    });
    connect(surveyResume_, &QTimer::timeout, this, [this] {
        indexUpkeep_->Resume();
        indexPoll_->start();
    });
    connect(indexPoll_, &QTimer::timeout, this,
            [this] { IgnoreException([this] { ShowIndexProgress(); }); });
    return bar;
}

void TFMMain::ConnectLibraryToQuickSearch() {
    // The scopes follow the library; a library that changed is surveyed again.
    const auto changed = [this] {
        scopesRefresh_->start();
        if (isVisible()) {
            surveyDelay_->start();
        }
    };
    TLibraryModel* model = frmCatTree_->Model();
    connect(model, &QAbstractItemModel::modelReset, this, changed);
    connect(model, &QAbstractItemModel::rowsInserted, this, changed);
    connect(model, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(model, &QAbstractItemModel::dataChanged, this, changed);
}

void TFMMain::FillQuickScopes() {
    const QString chosen = quickScope_->currentData().toString();
    TCatalogNode* root = frmCatTree_->RootNode();
    {
        const QSignalBlocker quiet(quickScope_);
        quickScope_->clear();
        if (!root) {
            return;
        }
        const QString rootPath = FullPathOf(root);
        quickScope_->addItem(QStringLiteral("Whole library"), rootPath);
        ForEachDescendant(root, [&](const TCatalogNode* node) {
            if (!node->Item().IsDirectory()) {
                return;
            }
            const QString path = FullPathOf(node);
            QString name = path.startsWith(rootPath) ? path.mid(rootPath.size()) : path;
            while (name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1Char('\\'))) {
                name.remove(0, 1);
            }
            quickScope_->addItem(QDir::toNativeSeparators(name), path);
        });
        const int index = quickScope_->findData(chosen);
        quickScope_->setCurrentIndex(std::max(index, 0));
    }
    // The group searched is gone: the box searches the whole library instead.
    if (!chosen.isEmpty() && quickScope_->currentData().toString() != chosen &&
        !quickBox_->text().trimmed().isEmpty()) {
        QuickTextChanged();
    }
}

bool TFMMain::QuickSearchMayStart() const {
    return initialized_ && !commandRunning_ && !waitForm_->InputGuard().Active();
}

bool TFMMain::QuickSearchIdle() const {
    return !quickPause_->isActive() && quickRunning_ == 0 && !quickTake_->isActive();
}

void TFMMain::QuickTextChanged() {
    // The next key cancels the running search: only the newest text counts.
    CancelQuickSearch();
    if (!quickBox_->text().trimmed().isEmpty()) {
        quickPause_->start();
        return;
    }
    quickPause_->stop();
    if (quickShown_ != 0) {
        quickFilling_ = true;
        contentTree_.Clear();
        quickFilling_ = false;
        quickShown_ = 0;
    }
    surveyResume_->start();
}

void TFMMain::CancelQuickSearch() {
    if (quickRunning_ != 0) {
        quickSearch_->Cancel();
        quickRunning_ = 0;
        // The survey it paused goes on, unless another search starts first.
        surveyResume_->start();
    }
    quickBatchOpen_ = false;
    quickTake_->stop();
}

void TFMMain::ForgetQuickSearch() {
    CancelQuickSearch();
    quickShown_ = 0;
}

void TFMMain::StartQuickSearch() {
    quickPause_->stop();
    const QString text = quickBox_->text();
    if (text.trimmed().isEmpty()) {
        return;
    }
    // Nothing starts under a command or a long operation; it is tried again after a pause.
    if (!QuickSearchMayStart()) {
        quickPause_->start();
        return;
    }
    QString scope = quickScope_->currentData().toString();
    if (scope.isEmpty()) {
        scope = GetConfig().LibraryPath();
    }
    CancelQuickSearch();
    // The survey gives way: it goes on once the search is over.
    surveyResume_->stop();
    indexUpkeep_->Pause();
    quickSortedMeanwhile_ = false;
    quickRunning_ =
        quickSearch_->Start(TSearchScope::Group, scope, text, GetConfig().LibraryPath());
}

void TFMMain::TakeQuickHits() {
    // Nothing changes the view under a command or a long operation: the hits wait.
    if (!QuickSearchMayStart()) {
        quickTake_->start(50);
        return;
    }
    QElapsedTimer slice;
    slice.start();
    while (quickRunning_ != 0) {
        if (!quickBatchOpen_) {
            if (!quickSearch_->TakeHits(quickHits_)) {
                return;
            }
            if (quickHits_.generation != quickRunning_) {
                continue;
            }
            quickBatchOpen_ = true;
            quickHitsShown_ = 0;
        }
        // The first hits of a search replace what the view showed.
        if (quickShown_ != quickRunning_) {
            quickFilling_ = true;
            contentTree_.Clear();
            quickFilling_ = false;
            CurrentCatalog.clear();
            quickShown_ = quickRunning_;
            quickHitsBeyond_ = 0;
        }
        std::vector<TFileItem>& hits = quickHits_.hits;
        // Past the most the view keeps, hits are counted and dropped.
        const size_t room = QuickHitsShownAtMost -
                            std::min<size_t>(QuickHitsShownAtMost,
                                             static_cast<size_t>(contentTree_.TopLevelCount()));
        if (room == 0 && quickHitsShown_ < hits.size()) {
            quickHitsBeyond_ += hits.size() - quickHitsShown_;
            quickHitsShown_ = hits.size();
        }
        const size_t count = std::min({kHitsPerInsertion, hits.size() - quickHitsShown_, room});
        if (count > 0) {
            quickFilling_ = true;
            TCatalogNode* first = contentTree_.AppendChildren(nullptr, static_cast<int>(count));
            const int row = first->Row();
            for (size_t i = 0; i < count; ++i) {
                TCatalogNode* node = contentTree_.TopLevel(row + static_cast<int>(i));
                node->Item() = std::move(hits[quickHitsShown_ + i]);
                contentTree_.SetSourceCatalog(node, quickHits_.catalog);
            }
            quickFilling_ = false;
            quickHitsShown_ += count;
        }
        const bool batchShown = quickHitsShown_ == hits.size();
        if (batchShown) {
            quickBatchOpen_ = false;
        }
        if (batchShown && quickHits_.end) {
            quickRunning_ = 0;
            ShowHitCount(*this, QuickHitsText());
            if (!quickHits_.error.isEmpty()) {
                ShowStatusMessage(quickHits_.error);
            }
            // Sorted by a header click while the hits came: the later ones take their places.
            if (quickSortedMeanwhile_) {
                SortContent();
            }
            surveyResume_->start();
            return;
        }
        ShowHitCount(*this, QuickHitsText() + QStringLiteral("..."));
        if (slice.elapsed() >= kShowingSliceMs) {
            quickTake_->start(0);
            return;
        }
    }
}

QString TFMMain::QuickHitsText() const {
    const int shown = contentTree_.TopLevelCount();
    if (quickHitsBeyond_ == 0) {
        return HitsText(shown);
    }
    return QStringLiteral("%1 of %2 hits shown; Enter shows all")
        .arg(shown)
        .arg(static_cast<qulonglong>(static_cast<uint64_t>(shown) + quickHitsBeyond_));
}

void TFMMain::QuickSearchEnterCommand() {
    quickPause_->stop();
    CancelQuickSearch();
    const QString text = quickBox_->text();
    if (text.trimmed().isEmpty()) {
        return;
    }
    QString scope = quickScope_->currentData().toString();
    if (scope.isEmpty()) {
        scope = GetConfig().LibraryPath();
    }
    TFileItem conditions;
    ClearFileItem(conditions);
    const QByteArray name = text.toUtf8();
    conditions.SetField(FileName,
                        std::string_view(name.constData(), static_cast<size_t>(name.size())));
    const QByteArray path = scope.toUtf8();
    conditions.SetField(FullPath,
                        std::string_view(path.constData(), static_cast<size_t>(path.size())));
    TSearchOptions options;
    options.linkRoot = GetConfig().LibraryPath();
    CurrentCatalog.clear();
    RunFullSearch(TSearchScope::Group, conditions, options);
}

void TFMMain::ShowIndexProgress() {
    const TIndexUpkeep::TState state = indexUpkeep_->State();
    if (!state.running && !state.pending) {
        indexPanel_->hide();
        indexPanel_->clear();
        indexPoll_->stop();
        return;
    }
    if (state.running) {
        const QLocale locale;
        indexPanel_->setText(state.total == 0
                                 ? QStringLiteral("Indexing catalogs...")
                                 : QStringLiteral("Indexing catalogs: %1 of %2")
                                       .arg(locale.toString(static_cast<qulonglong>(
                                                std::min(state.done, state.total))),
                                            locale.toString(static_cast<qulonglong>(state.total))));
    }
    indexPanel_->show();
}

void TFMMain::StopQuickSearchWork() {
    quickPause_->stop();
    CancelQuickSearch();
    surveyDelay_->stop();
    surveyResume_->stop();
    indexPoll_->stop();
    indexUpkeep_->Pause();
    indexPanel_->hide();
}

}  // namespace melodrix
