// What the paths given to the command-line tool mean: catalogs and scopes in the library or
// beside it, links, FIFOs and devices, and the options every command shares.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "support/TempDir.h"

using melodrix::testing::ReadFile;
using melodrix::testing::WriteFile;

namespace {

struct TRun {
    int status = -1;
    QString out;
    QString err;
};

QByteArray CatalogText(const char* fileName) {
    return QByteArray(
               "<?xml version=\"1.0\" encoding=\"utf-8\"?><fileinfo><file FileName=\"/m\" "
               "FullPath=\"/m\" FileType=\"directory\" FileSize=\"9\"><file FileName=\"") +
           fileName + "\" FullPath=\"/m/" + fileName +
           "\" FileType=\"file\" FileSize=\"9\"/></file></fileinfo>";
}

class CliPaths : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // One level deeper than `here`, so that "../x" names different folders from each.
        library = dir.filePath(QStringLiteral("a/lib"));
        here = dir.filePath(QStringLiteral("here"));
        outside = dir.filePath(QStringLiteral("outside"));
        WriteFile(library, QStringLiteral("S/s.xml"), CatalogText("inlib.mp3"));
        ASSERT_TRUE(QDir().mkpath(here));
        WriteFile(outside, QStringLiteral("o.xml"), CatalogText("outside.mp3"));
    }

    // Runs the tool in `here`. A run that does not end in 30 seconds is killed and fails, so a
    // read that blocks shows as a failure rather than a test that never ends.
    TRun Run(QStringList args, bool withLibrary = true) {
        if (withLibrary) {
            args = QStringList{QStringLiteral("--library"), library} + args;
        }
        QProcess process;
        process.setWorkingDirectory(here);
        process.start(QStringLiteral(MELODRIX_CLI_PATH), args);
        const bool finished = process.waitForFinished(30000);
        EXPECT_TRUE(finished) << "still running: " << args.join(QLatin1Char(' ')).toStdString();
        if (!finished) {
            process.kill();
            process.waitForFinished();
            return {};
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    QTemporaryDir dir;
    QString library;
    QString here;
    QString outside;
};

}  // namespace

TEST_F(CliPaths, ARelativePathNamingTwoFilesIsRefusedAndNeitherChanges) {
    const QString local = WriteFile(here, QStringLiteral("S/s.xml"), CatalogText("local.mp3"));
    const QString inLibrary = library + QStringLiteral("/S/s.xml");
    const QByteArray localBefore = ReadFile(local);
    const QByteArray libraryBefore = ReadFile(inLibrary);
    const QString output = dir.filePath(QStringLiteral("x.csv"));
    const std::vector<QStringList> commands{
        {QStringLiteral("describe"), QStringLiteral("S/s.xml"), QStringLiteral("/m/local.mp3"),
         QStringLiteral("note")},
        {QStringLiteral("describe"), QStringLiteral("S/s.xml"), QStringLiteral("/m/inlib.mp3"),
         QStringLiteral("note")},
        {QStringLiteral("show"), QStringLiteral("S/s.xml")},
        {QStringLiteral("info"), QStringLiteral("S/s.xml")},
        {QStringLiteral("export"), QStringLiteral("S/s.xml"), QStringLiteral("--format"),
         QStringLiteral("csv"), QStringLiteral("-o"), output},
        {QStringLiteral("update"), QStringLiteral("S/s.xml"), QStringLiteral("--dry-run")},
        {QStringLiteral("search"), QStringLiteral("--scope"), QStringLiteral("S"),
         QStringLiteral("--name"), QStringLiteral("mp3")},
        {QStringLiteral("duplicates"), QStringLiteral("--scope"), QStringLiteral("S/s.xml")},
    };
    for (const QStringList& args : commands) {
        const TRun run = Run(args);
        EXPECT_EQ(run.status, 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("ambiguous"))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(here + QStringLiteral("/S"))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(library + QStringLiteral("/S"))) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    }
    EXPECT_EQ(ReadFile(local), localBefore);
    EXPECT_EQ(ReadFile(inLibrary), libraryBefore);
    EXPECT_FALSE(QFileInfo::exists(output));

    // A full path says which one is meant.
    const TRun mine = Run({QStringLiteral("describe"), local, QStringLiteral("/m/local.mp3"),
                           QStringLiteral("mine")});
    EXPECT_EQ(mine.status, 0) << mine.err.toStdString();
    EXPECT_TRUE(ReadFile(local).contains("mine"));
    EXPECT_EQ(ReadFile(inLibrary), libraryBefore);
}

