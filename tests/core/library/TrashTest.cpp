#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <atomic>
#include <optional>
#include <thread>

#include "core/catalogfile/CatalogLock.h"
#include "core/library/LibraryOperations.h"
#include "core/library/Trash.h"
#include "support/RawNames.h"
#include "support/TempDir.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

// A library and a home trash on the same file system, both in one temporary folder.
class Trash : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        library = dir.filePath(QStringLiteral("CatalogLibrary"));
        home = QFile::encodeName(dir.filePath(QStringLiteral("data/Trash")));
        WriteFile(library, QStringLiteral("Rock/mix.xml"), "<fileinfo>rock</fileinfo>");
        WriteFile(library, QStringLiteral("Rock/Old/a.xml"), "<fileinfo/>");
        WriteFile(library, QStringLiteral("Jazz/mix.xml"), "<fileinfo>jazz</fileinfo>");
        WriteFile(dir.path(), QStringLiteral("outside.xml"), "keep");
    }
    QString Path(const QString& relative) const { return library + QLatin1Char('/') + relative; }
    QString InTrash(const QString& relative) const {
        return QFile::decodeName(home) + QLatin1Char('/') + relative;
    }
    // The Path and DeletionDate lines of an info file.
    static std::pair<QString, QString> InfoOf(const QString& path) {
        const QStringList lines = QString::fromUtf8(ReadFile(path)).split(QLatin1Char('\n'));
        EXPECT_EQ(lines.value(0), QStringLiteral("[Trash Info]"));
        return {lines.value(1), lines.value(2)};
    }

    QTemporaryDir dir;
    QString library;
    QByteArray home;
};

}  // namespace

TEST_F(Trash, CatalogsAndGroupsGoWholeWithInfoFilesThatNameTheirPlace) {
    const TLibraryResult catalog =
        TrashLibraryEntry(library, Path(QStringLiteral("Jazz/mix.xml")), SilentProgress(), home);
    ASSERT_TRUE(catalog.ok) << catalog.error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("Jazz/mix.xml"))));
    EXPECT_EQ(ReadFile(InTrash(QStringLiteral("files/mix.xml"))), "<fileinfo>jazz</fileinfo>");
    const auto [place, date] = InfoOf(InTrash(QStringLiteral("info/mix.xml.trashinfo")));
    EXPECT_EQ(place, QStringLiteral("Path=") + Path(QStringLiteral("Jazz/mix.xml")));
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral("^DeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$"))
                    .match(date)
                    .hasMatch())
        << date.toStdString();

    // A second entry of the same name takes the next free name; a group goes with all in it.
    ASSERT_TRUE(
        TrashLibraryEntry(library, Path(QStringLiteral("Rock/mix.xml")), SilentProgress(), home)
            .ok);
    EXPECT_EQ(ReadFile(InTrash(QStringLiteral("files/mix.xml.2"))), "<fileinfo>rock</fileinfo>");
    EXPECT_EQ(InfoOf(InTrash(QStringLiteral("info/mix.xml.2.trashinfo"))).first,
              QStringLiteral("Path=") + Path(QStringLiteral("Rock/mix.xml")));
    ASSERT_TRUE(
        TrashLibraryEntry(library, Path(QStringLiteral("Rock")), SilentProgress(), home).ok);
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("Rock"))));
    EXPECT_TRUE(QFileInfo(InTrash(QStringLiteral("files/Rock/Old/a.xml"))).isFile());
    // No temporary info file is left behind.
    EXPECT_EQ(QDir(InTrash(QStringLiteral("info"))).entryList(QDir::Files | QDir::Hidden).size(),
              3);
}

TEST_F(Trash, RefusalsAndFailuresLeaveEverythingInPlace) {
    EXPECT_FALSE(TrashLibraryEntry(library, library, SilentProgress(), home).ok);
    EXPECT_FALSE(TrashLibraryEntry(library, dir.filePath(QStringLiteral("outside.xml")),
                                   SilentProgress(), home)
                     .ok);
    EXPECT_FALSE(
        TrashLibraryEntry(library, Path(QStringLiteral("../outside.xml")), SilentProgress(), home)
            .ok);
    const TLibraryResult missing =
        TrashLibraryEntry(library, Path(QStringLiteral("Jazz/none.xml")), SilentProgress(), home);
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(missing.error.contains(QStringLiteral("none.xml")));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("outside.xml"))));

    // A trash that cannot be made (its place is a file) moves nothing.
    const QByteArray blocked = QFile::encodeName(dir.filePath(QStringLiteral("blocked")));
    WriteFile(dir.path(), QStringLiteral("blocked"), "a file");
    const TLibraryResult noTrash =
        TrashLibraryEntry(library, Path(QStringLiteral("Jazz/mix.xml")), SilentProgress(), blocked);
    EXPECT_FALSE(noTrash.ok);
    EXPECT_TRUE(noTrash.error.startsWith(QStringLiteral("Cannot move ")))
        << noTrash.error.toStdString();
    EXPECT_EQ(ReadFile(Path(QStringLiteral("Jazz/mix.xml"))), "<fileinfo>jazz</fileinfo>");
}

