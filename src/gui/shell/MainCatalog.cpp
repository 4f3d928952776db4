// The current catalog of the main window: opening, saving, editing and the library click.
#include "core/catalog/Errors.h"
#include "core/catalog/ItemEdit.h"
#include "core/catalog/Paths.h"
#include "core/catalog/Sorting.h"
#include "core/config/Config.h"
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

void SetText(TFileItem& item, int field, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    item.SetField(field, std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

// Length in characters (code points), as decimal text.
QString LengthText(const QString& text) {
    qsizetype count = 0;
    for (const QChar c : text) {
        count += c.isLowSurrogate() ? 0 : 1;
    }
    return QString::number(count);
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
        ShowStatusText(CannotOpenCatalogText(error.Message()));
        throw;
    }
    CurrentCatalog = path;
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
    FileInfo->SaveCatalogTree(contentTree_, CurrentCatalog);
}

void TFMMain::EditItemField(TCatalogNode* node, int field, const QString& text) {
    if (!node || field < 0 || field >= FieldCount) {
        return;
    }
    {
        TRepaintPause pause(*vt_);
        TFileItem& item = node->Item();
        if (field == FileName) {
            QString parentPath;
            if (const TCatalogNode* parent = node->Parent()) {
                parentPath = TextOf(parent->Item(), FullPath);
            }
            if (!parentPath.isEmpty()) {
                parentPath += PathDelimiter();
            }
            // The descendants' paths begin with the item's own path, which for a top-level
            // item need not be its name.
            const QString oldPath = TextOf(item, FullPath);
            const QString newPath = parentPath + text;
            SetText(item, FullPath, newPath);
            SetText(item, PathNameLength, LengthText(newPath));
            ForEachDescendant(node, [&](TCatalogNode* descendant) {
                TFileItem& inner = descendant->Item();
                const QString path = newPath + TextOf(inner, FullPath).mid(oldPath.size());
                SetText(inner, FullPath, path);
                SetText(inner, PathNameLength, LengthText(path));
            });
        }
        const QByteArray utf8 = text.toUtf8();
        SetEditedField(item, field,
                       std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
    }
    contentTree_.NotifyNodeChanged(node);
    vt_->viewport()->update();
    try {
        SaveCurrentCatalog();
    } catch (const TMelodrixError& error) {
        // The file on disk is still the previous one; the edit stays in the view.
        Prompt().ShowMessage(kWarningTitle, error.Message(), TMessageIcon::Warning);
    }
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
