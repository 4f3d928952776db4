#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QString>
#include <QTemporaryDir>

namespace melodrix::testing {

// Writes bytes to a file below `dir`, creating folders; returns the full path.
inline QString WriteFile(const QString& dir, const QString& relative, const QByteArray& bytes) {
    const QString path = QDir(dir).filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
    return path;
}

inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Tests run in a fixed English (United States) locale so texts are predictable.
inline void UseEnglishLocale() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

}  // namespace melodrix::testing
