#pragma once

#include <QApplication>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <system_error>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/ValueFunctions.h"
#include "core/config/Config.h"
#include "support/TempDir.h"

namespace melodrix::testing {

// A fresh base directory for the configuration file and the library of one test. The
// desktop's trash is one in it too (the library and its trash share a file system), and so
// is the cache that holds the search index: the user's own is never touched.
class TFreshBase {
public:
    TFreshBase()
        : previousData_(qgetenv("XDG_DATA_HOME")), previousCache_(qgetenv("XDG_CACHE_HOME")) {
        UseEnglishLocale();
        UseConfigDirectory(dir_.path());
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir_.path() + QStringLiteral("/data")));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(Cache()));
    }
    ~TFreshBase() {
        qputenv("XDG_DATA_HOME", previousData_);
        qputenv("XDG_CACHE_HOME", previousCache_);
        // Names that are not UTF-8 (trashed ones too) are beyond QTemporaryDir.
        std::error_code error;
        std::filesystem::remove_all(QFile::encodeName(dir_.path()).toStdString(), error);
    }
    TFreshBase(const TFreshBase&) = delete;
    TFreshBase& operator=(const TFreshBase&) = delete;
    QString Path() const { return dir_.path(); }
    QString Library() const { return dir_.path() + QStringLiteral("/CatalogLibrary"); }
    // The desktop's trash while this base is in use.
    QString Trash() const { return dir_.path() + QStringLiteral("/data/Trash"); }
    // The user's cache folder while this base is in use.
    QString Cache() const { return dir_.path() + QStringLiteral("/cache"); }

private:
    QTemporaryDir dir_;
    QByteArray previousData_;
    QByteArray previousCache_;
};

inline QString Text(const TCatalogNode* node, int field) {
    const std::string_view text = node->Item().Field(field);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The first node in pre-order whose FileName is `name`, or nullptr.
inline TCatalogNode* FindNode(const TCatalogTree& tree, const QString& name) {
    for (TCatalogNode* node = tree.GetFirst(); node; node = tree.GetNext(node)) {
        if (Text(node, FileName) == name) {
            return node;
        }
    }
    return nullptr;
}

// The FileNames of a node's children, in order.
inline QStringList ChildNames(const TCatalogNode* node) {
    QStringList names;
    for (int i = 0; node && i < node->ChildCount(); ++i) {
        names << Text(node->Child(i), FileName);
    }
    return names;
}

// A small catalog: Music (folder) with Live (folder, one file), b.MP3 and c.txt.
inline QByteArray SampleCatalog(const QString& root = QStringLiteral("/d/Music")) {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"utf-8\"?><fileinfo generated=\"Vellumdex\">"
               "<file FileName=\"Music\" FullPath=\"%1\" FileSize=\"3900\" FileType=\"directory\">"
               "<file FileName=\"c.txt\" FullPath=\"%1/c.txt\" FileSize=\"900\" FileExt=\"txt\""
               " FileType=\"file\" FileTime=\"1/2/2021 10:00:00 AM\" Description=\"notes\"/>"
               "<file FileName=\"b.MP3\" FullPath=\"%1/b.MP3\" FileSize=\"10000\" FileExt=\"MP3\""
               " FileType=\"file\" FileTime=\"\" MP3_Title=\"Song\"/>"
               "<file FileName=\"Live\" FullPath=\"%1/Live\" FileSize=\"2000\" "
               "FileType=\"directory\">"
               "<file FileName=\"a.mp3\" FullPath=\"%1/Live/a.mp3\" FileSize=\"2000\" "
               "FileExt=\"mp3\""
               " FileType=\"file\" FileTime=\"3/4/2019 8:00:00 AM\"/>"
               "</file></file></fileinfo>")
        .arg(root)
        .toUtf8();
}

// Runs `answer` on the next modal window that opens, polling rather than guessing a delay.
template <typename Answer>
void WhenModalOpens(Answer answer) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        }
    });
    timer->start(10);
}

}  // namespace melodrix::testing
