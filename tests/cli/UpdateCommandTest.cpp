#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <filesystem>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <pugixml.hpp>

#include "CliRun.h"
#include "core/catalog/CatalogTree.h"
#include "core/engine/FileInfo.h"
#include "core/tags/TagBuilders.h"
#include "support/FileRights.h"
#include "support/TempDir.h"

using namespace melodrix;
using namespace melodrix::tagbytes;
using namespace melodrix::testing;
using melodrix::testing::ReadFile;
using melodrix::testing::WriteFile;

namespace {

class CliUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        library = dir.filePath(QStringLiteral("lib"));
        music = dir.filePath(QStringLiteral("music"));
        Song(QStringLiteral("Band/one.mp3"), "One");
        Song(QStringLiteral("Band/two.mp3"), "Two");
        ASSERT_EQ(
            Run({QStringLiteral("scan"), music, QStringLiteral("--name"), QStringLiteral("Disk")})
                .status,
            0);
        catalog = library + QStringLiteral("/Disk.xml");
        // A description on the song that goes away, as the desktop program stores it.
        pugi::xml_document document;
        TFileInfo engine;
        engine.Document = &document;
        engine.OpenCatalogFile(catalog);
        TCatalogTree tree;
        engine.DocumentToTree(tree);
        ForEachNode(tree, [](TCatalogNode* node) {
            if (node->Item().Field(FileName) == "two.mp3") {
                node->Item().SetField(Description, "demo take");
            }
        });
        engine.NewDocument();
        engine.TreeToDocument(tree);
        engine.SaveCatalogFile(catalog);
    }

    void Song(const QString& relative, const std::string& title) {
        WriteFile(music, relative,
                  QByteArray::fromStdString(AudioLike(200) +
                                            ID3v1Record(title, "A", "B", "2000", "", 17)));
    }

    // `locale` sets the locale the program runs in; `asBitsSay` runs it without the right to
    // read what permission bits forbid, also as root.
    TCliRun Run(const QStringList& args, const QString& locale = QString(),
                bool asBitsSay = false) {
        TCliOptions options;
        options.asPermissionBitsSay = asBitsSay;
        if (!locale.isEmpty()) {
            options.environment = QProcessEnvironment::systemEnvironment();
            options.environment->insert(QStringLiteral("LC_ALL"), locale);
        }
        return RunCli(QStringList{QStringLiteral("--library"), library} + args, options);
    }

    QTemporaryDir dir;
    QString library, music, catalog;
};

}  // namespace

TEST_F(CliUpdate, ADryRunPrintsTheChangesAndAnApplySavesThem) {
    const std::filesystem::path folder = (music + QStringLiteral("/Band")).toStdString();
    const auto folderTime = std::filesystem::last_write_time(folder);
    ASSERT_TRUE(QFile::remove(music + QStringLiteral("/Band/two.mp3")));
    Song(QStringLiteral("Band/three.mp3"), "Three");
    Song(QStringLiteral("Band/one.mp3"), "One again");
    // The folder keeps its time, so that it does not count as changed when the test crosses
    // a second.
    std::filesystem::last_write_time(folder, folderTime);
    const QByteArray before = ReadFile(catalog);

    const TCliRun dry =
        Run({QStringLiteral("update"), QStringLiteral("Disk"), QStringLiteral("--dry-run")});
    ASSERT_EQ(dry.status, 0) << dry.err.toStdString();
    EXPECT_TRUE(dry.out.contains(
        QStringLiteral("Added: 1  Removed: 1  Changed: 1  Descriptions that will be dropped: 1")))
        << dry.out.toStdString();
    EXPECT_TRUE(dry.out.contains(QStringLiteral("MP3_Title: One -> One again")));
    EXPECT_TRUE(dry.out.contains(music + QStringLiteral("/Band/two.mp3: demo take")));
    EXPECT_EQ(ReadFile(catalog), before);

    const TCliRun json = Run({QStringLiteral("update"), catalog, QStringLiteral("--json")});
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    std::map<std::string, QJsonObject> byChange;
    for (const QString& line : json.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        byChange[object.value(QStringLiteral("change")).toString().toStdString()] = object;
    }
    ASSERT_EQ(byChange.size(), 3u) << json.out.toStdString();
    EXPECT_EQ(byChange["added"].value(QStringLiteral("FullPath")).toString(),
              music + QStringLiteral("/Band/three.mp3"));
    EXPECT_EQ(byChange["removed"].value(QStringLiteral("Description")).toString(),
              QStringLiteral("demo take"));
    EXPECT_EQ(byChange["changed"].value(QStringLiteral("MP3_Title")).toString(),
              QStringLiteral("One again"));
    EXPECT_EQ(byChange["changed"]
                  .value(QStringLiteral("was"))
                  .toObject()
                  .value(QStringLiteral("MP3_Title"))
                  .toString(),
              QStringLiteral("One"));
    const QByteArray after = ReadFile(catalog);
    EXPECT_TRUE(after.contains("three.mp3"));
    EXPECT_FALSE(after.contains("demo take"));

    const TCliRun again = Run({QStringLiteral("update"), QStringLiteral("Disk")});
    EXPECT_EQ(again.status, 0);
    EXPECT_TRUE(again.out.contains(QStringLiteral("Added: 0  Removed: 0  Changed: 0")));
}

