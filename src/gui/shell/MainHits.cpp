// Search and duplicate hits lead back to their catalogs: "Show in catalog" and a double click
// open the catalog a hit came from with its item focused.
#include "core/base/Errors.h"
#include "core/scan/ItemEdits.h"
#include "gui/shell/CatalogModel.h"
#include "gui/shell/ContentView.h"
#include "gui/shell/MainWindow.h"

namespace melodrix {

bool TFMMain::IsHitWithCatalog(const TCatalogNode* node) const {
    return node && CurrentCatalog.isEmpty() && !contentTree_.SourceCatalog(node).isEmpty();
}

void TFMMain::ShowHitInCatalog(const TCatalogNode* hit) {
    if (!IsHitWithCatalog(hit)) {
        return;
    }
    ShowItemInCatalog(contentTree_.SourceCatalog(hit), std::string(hit->Item().Field(FullPath)));
}

void TFMMain::ShowItemInCatalog(const QString& catalog, const std::string& fullPath) {
    const TItemLocation location{fullPath, 0};
    CurrentCatalog.clear();
    try {
        OpenCatalog(catalog);
    } catch (const TMelodrixError& error) {
        Prompt().ShowMessage(kWarningTitle, error.Message(), TMessageIcon::Warning);
        return;
    }
    SortContent();
    TCatalogNode* item = FindItem(contentTree_, location);
    if (!item) {
        ShowStatusMessage(QStringLiteral("The item %1 is no longer in the catalog %2.")
                              .arg(QString::fromStdString(location.FullPath), catalog));
        return;
    }
    for (TCatalogNode* parent = item->Parent(); parent; parent = parent->Parent()) {
        contentTree_.SetExpanded(parent, true);
    }
    const QModelIndex index = contentModel_->IndexOf(item);
    vt_->setCurrentIndex(index);
    vt_->scrollTo(index, QAbstractItemView::PositionAtCenter);
    ShowContentDetail(item);
}

}  // namespace melodrix
