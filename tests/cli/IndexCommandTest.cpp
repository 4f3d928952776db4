// The index command, and searches through the index while another process changes catalogs.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

#include "CliRun.h"
#include "support/TempDir.h"

using namespace melodrix::testing;

namespace {

QByteArray Catalog(const QByteArray& disk, int songs) {
    QByteArray text =
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?><fileinfo generated=\"t\">"
        "<file FileName=\"/music\" FullPath=\"/music\" FileType=\"directory\" FileSize=\"1\" "
        "DiskName=\"" +
        disk + "\">";
    for (int i = 0; i < songs; ++i) {
        const QByteArray name = "Song " + QByteArray::number(i) + " Björk.mp3";
        text += "<file FileName=\"" + name + "\" FullPath=\"/music/" + name + "\" FileSize=\"" +
                QByteArray::number(1000 + i) + "\" FileExt=\"mp3\" FileType=\"file\"/>";
    }
    return text + "</file></fileinfo>";
}

class IndexCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(library_.isValid() && cache_.isValid());
        environment_.insert(QStringLiteral("XDG_CACHE_HOME"), cache_.path());
        options_.environment = environment_;
        for (int i = 0; i < 4; ++i) {
            WriteFile(library_.path(), QStringLiteral("Group %1/Disk %2.xml").arg(i % 2).arg(i),
                      Catalog("Disk " + QByteArray::number(i), 5 + i));
        }
    }

    TCliRun Cli(QStringList args) {
        args.prepend(library_.path());
        args.prepend(QStringLiteral("--library"));
        return RunCli(args, options_);
    }

    QJsonObject Survey(const QStringList& more = {}) {
        const TCliRun run =
            Cli(QStringList{QStringLiteral("--json"), QStringLiteral("index")} + more);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        const std::vector<QJsonObject> objects = run.Objects();
        return objects.size() == 1 ? objects.front() : QJsonObject();
    }

    QTemporaryDir library_;
    QTemporaryDir cache_;
    QProcessEnvironment environment_ = QProcessEnvironment::systemEnvironment();
    TCliOptions options_;
};

TEST_F(IndexCommand, ShowsMakesRemakesAndDropsCopies) {
    QJsonObject survey = Survey();
    EXPECT_EQ(survey[QStringLiteral("catalogs")].toInt(), 4);
    EXPECT_EQ(survey[QStringLiteral("current")].toInt(), 4);
    EXPECT_EQ(survey[QStringLiteral("made")].toInt(), 4);
    EXPECT_EQ(survey[QStringLiteral("items")].toInt(), 4 + 5 + 6 + 7 + 8);
    EXPECT_GT(survey[QStringLiteral("bytes")].toInt(), 0);
    EXPECT_TRUE(survey[QStringLiteral("folder")].toString().startsWith(cache_.path()));
    EXPECT_EQ(QDir(cache_.path() + QStringLiteral("/melodrix/search-index"))
                  .entryList({QStringLiteral("*.copy")})
                  .size(),
              4);

    EXPECT_EQ(Survey()[QStringLiteral("made")].toInt(), 0);
    EXPECT_EQ(Survey({QStringLiteral("--rebuild")})[QStringLiteral("made")].toInt(), 4);

    // A catalog deleted loses its copy; one that cannot be read is named, not counted.
    ASSERT_TRUE(QFile::remove(library_.path() + QStringLiteral("/Group 0/Disk 2.xml")));
    WriteFile(library_.path(), QStringLiteral("Group 1/notes.xml"), "not a catalog");
    const TCliRun run = Cli({QStringLiteral("--json"), QStringLiteral("index")});
    ASSERT_EQ(run.status, 0);
    survey = run.Objects().front();
    EXPECT_EQ(survey[QStringLiteral("catalogs")].toInt(), 4);
    EXPECT_EQ(survey[QStringLiteral("current")].toInt(), 3);
    EXPECT_EQ(survey[QStringLiteral("removed")].toInt(), 1);
    EXPECT_EQ(survey[QStringLiteral("unreadable")].toArray().size(), 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("notes.xml")));

    // The text form says the same.
    const TCliRun text = Cli({QStringLiteral("index")});
    EXPECT_TRUE(text.out.contains(QStringLiteral("Catalogs:     4 (3 current, 0 made now)")))
        << text.out.toStdString();
}

TEST_F(IndexCommand, SearchesSeeEveryChangeAnotherProcessMakes) {
    const QString catalog = library_.path() + QStringLiteral("/Group 1/Disk 3.xml");
    ASSERT_EQ(Survey()[QStringLiteral("made")].toInt(), 4);
    for (int round = 0; round < 6; ++round) {
        const QString text = QStringLiteral("mark %1 ünï").arg(round);
        const QString item = QStringLiteral("/music/Song %1 Björk.mp3").arg(round);
        const TCliRun described = Cli({QStringLiteral("describe"), catalog, item, text});
        ASSERT_EQ(described.status, 0) << described.err.toStdString();
        for (const QString& query : {QStringLiteral("MARK %1 ÜNÏ").arg(round), text}) {
            const TCliRun indexed = Cli({QStringLiteral("--json"), QStringLiteral("search"),
                                         QStringLiteral("--description"), query});
            const TCliRun read =
                Cli({QStringLiteral("--json"), QStringLiteral("search"),
                     QStringLiteral("--description"), query, QStringLiteral("--no-index")});
            ASSERT_EQ(indexed.status, 0);
            EXPECT_EQ(indexed.out, read.out);
            ASSERT_EQ(indexed.Objects().size(), 1u) << indexed.out.toStdString();
            EXPECT_EQ(indexed.Objects().front()[QStringLiteral("FullPath")].toString(), item);
        }
        // A name search over the whole library, narrowed by the index, finds the songs of
        // every catalog, the one changed included.
        const TCliRun names =
            Cli({QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("BJÖRK.MP3")});
        const TCliRun namesRead = Cli({QStringLiteral("search"), QStringLiteral("--name"),
                                       QStringLiteral("BJÖRK.MP3"), QStringLiteral("--no-index")});
        EXPECT_EQ(names.out, namesRead.out);
        EXPECT_EQ(names.out.count(QStringLiteral("Björk.mp3")), 5 + 6 + 7 + 8);
    }
    // The search remade the copy of the catalog that changed, and only that one.
    EXPECT_EQ(Survey()[QStringLiteral("made")].toInt(), 0);
}

}  // namespace
