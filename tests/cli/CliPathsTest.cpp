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

#include "CliRun.h"
#include "support/TempDir.h"

using namespace melodrix::testing;

namespace {

QByteArray CatalogText(const char* fileName) {
    return QByteArray(
               "<?xml version=\"1.0\"?><fileinfo><file FileName=\"/m\" FullPath=\"/m\" "
               "FileType=\"directory\"><file FileName=\"") +
           fileName + "\" FullPath=\"/m/" + fileName + "\" FileType=\"file\"/></file></fileinfo>";
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
        WriteFile(outside, QStringLiteral("o.xml"), CatalogText("outside.mp3"));
        ASSERT_TRUE(QDir().mkpath(here));
    }

    // Runs the tool in `here`; a run blocked on a FIFO fails within 30 seconds.
    TCliRun Run(const QStringList& args) {
        TCliOptions options;
        options.workingDirectory = here;
        options.timeoutMs = 30000;
        return RunCli(QStringList{QStringLiteral("--library"), library} + args, options);
    }

    // Runs and expects the status and a text in the error.
    void Expect(const QStringList& args, int status, const QString& error) {
        const TCliRun run = Run(args);
        EXPECT_EQ(run.status, status) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(run.err.contains(error)) << run.err.toStdString();
        EXPECT_TRUE(status == 0 || run.out.isEmpty()) << run.out.toStdString();
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
    const QByteArray before = ReadFile(inLibrary);
    const QString both =
        here + QStringLiteral("/S/s.xml in the current directory and ") + inLibrary;
    for (const char* item : {"/m/local.mp3", "/m/inlib.mp3"}) {
        Expect({QStringLiteral("describe"), QStringLiteral("S/s.xml"), QString::fromUtf8(item),
                QStringLiteral("note")},
               2, QStringLiteral("ambiguous: it names both"));
    }
    Expect({QStringLiteral("show"), QStringLiteral("S/s.xml")}, 2, both);
    Expect({QStringLiteral("search"), QStringLiteral("--scope"), QStringLiteral("S"),
            QStringLiteral("--name"), QStringLiteral("mp3")},
           2, QStringLiteral("ambiguous"));
    EXPECT_EQ(ReadFile(local), CatalogText("local.mp3"));
    EXPECT_EQ(ReadFile(inLibrary), before);

    // The same file reached both ways is no ambiguity; a folder here is no catalog.
    QDir(here).removeRecursively();
    ASSERT_TRUE(QFile::link(library, here));
    Expect({QStringLiteral("show"), QStringLiteral("S/s.xml")}, 0, QString());
    QFile::remove(here);
    ASSERT_TRUE(QDir().mkpath(here + QStringLiteral("/S/s.xml")));
    Expect({QStringLiteral("show"), QStringLiteral("S/s.xml")}, 0, QString());
}

TEST_F(CliPaths, AScopeOutsideTheLibraryMustBeAFolderNamedOnItsOwn) {
    // From `here`, "../outside" is a folder the user named.
    const TCliRun named =
        Run({QStringLiteral("search"), QStringLiteral("--scope"), QStringLiteral("../outside"),
             QStringLiteral("--name"), QStringLiteral("mp3")});
    EXPECT_EQ(named.status, 0) << named.err.toStdString();
    EXPECT_TRUE(named.out.contains(QStringLiteral("outside.mp3"))) << named.out.toStdString();
    // Reached only through the library, "../lib-side" is refused.
    WriteFile(dir.path(), QStringLiteral("a/lib-side/c.xml"), CatalogText("beside.mp3"));
    for (const QString& climbing :
         {QStringLiteral("../lib-side"), QStringLiteral("S/../../lib-side/c")}) {
        Expect({QStringLiteral("search"), QStringLiteral("--scope"), climbing,
                QStringLiteral("--name"), QStringLiteral("mp3")},
               2, QStringLiteral("leads out of the library"));
    }
    Expect({QStringLiteral("show"), QStringLiteral("../lib-side/c.xml")}, 2,
           QStringLiteral("leads out of the library"));
    // Outside the library only a folder is a scope; show opens a catalog there.
    Expect({QStringLiteral("duplicates"), QStringLiteral("--scope"),
            outside + QStringLiteral("/o.xml")},
           2, QStringLiteral("only a folder"));
    Expect({QStringLiteral("show"), outside + QStringLiteral("/o.xml")}, 0, QString());
}

TEST_F(CliPaths, LinksFifosAndDevicesAreSkippedOrRefusedWithoutWaiting) {
    const QString group = library + QStringLiteral("/S/");
    ASSERT_TRUE(QFile::link(outside + QStringLiteral("/o.xml"), group + QStringLiteral("out.xml")));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), group + QStringLiteral("zero.xml")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(group + QStringLiteral("pipe.xml")).constData(), 0644), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(library + QStringLiteral("/p")).constData(), 0644), 0);
    ASSERT_TRUE(QFile::link(library + QStringLiteral("/p"), group + QStringLiteral("to-pipe.xml")));
    WriteFile(library, QStringLiteral("T/t.xml"), CatalogText("other.mp3"));
    ASSERT_TRUE(
        QFile::link(library + QStringLiteral("/T/t.xml"), group + QStringLiteral("in.xml")));
    const QStringList special{QStringLiteral("out.xml"), QStringLiteral("zero.xml"),
                              QStringLiteral("pipe.xml"), QStringLiteral("to-pipe.xml")};

    for (const QStringList& args :
         {QStringList{QStringLiteral("search"), QStringLiteral("--scope"), QStringLiteral("S"),
                      QStringLiteral("--name"), QStringLiteral("mp3")},
          QStringList{QStringLiteral("duplicates"), QStringLiteral("--scope"),
                      QStringLiteral("S")}}) {
        const TCliRun run = Run(args);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        for (const QString& file : special) {
            EXPECT_TRUE(run.err.contains(QStringLiteral("skipped, not a catalog: ") + group + file))
                << file.toStdString() << run.err.toStdString();
        }
        if (args.first() == QStringLiteral("search")) {
            // A link within the library is followed, even into another group.
            EXPECT_TRUE(run.out.contains(QStringLiteral("/m/other.mp3"))) << run.out.toStdString();
            EXPECT_FALSE(run.out.contains(QStringLiteral("outside.mp3")));
        }
    }
    for (const QString& file : special) {
        const QString path = QStringLiteral("S/") + file;
        const QString why =
            file == QStringLiteral("pipe.xml") || file == QStringLiteral("to-pipe.xml")
                ? QStringLiteral("not a regular file")
                : QStringLiteral("leads out of the library");
        Expect({QStringLiteral("show"), path}, 1, why);
        Expect({QStringLiteral("info"), path}, 1, why);
        Expect({QStringLiteral("export"), path, QStringLiteral("--format"), QStringLiteral("csv"),
                QStringLiteral("-o"), dir.filePath(QStringLiteral("x.csv"))},
               1, why);
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("x.csv"))));
}

TEST_F(CliPaths, CommonOptionsAndExportJson) {
    for (const char* command : {"list", "tags", "show", "search", "describe", "update"}) {
        Expect({QStringLiteral("--library"), outside + QStringLiteral("/o.xml"),
                QString::fromUtf8(command)},
               2, QStringLiteral("is not a folder"));
    }
    Expect({QStringLiteral("--bogus"), QStringLiteral("list")}, 2,
           QStringLiteral("unknown option --bogus"));

    const QString output = dir.filePath(QStringLiteral("x.csv"));
    const TCliRun run =
        Run({QStringLiteral("--json"), QStringLiteral("export"), QStringLiteral("S/s"),
             QStringLiteral("--format"), QStringLiteral("csv"), QStringLiteral("-o"), output});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    QJsonParseError error{};
    const QJsonObject object = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
    EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out.toStdString();
    EXPECT_EQ(run.out.count(QLatin1Char('\n')), 1);
    EXPECT_EQ(object[QStringLiteral("output")].toString(), output);
    EXPECT_EQ(object[QStringLiteral("catalog")].toString(), library + QStringLiteral("/S/s.xml"));
}
