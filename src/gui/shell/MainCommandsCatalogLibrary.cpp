// The catalog-library command of the main window: manage the library in its dialog, open
// the catalog chosen there, and show the library as it is afterwards.
#include "core/base/Errors.h"
#include "gui/export/ExportDialog.h"
#include "gui/library/CatLibDialog.h"
#include "gui/library/FrmCatTree.h"
#include "gui/shell/MainWindow.h"

namespace melodrix {

void TFMMain::CatalogLibraryCommand() {
    QString selected;
    {
        TFMCatLib dialog(Prompt(), this);
        dialog.UseProgress(Progress());
        dialog.ExportCatalog = [this, &dialog](const QString& path) {
            RunExportDialog(*this, path, &dialog);
        };
        dialog.UpdateCatalog = [this](const QString& path) { UpdateCatalogCommand(path); };
        dialog.LibrarySortColumn = FrmCatTree()->SortColumn();
        dialog.LibrarySortAscending = FrmCatTree()->SortAscending();
        if (dialog.exec() == QDialog::Accepted) {
            selected = dialog.SelectedCatalog;
        }
        // The catalog on screen follows its file, so later edits never write to a name
        // the library no longer has (and never bring a deleted catalog back).
        const QString followed = FollowLibraryChanges(CurrentCatalog, dialog.Changes);
        if (followed != CurrentCatalog) {
            if (followed.isEmpty()) {
                ContentTree().Clear();
                ShowDetail(nullptr);
                DetailEditable = false;
            }
            CurrentCatalog = followed;
        }
    }
    repaint();
    try {
        if (!selected.isEmpty()) {
            OpenCatalog(selected);
            SortContent();
        }
    } catch (const TMelodrixError&) {
        // OpenCatalog has said why in the status bar; the library is shown afresh anyway.
    }
    FrmCatTree()->LoadLibraryTree(QString(), false);
}

}  // namespace melodrix
