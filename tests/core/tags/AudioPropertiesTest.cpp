#include <gtest/gtest.h>

#include <QString>
#include <cstring>

#include "core/tags/APEv2.h"
#include "core/tags/AudioBuilders.h"
#include "core/tags/AudioBytes.h"
#include "core/tags/AudioProperties.h"
#include "core/tags/FLACTag.h"
#include "core/tags/ID3v1.h"
#include "core/tags/ID3v2.h"
#include "core/tags/MP4Tag.h"
#include "core/tags/OggTag.h"

using namespace melodrix;
using namespace melodrix::tagbytes;

namespace {

std::optional<TAudioProperties> Read(const std::string& file,
                                     TAudioContainer hint = TAudioContainer::Unknown) {
    TMemoryByteSource source(file);
    return ReadAudioProperties(source, hint);
}

// A file of `size` bytes that begins with `head` and is zeros after it, as a preallocated
// download or a sparse file is; it counts what is asked of it.
class TSparseSource final : public IByteSource {
public:
    TSparseSource(std::string head, uint64_t size) : head_(std::move(head)), size_(size) {}
    std::optional<uint64_t> Size() override { return size_; }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
        ++Reads;
        BytesRead += size;
        if (offset > size_ || size > size_ - offset) {
            return false;
        }
        std::memset(buffer, 0, size);
        if (offset < head_.size()) {
            const size_t count = std::min<uint64_t>(size, head_.size() - offset);
            std::memcpy(buffer, head_.data() + offset, count);
        }
        return true;
    }
    int Reads = 0;
    uint64_t BytesRead = 0;

private:
    std::string head_;
    uint64_t size_;
};

constexpr uint64_t kFiveGigabytes = 5ull << 30;

}  // namespace

TEST(AudioBytes, TagsAtBothEndsAreLeftOut) {
    const std::string audio = AudioLike(1000);
    const std::string id3v2 = ID3v2Tag(3, Frame23("TIT2", Latin1Body("x")), 0, 50);
    const std::string ape = ApeTag({ApeItem("Title", "x")}, true);
    const std::string v1 = ID3v1Record("x", "", "", "", "", 0);
    struct TCase {
        std::string File;
        uint64_t Begin, End;
    };
    const TCase cases[] = {
        {audio, 0, 1000},
        {id3v2 + audio + v1, id3v2.size(), id3v2.size() + 1000},
        {audio + ape, 0, 1000},
        {audio + ape + v1, 0, 1000},
        // A Lyrics3 v1 block has no size: it is found by its start.
        {audio + "LYRICSBEGINsome words" + "LYRICSEND" + v1, 0, 1000},
        // An APEv2 tag of 131 bytes, whose header's "TAG" sits where an ID3v1 tag would begin.
        {audio + ApeTag({ApeItem("Title", std::string(53, 'x'))}, true), 0, 1000},
    };
    for (const TCase& c : cases) {
        TMemoryByteSource source(c.File);
        const std::optional<TAudioBytes> bytes = FindAudioBytes(source);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(bytes->Begin, c.Begin);
        EXPECT_EQ(bytes->End, c.End);
    }
}

TEST(FLACAudio, StreamInfoGivesTheLosslessProperties) {
    // 441,000 samples at 44.1 kHz: 10 s; 40,000 bytes of frames after the metadata.
    const std::string info = FlacBlock(kFlacStreamInfo, StreamInfo(44100, 2, 441000));
    const std::string comments = FlacBlock(kFlacComment, VorbisCommentList({"TITLE=x"}), true);
    for (const std::string& file :
         {FlacFile({info, comments}, 40000),
          ID3v2Tag(3, Frame23("TIT2", Latin1Body("x"))) + FlacFile({info, comments}, 40000)}) {
        const std::optional<TAudioProperties> p = Read(file);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->Codec, TAudioCodec::FLAC);
        EXPECT_EQ(p->Mode, TAudioMode::Lossless);
        EXPECT_EQ(p->SampleRate, 44100);
        EXPECT_EQ(p->Channels, 2);
        EXPECT_EQ(p->DurationMs, 10000);
        EXPECT_EQ(p->Bitrate, 32);
    }
    // An unknown total of samples leaves the duration and bitrate open.
    const std::optional<TAudioProperties> open =
        Read(FlacFile({FlacBlock(kFlacStreamInfo, StreamInfo(96000, 6, 0), true)}));
    ASSERT_TRUE(open);
    EXPECT_EQ(open->SampleRate, 96000);
    EXPECT_EQ(open->Channels, 6);
    EXPECT_FALSE(open->DurationMs);
    EXPECT_FALSE(open->Bitrate);
    // STREAMINFO must come first and be whole.
    EXPECT_FALSE(Read(FlacFile({comments})));
    EXPECT_FALSE(Read(FlacFile({FlacBlock(kFlacStreamInfo, std::string(20, '\x01'), true)})));
}