TEST_F(CliUpdate, ErrorsAndUsageHaveTheirOwnExitStatus) {
    const QByteArray before = ReadFile(catalog);
    const QString away = dir.filePath(QStringLiteral("away"));
    const TCliRun missing =
        Run({QStringLiteral("update"), QStringLiteral("Disk"), QStringLiteral("--folder"), away});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("does not exist")))
        << missing.err.toStdString();
    QDir().mkpath(away);
    const TCliRun empty =
        Run({QStringLiteral("update"), QStringLiteral("Disk"), QStringLiteral("--folder"), away});
    EXPECT_EQ(empty.status, 1);
    EXPECT_TRUE(empty.err.contains(QStringLiteral("is empty"))) << empty.err.toStdString();
    EXPECT_EQ(ReadFile(catalog), before);

    WriteFile(library, QStringLiteral("Broken.xml"), "<fileinfo><file");
    EXPECT_EQ(Run({QStringLiteral("update"), QStringLiteral("Broken")}).status, 1);
    EXPECT_EQ(Run({QStringLiteral("update")}).status, 2);
    EXPECT_EQ(
        Run({QStringLiteral("update"), QStringLiteral("Disk"), QStringLiteral("--bogus")}).status,
        2);
}

namespace {

void SetMode(const QString& path, mode_t mode) {
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

}  // namespace

TEST_F(CliUpdate, AnUnreadableFolderIsNamedAndItsItemsKeptNotRemoved) {
    const QString band = music + QStringLiteral("/Band");
    const QByteArray before = ReadFile(catalog);
    SetMode(band, 0);
    const QStringList update{QStringLiteral("update"), QStringLiteral("Disk")};
    const TCliRun dry = Run(update + QStringList{QStringLiteral("--dry-run")}, {}, true);
    const TCliRun refused = Run(update, {}, true);
    const TCliRun json = Run(update + QStringList{QStringLiteral("--json")}, {}, true);
    const QByteArray afterRefusal = ReadFile(catalog);
    const TCliRun kept = Run(update + QStringList{QStringLiteral("--keep-unreadable")}, {}, true);
    SetMode(band, 0755);

    ASSERT_NE(dry.status, 99) << "the capabilities could not be given up";
    EXPECT_EQ(dry.status, 1) << dry.out.toStdString();
    EXPECT_TRUE(dry.out.contains(QStringLiteral("Added: 0  Removed: 0  Changed: 0")))
        << dry.out.toStdString();
    EXPECT_TRUE(dry.out.contains(QStringLiteral("folder %1: Permission denied").arg(band)))
        << dry.out.toStdString();
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("--keep-unreadable")))
        << refused.err.toStdString();
    EXPECT_EQ(afterRefusal, before);
    const QJsonObject unreadable = QJsonDocument::fromJson(json.out.trimmed().toUtf8()).object();
    EXPECT_EQ(unreadable.value(QStringLiteral("change")).toString(), QStringLiteral("unreadable"))
        << json.out.toStdString();
    EXPECT_EQ(unreadable.value(QStringLiteral("path")).toString(), band);

    EXPECT_EQ(kept.status, 0) << kept.err.toStdString();
    const QByteArray saved = ReadFile(catalog);
    EXPECT_TRUE(saved.contains("demo take"));
    EXPECT_TRUE(saved.contains("two.mp3"));
}

