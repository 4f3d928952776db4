// The window follows the disk: when another program (melodrix-cli, a second window, a cron
// job) changes the open catalog or the library, the views reload by themselves and keep the
// user's place. Change notification gives quick notice; a poll finds the changes that
// notification misses (network shares).
#include <QApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSet>
#include <QTimer>
#include <optional>

#include "core/base/Errors.h"
#include "core/base/FileStamp.h"
#include "core/base/NativePaths.h"
#include "core/catalogfile/CatalogChange.h"
#include "core/config/Config.h"
#include "core/library/LibraryEntries.h"
#include "core/scan/ItemEdits.h"
#include "gui/library/FrmCatTree.h"
#include "gui/shell/CatalogModel.h"
#include "gui/shell/ContentView.h"
#include "gui/shell/DetailPanel.h"
#include "gui/shell/InputGuard.h"
#include "gui/shell/MainWindow.h"
#include "gui/shell/ViewState.h"
#include "gui/shell/WaitForm.h"

namespace melodrix {

namespace {

constexpr int kPollMs = 1500;
// Notices come in bursts (a save writes a temporary file, then renames it): one check after.
constexpr int kNoticeDelayMs = 100;
// inotify watches are a per-user resource; the poll covers the folders beyond these.
constexpr int kMostWatchedFolders = 256;

const QString kCatalogReloadedText =
    QStringLiteral("Catalog reloaded: it was changed by another program.");

struct TFolderStamp {
    std::string native;
    TFileStamp stamp;
};

// Every folder of the library with its stamp. A folder's stamp changes whenever an entry in
// it is added, removed or renamed, and every writer of a catalog replaces the file by a
// rename, so the stamps of the folders tell every change the library tree shows.
std::vector<TFolderStamp> LibraryFolders(const QString& library) {
    std::vector<TFolderStamp> folders;
    std::vector<std::string> pending{NativePathOf(library).toStdString()};
    while (!pending.empty()) {
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        // The stamp before the listing: a change made meanwhile shows in the next check.
        folders.push_back({folder, NativeFileStampOf(QByteArray::fromStdString(folder))});
        if (!folders.back().stamp.Exists) {
            continue;
        }
        const std::string prefix = folder.ends_with('/') ? folder : folder + '/';
        ListLibraryDirectory(folder, [&](const TLibraryEntry& entry) {
            if (entry.isDirectory && !entry.isLink) {
                pending.push_back(prefix + entry.nativeName);
            }
        });
    }
    return folders;
}

bool FoldersChanged(const std::vector<TFolderStamp>& folders) {
    for (const TFolderStamp& folder : folders) {
        if (NativeFileStampOf(QByteArray::fromStdString(folder.native)) != folder.stamp) {
            return true;
        }
    }
    return false;
}

// Whether an in-place editor is open in the view (editors live on the viewport and are
// hidden as soon as they close).
bool EditorOpen(const QAbstractItemView& view) {
    for (const QWidget* child :
         view.viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible()) {
            return true;
        }
    }
    return false;
}

// Counts the resets of a tree while it lives.
class TResetCounter final : public ITreeObserver {
public:
    explicit TResetCounter(TCatalogTree& tree) : tree_(tree) { tree_.AddObserver(this); }
    ~TResetCounter() override { tree_.RemoveObserver(this); }
    TResetCounter(const TResetCounter&) = delete;
    TResetCounter& operator=(const TResetCounter&) = delete;
    void TreeReset() override { ++count; }
    int count = 0;

private:
    TCatalogTree& tree_;
};

// The FullPath the detail panel shows, or empty.
QString ShownDetailPath(const TDetailModel& model) {
    for (const DetailEntry& entry : model.Entries()) {
        if (entry.Key == QLatin1String(FieldNames[FullPath])) {
            return entry.Value;
        }
    }
    return {};
}

TCatalogNode* NodeOfPath(const TCatalogTree& tree, const QString& path) {
    const QByteArray wanted = path.toUtf8();
    const std::string_view text(wanted.constData(), static_cast<size_t>(wanted.size()));
    for (TCatalogNode* node = tree.GetFirst(); node; node = tree.GetNext(node)) {
        if (node->Item().Field(FullPath) == text) {
            return node;
        }
    }
    return nullptr;
}

}  // namespace