TEST_F(CliPaths, ARelativePathNamingOneThingIsThatThing) {
    // Only in the library, with or without ".xml".
    EXPECT_EQ(Run({QStringLiteral("show"), QStringLiteral("S/s")}).status, 0);
    // Only here.
    WriteFile(here, QStringLiteral("mine.xml"), CatalogText("mine.mp3"));
    const TRun local = Run({QStringLiteral("show"), QStringLiteral("mine.xml")});
    EXPECT_EQ(local.status, 0) << local.err.toStdString();
    EXPECT_TRUE(local.out.contains(QStringLiteral("mine.mp3")));
    // A folder here is no catalog, so the library's catalog of that name is meant.
    ASSERT_TRUE(QDir().mkpath(here + QStringLiteral("/S/s.xml")));
    EXPECT_EQ(Run({QStringLiteral("show"), QStringLiteral("S/s.xml")}).status, 0);
    // From inside the library both readings are the same file.
    QProcess process;
    process.setWorkingDirectory(library);
    process.start(
        QStringLiteral(MELODRIX_CLI_PATH),
        {QStringLiteral("--library"), library, QStringLiteral("show"), QStringLiteral("S/s.xml")});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

TEST_F(CliPaths, AScopeOutsideTheLibraryMustBeAFolderNamedOnItsOwn) {
    // "../outside" from `here` is a folder named by the user, and is searched.
    const TRun named =
        Run({QStringLiteral("search"), QStringLiteral("--scope"), QStringLiteral("../outside"),
             QStringLiteral("--name"), QStringLiteral("mp3")});
    EXPECT_EQ(named.status, 0) << named.err.toStdString();
    EXPECT_TRUE(named.out.contains(QStringLiteral("outside.mp3"))) << named.out.toStdString();
    EXPECT_EQ(Run({QStringLiteral("search"), QStringLiteral("--scope"), outside,
                   QStringLiteral("--name"), QStringLiteral("mp3")})
                  .status,
              0);

    // Reached only through the library, it is refused.
    ASSERT_TRUE(QDir().mkpath(library + QStringLiteral("/deep/er")));
    WriteFile(dir.path(), QStringLiteral("a/lib-side/c.xml"), CatalogText("beside.mp3"));
    for (const QString& climbing : {QStringLiteral("../lib-side"), QStringLiteral("../lib-side/c"),
                                    QStringLiteral("S/../../lib-side")}) {
        const TRun run = Run({QStringLiteral("search"), QStringLiteral("--scope"), climbing,
                              QStringLiteral("--name"), QStringLiteral("mp3")});
        EXPECT_EQ(run.status, 2) << climbing.toStdString() << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("out of the library")))
            << run.err.toStdString();
    }
    const TRun catalog = Run({QStringLiteral("show"), QStringLiteral("../lib-side/c.xml")});
    EXPECT_EQ(catalog.status, 2) << catalog.err.toStdString();

    // Outside the library only a folder is a scope; a catalog there is opened by show.
    const TRun file = Run({QStringLiteral("duplicates"), QStringLiteral("--scope"),
                           outside + QStringLiteral("/o.xml")});
    EXPECT_EQ(file.status, 2) << file.err.toStdString();
    EXPECT_EQ(Run({QStringLiteral("show"), outside + QStringLiteral("/o.xml")}).status, 0);
}

TEST_F(CliPaths, LinksLeaveTheLibraryOnlyForAReport) {
    ASSERT_TRUE(
        QFile::link(outside + QStringLiteral("/o.xml"), library + QStringLiteral("/S/out.xml")));
    ASSERT_TRUE(QFile::link(outside, library + QStringLiteral("/Linked")));
    WriteFile(library, QStringLiteral("T/t.xml"), CatalogText("other.mp3"));
    ASSERT_TRUE(
        QFile::link(library + QStringLiteral("/T/t.xml"), library + QStringLiteral("/S/in.xml")));

    // A link within the library is followed even from another group; the one out is not.
    const TRun search = Run({QStringLiteral("search"), QStringLiteral("--scope"),
                             QStringLiteral("S"), QStringLiteral("--name"), QStringLiteral("mp3")});
    EXPECT_EQ(search.status, 0) << search.err.toStdString();
    EXPECT_TRUE(search.out.contains(QStringLiteral("/m/other.mp3"))) << search.out.toStdString();
    EXPECT_FALSE(search.out.contains(QStringLiteral("outside.mp3"))) << search.out.toStdString();
    EXPECT_TRUE(search.err.contains(library + QStringLiteral("/S/out.xml")))
        << search.err.toStdString();

    for (const QStringList& args :
         {QStringList{QStringLiteral("show"), QStringLiteral("S/out")},
          QStringList{QStringLiteral("info"), QStringLiteral("S/out.xml")},
          QStringList{QStringLiteral("search"), QStringLiteral("--scope"), QStringLiteral("Linked"),
                      QStringLiteral("--name"), QStringLiteral("mp3")}}) {
        const TRun run = Run(args);
        EXPECT_EQ(run.status, 1) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("leads out of the library")))
            << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    }
    EXPECT_EQ(Run({QStringLiteral("show"), QStringLiteral("S/in")}).status, 0);
}

