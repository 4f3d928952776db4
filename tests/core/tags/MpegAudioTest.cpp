#include <gtest/gtest.h>

#include "core/tags/AudioBuilders.h"
#include "core/tags/AudioProperties.h"
#include "core/tags/MpegAudio.h"
#include "core/tags/MpegFrame.h"

using namespace melodrix;
using namespace melodrix::tagbytes;

namespace {

std::optional<TAudioProperties> Read(const std::string& file) {
    TMemoryByteSource source(file);
    return ReadAudioProperties(source);
}

std::optional<TMpegFrameHeader> Decode(const std::string& header) {
    return DecodeMpegFrameHeader(reinterpret_cast<const uint8_t*>(header.data()));
}

}  // namespace

TEST(MpegFrame, HeadersGiveRateChannelsAndFrameSizeForEveryVersionAndLayer) {
    struct TCase {
        std::string Header;
        int Bitrate, SampleRate, Channels, SamplesPerFrame, FrameSize;
    };
    const TCase cases[] = {
        {MpegHeader(1, 3, 9, 0), 128, 44100, 2, 1152, 417},
        {MpegHeader(1, 3, 9, 0, false, true), 128, 44100, 2, 1152, 418},
        {MpegHeader(1, 3, 14, 2, true), 320, 32000, 1, 1152, 1440},
        {MpegHeader(2, 3, 8, 1), 64, 24000, 2, 576, 192},
        {MpegHeader(25, 3, 1, 2), 8, 8000, 2, 576, 72},
        {MpegHeader(1, 2, 10, 1), 192, 48000, 2, 1152, 576},
        {MpegHeader(1, 1, 4, 0, false, true), 128, 44100, 2, 384, 140},
        {MpegHeader(2, 1, 4, 0), 64, 22050, 2, 384, 136},
    };
    for (const TCase& c : cases) {
        const std::optional<TMpegFrameHeader> h = Decode(c.Header);
        ASSERT_TRUE(h);
        EXPECT_EQ(h->Bitrate, c.Bitrate);
        EXPECT_EQ(h->SampleRate, c.SampleRate);
        EXPECT_EQ(h->Channels, c.Channels);
        EXPECT_EQ(h->SamplesPerFrame, c.SamplesPerFrame);
        EXPECT_EQ(h->FrameSize, c.FrameSize);
    }
    // No sync, the reserved version, layer, bitrate and sample rate, the reserved emphasis.
    for (const std::string& bad : {Bytes({0xFF, 0x7B, 0x90, 0}), Bytes({0xFF, 0xEB, 0x90, 0}),
                                   Bytes({0xFF, 0xF9, 0x90, 0}), Bytes({0xFF, 0xFB, 0xF0, 0}),
                                   Bytes({0xFF, 0xFB, 0x9C, 0}), Bytes({0xFF, 0xFB, 0x90, 2})}) {
        EXPECT_FALSE(Decode(bad));
    }
}

TEST(MpegFrame, AFrameCountsOnlyWhenAnotherOfItsStreamFollows) {
    // A stray sync in junk before the first real frame is passed over.
    const std::string stray = kMp3Header128 + std::string(50, '\x11');
    const std::string bytes = stray + Mp3Frames(2);
    const std::optional<TFoundFrame> found = FindMpegFrame(
        std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), false);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->Offset, stray.size());

    // One frame alone counts only where the stream ends with it.
    const std::string one = Mp3Frames(1);
    const std::span span(reinterpret_cast<const uint8_t*>(one.data()), one.size());
    EXPECT_TRUE(FindMpegFrame(span, true));
    EXPECT_FALSE(FindMpegFrame(span, false));
}

