#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "CliRun.h"
#include "core/tags/TagBuilders.h"
#include "support/TempDir.h"

using namespace melodrix::testing;
using namespace melodrix::tagbytes;

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

// Files whose two tags disagreed when they were scanned are counted and listed, the fields
// named; the disks are not read again for it.
TEST(CliStats, TagsThatDisagreeAreCountedAndListed) {
    QTemporaryDir dir;
    const QString library = dir.filePath(QStringLiteral("lib"));
    const QString folder = dir.filePath(QStringLiteral("disk"));
    const std::string v2 =
        ID3v2Tag(3, Frame23("TIT2", Latin1Body("Night")) + Frame23("TPE1", Latin1Body("Band")) +
                        Frame23("TYER", Latin1Body("1999")));
    WriteFile(folder, QStringLiteral("differ.mp3"),
              QByteArray::fromStdString(v2 + AudioLike(200) +
                                        ID3v1Record("Day", "Band", "", "2000", "", 255)));
    WriteFile(folder, QStringLiteral("agree.mp3"),
              QByteArray::fromStdString(v2 + AudioLike(200) +
                                        ID3v1Record("Night", "Band", "", "1999", "", 255)));
    const auto run = [&](const QStringList& args) {
        return RunCli(QStringList{QStringLiteral("--library"), library} + args);
    };
    ASSERT_EQ(
        run({QStringLiteral("scan"), folder, QStringLiteral("--name"), QStringLiteral("d")}).status,
        0);
    QDir(folder).removeRecursively();

    const TCliRun json = run({QStringLiteral("stats"), QStringLiteral("d"),
                              QStringLiteral("--json"), QStringLiteral("--health")});
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    const auto objects = json.Objects();
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0][QStringLiteral("health")]
                  .toObject()[QStringLiteral("ID3v1 and ID3v2 disagree")]
                  .toInt(),
              1);
    QStringList rows;
    for (const auto& row : objects[0][QStringLiteral("healthRows")].toArray()) {
        rows << row.toObject()[QStringLiteral("problem")].toString() + QLatin1Char('|') +
                    row.toObject()[QStringLiteral("FullPath")].toString().section(QLatin1Char('/'),
                                                                                  -1) +
                    QLatin1Char('|') + row.toObject()[QStringLiteral("detail")].toString();
    }
    EXPECT_EQ(rows, QStringList{QStringLiteral("ID3v1 and ID3v2 disagree|differ.mp3|Title, Year")});

    const TCliRun text =
        run({QStringLiteral("stats"), QStringLiteral("d"), QStringLiteral("--health")});
    EXPECT_TRUE(
        text.out.contains(QRegularExpression(QStringLiteral("ID3v1 and ID3v2 disagree: +1\\n"))))
        << text.out.toStdString();
    EXPECT_TRUE(text.out.contains(QRegularExpression(
        QStringLiteral("ID3v1 and ID3v2 disagree +\\S*differ\\.mp3 +Title, Year"))))
        << text.out.toStdString();
}