TEST_F(CliUpdate, AnUnreadableFileKeepsItsTags) {
    const QString one = music + QStringLiteral("/Band/one.mp3");
    SetMode(one, 0);
    const TCliRun refused = Run({QStringLiteral("update"), QStringLiteral("Disk")}, {}, true);
    const TCliRun kept =
        Run({QStringLiteral("update"), QStringLiteral("Disk"), QStringLiteral("--keep-unreadable")},
            {}, true);
    SetMode(one, 0644);
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.out.contains(QStringLiteral("file %1: Permission denied").arg(one)))
        << refused.out.toStdString();
    EXPECT_TRUE(kept.out.contains(QStringLiteral("Changed: 0"))) << kept.out.toStdString();
    EXPECT_EQ(kept.status, 0);
    EXPECT_TRUE(ReadFile(catalog).contains("MP3_Title=\"One\""));
}

TEST_F(CliUpdate, TimesWrittenUnderOneLocaleAreReadUnderAnother) {
    // Scanned by a job without a locale, updated and searched by a user with one.
    const QDateTime time(QDate(2026, 12, 9), QTime(21, 10, 29));
    for (const char* name : {"/Band/one.mp3", "/Band/two.mp3", "/Band"}) {
        const utimbuf times{time.toSecsSinceEpoch(), time.toSecsSinceEpoch()};
        ASSERT_EQ(::utime(QFile::encodeName(music + QLatin1String(name)).constData(), &times), 0);
    }
    ASSERT_EQ(Run({QStringLiteral("scan"), music, QStringLiteral("--name"), QStringLiteral("Disk"),
                   QStringLiteral("--force")},
                  QStringLiteral("C"))
                  .status,
              0);
    EXPECT_TRUE(ReadFile(catalog).contains("FileTime=\"9 Dec 2026 21:10:29\""));
    const QString american = QStringLiteral("en_US.UTF-8");
    const TCliRun update = Run({QStringLiteral("update"), QStringLiteral("Disk")}, american);
    EXPECT_EQ(update.status, 0) << update.err.toStdString();
    EXPECT_TRUE(update.out.contains(QStringLiteral("Added: 0  Removed: 0  Changed: 0")))
        << update.out.toStdString();
    EXPECT_TRUE(ReadFile(catalog).contains("FileTime=\"9 Dec 2026 21:10:29\""));
    const TCliRun after =
        Run({QStringLiteral("search"), QStringLiteral("--after"), QStringLiteral("2026-12-09")},
            american);
    EXPECT_TRUE(after.out.contains(QStringLiteral("one.mp3"))) << after.out.toStdString();
    const TCliRun before = Run({QStringLiteral("search"), QStringLiteral("--before"),
                                QStringLiteral("2026-12-09"), QStringLiteral("--files-only")},
                               american);
    EXPECT_FALSE(before.out.contains(QStringLiteral("one.mp3"))) << before.out.toStdString();
}

TEST_F(CliUpdate, ControlCharactersInTextsAreEscapedSoEachItemKeepsOneLine) {
    pugi::xml_document document;
    TFileInfo engine;
    engine.Document = &document;
    TCatalogTree tree;
    engine.OpenCatalogTree(catalog, tree);
    ForEachNode(tree, [](TCatalogNode* node) {
        if (node->Item().Field(FileName) == "two.mp3") {
            node->Item().SetField(Description, "first line\nsecond\tpart\x7f");
        }
    });
    engine.SaveCatalogTree(tree, catalog);
    ASSERT_TRUE(QFile::remove(music + QStringLiteral("/Band/two.mp3")));
    const TCliRun dry =
        Run({QStringLiteral("update"), QStringLiteral("Disk"), QStringLiteral("--dry-run")});
    EXPECT_EQ(dry.status, 0);
    EXPECT_TRUE(dry.out.contains(
        music + QStringLiteral("/Band/two.mp3: first line\\nsecond\\tpart\\x7f\n")))
        << dry.out.toStdString();
    EXPECT_FALSE(dry.out.contains(QStringLiteral("\nsecond"))) << dry.out.toStdString();
}
