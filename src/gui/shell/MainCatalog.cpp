// The current catalog of the main window: opening, saving, editing and the library click.
#include <optional>

#include "core/base/Errors.h"
#include "core/catalog/Paths.h"
#include "core/catalog/Sorting.h"
#include "core/catalogfile/CatalogChange.h"
#include "core/config/Config.h"
#include "core/scan/ItemEdits.h"
#include "gui/library/FrmCatTree.h"
#include "gui/shell/CatalogModel.h"
#include "gui/shell/ContentView.h"
#include "gui/shell/DetailPanel.h"
#include "gui/shell/MainWindow.h"
#include "gui/shell/WaitForm.h"

namespace melodrix {

namespace {

QString TextOf(const TFileItem& item, int field) {
    const std::string_view text = item.Field(field);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString ItemGoneText(const TItemLocation& location, const QString& catalog) {
    return QStringLiteral(
               "The item %1 is no longer in the catalog %2 (it was changed by "
               "another program). Nothing was saved.")
        .arg(QString::fromStdString(location.FullPath), catalog);
}

// Holds back repaints of a view while an item and its subtree change.
class TRepaintPause {
public:
    explicit TRepaintPause(QWidget& view) : view_(view), wasEnabled_(view.updatesEnabled()) {
        view_.setUpdatesEnabled(false);
    }
    ~TRepaintPause() { view_.setUpdatesEnabled(wasEnabled_); }
    TRepaintPause(const TRepaintPause&) = delete;
    TRepaintPause& operator=(const TRepaintPause&) = delete;

private:
    QWidget& view_;
    bool wasEnabled_;
};

// Hides the progress window when a save ends, also by an error.
class THideProgressAtEnd {
public:
    explicit THideProgressAtEnd(IProgressSink& sink) : sink_(sink) {}
    ~THideProgressAtEnd() { sink_.ShowProgress(false, false); }
    THideProgressAtEnd(const THideProgressAtEnd&) = delete;
    THideProgressAtEnd& operator=(const THideProgressAtEnd&) = delete;

private:
    IProgressSink& sink_;
};

}  // namespace

QString CannotOpenCatalogText(const QString& engineMessage) {
    QString reason = engineMessage;
    const QString prefix = QStringLiteral("Cannot open catalog ");
    if (reason.startsWith(prefix)) {
        reason = reason.mid(prefix.size());
    }
    return QStringLiteral("Cannot open catalog: ") + reason;
}

void TFMMain::OpenCatalog(const QString& path) {
    if (path == CurrentCatalog) {
        return;
    }
    if (!FileInfo) {
        throw TMelodrixError(QStringLiteral("The main window has not been shown yet."));
    }
    try {
        // Streamed into the tree; the document stays an empty catalog, as every later use
        // of it (export, search) fills it afresh.
        if (FileInfo->OpenCatalogTree(path, contentTree_)) {
            FileInfo->NewDocument();
        }
    } catch (const TMelodrixError& error) {
        // The view, the detail rows and CurrentCatalog stay as they were.
        ShowStatusMessage(CannotOpenCatalogText(error.Message()));
        throw;
    }
    CurrentCatalog = path;
    unsavedEdits_.clear();
    if (TCatalogNode* first = contentTree_.GetFirst()) {
        contentTree_.SetExpanded(first, true);
    }
}

void TFMMain::SaveCurrentCatalog() {
    if (!FileInfo) {
        throw TMelodrixError(QStringLiteral("The main window has not been shown yet."));
    }
    IProgressSink& progress = Progress();
    THideProgressAtEnd hide(progress);
    progress.ShowProgress(true, false);
    progress.SetProgressText(QStringLiteral("Saving info..."));
    if (CurrentCatalog.isEmpty()) {
        FileInfo->SaveCatalogTree(contentTree_, CurrentCatalog);
        return;
    }
    // The tree is the whole catalog (a new scan): it replaces the file, under its lock.
    ReplaceCatalogFile(FileInfo->Progress(), CurrentCatalog, contentTree_);
}

void TFMMain::ShowCatalogTree(const QString& path, TCatalogTree& tree) {
    contentTree_.TakeContents(tree);
    CurrentCatalog = path;
    unsavedEdits_.clear();
    if (TCatalogNode* first = contentTree_.GetFirst()) {
        contentTree_.SetExpanded(first, true);
    }
    SortContent();
}

TCatalogNode* TFMMain::EditItemField(TCatalogNode* node, int field, const QString& text) {
    if (!node || field < 0 || field >= FieldCount) {
        return node;
    }
    if (!FileInfo) {
        throw TMelodrixError(QStringLiteral("The main window has not been shown yet."));
    }
    const QByteArray utf8 = text.toUtf8();
    const std::string typed(utf8.constData(), static_cast<size_t>(utf8.size()));
    if (CurrentCatalog.isEmpty()) {
        EditHit(node, field, typed);
        return node;
    }
    // Where the item stands before the edit; a rename moves it, so that is taken now, any
    // other edit leaves it where it is and it is only worked out when needed.
    std::optional<TItemLocation> before;
    const auto locationBefore = [&] {
        if (!before) {
            before = LocationOf(contentTree_, *node);
        }
        return *before;
    };
    if (field == FileName) {
        locationBefore();
    }
    // The edit is one locked step on the file. When another program saved the catalog since
    // it was read, the step reads it again and the edit (with any earlier one that could not
    // be saved) goes to the item at the same place in what the file holds now; the view then
    // shows that catalog.
    bool applied = false;
    bool replaced = false;
    TItemLocation after;
    try {
        IProgressSink& progress = Progress();
        THideProgressAtEnd hide(progress);
        progress.ShowProgress(true, false);
        progress.SetProgressText(QStringLiteral("Saving info..."));
        // The view keeps its place (open folders, focus, scroll, sort) if the tree is replaced.
        KeepPlaceAcrossReload([&] {
            SaveCatalogChange(
                FileInfo->Progress(), CurrentCatalog, contentTree_,
                [&](TCatalogTree& tree, bool again) {
                    TCatalogNode* target = node;
                    if (again) {
                        for (const TUnsavedEdit& unsaved : unsavedEdits_) {
                            if (TCatalogNode* earlier = FindItem(tree, unsaved.location)) {
                                EditCatalogItem(tree, *earlier, unsaved.field, unsaved.text, true);
                            }
                        }
                        target = FindItem(tree, locationBefore());
                        if (!target) {
                            throw TMelodrixError(ItemGoneText(locationBefore(), CurrentCatalog));
                        }
                    }
                    {
                        TRepaintPause pause(*vt_);
                        EditCatalogItem(tree, *target, field, typed, true);
                    }
                    applied = !again;
                    if (again) {
                        after = LocationOf(tree, *target);
                        replaced = true;  // the window's tree takes this one, saved or not
                    } else {
                        contentTree_.NotifyNodeChanged(node);
                    }
                });
        });
    } catch (const TMelodrixError& error) {
        // The file on disk is still the previous one; the edit stays in the view and goes
        // with the next save that works.
        if (!replaced && !applied) {
            EditCatalogItem(contentTree_, *node, field, typed, true);
            contentTree_.NotifyNodeChanged(node);
        }
        if (!replaced) {
            unsavedEdits_.push_back({locationBefore(), field, typed});
        }
        vt_->viewport()->update();
        Prompt().ShowMessage(kWarningTitle, error.Message(), TMessageIcon::Warning);
        return replaced ? FindItem(contentTree_, after) : node;
    }
    unsavedEdits_.clear();
    vt_->viewport()->update();
    if (!replaced) {
        return node;
    }
    ShowStatusMessage(
        QStringLiteral("The catalog was changed by another program: your edit was "
                       "saved into the catalog as it is now."));
    return FindItem(contentTree_, after);
}

void TFMMain::EditHit(TCatalogNode* hit, int field, const std::string& typed) {
    const QString catalog = contentTree_.SourceCatalog(hit);
    if (catalog.isEmpty()) {
        // A list of hits that does not tell where they came from is saved as a catalog of its
        // own, as before.
        EditCatalogItem(contentTree_, *hit, field, typed, false);
        contentTree_.NotifyNodeChanged(hit);
        vt_->viewport()->update();
        SaveCurrentCatalog();
        return;
    }
    const TItemLocation location{std::string(hit->Item().Field(FullPath)), 0};
    try {
        IProgressSink& progress = Progress();
        THideProgressAtEnd hide(progress);
        progress.ShowProgress(true, false);
        progress.SetProgressText(QStringLiteral("Saving info..."));
        ChangeCatalogFile(FileInfo->Progress(), catalog, [&](TCatalogTree& tree, bool) {
            TCatalogNode* target = FindItem(tree, location);
            if (!target) {
                throw TMelodrixError(ItemGoneText(location, catalog));
            }
            EditCatalogItem(tree, *target, field, typed, true);
            // The hit shows what its catalog now holds for the fields the edit changed.
            for (const int changed :
                 {int{FileName}, int{FullPath}, int{FileNameLength}, int{PathNameLength}, field}) {
                hit->Item().SetField(changed, target->Item().Field(changed));
            }
        });
    } catch (const TMelodrixError& error) {
        Prompt().ShowMessage(kWarningTitle, error.Message(), TMessageIcon::Warning);
        return;
    }
    contentTree_.NotifyNodeChanged(hit);
    vt_->viewport()->update();
}

void TFMMain::ShowDetail(const TFileItem* item) {
    QStringList names;
    if (item) {
        for (const TColumnSpec& column : GetConfig().Columns()) {
            names.append(column.Name);
        }
    }
    vle_->Model().ShowDetail(item, names);
}

void TFMMain::ShowContentDetail(TCatalogNode* node) {
    detailNode_ = node;
    ShowDetail(node ? &node->Item() : nullptr);
    DetailEditable = node != nullptr;
}

void TFMMain::ForgetContentDetail() {
    detailNode_ = nullptr;
    ShowDetail(nullptr);
    DetailEditable = false;
}

void TFMMain::SortContent() {
    SortCatalogTree(contentTree_, SortField, vt_->SortAscending());
}

void TFMMain::ContentHeaderClick(int column) {
    vt_->ApplyHeaderClick(column);
    SortField = contentModel_->FieldOfColumn(column);
    SortContent();
}

void TFMMain::LibraryClick() {
    // The detail panel never stays editable after a library click, whatever happens.
    struct TNotEditableAtEnd {
        bool& editable;
        ~TNotEditableAtEnd() { editable = false; }
    } notEditable{DetailEditable};

    const TCatalogNode* node = frmCatTree_->FocusedNode();
    if (!node) {
        contentTree_.Clear();
        ShowDetail(nullptr);
        CurrentCatalog.clear();
        return;
    }
    if (node->Item().IsFile()) {
        OpenCatalog(TextOf(node->Item(), FullPath));
    } else {
        contentTree_.Clear();
        CurrentCatalog.clear();
    }
    detailNode_ = nullptr;
    ShowDetail(&node->Item());
    SortContent();
}

}  // namespace melodrix
