#pragma once

// The monkey test's world inside one temporary directory: the configuration base with a
// library of several groups and catalogs (small and large, odd names), folders to
// catalog, a folder for saved files, and the checks run on it after the input.
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <random>
#include <vector>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/Sinks.h"
#include "core/engine/FileInfo.h"
#include "monkey/MonkeyCatalogs.h"
#include "support/TempDir.h"

namespace melodrix::testing {

struct TWrittenCatalog {
    QString relative;  // below the library
    QByteArray bytes;
};

class TMonkeyWorld {
public:
    explicit TMonkeyWorld(const QString& root) : root_(root) {
        QDir().mkpath(Base());
        QDir().mkpath(Saves());
        QDir().mkpath(Disks());
    }

    QString Root() const { return root_; }
    QString Base() const { return root_ + QStringLiteral("/base"); }
    QString Library() const { return Base() + QStringLiteral("/CatalogLibrary"); }
    QString Saves() const { return root_ + QStringLiteral("/saves"); }
    QString Disks() const { return root_ + QStringLiteral("/disks"); }
    const QStringList& ScanFolders() const { return scanFolders_; }

    // Writes the library and the folders to catalog; learns what each catalog may hold.
    void Build() {
        std::mt19937 rng(7);  // the library is the same for every seed
        const struct {
            const char* relative;
            int items;
        } catalogs[] = {
            {"Mp3/small.xml", 4},
            {"Mp3/Café del Mar.xml", 12},
            {"Mp3/big one.xml", 4000},
            {"Mp3/Live 2020/live;set,1.xml", 30},
            {"Jazz & Blues/huge.xml", 6000},
            {"Jazz & Blues/日本語 カタログ.xml", 9},
            {"odd 'name' [1]/x&y.xml", 5},
            {"odd 'name' [1]/dot.name.v2.xml", 3000},
            {"Müsik – ünïcode/Ärger über Öl.xml", 40},
            {"loose.xml", 6},
        };
        int disk = 0;
        for (const auto& catalog : catalogs) {
            const QByteArray bytes = MakeCatalog(rng, ++disk, catalog.items);
            written_.push_back({QString::fromUtf8(catalog.relative), bytes});
            known_.insert(ReadCatalogFacts(bytes).signature);
            unique_.insert(ReadCatalogFacts(bytes).signature);
        }
        for (const TWrittenCatalog& catalog : written_) {
            WriteFile(Library(), catalog.relative, catalog.bytes);
            // The catalog as the program saves it again after an edit.
            const QByteArray saved = RoundTrip(Library() + QLatin1Char('/') + catalog.relative);
            known_.insert(saved);
            unique_.insert(saved);
        }
        const QByteArray broken = "<?xml version=\"1.0\"?><fileinfo><file FileName=\"a\"";
        written_.push_back({QStringLiteral("Mp3/broken.xml"), broken});
        brokenBytes_.insert(broken);
        for (const char* group : {"DVD", "Empty group", "Mp3/Live 2020/deeper"}) {
            QDir().mkpath(Library() + QLatin1Char('/') + QString::fromUtf8(group));
        }
        WriteFile(Library(), written_.back().relative, written_.back().bytes);
        MakeScanFolders();
    }

    // Puts back the catalogs the monkey deleted, so a long run keeps something to work on;
    // returns the files written.
    QStringList Refill() {
        QStringList refilled;
        for (const TWrittenCatalog& catalog : written_) {
            if (!QFileInfo::exists(Library() + QLatin1Char('/') + catalog.relative)) {
                refilled << WriteFile(Library(), catalog.relative, catalog.bytes);
            }
        }
        return refilled;
    }

