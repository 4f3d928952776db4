#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QTemporaryDir>
#include <vector>

#include "core/tags/APEv2.h"
#include "core/tags/ByteWindow.h"
#include "core/tags/EdgeCache.h"
#include "core/tags/ID3v1.h"
#include "core/tags/ID3v2.h"
#include "core/tags/TagBuilders.h"
#include "support/TempDir.h"

using namespace melodrix;
using namespace melodrix::tagbytes;

namespace {

// Counts what the readers ask for, to hold them to reading only the bytes they need.
class TCountingSource final : public IByteSource {
public:
    explicit TCountingSource(std::string bytes) : bytes_(std::move(bytes)), inner_(bytes_) {}
    std::optional<uint64_t> Size() override { return inner_.Size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
        ++Reads;
        BytesRead += size;
        return inner_.ReadAt(offset, buffer, size);
    }
    int Reads = 0;
    size_t BytesRead = 0;

private:
    std::string bytes_;
    TMemoryByteSource inner_;
};

}  // namespace

TEST(ByteSource, FileReadsArePositionedAndExact) {
    QTemporaryDir dir;
    const QString path = melodrix::testing::WriteFile(dir.path(), QStringLiteral("f \u00e9.mp3"),
                                                      QByteArray("0123456789"));
    TFileByteSource file(path);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.Size(), 10u);
    char buffer[4] = {};
    EXPECT_TRUE(file.ReadAt(6, buffer, 4));
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_FALSE(file.ReadAt(7, buffer, 4));
    EXPECT_FALSE(file.ReadAt(~0ull, buffer, 1));

    EXPECT_FALSE(TFileByteSource(dir.filePath(QStringLiteral("missing"))).IsOpen());
    EXPECT_FALSE(TFileByteSource(dir.path()).IsOpen());
    EXPECT_FALSE(TFileByteSource(QString()).Size().has_value());
    // A named pipe would block a plain open; it is refused at once.
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("pipe.mp3")));
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    EXPECT_FALSE(TFileByteSource(dir.filePath(QStringLiteral("pipe.mp3"))).IsOpen());
    TID3v2 reader;
    EXPECT_FALSE(reader.Read(dir.filePath(QStringLiteral("pipe.mp3"))));
}

TEST(ByteSource, WindowNeverReadsPastItsLimit) {
    const std::string bytes = AudioLike(10000);
    TCountingSource source(bytes);
    TByteWindow window(source, 6000, 4096);
    const uint8_t* first = window.Get(5000, 10);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(first), 10), bytes.substr(5000, 10));
    EXPECT_EQ(source.BytesRead, 1000u);  // read ahead only up to the limit
    EXPECT_NE(window.Get(5990, 10), nullptr);
    EXPECT_EQ(source.Reads, 1);
    EXPECT_EQ(window.Get(5995, 10), nullptr);
    const uint8_t* large = window.Get(0, 5000);  // larger than a chunk
    ASSERT_NE(large, nullptr);
    EXPECT_EQ(large[4999], static_cast<uint8_t>(bytes[4999]));
}

TEST(ByteSource, ReadersTouchOnlyTheTagBytes) {
    // A tag with a 100 KB picture in front of its text frames, on 300 KB of audio.
    const std::string file =
        ID3v2Tag(3,
                 Frame23("APIC", std::string(100000, 'p')) + Frame23("TIT2", Latin1Body("Song")) +
                     Frame23("TPE1", Latin1Body("A")),
                 0, 2000) +
        AudioLike(300000);
    TCountingSource id3v2Source(file);
    TID3v2 id3v2;
    ASSERT_TRUE(id3v2.Read(id3v2Source));
    EXPECT_EQ(id3v2.Title, "Song");
    EXPECT_LE(id3v2Source.Reads, 3);
    EXPECT_LT(id3v2Source.BytesRead, 10000u);

    TCountingSource noTag(AudioLike(300000));
    TID3v1 id3v1;
    TAPEv2 ape;
    EXPECT_FALSE(id3v1.Read(noTag));
    EXPECT_TRUE(id3v2.Read(noTag));
    EXPECT_TRUE(ape.Read(noTag));
    EXPECT_EQ(noTag.Reads, 3);
    EXPECT_EQ(noTag.BytesRead, 128u + 10u + 160u);

    TCountingSource apeFile(AudioLike(300000) + ApeTag({ApeItem("Title", "T")}, true));
    ASSERT_TRUE(ape.Read(apeFile));
    EXPECT_EQ(ape.Title, "T");
    EXPECT_LE(apeFile.Reads, 2);
    EXPECT_LT(apeFile.BytesRead, 300u);
}

// The two ends of a file are read once each and serve every range inside them; whatever the
// ranges, the bytes are those of the file.
TEST(EdgeCache, EachEndIsReadOnceAndEveryRangeGivesTheFilesBytes) {
    std::string file(100 * 1024, '\0');
    for (size_t i = 0; i < file.size(); ++i) {
        file[i] = static_cast<char>(i * 7 + i / 256);
    }
    TCountingSource counted(file);
    TEdgeCache cache;
    cache.Reset(counted);
    EXPECT_EQ(cache.Size(), file.size());
    const auto read = [&](uint64_t offset, size_t size) {
        std::string bytes(size, '\0');
        return cache.ReadAt(offset, bytes.data(), size) ? bytes : std::string("<failed>");
    };
    const std::pair<uint64_t, size_t> ranges[] = {
        {0, 10},
        {10, 8192},
        {16384 - 4, 4},  // inside the head
        {file.size() - 128, 128},
        {file.size() - 160, 32},  // inside the tail
        {16380, 8},
        {50000, 100},
        {file.size() - 4097, 10},  // across or between: passed on
        {file.size(), 0}};
    for (const auto& [offset, size] : ranges) {
        EXPECT_EQ(read(offset, size), file.substr(offset, size)) << offset << "+" << size;
    }
    EXPECT_EQ(counted.Reads, 2 + 3) << "one read per end, one per range outside them";
    EXPECT_EQ(read(file.size() - 2, 4), "<failed>") << "past the end, as the file says";

    // A small file is read whole at the first range.
    const std::string small = file.substr(0, 3000);
    TCountingSource smallSource(small);
    cache.Reset(smallSource);
    EXPECT_EQ(read(2872, 128), small.substr(2872, 128));
    EXPECT_EQ(read(0, 10), small.substr(0, 10));
    EXPECT_EQ(read(10, 2000), small.substr(10, 2000));
    EXPECT_EQ(smallSource.Reads, 1);
}

// The audio properties and tags read through the cache are those read without it.
TEST(EdgeCache, ReadersFindTheSameThroughIt) {
    const std::string file = ID3v2Tag(3, Frame23("TIT2", Latin1Body("Head"))) + AudioLike(40000) +
                             ApeTag({ApeItem("Title", "Tail")}, false) +
                             ID3v1Record("One", "", "", "", "", 1);
    for (bool cached : {false, true}) {
        TCountingSource source(file);
        TEdgeCache cache;
        cache.Reset(source);
        IByteSource& bytes = cached ? static_cast<IByteSource&>(cache) : source;
        TID3v2 id3v2;
        TAPEv2 apev2;
        TID3v1 id3v1;
        ASSERT_TRUE(id3v2.Read(bytes) && apev2.Read(bytes) && id3v1.Read(bytes));
        EXPECT_EQ(id3v2.Title, "Head");
        EXPECT_EQ(apev2.Title, "Tail");
        EXPECT_EQ(id3v1.Title, "One");
        if (cached) {
            EXPECT_LE(source.Reads, 3);
        }
    }
}
