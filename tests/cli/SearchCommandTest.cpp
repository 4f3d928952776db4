#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "CliRun.h"
#include "support/TempDir.h"

using melodrix::testing::WriteFile;

using namespace melodrix::testing;

namespace {

// The FileName of each JSON line, in order (with "Group:" before it when there is one).
std::vector<std::string> NamesOf(const TCliRun& run) {
    std::vector<std::string> names;
    for (const QString& line : run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        EXPECT_EQ(object.size() >= 17, true) << line.toStdString();
        const QString name = object[QStringLiteral("FileName")].toString();
        names.push_back((object.contains(QStringLiteral("Group"))
                             ? QString::number(object[QStringLiteral("Group")].toInt()) +
                                   QLatin1Char(':') + name
                             : name)
                            .toStdString());
    }
    return names;
}

class CliSearch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        library = dir.filePath(QStringLiteral("lib"));
        const QByteArray head =
            "<?xml version=\"1.0\" encoding=\"utf-8\"?><fileinfo><file FileName=\"/m\" "
            "FileType=\"directory\" FileSize=\"99\">";
        WriteFile(library, QStringLiteral("Rock/Disk.xml"),
                  head +
                      "<file FileName=\"a.mp3\" FileType=\"file\" FileSize=\"5242880\" "
                      "MP3_Artist=\"The Band\" MP3_Title=\"Night\" MP3_Year=\"1994\" "
                      "FileTime=\"3/4/2021 10:00:00 AM\"/>"
                      "<file FileName=\"b.mp3\" FileType=\"file\" FileSize=\"100\" "
                      "MP3_Artist=\"Solo\" MP3_Title=\"Nights\" MP3_Year=\"2005\" "
                      "FileTime=\"1/2/2019\"/>"
                      "</file></fileinfo>");
        WriteFile(library, QStringLiteral("Jazz/Other.xml"),
                  head +
                      "<file FileName=\"a.mp3\" FileType=\"file\" FileSize=\"5242880\" "
                      "MP3_Artist=\"the band \" MP3_Title=\"NIGHT\"/></file></fileinfo>");
    }

    TCliRun Run(const QStringList& args) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
        environment.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
        // The stored times are local; offsets in the conditions are read against UTC here.
        environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
        TCliOptions options;
        options.environment = environment;
        return RunCli(QStringList{QStringLiteral("--library"), library} + args +
                          QStringList{QStringLiteral("--json")},
                      options);
    }

    std::vector<std::string> Names(const QStringList& args) {
        const TCliRun run = Run(QStringList{QStringLiteral("search"), QStringLiteral("--scope"),
                                            QStringLiteral("Rock")} +
                                args);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        return NamesOf(run);
    }

    QTemporaryDir dir;
    QString library;
};

}  // namespace

TEST_F(CliSearch, TagModesRangesAndKinds) {
    using L = std::vector<std::string>;
    EXPECT_EQ(Names({QStringLiteral("--artist"), QStringLiteral("band")}), L{"a.mp3"});
    EXPECT_EQ(Names({QStringLiteral("--title"), QStringLiteral("night"), QStringLiteral("--mode"),
                     QStringLiteral("whole")}),
              L{"a.mp3"});
    EXPECT_EQ(Names({QStringLiteral("--title"), QStringLiteral("N*s"), QStringLiteral("--mode"),
                     QStringLiteral("glob")}),
              L{"b.mp3"});
    EXPECT_EQ(Names({QStringLiteral("--title"), QStringLiteral("^night$"), QStringLiteral("--mode"),
                     QStringLiteral("regex")}),
              L{"a.mp3"});
    EXPECT_EQ(Names({QStringLiteral("--min-size"), QStringLiteral("1K")}), (L{"a.mp3"}));
    EXPECT_EQ(Names({QStringLiteral("--min-size"), QStringLiteral("99")}),
              (L{"/m", "a.mp3", "b.mp3"}));
    EXPECT_EQ(
        Names({QStringLiteral("--max-size"), QStringLiteral("5M"), QStringLiteral("--min-size"),
               QStringLiteral("5M"), QStringLiteral("--files-only")}),
        L{"a.mp3"});
    EXPECT_EQ(Names({QStringLiteral("--year-range"), QStringLiteral("1990-1999")}), L{"a.mp3"});
    EXPECT_EQ(Names({QStringLiteral("--folders-only")}), L{"/m"});
    EXPECT_EQ(Names({QStringLiteral("--after"), QStringLiteral("2020-01-01")}), L{"a.mp3"});
    EXPECT_EQ(Names({QStringLiteral("--before"), QStringLiteral("2019-01-02")}), L{});
    EXPECT_EQ(Names({QStringLiteral("--before"), QStringLiteral("2019-01-02T00:00:01")}),
              L{"b.mp3"});
    EXPECT_EQ(Names({QStringLiteral("--disk"), QStringLiteral("disk"), QStringLiteral("--name"),
                     QStringLiteral("b")}),
              L{"b.mp3"});
}