TEST(MpegAudio, XingHeaderGivesFramesLessTheLameDelayAndPadding) {
    // 100 frames of 1152 samples, less 576 + 1000 samples: 113,624 samples at 44.1 kHz.
    const std::string audio = XingFrame("Xing", 100, 50000, 576, 1000) + Mp3Frames(20);
    const std::optional<TAudioProperties> p = Read(audio);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->Codec, TAudioCodec::MP3);
    EXPECT_EQ(p->Mode, TAudioMode::VBR);
    EXPECT_EQ(p->SampleRate, 44100);
    EXPECT_EQ(p->Channels, 2);
    EXPECT_EQ(p->DurationMs, 2577);  // 113,624 / 44,100 s
    // The stream's bytes over every frame's time: 8,757 bytes (the file is shorter than the
    // header says) over 2,612 ms.
    EXPECT_EQ(p->Bitrate, 27);

    // "Info" is what the encoder writes for a constant bitrate.
    const std::optional<TAudioProperties> cbr =
        Read(XingFrame("Info", 100, 41700, 576, 1000, 1) + Mp3Frames(20));
    ASSERT_TRUE(cbr);
    EXPECT_EQ(cbr->Mode, TAudioMode::CBR);
    EXPECT_EQ(cbr->Bitrate, 128);
    EXPECT_EQ(cbr->DurationMs, 2577);
}

TEST(MpegAudio, VbriHeaderGivesTheFrameCount) {
    const std::optional<TAudioProperties> p = Read(VbriFrame(1000, 300000) + Mp3Frames(10));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->Mode, TAudioMode::VBR);
    EXPECT_EQ(p->DurationMs, 26122);  // 1,152,000 samples at 44.1 kHz
}

TEST(MpegAudio, WithoutHeaderAConstantStreamIsTimedByItsBytesAndTagsAreNotAudio) {
    // 300 frames of 417 bytes at 128 kbit/s: 125,100 bytes, 7,818 ms.
    const std::string frames = Mp3Frames(300);
    const std::string id3v2 = ID3v2Tag(4, Frame24("TIT2", Latin1Body("Song")), 0x10, 2000);
    const std::string footer = "3DI" + id3v2.substr(3, 7);
    const std::string ape = ApeTag({ApeItem("Title", "Song")}, true);
    const std::string lyrics =
        "LYRICSBEGIN"
        "IND00003110"
        "000022LYRICS200";
    const std::string v1 = ID3v1Record("Song", "", "", "", "", 1);
    for (const std::string& file : {frames, id3v2 + footer + frames + ape + lyrics + v1,
                                    frames + lyrics + ape + v1, std::string(300, '\0') + frames}) {
        const std::optional<TAudioProperties> p = Read(file);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->Mode, TAudioMode::CBR);
        EXPECT_EQ(p->Bitrate, 128);
        EXPECT_EQ(p->DurationMs, 7818);
    }
}

TEST(MpegAudio, WithoutHeaderAVariableStreamIsWalkedFrameByFrame) {
    // Frames of 128 kbit/s with 64 kbit/s ones (208 bytes) in the middle, where the probe
    // for a constant rate looks.
    const std::string slow = MpegFrame(MpegHeader(1, 3, 5, 0), 208);
    std::string file = Mp3Frames(100);
    for (int i = 0; i < 100; ++i) {
        file += slow;
    }
    file += Mp3Frames(100);
    const std::optional<TAudioProperties> p = Read(file);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->Mode, TAudioMode::VBR);
    EXPECT_EQ(p->DurationMs, 7837);  // 300 frames of 1152 samples
    EXPECT_EQ(p->Bitrate, 106);
}

TEST(MpegAudio, FreeFormatJunkAndCutStreamsGiveNoProperties) {
    // The free format's frames have no size of their own: refused.
    std::string freeFormat;
    for (int i = 0; i < 10; ++i) {
        freeFormat += MpegFrame(MpegHeader(1, 3, 0, 0), 500);
    }
    EXPECT_FALSE(Read(freeFormat));
    EXPECT_FALSE(Read(AudioLike(100000)));
    EXPECT_FALSE(Read(std::string()));
    EXPECT_FALSE(Read(std::string(70000, '\0') + Mp3Frames(10)));  // past the search limit

    // A file cut inside its first frame has no frame to go by.
    EXPECT_FALSE(Read(XingFrame("Xing", 100, 50000, 576, 1000).substr(0, 200)));
}
