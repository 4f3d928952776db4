#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "core/base/NativePaths.h"
#include "support/RawNames.h"

using namespace melodrix;
using namespace melodrix::testing;

TEST(NativePaths, NamesThatAreNotUtf8ReadAsWindows1252) {
    EXPECT_EQ(FileNameText("Caf\xE9.mp3"), QString::fromUtf8("Caf\xC3\xA9.mp3"));
    EXPECT_EQ(FileNameTextUtf8("\x80 \x9F"), "\xE2\x82\xAC \xC5\xB8");  // euro sign, Y diaeresis
    // UTF-8 names stay as they are, also where Windows-1252 would read them otherwise.
    EXPECT_EQ(FileNameTextUtf8("Caf\xC3\xA9"), "Caf\xC3\xA9");
    EXPECT_EQ(FileNameTextUtf8("plain"), "plain");
    // Malformed UTF-8 of every kind is read byte by byte.
    EXPECT_EQ(FileNameTextUtf8("\xC3"), "\xC3\x83");                              // cut off
    EXPECT_EQ(FileNameTextUtf8("\xC0\xAF"), "\xC3\x80\xC2\xAF");                  // overlong
    EXPECT_EQ(FileNameTextUtf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xE2\x82\xAC");  // surrogate
    // The bytes Windows-1252 leaves undefined read as the C1 controls, never as U+FFFD.
    const std::string holes = FileNameTextUtf8("\x81\x8D\x8F\x90\x9D");
    EXPECT_EQ(holes, "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
    EXPECT_EQ(FileNameText("x\x81y").indexOf(QChar(0xFFFD)), -1);

    // Each component of a path on its own.
    EXPECT_EQ(NativePathText("/m/Gr\xFCn/\xC3\xBC/Caf\xE9.mp3"),
              QString::fromUtf8("/m/Gr\xC3\xBCn/\xC3\xBC/Caf\xC3\xA9.mp3"));
    EXPECT_EQ(NativePathText("/a//b/"), QStringLiteral("/a//b/"));
}

TEST(NativePaths, TheTextOfAPathLeadsBackToItsBytes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray group = RawPath(dir.path(), "Gr\xFCn");
    ASSERT_TRUE(MakeRawDirectory(group));
    ASSERT_TRUE(WriteRawFile(group + "/Caf\xE9.xml", "latin"));
    ASSERT_TRUE(WriteRawFile(RawPath(dir.path(), "\xC3\xBC.xml"), "utf8"));

    const QString groupText = dir.path() + QString::fromUtf8("/Gr\xC3\xBCn");
    const QString catalogText = groupText + QString::fromUtf8("/Caf\xC3\xA9.xml");
    EXPECT_EQ(NativePathOf(catalogText), group + "/Caf\xE9.xml");
    EXPECT_EQ(NativePathOf(groupText + QLatin1Char('/')), group + '/');
    // A UTF-8 name is its own bytes; what does not exist keeps its UTF-8 form.
    EXPECT_EQ(NativePathOf(dir.path() + QString::fromUtf8("/\xC3\xBC.xml")),
              RawPath(dir.path(), "\xC3\xBC.xml"));
    EXPECT_EQ(NativePathOf(groupText + QString::fromUtf8("/n\xC3\xA9w.xml")),
              group + "/n\xC3\xA9w.xml");
    EXPECT_EQ(NativePathOf(groupText + QString::fromUtf8("/Caf\xC3\xA9.xml/x\xC3\xA9")),
              group + "/Caf\xE9.xml/x\xC3\xA9");
    EXPECT_EQ(NativePathOf(QString()), QByteArray());

    QFile file;
    ASSERT_TRUE(OpenForReading(file, catalogText));
    EXPECT_EQ(file.readAll(), QByteArray("latin"));
    QFile utf8;
    ASSERT_TRUE(OpenForReading(utf8, dir.path() + QString::fromUtf8("/\xC3\xBC.xml")));
    EXPECT_EQ(utf8.readAll(), QByteArray("utf8"));
    QFile missing;
    EXPECT_FALSE(OpenForReading(missing, groupText + QStringLiteral("/none.xml")));
}

TEST(NativePaths, TwoEntriesThatReadTheSameAreAmbiguous) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(WriteRawFile(RawPath(dir.path(), "Caf\xE9.xml"), "latin"));
    const QString text = dir.path() + QString::fromUtf8("/Caf\xC3\xA9.xml");
    EXPECT_FALSE(IsAmbiguousPath(text));
    EXPECT_FALSE(IsAmbiguousPath(dir.path() + QStringLiteral("/plain.xml")));

    ASSERT_TRUE(WriteRawFile(RawPath(dir.path(), "Caf\xC3\xA9.xml"), "utf8"));
    EXPECT_TRUE(IsAmbiguousPath(text));
    // The UTF-8 one is what the text finds.
    EXPECT_EQ(NativePathOf(text), RawPath(dir.path(), "Caf\xC3\xA9.xml"));

    // Ambiguity in a folder on the way counts too.
    ASSERT_TRUE(MakeRawDirectory(RawPath(dir.path(), "\xC4")));
    ASSERT_TRUE(MakeRawDirectory(RawPath(dir.path(), "\xC3\x84")));
    EXPECT_TRUE(IsAmbiguousPath(dir.path() + QString::fromUtf8("/\xC3\x84/x.xml")));
}