TEST_F(CliSearch, TimesWithAnOffsetAreTakenToLocalTime) {
    using L = std::vector<std::string>;
    // a.mp3 was modified at 10:00 local (UTC here) on 2021-03-04.
    EXPECT_EQ(Names({QStringLiteral("--after"), QStringLiteral("2021-03-04T11:00+02:00")}),
              L{"a.mp3"});
    EXPECT_EQ(Names({QStringLiteral("--after"), QStringLiteral("2021-03-04T10:00:00.001Z")}), L{});
    EXPECT_EQ(Names({QStringLiteral("--after"), QStringLiteral("2021-03-04T10:00Z")}), L{"a.mp3"});
    EXPECT_EQ(Names({QStringLiteral("--before"), QStringLiteral("2021-03-04T09:30-0100"),
                     QStringLiteral("--after"), QStringLiteral("2021-01-01")}),
              L{"a.mp3"});
    EXPECT_EQ(Names({QStringLiteral("--before"), QStringLiteral("2021-03-04T09:30"),
                     QStringLiteral("--after"), QStringLiteral("2021-01-01")}),
              L{});
}

TEST_F(CliSearch, BadConditionsAreRefusedWithTheirError) {
    const TCliRun regex =
        Run({QStringLiteral("search"), QStringLiteral("--title"), QStringLiteral("(a"),
             QStringLiteral("--mode"), QStringLiteral("regex")});
    EXPECT_EQ(regex.status, 2);  // a usage error, like every other bad condition
    EXPECT_TRUE(regex.err.contains(QStringLiteral("missing )"))) << regex.err.toStdString();
    EXPECT_TRUE(regex.out.isEmpty());
    for (const QStringList& args :
         {QStringList{QStringLiteral("--min-size"), QStringLiteral("lots")},
          QStringList{QStringLiteral("--year-range"), QStringLiteral("1999-1990")},
          QStringList{QStringLiteral("--after"), QStringLiteral("31/01/2024")},
          QStringList{QStringLiteral("--after"), QStringLiteral("2026-12-09T99:99")},
          QStringList{QStringLiteral("--after"), QStringLiteral("2026-12-09xyz")},
          QStringList{QStringLiteral("--before"), QStringLiteral("2026-02-30")},
          QStringList{QStringLiteral("--before"), QStringLiteral("2026-12-09T10:00+25:00")},
          QStringList{QStringLiteral("--before"), QStringLiteral("2026-12-09T10")},
          QStringList{QStringLiteral("--mode"), QStringLiteral("fuzzy"), QStringLiteral("--name"),
                      QStringLiteral("a")},
          QStringList{QStringLiteral("--files-only"), QStringLiteral("--folders-only")},
          QStringList{QStringLiteral("--title"), QStringLiteral("  ")}}) {
        EXPECT_EQ(Run(QStringList{QStringLiteral("search")} + args).status, 2)
            << args.join(QLatin1Char(' ')).toStdString();
    }
}

TEST_F(CliSearch, DuplicatesByEachKey) {
    const TCliRun byName = Run({QStringLiteral("duplicates")});
    EXPECT_EQ(byName.status, 0);
    EXPECT_EQ(NamesOf(byName), (std::vector<std::string>{"1:a.mp3", "1:a.mp3"}));
    EXPECT_TRUE(byName.err.contains(QStringLiteral("1 groups, 2 files, 5242880 bytes")))
        << byName.err.toStdString();
    EXPECT_EQ(NamesOf(Run({QStringLiteral("duplicates"), QStringLiteral("--by"),
                           QStringLiteral("artist-title")}))
                  .size(),
              2);
    EXPECT_TRUE(NamesOf(Run({QStringLiteral("duplicates"), QStringLiteral("--by"),
                             QStringLiteral("artist-album-title"), QStringLiteral("--scope"),
                             QStringLiteral("Rock")}))
                    .empty());
    EXPECT_EQ(Run({QStringLiteral("duplicates"), QStringLiteral("--by"), QStringLiteral("colour")})
                  .status,
              2);
}