    int CatalogCount() const {
        int count = 0;
        QDirIterator it(Library(), {QStringLiteral("*.xml")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            ++count;
        }
        return count;
    }

    // Every fault of the library's files: not well-formed, a broken tree, or items that
    // belong to no catalog the library ever held.
    QStringList CheckLibrary() const {
        QStringList faults;
        QHash<QByteArray, QString> holders;  // signature of a written catalog -> its file
        QDirIterator it(Library(), QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString shown = QDir(Library()).relativeFilePath(path);
            if (!path.endsWith(QStringLiteral(".xml"), Qt::CaseInsensitive)) {
                faults << QStringLiteral("stray file in the library: %1").arg(shown);
                continue;
            }
            const QByteArray bytes = ReadFile(path);
            if (brokenBytes_.contains(bytes)) {
                continue;  // the broken catalog the test wrote, untouched
            }
            const TCatalogFacts facts = ReadCatalogFacts(bytes);
            if (!facts.wellFormed) {
                faults << QStringLiteral("catalog %1 is not well-formed: %2 (%3 bytes)")
                              .arg(shown, facts.error)
                              .arg(bytes.size());
                continue;
            }
            if (!facts.structure.isEmpty()) {
                faults << QStringLiteral("catalog %1 has items outside their parent's path: %2")
                              .arg(shown, facts.structure.join(QStringLiteral("; ")));
            }
            // No user action copies a catalog inside the library: two files with one
            // catalog's items mean one was saved with the other's.
            if (unique_.contains(facts.signature)) {
                if (holders.contains(facts.signature)) {
                    faults << QStringLiteral("catalogs %1 and %2 hold the same items")
                                  .arg(holders.value(facts.signature), shown);
                }
                holders.insert(facts.signature, shown);
            }
            if (!known_.contains(facts.signature)) {
                faults << QStringLiteral(
                              "catalog %1 holds items of no catalog of the library: %2 items, "
                              "top level %3")
                              .arg(shown)
                              .arg(facts.items)
                              .arg(facts.topNames.mid(0, 5).join(QStringLiteral(", ")));
            }
        }
        return faults;
    }

    // Saved catalog files outside the library must be well-formed too.
    static QString CheckSavedXml(const QString& path) {
        const QByteArray bytes = ReadFile(path);
        const TCatalogFacts facts = ReadCatalogFacts(bytes);
        if (!bytes.isEmpty() && !facts.wellFormed && !bytes.contains("<html")) {
            return QStringLiteral("saved file %1 is not well-formed: %2").arg(path, facts.error);
        }
        return {};
    }

private:
    static QString Pick(std::mt19937& rng, const QStringList& names) {
        return names[static_cast<int>(rng() % static_cast<unsigned>(names.size()))];
    }

    // A catalog as the program writes it: one disk folder of artist folders of tracks.
    static QByteArray MakeCatalog(std::mt19937& rng, int disk, int items) {
        const QStringList artists{QStringLiteral("Ärzte"),      QStringLiteral("Björk"),
                                  QStringLiteral("AC/DC & Co"), QStringLiteral("坂本龍一"),
                                  QStringLiteral("Sigur Rós"),  QStringLiteral("<Odd> \"Q\"")};
        const QStringList words{QStringLiteral("Love"),   QStringLiteral("Nuit"),
                                QStringLiteral("Straße"), QStringLiteral("夜"),
                                QStringLiteral("Rain"),   QStringLiteral("Zoë")};
        const QStringList exts{QStringLiteral("mp3"), QStringLiteral("MP3"), QStringLiteral("txt"),
                               QStringLiteral("jpg")};
        const QString root = QStringLiteral("/media/disk%1").arg(disk);
        pugi::xml_document document;
        document.load_string(kNewDocumentText);
        pugi::xml_node top = document.child("fileinfo").append_child("file");
        auto set = [](pugi::xml_node node, const char* name, const QString& value) {
            node.append_attribute(name).set_value(value.toUtf8().constData());
        };
        set(top, "FileName", QStringLiteral("disk%1").arg(disk));
        set(top, "FullPath", root);
        set(top, "FileType", QStringLiteral("directory"));
        set(top, "DiskName", QStringLiteral("disk%1").arg(disk));
        qint64 total = 0;
        int made = 1;
        for (int a = 0; made < items; ++a) {
            pugi::xml_node folder = top.append_child("file");
            const QString folderName = QStringLiteral("%1 %2").arg(Pick(rng, artists)).arg(a);
            const QString folderPath = root + QLatin1Char('/') + folderName;
            set(folder, "FileName", folderName);
            set(folder, "FullPath", folderPath);
            set(folder, "FileType", QStringLiteral("directory"));
            ++made;
            qint64 folderSize = 0;
            for (int t = 0; t < 40 && made < items; ++t, ++made) {
                pugi::xml_node file = folder.append_child("file");
                const QString ext = Pick(rng, exts);
                const QString name =
                    QStringLiteral("%1 - %2 %3.%4").arg(t).arg(Pick(rng, words)).arg(a).arg(ext);
                const qint64 size = 1000 + static_cast<qint64>(rng() % 9000000);
                folderSize += size;
                set(file, "FileName", name);
                set(file, "FullPath", folderPath + QLatin1Char('/') + name);
                set(file, "FileSize", QString::number(size));
                set(file, "FileTime",
                    QStringLiteral("%1/%2/20%3 10:%4:00 AM")
                        .arg(1 + rng() % 12)
                        .arg(1 + rng() % 28)
                        .arg(10 + rng() % 15)
                        .arg(10 + rng() % 50));
                set(file, "FileExt", ext);
                set(file, "FileType", QStringLiteral("file"));
                set(file, "DiskName", QStringLiteral("disk%1").arg(disk));
                if (ext.compare(QStringLiteral("mp3"), Qt::CaseInsensitive) == 0) {
                    set(file, "MP3_Title", Pick(rng, words) + QStringLiteral(" song"));
                    set(file, "MP3_Artist", Pick(rng, artists));
                    set(file, "MP3_Year", QString::number(1970 + rng() % 50));
                }
                if (rng() % 5 == 0) {
                    set(file, "Description", QStringLiteral("note %1").arg(t));
                }
            }
            set(folder, "FileSize", QString::number(folderSize));
            total += folderSize;
        }
        set(top, "FileSize", QString::number(total));
        std::string text;
        struct TWriter : pugi::xml_writer {
            std::string* out;
            void write(const void* data, size_t size) override {
                out->append(static_cast<const char*>(data), size);
            }
        } writer;
        writer.out = &text;
        document.save(writer, "", pugi::format_raw, pugi::encoding_utf8);
        return QByteArray::fromStdString(text);
    }

    // The signature of a catalog opened into a tree and saved from it, as an edit does.
    QByteArray RoundTrip(const QString& path) const {
        TFileInfo engine;
        pugi::xml_document document;
        engine.Document = &document;
        TCatalogTree tree;
        engine.OpenCatalogFile(path);
        engine.DocumentToTree(tree);
        engine.NewDocument();
        engine.TreeToDocument(tree);
        const QString probe = Root() + QStringLiteral("/probe.xml");
        engine.SaveCatalogFile(probe);
        const QByteArray signature = ReadCatalogFacts(ReadFile(probe)).signature;
        QFile::remove(probe);
        return signature;
    }

    // An MP3 file with an ID3v1 tag, so the scanner has tags to read.
    static QByteArray Mp3Bytes(const QString& title, int padding) {
        QByteArray bytes(padding, '\xff');
        QByteArray tag("TAG");
        tag += title.toLatin1().leftJustified(30, '\0', true);
        tag += QByteArray("Artist").leftJustified(30, '\0');
        tag += QByteArray("Album").leftJustified(30, '\0');
        tag += "1999";
        tag += QByteArray(30, '\0');
        tag += '\x11';
        return bytes + tag;
    }

    void MakeScanFolders() {
        const QString one = Disks() + QStringLiteral("/Disc One");
        WriteFile(one, QStringLiteral("a.mp3"), Mp3Bytes(QStringLiteral("A"), 500));
        WriteFile(one, QStringLiteral("B side.MP3"), Mp3Bytes(QStringLiteral("B"), 700));
        WriteFile(one, QStringLiteral("notes.txt"), "text");
        WriteFile(one, QStringLiteral("Sub/ü ñ 夜.mp3"), Mp3Bytes(QStringLiteral("U"), 900));
        WriteFile(one, QStringLiteral("Sub/Deeper/x'y\".mp3"), Mp3Bytes(QStringLiteral("X"), 300));
        const QString two = Disks() + QStringLiteral("/Zwei ünï & more");
        for (int i = 0; i < 60; ++i) {
            WriteFile(two, QStringLiteral("Folder %1/Track %2.mp3").arg(i % 6).arg(i),
                      Mp3Bytes(QStringLiteral("T%1").arg(i), 200 + i));
        }
        const QString empty = Disks() + QStringLiteral("/empty");
        QDir().mkpath(empty);
        scanFolders_ = {one, two, empty};
        // What a new catalog of each folder holds, as the engine scans it.
        for (const QString& folder : scanFolders_) {
            TFileInfo engine;
            pugi::xml_document document;
            engine.Document = &document;
            TCatalogTree tree;
            engine.ScanFolder(tree, folder, QStringLiteral("\\.MP3\\"), false,
                              Root() + QStringLiteral("/probe.xml"));
            engine.NewDocument();
            engine.TreeToDocument(tree);
            const QString probe = Root() + QStringLiteral("/probe.xml");
            engine.SaveCatalogFile(probe);
            known_.insert(ReadCatalogFacts(ReadFile(probe)).signature);
            QFile::remove(probe);
        }
        // The library itself changes under the monkey, so it is never catalogued.
    }

    QString root_;
    QStringList scanFolders_;
    std::vector<TWrittenCatalog> written_;
    QSet<QByteArray> known_;
    QSet<QByteArray> unique_;  // the catalogs the test wrote: each is in one file at most
    QSet<QByteArray> brokenBytes_;
};

}  // namespace melodrix::testing
