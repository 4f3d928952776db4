// FIFOs, devices and links among the catalogs a search reads: none may block the reader, and
// links are followed only where they are allowed to lead.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <pugixml.hpp>
#include <string>

#include "core/base/Errors.h"
#include "core/catalogfile/CatalogDocument.h"
#include "core/catalogfile/CatalogStream.h"
#include "core/engine/FileInfo.h"
#include "core/search/SearchConditions.h"
#include "support/TempDir.h"

using namespace melodrix;
using melodrix::testing::WriteFile;

namespace {

QByteArray Catalog(const char* fileName) {
    return QByteArray(
               "<?xml version=\"1.0\" encoding=\"utf-8\"?><fileinfo><file FileName=\"/m\" "
               "FullPath=\"/m\" FileType=\"directory\"><file FileName=\"") +
           fileName + "\" FullPath=\"/m/" + fileName +
           "\" FileType=\"file\" FileSize=\"7\"/></file></fileinfo>";
}

// Runs `work` in a child process and returns what it told, or "blocked" when it has not ended
// within ten seconds: a reader that waits on a FIFO fails the test instead of hanging it.
std::string OutcomeWithin(const std::function<std::string()>& work) {
    int channel[2];
    if (::pipe(channel) != 0) {
        return "no pipe";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const std::string told = work();
        const ssize_t written = ::write(channel[1], told.data(), told.size());
        ::_exit(written == static_cast<ssize_t>(told.size()) ? 0 : 1);
    }
    ::close(channel[1]);
    std::string told;
    pollfd wait{channel[0], POLLIN, 0};
    char buffer[4096];
    bool ended = false;
    while (::poll(&wait, 1, 10000) > 0) {
        const ssize_t got = ::read(channel[0], buffer, sizeof buffer);
        if (got <= 0) {
            ended = true;
            break;
        }
        told.append(buffer, static_cast<size_t>(got));
    }
    ::close(channel[0]);
    if (!ended) {
        ::kill(child, SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return ended ? told : "blocked";
}

class SpecialFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        group = dir.filePath(QStringLiteral("lib/Group"));
        WriteFile(group, QStringLiteral("plain.xml"), Catalog("plain.mp3"));
        WriteFile(dir.path(), QStringLiteral("lib/Other/inside.xml"), Catalog("inside.mp3"));
        WriteFile(dir.path(), QStringLiteral("away/outside.xml"), Catalog("outside.mp3"));
        fifo = group + QStringLiteral("/pipe.xml");
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
        ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), group + QStringLiteral("/null.xml")));
        ASSERT_TRUE(QFile::link(fifo, group + QStringLiteral("/to-pipe.xml")));
        ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("lib/Other/inside.xml")),
                                group + QStringLiteral("/to-inside.xml")));
        ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("away/outside.xml")),
                                group + QStringLiteral("/to-outside.xml")));
        ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone.xml")),
                                group + QStringLiteral("/dangling.xml")));
        WriteFile(group, QStringLiteral("empty.xml"), QByteArray());
    }

    // The hits' file names, then the names of the skipped files, each sorted.
    static std::string Described(const TCatalogTree& hits, const QStringList& skipped) {
        QStringList names;
        for (const TCatalogNode* node = hits.GetFirst(); node; node = hits.GetNext(node)) {
            names << QString::fromStdString(std::string(node->Item().Field(FileName)));
        }
        names.sort();
        QStringList skippedNames;
        for (const QString& path : skipped) {
            skippedNames << QFileInfo(path).fileName();
        }
        skippedNames.sort();
        return (names.join(QLatin1Char(' ')) + QStringLiteral(" | ") +
                skippedNames.join(QLatin1Char(' ')))
            .toStdString();
    }

    std::string SearchGroup(const QString& linkRoot) {
        return OutcomeWithin([&] {
            TFileInfo engine;
            TFileItem conditions;
            conditions.SetField(FullPath, group.toStdString());
            conditions.SetField(FileName, "mp3");
            TSearchOptions options;
            options.linkRoot = linkRoot;
            TCatalogTree hits;
            const QStringList skipped =
                engine.Search(TSearchScope::Group, hits, conditions, options);
            return Described(hits, skipped);
        });
    }

    QTemporaryDir dir;
    QString group;
    QString fifo;
};

}  // namespace

TEST_F(SpecialFiles, OpeningAFifoOrADeviceAsACatalogFailsAtOnce) {
    for (const QString& path :
         {fifo, group + QStringLiteral("/to-pipe.xml"), group + QStringLiteral("/null.xml")}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(OutcomeWithin([&] {
                      TCatalogStream stream;
                      return std::string(stream.Load(path) ? "streamed" : "refused");
                  }),
                  "refused");
        EXPECT_EQ(OutcomeWithin([&] {
                      pugi::xml_document document;
                      try {
                          LoadCatalogDocument(path, document);
                      } catch (const TCatalogFileError& error) {
                          return error.Message().contains(QStringLiteral("cannot be read"))
                                     ? std::string("refused")
                                     : error.Message().toStdString();
                      }
                      return std::string("parsed");
                  }),
                  "refused");
    }
}

TEST_F(SpecialFiles, AGroupSearchSkipsWhatIsNoRegularFileAndLinksLeadingOut) {
    // Within the group only; then within the library, which lets the link to Other in.
    EXPECT_EQ(SearchGroup(QString()),
              "plain.mp3 | dangling.xml empty.xml null.xml pipe.xml to-inside.xml to-outside.xml "
              "to-pipe.xml");
    EXPECT_EQ(SearchGroup(dir.filePath(QStringLiteral("lib"))),
              "inside.mp3 plain.mp3 | dangling.xml empty.xml null.xml pipe.xml to-outside.xml "
              "to-pipe.xml");
}
