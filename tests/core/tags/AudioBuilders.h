#pragma once

// Assemble MPEG audio frames, FLAC stream information, Ogg pages with granule positions and MP4
// sound tracks for tests and fuzzing seeds. Every helper returns plain bytes.

#include <string>
#include <string_view>
#include <vector>

#include "MusicTagBuilders.h"

namespace melodrix::tagbytes {

// ---- MPEG audio ----

// A frame header: `version` 1, 2 or 25 (2.5), `layer` 1 to 3, the bitrate and sample rate
// indexes of the header's tables, mono or stereo.
inline std::string MpegHeader(int version, int layer, int bitrateIndex, int rateIndex,
                              bool mono = false, bool padding = false) {
    const int versionBits = version == 1 ? 3 : version == 2 ? 2 : 0;
    const auto b1 = static_cast<uint8_t>(0xE0 | versionBits << 3 | (4 - layer) << 1 | 1);
    const auto b2 = static_cast<uint8_t>(bitrateIndex << 4 | rateIndex << 2 | (padding ? 2 : 0));
    const auto b3 = static_cast<uint8_t>(mono ? 0xC0 : 0x00);
    return Bytes({0xFF, b1, b2, b3});
}

// A whole frame of `size` bytes: the header, then zeros (which hold no sync).
inline std::string MpegFrame(const std::string& header, size_t size) {
    return header + std::string(size - 4, '\0');
}

// MPEG 1 layer III, 44.1 kHz stereo: 128 kbit/s frames take 417 bytes, 1152 samples each.
inline const std::string kMp3Header128 = MpegHeader(1, 3, 9, 0);
constexpr size_t kMp3Frame128 = 417;

// `count` frames of 128 kbit/s.
inline std::string Mp3Frames(size_t count) {
    std::string frames;
    for (size_t i = 0; i < count; ++i) {
        frames += MpegFrame(kMp3Header128, kMp3Frame128);
    }
    return frames;
}

// The first frame of a LAME-encoded stream: a 128 kbit/s frame whose side information is
// followed by a Xing ("Xing" or "Info") header with the frame and byte counts, no table of
// contents, and a LAME tag with the encoder delay and padding.
inline std::string XingFrame(std::string_view id, uint32_t frames, uint32_t bytes, uint32_t delay,
                             uint32_t padding, uint8_t method = 3) {
    std::string body = std::string(32, '\0') + std::string(id) + BigEndian(0x3, 4) +
                       BigEndian(frames, 4) + BigEndian(bytes, 4);
    std::string lame = "LAME3.100" + Bytes({method, 0x6E}) + std::string(8, '\0') +
                       Bytes({0, 0x80}) + BigEndian(delay << 12 | padding, 3);
    body += lame;
    body.resize(kMp3Frame128 - 4, '\0');
    return kMp3Header128 + body;
}

// A VBRI header, 32 bytes after the frame header.
inline std::string VbriFrame(uint32_t frames, uint32_t bytes) {
    std::string body = std::string(32, '\0') + "VBRI" + BigEndian(1, 2) + BigEndian(0, 2) +
                       BigEndian(75, 2) + BigEndian(bytes, 4) + BigEndian(frames, 4);
    body.resize(kMp3Frame128 - 4, '\0');
    return kMp3Header128 + body;
}

// ---- FLAC ----

// The 34 bytes of STREAMINFO.
inline std::string StreamInfo(uint32_t rate, int channels, uint64_t samples, int bits = 16) {
    std::string body = BigEndian(4096, 2) + BigEndian(4096, 2) + BigEndian(0, 3) + BigEndian(0, 3);
    const uint64_t packed = uint64_t{rate} << 44 | uint64_t(channels - 1) << 41 |
                            uint64_t(bits - 1) << 36 | (samples & 0xFFFFFFFFFull);
    body += BigEndian(static_cast<uint32_t>(packed >> 32), 4) +
            BigEndian(static_cast<uint32_t>(packed), 4);
    return body + std::string(16, '\x5A');  // the MD5 signature
}

// ---- Ogg ----

// A page with a granule position.
inline std::string OggGranulePage(uint32_t serial, uint8_t flags, uint32_t sequence,
                                  uint64_t granule, std::string_view data) {
    std::string page = OggPage(serial, flags, sequence, Lacing(data.size()), data);
    std::string position;
    for (int i = 0; i < 8; ++i) {
        position.push_back(static_cast<char>((granule >> (8 * i)) & 0xFF));
    }
    page.replace(6, 8, position);
    return page;
}

// A Vorbis identification packet.
inline std::string VorbisIdentificationFor(uint32_t rate, int channels, uint32_t maximum,
                                           uint32_t nominal, uint32_t minimum) {
    return "\x01vorbis" + LittleEndian32(0) + std::string(1, static_cast<char>(channels)) +
           LittleEndian32(rate) + LittleEndian32(maximum) + LittleEndian32(nominal) +
           LittleEndian32(minimum) + Bytes({0xB8, 0x01});
}

// An OpusHead packet with the given channels and pre-skip.
inline std::string OpusHeadFor(int channels, uint16_t preSkip) {
    return "OpusHead" +
           Bytes({1, static_cast<uint8_t>(channels), static_cast<uint8_t>(preSkip & 0xFF),
                  static_cast<uint8_t>(preSkip >> 8)}) +
           LittleEndian32(44100) + Bytes({0, 0, 0});
}

// A stream: the identification packet alone on the first page, stand-in audio pages, and the
// last page at `lastGranule`.
inline std::string OggFile(const std::string& identification, uint64_t lastGranule,
                           size_t audioPages = 3, uint32_t serial = 0x1234) {
    std::string file = OggGranulePage(serial, 0x02, 0, 0, identification);
    for (size_t i = 0; i < audioPages; ++i) {
        file += OggGranulePage(serial, 0, static_cast<uint32_t>(i + 1), lastGranule / 2,
                               AudioLike(3000));
    }
    return file + OggGranulePage(serial, 0x04, static_cast<uint32_t>(audioPages + 1), lastGranule,
                                 AudioLike(200));
}

// ---- MP4 ----

inline std::string FullAtom(std::string_view type, std::string_view body, uint8_t version = 0) {
    return Atom(type, Bytes({version, 0, 0, 0}) + std::string(body));
}

// mvhd or mdhd of version 0.
inline std::string TimesAtom(std::string_view type, uint32_t timescale, uint32_t duration) {
    return FullAtom(type, BigEndian(0, 4) + BigEndian(0, 4) + BigEndian(timescale, 4) +
                              BigEndian(duration, 4) + std::string(20, '\0'));
}

// An audio sample entry ("mp4a", "alac"...) with its own children.
inline std::string SampleEntry(std::string_view type, int channels, uint32_t rate,
                               std::string_view children) {
    return Atom(type, std::string(6, '\0') + BigEndian(1, 2) + std::string(8, '\0') +
                          BigEndian(static_cast<uint32_t>(channels), 2) + BigEndian(16, 2) +
                          BigEndian(0, 4) + BigEndian(rate << 16, 4) + std::string(children));
}

// An esds atom for AAC LC with an AudioSpecificConfig of `rateIndex` and `channels`.
inline std::string AacDescriptor(int rateIndex, int channels) {
    const auto config0 = static_cast<uint8_t>(2 << 3 | rateIndex >> 1);
    const auto config1 = static_cast<uint8_t>((rateIndex & 1) << 7 | channels << 3);
    const std::string specific = Bytes({0x05, 2, config0, config1});
    const std::string decoder =
        Bytes({0x04, static_cast<uint8_t>(13 + specific.size()), 0x40, 0x15, 0, 0, 0}) +
        BigEndian(128000, 4) + BigEndian(128000, 4) + specific;
    const std::string es =
        Bytes({0x03, static_cast<uint8_t>(3 + decoder.size()), 0, 1, 0}) + decoder;
    return FullAtom("esds", es);
}

// ftyp, the movie (mvhd, then a track with the given handler, media header and sample entry)
// and the audio in mdat, the movie first or last.
inline std::string Mp4SoundFile(const std::string& movieHeader, const std::string& mediaHeader,
                                const std::string& entry, size_t audio, bool movieFirst = true,
                                std::string_view handler = "soun") {
    const std::string stsd = FullAtom("stsd", BigEndian(1, 4) + entry);
    const std::string stbl = Atom("stbl", stsd + FullAtom("stts", BigEndian(0, 4)));
    const std::string minf = Atom("minf", FullAtom("smhd", BigEndian(0, 4)) + stbl);
    const std::string hdlr =
        FullAtom("hdlr", BigEndian(0, 4) + std::string(handler) + std::string(12, '\0') +
                             "SoundHandler" + std::string(1, '\0'));
    const std::string mdia = Atom("mdia", mediaHeader + hdlr + minf);
    const std::string trak = Atom("trak", FullAtom("tkhd", std::string(80, '\0')) + mdia);
    const std::string moov = Atom("moov", movieHeader + trak);
    const std::string head = Atom("ftyp", std::string("M4A \0\0\0\0M4A mp42isom", 20));
    const std::string media = Atom("mdat", AudioLike(audio));
    return movieFirst ? head + moov + media : head + media + moov;
}

}  // namespace melodrix::tagbytes
