#include "gui/shell/HelpFile.h"

#include <QDir>
#include <QFileInfo>

namespace melodrix {

QString HelpFilePath(const QString& programDirectory) {
    const QDir directory(programDirectory);
    const QString beside = directory.filePath(QStringLiteral("Help.htm"));
    if (QFileInfo(beside).isFile()) {
        return beside;
    }
    const QString installed =
        QDir::cleanPath(directory.filePath(QStringLiteral("../share/melodrix/Help.htm")));
    return QFileInfo(installed).isFile() ? installed : beside;
}

}  // namespace melodrix
