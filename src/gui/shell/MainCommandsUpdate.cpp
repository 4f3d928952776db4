// The update command of the main window: rescan a catalog's folder, show what would
// change, and save the catalog when the user applies it.
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>

#include "core/base/Errors.h"
#include "core/catalog/Paths.h"
#include "core/scan/UpdateCatalog.h"
#include "gui/library/FrmCatTree.h"
#include "gui/library/UpdatePreviewDialog.h"
#include "gui/shell/CatalogModel.h"
#include "gui/shell/ContentView.h"
#include "gui/shell/Guard.h"
#include "gui/shell/MainWindow.h"

namespace melodrix {

void TFMMain::MakeContentMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("MenuContent"));
    QAction* update = menu->addAction(QStringLiteral("Update"));
    update->setObjectName(QStringLiteral("ActionUpdate"));
    connect(update, &QAction::triggered, this,
            [this] { RunCommand([&] { UpdateCatalogCommand(CurrentCatalog); }); });
    QAction* showHit = menu->addAction(QStringLiteral("Show in catalog"));
    showHit->setObjectName(QStringLiteral("ActionShowInCatalog"));
    connect(showHit, &QAction::triggered, this, [this] {
        RunCommand([&] { ShowHitInCatalog(TCatalogModel::NodeOf(vt_->currentIndex())); });
    });
    vt_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(vt_, &QWidget::customContextMenuRequested, this,
            [this, menu, update, showHit](QPoint at) {
                // Only a catalog of the library can be updated, not a search result; only a
                // hit leads to a catalog.
                update->setEnabled(!CurrentCatalog.isEmpty());
                const QModelIndex pointed = vt_->indexAt(at);
                if (pointed.isValid()) {
                    vt_->setCurrentIndex(pointed);
                }
                showHit->setEnabled(IsHitWithCatalog(TCatalogModel::NodeOf(vt_->currentIndex())));
                menu->popup(vt_->viewport()->mapToGlobal(at));
            });
    connect(vt_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        RunCommand([&] { ShowHitInCatalog(TCatalogModel::NodeOf(index)); });
    });
}

void TFMMain::UpdateCatalogCommand(const QString& catalogPath) {
    if (catalogPath.isEmpty() || !FileInfo) {
        return;
    }
    try {
        // The catalog on screen is used as it is; any other is read from its file.
        TCatalogTree opened;
        const bool shown = catalogPath == CurrentCatalog;
        if (!shown) {
            FileInfo->OpenCatalogTree(catalogPath, opened);
        }
        const TCatalogTree& catalog = shown ? ContentTree() : opened;
        const QString stored = StoredScanFolder(catalog);
        const QString folder = AskUpdateFolder
                                   ? AskUpdateFolder(stored)
                                   : QInputDialog::getText(this, QStringLiteral("Update"),
                                                           QStringLiteral("Folder to scan:"),
                                                           QLineEdit::Normal, stored);
        if (folder.trimmed().isEmpty()) {
            return;
        }
        repaint();  // the closed question leaves no trace while the scan runs
        TCatalogUpdate update = UpdateCatalog(FileInfo->Progress(), catalog, catalogPath, folder);
        TFMUpdatePreview preview(update, DiskNameOf(catalogPath), this);
        const bool apply =
            ShowUpdatePreview ? ShowUpdatePreview(preview) : preview.exec() == QDialog::Accepted;
        if (!apply) {
            return;
        }
        {
            TProgressScope progress(Progress(), QStringLiteral("Saving info..."));
            ApplyCatalogUpdate(FileInfo->Progress(), update, catalogPath);
        }
        FrmCatTree()->LoadLibraryTree(QString(), false);
        // The catalog as saved is shown: it is the file on disk now, stamp and all.
        ShowCatalogTree(catalogPath, *update.Tree);
    } catch (const TMelodrixError& error) {
        // Nothing was written: the old catalog stays, on disk and on screen.
        Prompt().ShowMessage(kWarningTitle, error.Message(), TMessageIcon::Warning);
    }
}

}  // namespace melodrix
