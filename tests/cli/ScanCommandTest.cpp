// What scan tells about the folder it catalogued: --json, and what it could not read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "CliRun.h"
#include "core/tags/TagBuilders.h"
#include "support/FileRights.h"
#include "support/TempDir.h"

using namespace melodrix::tagbytes;
using namespace melodrix::testing;
using melodrix::testing::ReadFile;
using melodrix::testing::WriteFile;

namespace {

class CliScan : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        library = dir.filePath(QStringLiteral("lib"));
        music = dir.filePath(QStringLiteral("music"));
        WriteFile(
            music, QStringLiteral("Band/one.mp3"),
            QByteArray::fromStdString(AudioLike(100) + ID3v1Record("One", "", "", "", "", 1)));
    }

    // Runs the scan without the right to read what permission bits forbid, also as root.
    TCliRun Scan(const QStringList& args) {
        TCliOptions options;
        options.asPermissionBitsSay = true;
        return RunCli(QStringList{QStringLiteral("--library"), library, QStringLiteral("scan"),
                                  music, QStringLiteral("--name"), QStringLiteral("Disk"),
                                  QStringLiteral("--force")} +
                          args,
                      options);
    }

    QTemporaryDir dir;
    QString library, music;
};

}  // namespace

TEST_F(CliScan, JsonIsOneObjectAboutTheCatalog) {
    const TCliRun run = Scan({QStringLiteral("--json")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << run.out.toStdString();
    const QJsonObject object = QJsonDocument::fromJson(lines[0].toUtf8()).object();
    EXPECT_EQ(object.value(QStringLiteral("catalog")).toString(),
              library + QStringLiteral("/Disk.xml"));
    EXPECT_EQ(object.value(QStringLiteral("items")).toInt(), 3);
    EXPECT_TRUE(object.value(QStringLiteral("complete")).toBool());
}

TEST_F(CliScan, FoldersAndFilesThatCannotBeReadAreNamed) {
    const QString locked = music + QStringLiteral("/Locked");
    const QString sealed = WriteFile(music, QStringLiteral("Band/sealed.mp3"), "x");
    WriteFile(music, QStringLiteral("Locked/hidden.mp3"), "x");
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(sealed).constData(), 0), 0);
    const TCliRun text = Scan({});
    const TCliRun json = Scan({QStringLiteral("--json")});
    ::chmod(QFile::encodeName(locked).constData(), 0755);

    ASSERT_NE(text.status, 99) << "the capabilities could not be given up";
    EXPECT_EQ(text.status, 0);
    EXPECT_TRUE(text.err.contains(
        QStringLiteral("Could not list the folder %1: Permission denied").arg(locked)))
        << text.err.toStdString();
    EXPECT_TRUE(text.err.contains(
        QStringLiteral("Could not read the file %1: Permission denied").arg(sealed)))
        << text.err.toStdString();
    EXPECT_EQ(text.out.trimmed(), library + QStringLiteral("/Disk.xml"));

    const QJsonObject object = QJsonDocument::fromJson(json.out.trimmed().toUtf8()).object();
    EXPECT_FALSE(object.value(QStringLiteral("complete")).toBool(true)) << json.out.toStdString();
    const QJsonArray folders = object.value(QStringLiteral("unlistedFolders")).toArray();
    ASSERT_EQ(folders.size(), 1);
    EXPECT_EQ(folders[0].toObject().value(QStringLiteral("path")).toString(), locked);
    EXPECT_EQ(object.value(QStringLiteral("unreadFiles")).toArray().size(), 1);
}

TEST_F(CliScan, AFolderThatCannotBeReadGivesNoCatalog) {
    ASSERT_EQ(::chmod(QFile::encodeName(music).constData(), 0), 0);
    const TCliRun run = Scan({});
    ::chmod(QFile::encodeName(music).constData(), 0755);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(
        run.err.contains(QStringLiteral("Cannot read the folder %1: Permission denied").arg(music)))
        << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(library + QStringLiteral("/Disk.xml")));
}

TEST_F(CliScan, ALinkThatPointsNowhereHasNoSize) {
    ASSERT_TRUE(QFile::link(music + QStringLiteral("/a/target/that/is/gone.mp3"),
                            music + QStringLiteral("/Band/dead.mp3")));
    ASSERT_EQ(Scan({}).status, 0);
    const QByteArray saved = ReadFile(library + QStringLiteral("/Disk.xml"));
    const qsizetype at = saved.indexOf("FileName=\"dead.mp3\"");
    ASSERT_GE(at, 0) << saved.constData();
    const QByteArray item = saved.mid(at, saved.indexOf("/>", at) - at);
    EXPECT_TRUE(item.contains("FileSize=\"0\"")) << item.constData();
}