class TFMMain::TDiskFollower final : public QObject {
public:
    explicit TDiskFollower(TFMMain& window)
        : QObject(&window),
          window_(window),
          poll_(new QTimer(this)),
          notice_(new QTimer(this)),
          watcher_(new QFileSystemWatcher(this)) {
        poll_->setInterval(kPollMs);
        notice_->setSingleShot(true);
        notice_->setInterval(kNoticeDelayMs);
        connect(poll_, &QTimer::timeout, this, [this] { window_.FollowDisk(); });
        connect(notice_, &QTimer::timeout, this, [this] { window_.FollowDisk(); });
        connect(watcher_, &QFileSystemWatcher::directoryChanged, notice_,
                qOverload<>(&QTimer::start));
        TakeLibrary();
        poll_->start();
    }

    // The open catalog: read again when its file is another one now, emptied when it is gone.
    bool FollowCatalog() {
        TFMMain& w = window_;
        Watch();
        // A tree of no file (a scan whose save failed) is not the file's to replace.
        if (w.CurrentCatalog.isEmpty() || !w.contentTree_.FileStamp().Exists) {
            return false;
        }
        const TFileStamp now = FileStampOf(w.CurrentCatalog);
        if (now == w.contentTree_.FileStamp() || (failed_.Exists && now == failed_)) {
            return false;
        }
        if (!now.Exists) {
            const QString gone = w.CurrentCatalog;
            w.CurrentCatalog.clear();
            w.unsavedEdits_.clear();
            w.contentTree_.Clear();
            w.ShowStatusMessage(
                QStringLiteral(
                    "The catalog %1 is gone: another program deleted, moved or renamed it.")
                    .arg(gone));
            return true;
        }
        try {
            w.KeepPlaceAcrossReload([&] {
                if (ReloadCatalogIfChanged(w.FileInfo->Progress(), w.CurrentCatalog,
                                           w.contentTree_)) {
                    w.ReapplyUnsavedEdits();
                }
            });
        } catch (const TMelodrixError& error) {
            // The view keeps the catalog as it was; this version of the file is not tried again.
            failed_ = now;
            w.ShowStatusMessage(CannotOpenCatalogText(error.Message()));
            return false;
        }
        failed_ = {};
        w.ShowStatusMessage(kCatalogReloadedText);
        return true;
    }

    // The library tree: read again when a folder of the library changed.
    bool FollowLibrary() {
        TFMMain& w = window_;
        if (GetConfig().LibraryPath() != library_) {
            TakeLibrary();  // another library was loaded; it is followed from now on
            return false;
        }
        if (!FoldersChanged(folders_)) {
            return false;
        }
        std::vector<TFolderStamp> folders = LibraryFolders(library_);
        w.frmCatTree_->ReloadLibraryTree();
        folders_ = std::move(folders);
        Watch();
        // A library item in the detail panel is shown as it is now.
        if (!w.detailNode_) {
            const QString shown = ShownDetailPath(w.vle_->Model());
            if (!shown.isEmpty()) {
                const TCatalogNode* node = NodeOfPath(w.frmCatTree_->Tree(), shown);
                w.ShowDetail(node ? &node->Item() : nullptr);
            }
        }
        return true;
    }

private:
    void TakeLibrary() {
        library_ = GetConfig().LibraryPath();
        folders_ = LibraryFolders(library_);
        Watch();
    }