TEST(OggAudio, GranuleOfTheLastPageGivesTheDuration) {
    const std::optional<TAudioProperties> vorbis =
        Read(OggFile(VorbisIdentificationFor(44100, 2, 0, 128000, 0), 441000));
    ASSERT_TRUE(vorbis);
    EXPECT_EQ(vorbis->Codec, TAudioCodec::Vorbis);
    EXPECT_EQ(vorbis->Mode, TAudioMode::VBR);
    EXPECT_EQ(vorbis->SampleRate, 44100);
    EXPECT_EQ(vorbis->Channels, 2);
    EXPECT_EQ(vorbis->DurationMs, 10000);
    EXPECT_TRUE(vorbis->Bitrate);

    // Opus counts at 48 kHz, less the pre-skip.
    const std::optional<TAudioProperties> opus = Read(OggFile(OpusHeadFor(1, 312), 480312));
    ASSERT_TRUE(opus);
    EXPECT_EQ(opus->Codec, TAudioCodec::Opus);
    EXPECT_EQ(opus->SampleRate, 48000);
    EXPECT_EQ(opus->Channels, 1);
    EXPECT_EQ(opus->DurationMs, 10000);

    // A last page of another stream is passed over; a stream cut before its last page has
    // the header's properties only.
    const std::string file = OggFile(OpusHeadFor(2, 0), 96000);
    const std::optional<TAudioProperties> mixed =
        Read(file + OggGranulePage(0x9999, 0x04, 0, 5000000, AudioLike(100)));
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->DurationMs, 2000);
    const std::optional<TAudioProperties> cut = Read(file.substr(0, 100));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->Channels, 2);
    EXPECT_FALSE(cut->DurationMs);
    EXPECT_FALSE(Read(OggFile("\x01vorbix" + std::string(30, '\x01'), 1000)));
}

TEST(MP4Audio, SoundTrackGivesCodecRateChannelsAndTheMovieTheDuration) {
    // AAC: the decoder configuration (44.1 kHz, index 4; 2 channels) wins over the entry.
    const std::string aac =
        Mp4SoundFile(TimesAtom("mvhd", 1000, 10000), TimesAtom("mdhd", 44100, 442024),
                     SampleEntry("mp4a", 1, 22050, AacDescriptor(4, 2)), 160000);
    for (const std::string& file :
         {aac, Mp4SoundFile(TimesAtom("mvhd", 1000, 10000), TimesAtom("mdhd", 44100, 442024),
                            SampleEntry("mp4a", 1, 22050, AacDescriptor(4, 2)), 160000, false)}) {
        const std::optional<TAudioProperties> p = Read(file);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->Codec, TAudioCodec::AAC);
        EXPECT_EQ(p->SampleRate, 44100);
        EXPECT_EQ(p->Channels, 2);
        EXPECT_EQ(p->DurationMs, 10000);  // the movie's, without the priming samples
        EXPECT_EQ(p->Bitrate, 128);       // 160,000 bytes of media in 10 s
    }
    // ALAC: its own atom holds the rate, which the 16.16 entry cannot for 192 kHz.
    const std::string config =
        FullAtom("alac", BigEndian(4096, 4) + Bytes({0, 24, 40, 10, 14, 2}) + BigEndian(255, 2) +
                             BigEndian(0, 4) + BigEndian(0, 4) + BigEndian(192000, 4));
    const std::optional<TAudioProperties> alac =
        Read(Mp4SoundFile(TimesAtom("mvhd", 600, 0), TimesAtom("mdhd", 192000, 384000),
                          SampleEntry("alac", 2, 0, config), 1000));
    ASSERT_TRUE(alac);
    EXPECT_EQ(alac->Codec, TAudioCodec::ALAC);
    EXPECT_EQ(alac->Mode, TAudioMode::Lossless);
    EXPECT_EQ(alac->SampleRate, 192000);
    EXPECT_EQ(alac->DurationMs, 2000);  // the media header's, as the movie gives none
    // A movie without a sound track has no audio properties.
    EXPECT_FALSE(Read(Mp4SoundFile(TimesAtom("mvhd", 1000, 10000), TimesAtom("mdhd", 1000, 10000),
                                   SampleEntry("mp4a", 2, 44100, ""), 100, true, "vide")));
    EXPECT_FALSE(Read(Mp4File({}, true)));
}

