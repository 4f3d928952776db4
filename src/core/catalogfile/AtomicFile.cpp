#include "core/catalogfile/AtomicFile.h"

#include <QSaveFile>

#include "core/catalog/Errors.h"

namespace melodrix {

void WriteAll(QIODevice& device, const char* data, qint64 size) {
    while (size > 0) {
        const qint64 written = device.write(data, size);
        if (written <= 0) {
            throw TMelodrixError(device.errorString());
        }
        data += written;
        size -= written;
    }
}

void WriteFileAtomically(const QString& path, const std::function<void(QIODevice&)>& write) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        throw TMelodrixError(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    }
    try {
        write(file);
    } catch (const TMelodrixError& error) {
        file.cancelWriting();
        throw TMelodrixError(QStringLiteral("Cannot write %1: %2").arg(path, error.Message()));
    } catch (...) {
        file.cancelWriting();
        throw;
    }
    // commit() does not see a failed flush of buffered bytes (a full disk): check it here.
    if (!file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw TMelodrixError(QStringLiteral("Cannot write %1: %2").arg(path, reason));
    }
    if (!file.commit()) {
        throw TMelodrixError(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    }
}

}  // namespace melodrix
