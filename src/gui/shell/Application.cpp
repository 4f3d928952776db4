#include "gui/shell/Application.h"

#include <QIcon>

#include "gui/shell/FileIcons.h"

namespace melodrix {

TMelodrixApplication::TMelodrixApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setOrganizationName(QStringLiteral("Melodrix"));
    setApplicationName(QStringLiteral("Melodrix"));
    setWindowIcon(QIcon(QStringLiteral(":/melodrix/melodrix.png")));
    UseIconThemeFallback();
}

bool TMelodrixApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        return false;
    }
}

}  // namespace melodrix
