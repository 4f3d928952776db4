// The search command of the main window: ask for the scope and the conditions, then list
// the hits of every catalog in the scope as a flat list in the content view.
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <optional>

#include "core/config/Config.h"
#include "core/search/SearchConditions.h"
#include "gui/library/FrmCatTree.h"
#include "gui/search/HitCount.h"
#include "gui/search/SearchDialog.h"
#include "gui/shell/MainWindow.h"

namespace melodrix {

namespace {

struct TSearchRequest {
    TFileItem conditions;
    TSearchScope scope = TSearchScope::Group;
    TSearchOptions options;
};

void SetText(TFileItem& item, int field, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    item.SetField(field, std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

// The conditions as typed (not trimmed) and the scope of the focused library node.
std::optional<TSearchRequest> RequestOf(const TFMSearch& dialog) {
    const TCatalogNode* node = dialog.FrmCatTree()->FocusedNode();
    if (!node) {
        return std::nullopt;
    }
    TSearchRequest request;
    ClearFileItem(request.conditions);
    SetText(request.conditions, FileName, dialog.EdFileName()->text());
    SetText(request.conditions, FileExt, dialog.EdExt()->text());
    SetText(request.conditions, Description, dialog.EdDes()->text());
    request.conditions.SetField(FullPath, node->Item().Field(FullPath));
    request.scope = node->Item().IsDirectory() ? TSearchScope::Group : TSearchScope::Catalog;
    request.options = dialog.Options();
    // Links between groups of the library are followed, links out of it are not.
    request.options.linkRoot = GetConfig().LibraryPath();
    return request;
}

QString SkippedFilesText(const QStringList& skipped) {
    QStringList names;
    for (const QString& path : skipped) {
        names.append(QDir::toNativeSeparators(path));
    }
    const QString count =
        skipped.size() == 1
            ? QStringLiteral("Skipped 1 file that is not a catalog")
            : QStringLiteral("Skipped %1 files that are not catalogs").arg(skipped.size());
    return count + QStringLiteral(": ") + names.join(QStringLiteral(", "));
}

}  // namespace

void TFMMain::SearchCommand() {
    std::optional<TSearchRequest> request;
    {
        TFMSearch dialog(Prompt(), this);
        if (dialog.exec() == QDialog::Accepted) {
            request = RequestOf(dialog);
            CurrentCatalog.clear();
        }
    }
    repaint();
    if (!request) {
        return;
    }
    RunFullSearch(request->scope, request->conditions, request->options);
}

void TFMMain::RunFullSearch(TSearchScope scope, TFileItem& conditions,
                            const TSearchOptions& options) {
    const QStringList skipped = FileInfo->Search(scope, ContentTree(), conditions, options);
    ShowHitCount(*this, HitsText(ContentTree().TopLevelCount()));
    if (!skipped.isEmpty()) {
        ShowStatusMessage(SkippedFilesText(skipped));
    }
}

}  // namespace melodrix
