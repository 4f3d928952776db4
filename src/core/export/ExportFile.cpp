#include "core/export/ExportFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <filesystem>
#include <system_error>

#include "core/catalog/Errors.h"
#include "core/catalogfile/AtomicFile.h"
#include "core/catalogfile/BackgroundWriter.h"

namespace melodrix {

void WriteExportText(const QString& path, const std::function<void(TTextOutput&)>& build) {
    WriteFileAtomically(path, [&](QIODevice& device) {
        TBackgroundWriter pieces(device);
        TTextOutput output([&](std::string& piece) { pieces.Write(piece); });
        build(output);
        output.Finish();
        pieces.Finish();
    });
}

void ReplaceFileThroughTemporary(const QString& path,
                                 const std::function<void(const QString& temporaryPath)>& write) {
    const QFileInfo target(path);
    QTemporaryFile temporary(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                             QStringLiteral(".XXXXXX"));
    if (!temporary.open()) {
        throw TMelodrixError(
            QStringLiteral("Cannot write %1: %2").arg(path, temporary.errorString()));
    }
    const QString temporaryPath = temporary.fileName();
    temporary.close();
    write(temporaryPath);

    // A temporary file is private to its owner; the export gets the usual rights, or
    // keeps those of the file it replaces.
    const QFileDevice::Permissions permissions =
        target.exists() ? QFile::permissions(path)
                        : (QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                           QFileDevice::ReadGroup | QFileDevice::ReadOther);
    QFile::setPermissions(temporaryPath, permissions);

    std::error_code error;
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(temporaryPath).toStdString()),
                            std::filesystem::path(QFile::encodeName(path).toStdString()), error);
    if (error) {
        throw TMelodrixError(QStringLiteral("Cannot write %1: %2")
                                 .arg(path, QString::fromStdString(error.message())));
    }
    temporary.setAutoRemove(false);
}

}  // namespace melodrix