    // Watches the library's folders and the open catalog's folder.
    void Watch() {
        QSet<QString> wanted;
        for (const TFolderStamp& folder : folders_) {
            if (wanted.size() >= kMostWatchedFolders) {
                break;
            }
            if (folder.stamp.Exists) {
                wanted.insert(QFile::decodeName(QByteArray::fromStdString(folder.native)));
            }
        }
        if (!window_.CurrentCatalog.isEmpty()) {
            const QString folder = QFileInfo(window_.CurrentCatalog).absolutePath();
            if (QFileInfo(folder).isDir()) {
                wanted.insert(folder);
            }
        }
        const QStringList watched = watcher_->directories();
        QStringList gone;
        for (const QString& path : watched) {
            if (!wanted.remove(path)) {
                gone << path;
            }
        }
        if (!gone.isEmpty()) {
            watcher_->removePaths(gone);
        }
        if (!wanted.isEmpty()) {
            watcher_->addPaths(wanted.values());
        }
    }

    TFMMain& window_;
    QTimer* poll_;
    QTimer* notice_;
    QFileSystemWatcher* watcher_;
    QString library_;
    std::vector<TFolderStamp> folders_;
    TFileStamp failed_;  // a version of the open catalog that could not be read
};

void TFMMain::StartFollowingDisk() {
    if (!diskFollower_) {
        diskFollower_ = new TDiskFollower(*this);
    }
}

bool TFMMain::MayFollowDiskNow() const {
    return !commandRunning_ && !waitForm_->isVisible() && !waitForm_->InputGuard().Active() &&
           !QApplication::activeModalWidget() && !QApplication::activePopupWidget() &&
           !EditorOpen(*vt_) && !EditorOpen(*vle_) && !EditorOpen(*frmCatTree_->VTLib()) &&
           QGuiApplication::mouseButtons() == Qt::NoButton;
}

bool TFMMain::FollowDisk() {
    if (!diskFollower_ || !FileInfo || !isVisible() || !MayFollowDiskNow()) {
        return false;
    }
    bool changed = false;
    // As a command, so that nothing else starts while the progress window shows the reading.
    RunCommand([&] {
        const bool catalog = diskFollower_->FollowCatalog();
        const bool library = diskFollower_->FollowLibrary();
        changed = catalog || library;
    });
    return changed;
}

void TFMMain::KeepPlaceAcrossReload(const std::function<void()>& reload) {
    const TContentViewState place = TContentViewState::Capture(*vt_, *contentModel_);
    const bool showedContent = detailNode_ != nullptr;
    // By its path alone: counting the items of the same path before it would cost a walk of
    // the whole tree on every edit, and two items of one path are rare.
    const std::optional<TItemLocation> detailItem =
        showedContent
            ? std::optional(TItemLocation{std::string(detailNode_->Item().Field(FullPath)), 0})
            : std::nullopt;
    const QString detailPath = ShownDetailPath(vle_->Model());
    const bool editable = DetailEditable;
    TResetCounter resets(contentTree_);
    const auto restore = [&] {
        if (resets.count == 0) {
            return;  // the same nodes: the view never lost its place
        }
        SortContent();
        place.Restore(*vt_, *contentModel_);
        if (detailItem) {
            // The item itself, at its new node; when it is gone the panel shows what the
            // restored selection shows, if anything.
            if (TCatalogNode* node = FindItem(contentTree_, *detailItem)) {
                ShowContentDetail(node);
                DetailEditable = editable;
            }
        } else if (!detailPath.isEmpty()) {
            // A library item, which the reset of the content cleared.
            if (const TCatalogNode* node = NodeOfPath(frmCatTree_->Tree(), detailPath)) {
                ShowDetail(&node->Item());
            }
        }
    };
    try {
        reload();
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void TFMMain::ReapplyUnsavedEdits() {
    for (const TUnsavedEdit& unsaved : unsavedEdits_) {
        if (TCatalogNode* node = FindItem(contentTree_, unsaved.location)) {
            EditCatalogItem(contentTree_, *node, unsaved.field, unsaved.text, true);
            contentTree_.NotifyNodeChanged(node);
        }
    }
}

}  // namespace melodrix
