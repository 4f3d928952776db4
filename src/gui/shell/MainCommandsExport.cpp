// The export command of the main window. Its dialog is not part of the program yet, so the
// toolbar button stays disabled until this file runs the dialog and says it is ready.
#include "gui/shell/MainWindow.h"

namespace melodrix {

bool TFMMain::ExportCommandReady() {
    return false;
}

void TFMMain::ExportCommand() {}

}  // namespace melodrix
