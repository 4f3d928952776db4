#include "core/catalog/Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <optional>

namespace melodrix {

QChar PathDelimiter() {
    return QDir::separator();
}

QString WithTrailingBackslash(const QString& path) {
    if (path.endsWith(PathDelimiter())) {
        return path;
    }
    return path + PathDelimiter();
}

QString WithoutTrailingBackslash(const QString& path) {
    if (path.endsWith(PathDelimiter())) {
        return path.left(path.size() - 1);
    }
    return path;
}

QString ExtensionOf(const QString& path) {
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        const QChar c = path.at(i);
        if (c == QLatin1Char('.')) {
            return path.mid(i + 1);
        }
        if (c == PathDelimiter() || c == QLatin1Char(':')) {
            break;
        }
    }
    return {};
}

std::string_view ExtensionOfUtf8(std::string_view path) {
    const char delimiter = PathDelimiter().toLatin1();
    for (size_t i = path.size(); i-- > 0;) {
        const char c = path[i];
        if (c == '.') {
            return path.substr(i + 1);
        }
        if (c == delimiter || c == ':') {
            break;
        }
    }
    return {};
}

namespace {

// The mounted volume whose root is exactly `path`, if any.
std::optional<QStorageInfo> VolumeRootedAt(const QString& path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    const QFileInfo info(path);
    if (!info.isDir()) {
        return std::nullopt;
    }
    const QString canonical = info.canonicalFilePath();
    QStorageInfo storage(canonical);
    if (!storage.isValid() || !storage.isReady()) {
        return std::nullopt;
    }
    if (QDir::cleanPath(storage.rootPath()) != QDir::cleanPath(canonical)) {
        return std::nullopt;
    }
    return storage;
}

}  // namespace

bool IsVolumeRoot(const QString& path) {
    return VolumeRootedAt(path).has_value();
}

QString VolumeLabelOf(const QString& path) {
    const auto storage = VolumeRootedAt(path);
    if (!storage) {
        return {};
    }
    return storage->name().left(255);
}

QString LastPathComponent(const QString& path) {
    const qsizetype slash = path.lastIndexOf(PathDelimiter());
    return slash < 0 ? path : path.mid(slash + 1);
}

QString DiskNameOf(const QString& path) {
    const auto storage = VolumeRootedAt(path);
    if (!storage) {
        QString name = LastPathComponent(path);
        const qsizetype dot = name.indexOf(QLatin1Char('.'));
        return dot < 0 ? name : name.left(dot);
    }
    const QString label = storage->name().left(255);
    if (!label.isEmpty()) {
        return label;
    }
    // Without a label a mount point is known by its last component; "/" has none and
    // proposes the empty name.
    return LastPathComponent(QDir::cleanPath(storage->rootPath()));
}

}  // namespace melodrix
