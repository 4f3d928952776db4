#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>

#include "core/catalog/Paths.h"

using namespace melodrix;

TEST(Paths, TrailingDelimiters) {
    EXPECT_EQ(WithTrailingBackslash(QStringLiteral("/music")), QStringLiteral("/music/"));
    EXPECT_EQ(WithTrailingBackslash(QStringLiteral("/music/")), QStringLiteral("/music/"));
    EXPECT_EQ(WithTrailingBackslash(QString()), QStringLiteral("/"));
    EXPECT_EQ(WithoutTrailingBackslash(QStringLiteral("/music/")), QStringLiteral("/music"));
    EXPECT_EQ(WithoutTrailingBackslash(QStringLiteral("/music//")), QStringLiteral("/music/"))
        << "only one delimiter goes";
    EXPECT_EQ(WithoutTrailingBackslash(QStringLiteral("/music")), QStringLiteral("/music"));
    EXPECT_EQ(WithoutTrailingBackslash(QStringLiteral("/")), QString());
    // The catalog's "\" is this platform's separator; a backslash is an ordinary character.
    EXPECT_EQ(WithTrailingBackslash(QStringLiteral("a\\")), QStringLiteral("a\\/"));
}

TEST(Paths, ExtensionIsTheTextAfterTheLastDotOfTheName) {
    EXPECT_EQ(ExtensionOf(QStringLiteral("song.Mp3")), QStringLiteral("Mp3"));
    EXPECT_EQ(ExtensionOf(QStringLiteral("archive.tar.gz")), QStringLiteral("gz"));
    EXPECT_EQ(ExtensionOf(QStringLiteral("/a.b/song")), QString());
    EXPECT_EQ(ExtensionOf(QStringLiteral("name.")), QString());
    EXPECT_EQ(ExtensionOf(QStringLiteral("/music/.hidden")), QStringLiteral("hidden"));
    EXPECT_EQ(ExtensionOf(QStringLiteral("c:song")), QString());
    EXPECT_EQ(ExtensionOf(QStringLiteral("x.y:z")), QString()) << "a colon ends the search too";
    EXPECT_EQ(ExtensionOf(QString()), QString());
}

TEST(Paths, DiskNameOfAnOrdinaryPathIsItsNameBeforeTheFirstDot) {
    EXPECT_EQ(DiskNameOf(QStringLiteral("/lib/Rock/Best.Of.xml")), QStringLiteral("Best"));
    EXPECT_EQ(DiskNameOf(QStringLiteral("/x/.hidden.xml")), QString());
    EXPECT_EQ(DiskNameOf(QStringLiteral("/x/My.Old.Disk.xml")), QStringLiteral("My"));
    EXPECT_EQ(DiskNameOf(QString()), QString());
    EXPECT_EQ(DiskNameOf(QStringLiteral("Plain")), QStringLiteral("Plain"));
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Music"));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_EQ(DiskNameOf(folder), QStringLiteral("Music"));
    EXPECT_FALSE(IsVolumeRoot(folder));
    EXPECT_EQ(VolumeLabelOf(folder), QString()) << "an ordinary folder has no label";
    EXPECT_EQ(VolumeLabelOf(dir.filePath(QStringLiteral("missing"))), QString());
}

TEST(Paths, DiskNameOfAVolumeRootIsItsLabelOrMountName) {
    // Whatever this machine mounts: each root is recognised, and named by its label or,
    // without one, by the last component of its mount point ("/" by the empty name).
    int roots = 0;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        // Files bind-mounted into containers are mount points but no folders.
        if (!volume.isValid() || !volume.isReady() || !QFileInfo(volume.rootPath()).isDir()) {
            continue;
        }
        const QString root = volume.rootPath();
        ASSERT_TRUE(IsVolumeRoot(root)) << root.toStdString();
        ++roots;
        const QString label = volume.name();
        EXPECT_EQ(VolumeLabelOf(root), label.left(255));
        const QString mountName = QDir::cleanPath(root).section(QLatin1Char('/'), -1);
        const QString expected = !label.isEmpty() ? label.left(255) : mountName;
        EXPECT_EQ(DiskNameOf(root), expected) << root.toStdString();
        if (root != QStringLiteral("/")) {
            EXPECT_FALSE(IsVolumeRoot(root + QStringLiteral("/no-such-sub-folder")));
        }
    }
    EXPECT_GT(roots, 0);
}
