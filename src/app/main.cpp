// The desktop program. It takes no arguments.
#include "gui/shell/Application.h"
#include "gui/shell/MainWindow.h"

int main(int argc, char** argv) {
    melodrix::TMelodrixApplication application(argc, argv);
    melodrix::TFMMain mainWindow;
    mainWindow.show();
    return application.exec();
}
