#include "core/tags/AudioProperties.h"

#include <algorithm>
#include <cstring>

#include "core/tags/AudioBytes.h"
#include "core/tags/FLACAudio.h"
#include "core/tags/MP4Audio.h"
#include "core/tags/MpegAudio.h"
#include "core/tags/OggAudio.h"

namespace melodrix {
namespace {

// The container the bytes at the start of the stream show; MPEG, which has no signature of
// its own, when none does.
TAudioContainer ContainerOfSignature(const uint8_t* bytes, size_t size) {
    if (size >= 4 && std::memcmp(bytes, "fLaC", 4) == 0) {
        return TAudioContainer::FLAC;
    }
    if (size >= 4 && std::memcmp(bytes, "OggS", 4) == 0) {
        return TAudioContainer::Ogg;
    }
    if (size >= 8 && std::memcmp(bytes + 4, "ftyp", 4) == 0) {
        return TAudioContainer::MP4;
    }
    return TAudioContainer::MPEG;
}

}  // namespace

std::string_view AudioCodecName(TAudioCodec codec) {
    switch (codec) {
        case TAudioCodec::MP1:
            return "MP1";
        case TAudioCodec::MP2:
            return "MP2";
        case TAudioCodec::MP3:
            return "MP3";
        case TAudioCodec::FLAC:
            return "FLAC";
        case TAudioCodec::Vorbis:
            return "Vorbis";
        case TAudioCodec::Opus:
            return "Opus";
        case TAudioCodec::AAC:
            return "AAC";
        case TAudioCodec::ALAC:
            return "ALAC";
    }
    return "";
}

std::string_view AudioModeName(TAudioMode mode) {
    switch (mode) {
        case TAudioMode::CBR:
            return "CBR";
        case TAudioMode::VBR:
            return "VBR";
        case TAudioMode::Lossless:
            return "lossless";
    }
    return "";
}

std::optional<int> AverageBitrate(uint64_t bytes, int64_t durationMs) {
    if (durationMs <= 0 || bytes > (uint64_t{1} << 56)) {
        return std::nullopt;
    }
    // kbit/s are bits per millisecond.
    const auto ms = static_cast<uint64_t>(durationMs);
    const uint64_t kbps = (bytes * 8 + ms / 2) / ms;
    return static_cast<int>(std::min<uint64_t>(kbps, 1 << 30));
}

std::optional<TAudioProperties> ReadAudioProperties(IByteSource& source, TAudioContainer hint) {
    const std::optional<TAudioBytes> audio = FindAudioBytes(source);
    if (!audio) {
        return std::nullopt;
    }
    uint8_t start[8] = {};
    const size_t size = static_cast<size_t>(std::min<uint64_t>(audio->Size(), sizeof start));
    if (size > 0 && !source.ReadAt(audio->Begin, start, size)) {
        return std::nullopt;
    }
    TAudioContainer container = ContainerOfSignature(start, size);
    // An MP4 file has its signature at the very start, where no ID3v2 tag may be.
    if (audio->Begin > 0 && container == TAudioContainer::MP4) {
        container = TAudioContainer::MPEG;
    }
    // QuickTime files may begin with another atom than ftyp; their name tells them apart.
    if (container == TAudioContainer::MPEG && audio->Begin == 0 && hint == TAudioContainer::MP4) {
        container = TAudioContainer::MP4;
    }
    switch (container) {
        case TAudioContainer::FLAC:
            return ReadFLACAudioProperties(source, *audio);
        case TAudioContainer::Ogg:
            return audio->Begin == 0 ? ReadOggAudioProperties(source) : std::nullopt;
        case TAudioContainer::MP4:
            return ReadMP4AudioProperties(source);
        case TAudioContainer::MPEG:
        case TAudioContainer::Unknown:
            break;
    }
    return ReadMpegAudioProperties(source, *audio);
}

}  // namespace melodrix