TEST(AudioProperties, TheContentPicksTheReaderAndNamesAreTheCatalogTexts) {
    EXPECT_EQ(Read(Mp3Frames(20), TAudioContainer::FLAC)->Codec, TAudioCodec::MP3);
    const std::string flac =
        FlacFile({FlacBlock(kFlacStreamInfo, StreamInfo(8000, 1, 8000), true)});
    EXPECT_EQ(Read(flac, TAudioContainer::MPEG)->Codec, TAudioCodec::FLAC);
    // An MP4 file that does not begin with ftyp is known by its name.
    const std::string mp4 =
        Mp4SoundFile(TimesAtom("mvhd", 1000, 10000), TimesAtom("mdhd", 44100, 441000),
                     SampleEntry("mp4a", 2, 44100, ""), 100)
            .substr(28);
    EXPECT_FALSE(Read(mp4));
    ASSERT_TRUE(Read(mp4, TAudioContainer::MP4));
    EXPECT_EQ(Read(mp4, TAudioContainer::MP4)->Codec, TAudioCodec::AAC);

    EXPECT_EQ(AudioCodecName(TAudioCodec::Vorbis), "Vorbis");
    EXPECT_EQ(AudioModeName(TAudioMode::Lossless), "lossless");
    EXPECT_EQ(AverageBitrate(16000, 1000), 128);
    EXPECT_EQ(AverageBitrate(16000, 0), std::nullopt);
}

// Every reader reads a bounded number of bytes in a bounded number of calls, whatever the file
// holds: here 5 GB that are zeros after their first bytes.
TEST(AudioProperties, HugeEmptyFilesCostAFewReads) {
    const std::string heads[] = {
        "fLaC",
        "fLaC" + FlacBlock(kFlacStreamInfo, StreamInfo(44100, 2, 0)),
        "OggS",
        OggGranulePage(1, 0x02, 0, 0, OpusHeadFor(2, 0)),
        Atom("ftyp", "M4A ") + Bytes({0, 0, 0, 0}) + "moov",
        Atom("ftyp", "M4A ") + Atom("free", "") + Atom("free", ""),
        kMp3Header128,
        Mp3Frames(3),
        ID3v2Header(3, 0x80, 0x0FFFFFFF),
        std::string(),
    };
    for (const std::string& head : heads) {
        TSparseSource source(head, kFiveGigabytes);
        ReadAudioProperties(source);
        EXPECT_LE(source.Reads, 100) << head.size();
        EXPECT_LE(source.BytesRead, 8u << 20) << head.size();
    }
}

// "fLaC" and zeros was read one empty block at a time: 16 MB took seconds.
TEST(AudioProperties, TagReadersGiveUpOnEmptyMetadataAtOnce) {
    for (const uint64_t size : {uint64_t{16} << 20, kFiveGigabytes}) {
        TSparseSource source("fLaC", size);
        TFLACTag tag;
        EXPECT_FALSE(tag.Read(source));
        EXPECT_LE(source.Reads, 4);
        EXPECT_LE(source.BytesRead, 16384u);
    }
    // Empty padding blocks up to the limit, then the comments: all but a few are read at once.
    std::string blocks;
    for (int i = 0; i < 500; ++i) {
        blocks += FlacBlock(kFlacPadding, "");
    }
    const std::string file = "fLaC" + FlacBlock(kFlacStreamInfo, StreamInfo(44100, 2, 44100)) +
                             blocks + FlacBlock(kFlacComment, VorbisCommentList({"TITLE=x"}), true);
    TSparseSource source(file, file.size());
    TFLACTag tag;
    ASSERT_TRUE(tag.Read(source));
    EXPECT_EQ(tag.Title, "x");
    EXPECT_LE(source.Reads, 6);
}

