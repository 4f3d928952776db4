#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include "CliRun.h"
#include "support/TempDir.h"

using namespace melodrix::testing;

// The figures of the library, a group and one catalog, from catalogs scanned of real files.
TEST(CliStats, TheLibraryAGroupAndACatalog) {
    QTemporaryDir dir;
    const QString library = dir.filePath(QStringLiteral("lib"));
    const QString data = QStringLiteral(MELODRIX_TEST_DATA_DIR "/music/");
    const QString one = dir.filePath(QStringLiteral("one")),
                  two = dir.filePath(QStringLiteral("two"));
    QDir().mkpath(one);
    QDir().mkpath(two);
    ASSERT_TRUE(
        QFile::copy(data + QStringLiteral("tagged-vbr.mp3"), one + QStringLiteral("/a.mp3")));
    ASSERT_TRUE(
        QFile::copy(data + QStringLiteral("picture-first.flac"), one + QStringLiteral("/b.flac")));
    ASSERT_TRUE(QFile::copy(data + QStringLiteral("tagged.ogg"), two + QStringLiteral("/c.ogg")));
    WriteFile(two, QStringLiteral("cover.jpg"), "not really a picture");
    const auto run = [&](const QStringList& args) {
        return RunCli(QStringList{QStringLiteral("--library"), library} + args);
    };
    ASSERT_EQ(run({QStringLiteral("scan"), one, QStringLiteral("--name"), QStringLiteral("one"),
                   QStringLiteral("--group"), QStringLiteral("Mp3"), QStringLiteral("--music"),
                   QStringLiteral("all")})
                  .status,
              0);
    ASSERT_EQ(
        run({QStringLiteral("scan"), two, QStringLiteral("--name"), QStringLiteral("two")}).status,
        0);

    const auto figures = [&](const QStringList& args) {
        const TCliRun stats =
            run(QStringList{QStringLiteral("stats"), QStringLiteral("--json")} + args);
        EXPECT_EQ(stats.status, 0) << stats.err.toStdString();
        const auto objects = stats.Objects();
        return objects.size() == 1 ? objects[0] : QJsonObject();
    };
    // "two" was scanned for MP3 files only: its Ogg file and picture are not in it.
    const QJsonObject all = figures({});
    EXPECT_EQ(all[QStringLiteral("musicFiles")].toInt(), 2);
    EXPECT_EQ(all[QStringLiteral("playingTimeMs")].toInt(), 500);
    EXPECT_EQ(all[QStringLiteral("catalogs")].toArray().size(), 2);
    const QJsonArray codecs = all[QStringLiteral("codecs")].toArray();
    ASSERT_EQ(codecs.size(), 2);
    EXPECT_EQ(all[QStringLiteral("bitrates")].toArray().last().toObject()[QStringLiteral("name")],
              QStringLiteral("lossless"));
    EXPECT_TRUE(
        all[QStringLiteral("health")].toObject().contains(QStringLiteral("no title or artist")));

    const QJsonObject group = figures({QStringLiteral("--scope"), QStringLiteral("Mp3")});
    EXPECT_EQ(group[QStringLiteral("catalogs")].toArray().size(), 1);
    const QJsonObject catalog = figures({QStringLiteral("Mp3/one"), QStringLiteral("--health")});
    EXPECT_EQ(catalog[QStringLiteral("files")].toInt(), 2);
    EXPECT_TRUE(catalog[QStringLiteral("healthRows")].isArray());

    const TCliRun text = run({QStringLiteral("stats")});
    EXPECT_TRUE(text.out.contains(QStringLiteral("Music by codec:"))) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains(QStringLiteral("Tag health:")));
    EXPECT_EQ(run({QStringLiteral("stats"), QStringLiteral("Mp3/one"), QStringLiteral("--scope"),
                   QStringLiteral("Mp3")})
                  .status,
              2);
}
