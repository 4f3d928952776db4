// The update command of the main window: rescan a catalog's folder, show what would
// change, and save the catalog when the user applies it.
#include <QFileInfo>

#include "core/base/Errors.h"
#include "core/catalog/Paths.h"
#include "core/scan/UpdateCatalog.h"
#include "gui/library/FrmCatTree.h"
#include "gui/library/UpdateFolderDialog.h"
#include "gui/library/UpdatePreviewDialog.h"
#include "gui/shell/CatalogModel.h"
#include "gui/shell/ContentView.h"
#include "gui/shell/Guard.h"
#include "gui/shell/MainWindow.h"

namespace melodrix {

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
        QString folder;
        if (AskUpdateFolder) {
            folder = AskUpdateFolder(stored);
        } else {
            TFMUpdateFolder question(Prompt(), DiskNameOf(catalogPath), stored, this);
            if (question.exec() == QDialog::Accepted) {
                folder = question.Folder();
            }
        }
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
