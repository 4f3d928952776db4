// The new-catalog command of the main window: ask for a folder and a name, scan the folder
// for MP3 files (or all music files) into the content view, write the catalog and list it in the
// library.
#include <QFileInfo>

#include "core/base/Errors.h"
#include "core/scan/MusicMasks.h"
#include "core/scan/ScanOptions.h"
#include "gui/library/FrmCatTree.h"
#include "gui/library/NewCatDialog.h"
#include "gui/shell/CatalogModel.h"
#include "gui/shell/ContentView.h"
#include "gui/shell/MainWindow.h"

namespace melodrix {

void TFMMain::NewCatalogCommand() {
    {
        TFMNewCat dialog(Prompt(), this);
        const bool accepted = dialog.exec() == QDialog::Accepted;
        if (accepted && !dialog.FolderPath.trimmed().isEmpty() &&
            QFileInfo(dialog.FolderPath).isDir()) {
            LastScanFolder = dialog.FolderPath;
            CurrentCatalog = dialog.CatalogFile;
            repaint();  // the closed dialog leaves no trace while the scan runs
            TScanOptions options;
            options.MaskList = MusicMaskList(dialog.AllMusicFiles);
            options.OnlyFolders = dialog.OnlyFolders;
            options.Archives = dialog.LookInsideArchives;
            options.Excludes = dialog.ExcludePatterns;
            const TScanOutcome outcome =
                FileInfo->ScanFolder(ContentTree(), LastScanFolder, options, dialog.CatalogFile);
            if (TCatalogNode* first = ContentTree().GetFirst()) {
                // The scanned folder opens on its contents.
                ContentTree().SetExpanded(first, true);
                VT()->expand(ContentModel()->IndexOf(first));
            }
            if (const QString refusal = WhyNoCatalog(outcome, ContentTree(), LastScanFolder);
                !refusal.isEmpty()) {
                // As the command line does: an existing catalog is better kept than replaced
                // by a part of it, and the view shows no catalog that is not on disk.
                ContentTree().Clear();
                CurrentCatalog.clear();
                Prompt().ShowMessage(kWarningTitle, refusal, TMessageIcon::Warning);
                return;
            }
            if (!outcome.Complete()) {
                Prompt().ShowMessage(kWarningTitle, ScanProblemsMessage(outcome),
                                     TMessageIcon::Warning);
            }
            try {
                SaveCurrentCatalog();
            } catch (const TMelodrixError& error) {
                // The scan stays on screen; nothing half-written reached the library.
                Prompt().ShowMessage(kWarningTitle, error.Message(), TMessageIcon::Warning);
            }
            FrmCatTree()->LoadLibraryTree(QString(), false);
        }
    }
    SortContent();
}

}  // namespace melodrix