TEST(AudioProperties, FilesWrittenByEncoders) {
    struct TCase {
        const char* Name;
        TAudioCodec Codec;
        int SampleRate, Channels;
        int64_t DurationMs;
    };
    // 0.25 s of a tone (tests/data/music/README.md); the durations agree with ffprobe's.
    const TCase cases[] = {
        {"picture-first.flac", TAudioCodec::FLAC, 22050, 1, 250},
        {"tagged.ogg", TAudioCodec::Vorbis, 22050, 1, 250},
        {"long-comments.opus", TAudioCodec::Opus, 48000, 1, 250},
        {"moov-after-audio.m4a", TAudioCodec::AAC, 22050, 1, 251},
        {"tagged-vbr.mp3", TAudioCodec::MP3, 22050, 1, 250},
    };
    for (const TCase& c : cases) {
        TFileByteSource source(QStringLiteral(MELODRIX_TEST_DATA_DIR "/music/") +
                               QString::fromLatin1(c.Name));
        ASSERT_TRUE(source.IsOpen()) << c.Name;
        const std::optional<TAudioProperties> p = ReadAudioProperties(source);
        ASSERT_TRUE(p) << c.Name;
        EXPECT_EQ(p->Codec, c.Codec) << c.Name;
        EXPECT_EQ(p->SampleRate, c.SampleRate) << c.Name;
        EXPECT_EQ(p->Channels, c.Channels) << c.Name;
        EXPECT_EQ(p->DurationMs, c.DurationMs) << c.Name;
    }
}

// An Ogg stream's bitrate counts the audio pages only: the Opus file's 65 KB comment list
// would otherwise make 0.25 s of a tone look like 2,184 kbit/s.
TEST(AudioProperties, OggBitratesLeaveTheHeaderPagesOut) {
    const std::pair<const char*, int> cases[] = {{"long-comments.opus", 51}, {"tagged.ogg", 11}};
    for (const auto& [name, bitrate] : cases) {
        TFileByteSource source(QStringLiteral(MELODRIX_TEST_DATA_DIR "/music/") +
                               QString::fromLatin1(name));
        const std::optional<TAudioProperties> p = ReadAudioProperties(source);
        ASSERT_TRUE(p) << name;
        EXPECT_EQ(p->Bitrate, bitrate) << name << ": (size - first audio page) * 8 / 250 ms";
    }
}

// Files that are all small structures, more than any real file has: the tag readers stop
// after a few thousand of them, reading many with each call (MP4's top-level atoms, which
// are read one by one so the media data is never touched, after a thousand).
TEST(AudioProperties, TagReadersStopAfterAFewThousandPagesAtomsItemsOrFrames) {
    std::string pages = OggGranulePage(1, 0x02, 0, 0, VorbisIdentification());
    std::string atoms = Atom("ftyp", "M4A ");
    std::string items, frames;
    for (int i = 0; i < 20000; ++i) {
        pages += OggPage(2, 0, static_cast<uint32_t>(i), {}, "");
        atoms += Atom("free", "");
        items += ApeItem("k", "");
        frames += Frame23("TXXX", "");
    }
    const std::string ape = AudioLike(100) + ApeTag({items}, false);
    std::string countedApe = ape;
    countedApe.replace(ape.size() - 16, 4, LittleEndian32(20000));  // the footer's item count
    const auto reads = [](auto&& tag, const std::string& file) {
        TSparseSource source(file, file.size());
        tag.Read(source);
        return source.Reads;
    };
    EXPECT_LE(reads(TOggTag(), pages), 20);
    EXPECT_LE(reads(TMP4Tag(), atoms), 1030);
    EXPECT_LE(reads(TAPEv2(), countedApe), 20);
    EXPECT_LE(reads(TID3v2(), ID3v2Tag(3, frames)), 20);
    TSparseSource source(atoms, atoms.size());
    EXPECT_FALSE(ReadAudioProperties(source));
    EXPECT_LE(source.Reads, 1030);
}