TEST_F(Trash, ACatalogGoesOnlyOnceItsWriterIsDone) {
    const QString catalog = Path(QStringLiteral("Rock/mix.xml"));
    std::optional<TCatalogLock> writer(std::in_place, catalog, SilentProgress());
    std::atomic<bool> done = false;
    TLibraryResult result;
    std::thread librarian([&] {
        result = TrashLibraryEntry(library, catalog, SilentProgress(), home);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_FALSE(done);
    EXPECT_TRUE(QFileInfo::exists(catalog));
    writer.reset();
    librarian.join();
    EXPECT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(catalog));
    EXPECT_TRUE(QFileInfo::exists(InTrash(QStringLiteral("files/mix.xml"))));
}

TEST_F(Trash, NamesThatAreNotUtf8KeepTheirBytes) {
    ASSERT_TRUE(WriteRawFile(RawPath(library, "Jazz/\xE9t\xE9.xml"), "<fileinfo/>"));
    const TTrashOutcome outcome = MoveToTrash(RawPath(library, "Jazz/\xE9t\xE9.xml"), home);
    ASSERT_TRUE(outcome) << outcome.error.toStdString();
    EXPECT_FALSE(RawExists(RawPath(library, "Jazz/\xE9t\xE9.xml")));
    EXPECT_EQ(outcome.trashedPath, home + "/files/\xE9t\xE9.xml");
    EXPECT_EQ(outcome.infoPath, home + "/info/\xE9t\xE9.xml.trashinfo");
    EXPECT_TRUE(RawExists(outcome.trashedPath));
    EXPECT_TRUE(RawExists(outcome.infoPath));
    // The info file holds the bytes, percent-encoded.
    EXPECT_EQ(TrashInfoPathText("/a b/\xE9t\xE9%.xml"), "/a%20b/%E9t%E9%25.xml");
    // The temporary folder cannot remove names Qt cannot spell.
    unlink(outcome.trashedPath.constData());
    unlink(outcome.infoPath.constData());
}

TEST(TrashTop, AnotherFileSystemUsesTheTrashAtItsTop) {
    // /dev/shm is a file system of its own on most machines; the test needs one.
    struct stat shm {};
    struct stat temp {};
    if (stat("/dev/shm", &shm) != 0 ||
        stat(QFile::encodeName(QDir::tempPath()).constData(), &temp) != 0 ||
        shm.st_dev == temp.st_dev || access("/dev/shm", W_OK) != 0) {
        GTEST_SKIP() << "no second writable file system at /dev/shm";
    }
    QTemporaryDir home;
    QTemporaryDir other(QStringLiteral("/dev/shm/melodrix-trash-XXXXXX"));
    ASSERT_TRUE(other.isValid());
    const QString file = WriteFile(other.path(), QStringLiteral("gone.xml"), "bytes");
    const TTrashOutcome outcome = MoveToTrash(
        QFile::encodeName(file), QFile::encodeName(home.filePath(QStringLiteral("Trash"))));
    ASSERT_TRUE(outcome) << outcome.error.toStdString();
    const QByteArray top = "/dev/shm/.Trash-" + QByteArray::number(getuid());
    EXPECT_TRUE(outcome.trashedPath.startsWith(top + "/files/gone.xml"))
        << outcome.trashedPath.toStdString();
    EXPECT_FALSE(QFileInfo::exists(file));
    // The place is recorded relative to the top of that file system.
    const QString relative = file.mid(QStringLiteral("/dev/shm/").size());
    EXPECT_TRUE(ReadFile(QFile::decodeName(outcome.infoPath))
                    .contains("\nPath=" + TrashInfoPathText(QFile::encodeName(relative)) + "\n"));
    EXPECT_FALSE(QFileInfo::exists(home.filePath(QStringLiteral("Trash/files/gone.xml"))));
    // Only what this test put there is removed; an existing trash stays.
    QFile::remove(QFile::decodeName(outcome.trashedPath));
    QFile::remove(QFile::decodeName(outcome.infoPath));
    rmdir((top + "/files").constData());
    rmdir((top + "/info").constData());
    rmdir(top.constData());
}
