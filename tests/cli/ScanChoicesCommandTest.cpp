// scan --archives, --exclude and --no-default-excludes, as update and info see their catalog.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include "CliRun.h"
#include "core/tags/TagBuilders.h"
#include "support/TempDir.h"

using namespace melodrix::tagbytes;
using namespace melodrix::testing;

namespace {

class CliScanChoices : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        library = dir.filePath(QStringLiteral("lib"));
        music = dir.filePath(QStringLiteral("music"));
        const QByteArray song =
            QByteArray::fromStdString(AudioLike(100) + ID3v1Record("One", "", "", "", "", 1));
        WriteFile(music, QStringLiteral("Band/one.mp3"), song);
        WriteFile(music, QStringLiteral("Band/one.part.mp3"), song);
        WriteFile(music, QStringLiteral("@eaDir/thumb.mp3"), song);
        WriteFile(music, QStringLiteral("broken.zip"), "not a zip");
    }
    TCliRun Cli(QStringList args) {
        return RunCli(QStringList{QStringLiteral("--library"), library} + args);
    }
    QStringList Names(const QString& catalog) {
        QStringList names;
        for (const QString& line :
             Cli({QStringLiteral("show"), catalog}).out.split(QLatin1Char('\n'))) {
            if (line.trimmed().startsWith(QLatin1Char('/')) || !line.startsWith(QLatin1Char(' '))) {
                continue;
            }
            if (!line.contains(QLatin1Char(':'))) {
                names << line.trimmed();
            }
        }
        return names;
    }

    QTemporaryDir dir;
    QString library, music;
};

TEST_F(CliScanChoices, ExcludesAddUpAndTheDefaultsCanBeDropped) {
    TCliRun run =
        Cli({QStringLiteral("scan"), music, QStringLiteral("--name"), QStringLiteral("a")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(Names(QStringLiteral("a")),
              (QStringList{QStringLiteral("Band"), QStringLiteral("one.mp3"),
                           QStringLiteral("one.part.mp3")}));
    run = Cli({QStringLiteral("scan"), music, QStringLiteral("--name"), QStringLiteral("b"),
               QStringLiteral("--exclude"), QStringLiteral("*.PART.*"), QStringLiteral("--exclude"),
               QStringLiteral("nothing"), QStringLiteral("--no-default-excludes")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList names = Names(QStringLiteral("b"));
    EXPECT_TRUE(names.contains(QStringLiteral("@eaDir")));
    EXPECT_FALSE(names.contains(QStringLiteral("one.part.mp3")));
    // A pattern that is a path is a usage error, and no catalog is written.
    run = Cli({QStringLiteral("scan"), music, QStringLiteral("--name"), QStringLiteral("c"),
               QStringLiteral("--exclude"), QStringLiteral("Band/one.mp3")});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("path separator")));
    EXPECT_FALSE(QFileInfo::exists(library + QStringLiteral("/c.xml")));
}

TEST_F(CliScanChoices, ABrokenArchiveIsNamedAndStaysAPlainFileAlsoOnUpdate) {
    TCliRun run = RunCli({QStringLiteral("--library"), library, QStringLiteral("--json"),
                          QStringLiteral("scan"), music, QStringLiteral("--archives")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonArray plain = run.Objects().at(0).value(QStringLiteral("plainArchives")).toArray();
    ASSERT_EQ(plain.size(), 1);
    EXPECT_TRUE(plain[0]
                    .toObject()
                    .value(QStringLiteral("path"))
                    .toString()
                    .endsWith(QStringLiteral("/broken.zip")));
    EXPECT_TRUE(run.err.contains(QStringLiteral("Could not look inside the archive")));
    EXPECT_TRUE(Names(QStringLiteral("music")).contains(QStringLiteral("broken.zip")));
    // The update looks inside archives again, as the catalog says, and says so again.
    run = Cli({QStringLiteral("update"), QStringLiteral("music")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("broken.zip")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("Added: 0  Removed: 0  Changed: 0")));
    // A catalog of a folder records no disk, so info shows none.
    run = Cli({QStringLiteral("info"), QStringLiteral("music")});
    EXPECT_FALSE(run.out.contains(QStringLiteral("Disk space:")));
}

}  // namespace