TEST_F(CliPaths, FifosAndDevicesAreSkippedOrRefusedWithoutWaiting) {
    const QByteArray fifo = QFile::encodeName(library + QStringLiteral("/S/pipe.xml"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0644), 0);
    const QByteArray fifoInside = QFile::encodeName(library + QStringLiteral("/pipe-target"));
    ASSERT_EQ(::mkfifo(fifoInside.constData(), 0644), 0);
    ASSERT_TRUE(QFile::link(library + QStringLiteral("/pipe-target"),
                            library + QStringLiteral("/S/linked-pipe.xml")));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), library + QStringLiteral("/S/zero.xml")));
    const QStringList special{QStringLiteral("S/pipe.xml"), QStringLiteral("S/linked-pipe.xml"),
                              QStringLiteral("S/zero.xml")};

    for (const QString& command : {QStringLiteral("search"), QStringLiteral("duplicates")}) {
        QStringList args{command};
        if (command == QStringLiteral("search")) {
            args << QStringLiteral("--name") << QStringLiteral("mp3");
        }
        const TRun run = Run(args);
        EXPECT_EQ(run.status, 0) << command.toStdString() << run.err.toStdString();
        for (const QString& file : special) {
            EXPECT_TRUE(run.err.contains(QStringLiteral("skipped, not a catalog: ") + library +
                                         QLatin1Char('/') + file))
                << command.toStdString() << " " << file.toStdString() << run.err.toStdString();
        }
    }
    EXPECT_TRUE(Run({QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("mp3")})
                    .out.contains(QStringLiteral("/m/inlib.mp3")));

    const QString output = dir.filePath(QStringLiteral("x.csv"));
    for (const QString& file : special) {
        for (const QStringList& args :
             {QStringList{QStringLiteral("show"), file}, QStringList{QStringLiteral("info"), file},
              QStringList{QStringLiteral("export"), file, QStringLiteral("--format"),
                          QStringLiteral("csv"), QStringLiteral("-o"), output},
              QStringList{QStringLiteral("search"), QStringLiteral("--scope"), file,
                          QStringLiteral("--name"), QStringLiteral("a")}}) {
            const TRun run = Run(args);
            EXPECT_EQ(run.status, 1) << args.join(QLatin1Char(' ')).toStdString();
            EXPECT_TRUE(run.err.contains(QStringLiteral("not a regular file")) ||
                        run.err.contains(QStringLiteral("leads out of the library")))
                << run.err.toStdString();
        }
    }
    EXPECT_FALSE(QFileInfo::exists(output));
    // A FIFO named directly from the current directory is refused as well.
    ASSERT_EQ(::mkfifo(QFile::encodeName(here + QStringLiteral("/here.xml")).constData(), 0644), 0);
    const TRun direct = Run({QStringLiteral("show"), QStringLiteral("here.xml")});
    EXPECT_EQ(direct.status, 1);
    EXPECT_TRUE(direct.err.contains(QStringLiteral("not a regular file")))
        << direct.err.toStdString();
}

TEST_F(CliPaths, CommonOptionsAreCheckedBeforeAnyCommand) {
    const QString file = outside + QStringLiteral("/o.xml");
    for (const char* command : {"list", "scan", "show", "search", "duplicates", "tags", "export",
                                "info", "describe", "update"}) {
        const TRun run =
            Run({QStringLiteral("--library"), file, QString::fromUtf8(command)}, false);
        EXPECT_EQ(run.status, 2) << command;
        EXPECT_TRUE(run.err.contains(QStringLiteral("not a folder"))) << run.err.toStdString();
    }
    const TRun bogus = Run({QStringLiteral("--bogus"), QStringLiteral("list")});
    EXPECT_EQ(bogus.status, 2);
    EXPECT_TRUE(bogus.err.contains(QStringLiteral("unknown option --bogus")))
        << bogus.err.toStdString();
    EXPECT_EQ(Run({QStringLiteral("list")}).status, 0);  // a library not made yet is no error
}

TEST_F(CliPaths, ExportPrintsOneJsonObjectWithJson) {
    const QString output = dir.filePath(QStringLiteral("x.csv"));
    const TRun run =
        Run({QStringLiteral("--json"), QStringLiteral("export"), QStringLiteral("S/s"),
             QStringLiteral("--format"), QStringLiteral("csv"), QStringLiteral("-o"), output});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << run.out.toStdString();
    QJsonParseError error{};
    const QJsonObject object = QJsonDocument::fromJson(lines[0].toUtf8(), &error).object();
    EXPECT_EQ(error.error, QJsonParseError::NoError) << lines[0].toStdString();
    EXPECT_EQ(object[QStringLiteral("output")].toString(), output);
    EXPECT_EQ(object[QStringLiteral("catalog")].toString(), library + QStringLiteral("/S/s.xml"));
    EXPECT_EQ(object[QStringLiteral("format")].toString(), QStringLiteral("csv"));
    EXPECT_TRUE(ReadFile(output).contains("inlib.mp3"));
}
