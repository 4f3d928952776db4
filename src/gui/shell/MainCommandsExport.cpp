// The export command of the main window: export the content view or a library catalog.
#include "gui/export/ExportDialog.h"
#include "gui/shell/MainWindow.h"

namespace melodrix {

void TFMMain::ExportCommand() {
    RunExportDialog(*this, QString(), this);
}

}  // namespace melodrix
