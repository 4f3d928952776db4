#include "core/tags/MP4Audio.h"

#include <span>

#include "core/tags/ID3v2Numbers.h"
#include "core/tags/MP4Atoms.h"

namespace melodrix {
namespace {

constexpr uint32_t kMovie = AtomType("moov"), kMediaData = AtomType("mdat"),
                   kMovieHeader = AtomType("mvhd"), kTrack = AtomType("trak"),
                   kMedia = AtomType("mdia"), kMediaHeader = AtomType("mdhd"),
                   kHandler = AtomType("hdlr"), kMediaInfo = AtomType("minf"),
                   kSampleTable = AtomType("stbl"), kSampleDescription = AtomType("stsd"),
                   kSound = AtomType("soun"), kAac = AtomType("mp4a"), kAlac = AtomType("alac"),
                   kFlac = AtomType("fLaC"), kOpus = AtomType("Opus"),
                   kElementary = AtomType("esds");
// Files have a handful of top-level atoms; fragmented ones, with many, put the movie first.
constexpr int kMaxTopLevelAtoms = 1024;
// Every atom looked at inside the movie counts against this, however they nest.
constexpr int kMaxMovieAtoms = 4096;
constexpr size_t kSampleEntrySize = 28;  // up to and including the 16.16 sample rate

struct TTimes {
    uint32_t Timescale = 0;
    uint64_t Duration = 0;
};

// mvhd and mdhd begin alike: version and flags, two times, the timescale, the duration.
std::optional<TTimes> ReadTimes(const uint8_t* body, uint64_t size) {
    TTimes times;
    if (size >= 20 && body[0] == 0) {
        times.Timescale = BigEndianValue(body + 12, 4);
        times.Duration = BigEndianValue(body + 16, 4);
    } else if (size >= 32 && body[0] == 1) {
        times.Timescale = BigEndianValue(body + 20, 4);
        times.Duration =
            uint64_t{BigEndianValue(body + 24, 4)} << 32 | BigEndianValue(body + 28, 4);
    } else {
        return std::nullopt;
    }
    if (times.Timescale == 0) {
        return std::nullopt;
    }
    return times;
}

// A descriptor's length: up to four bytes of seven bits, the top bit saying another follows.
bool TakeDescriptor(std::span<const uint8_t>& bytes, uint8_t tag, uint32_t& length) {
    if (bytes.empty() || bytes[0] != tag) {
        return false;
    }
    bytes = bytes.subspan(1);
    length = 0;
    for (int i = 0; i < 4; ++i) {
        if (bytes.empty()) {
            return false;
        }
        const uint8_t byte = bytes[0];
        bytes = bytes.subspan(1);
        length = length << 7 | (byte & 0x7F);
        if (!(byte & 0x80)) {
            break;
        }
    }
    if (length > bytes.size()) {
        length = static_cast<uint32_t>(bytes.size());  // writers round up; take what is there
    }
    return true;
}

// From an esds body: the object type (0x40 and the MPEG-2 AAC types are AAC) and the rate and
// channels of the AudioSpecificConfig.
struct TDecoderConfig {
    uint8_t ObjectType = 0;
    int SampleRate = 0;
    int Channels = 0;
};

std::optional<TDecoderConfig> ReadElementary(std::span<const uint8_t> bytes) {
    static constexpr int kRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                       22050, 16000, 12000, 11025, 8000,  7350};
    uint32_t length = 0;
    if (bytes.size() < 4) {
        return std::nullopt;
    }
    bytes = bytes.subspan(4);  // version and flags
    if (!TakeDescriptor(bytes, 0x03, length) || length < 3) {
        return std::nullopt;
    }
    bytes = bytes.first(length);
    const uint8_t flags = bytes[2];
    size_t skip = 3 + ((flags & 0x80) ? 2 : 0) + ((flags & 0x20) ? 2 : 0);
    if ((flags & 0x40) && bytes.size() > skip) {
        skip += 1 + bytes[skip];  // a URL, preceded by its length
    }
    if (skip > bytes.size()) {
        return std::nullopt;
    }
    bytes = bytes.subspan(skip);
    if (!TakeDescriptor(bytes, 0x04, length) || length < 13) {
        return std::nullopt;
    }
    bytes = bytes.first(length);
    TDecoderConfig config;
    config.ObjectType = bytes[0];
    bytes = bytes.subspan(13);
    if (!TakeDescriptor(bytes, 0x05, length) || length < 2) {
        return config;
    }
    // AudioSpecificConfig: 5 bits of object type (31: 6 more follow), 4 of rate index (15: 24
    // bits of rate follow), 4 of channel configuration.
    uint64_t bits = 0;
    int count = 0;
    for (uint32_t i = 0; i < std::min<uint32_t>(length, 7); ++i, count += 8) {
        bits = bits << 8 | bytes[i];
    }
    int at = count;
    const auto take = [&](int n) {
        at -= n;
        return at < 0 ? -1 : static_cast<int>((bits >> at) & ((1u << n) - 1));
    };
    if (take(5) == 31) {
        take(6);
    }
    const int rateIndex = take(4);
    const int rate = rateIndex == 15                    ? take(24)
                     : rateIndex >= 0 && rateIndex < 13 ? kRates[rateIndex]
                                                        : 0;
    const int channels = take(4);
    if (rate > 0 && channels >= 0) {
        config.SampleRate = rate;
        config.Channels = channels == 7 ? 8 : channels;
    }
    return config;
}

class TMovieWalk {
public:
    TMovieWalk(IByteSource& source, const TMP4Atom& movie)
        : window_(source, movie.End), movie_(movie) {}

    std::optional<TAudioProperties> Run();

private:
    // Calls `visit` for each child of the atom spanning `begin` to `end`; false when a header
    // is broken or the budget is spent.
    template <typename TVisit>
    bool Children(uint64_t begin, uint64_t end, TVisit&& visit);
    bool ReadTrack(const TMP4Atom& track, TAudioProperties& properties,
                   std::optional<TTimes>& media);
    bool ReadSampleEntry(const TMP4Atom& entry, TAudioProperties& properties);
    const uint8_t* Body(const TMP4Atom& atom, uint64_t size) {
        return atom.End - atom.ContentStart >= size
                   ? window_.Get(atom.ContentStart, static_cast<size_t>(size))
                   : nullptr;
    }

    TByteWindow window_;
    const TMP4Atom movie_;
    int budget_ = kMaxMovieAtoms;
};

template <typename TVisit>
bool TMovieWalk::Children(uint64_t begin, uint64_t end, TVisit&& visit) {
    for (uint64_t position = begin; position < end;) {
        if (--budget_ < 0) {
            return false;
        }
        const std::optional<TMP4Atom> atom = ReadAtomHeader(window_, position, end);
        if (!atom) {
            return end - position < 8;  // a few bytes at the end of a container are padding
        }
        if (!visit(*atom)) {
            return false;
        }
        position = atom->End;
    }
    return true;
}

std::optional<TAudioProperties> TMovieWalk::Run() {
    std::optional<TTimes> movieTimes, mediaTimes;
    std::optional<TAudioProperties> found;
    Children(movie_.ContentStart, movie_.End, [&](const TMP4Atom& atom) {
        if (atom.Type == kMovieHeader) {
            if (const uint8_t* body = Body(atom, 32)) {
                movieTimes = ReadTimes(body, 32);
            } else if (const uint8_t* shortBody = Body(atom, 20)) {
                movieTimes = ReadTimes(shortBody, 20);
            }
        } else if (atom.Type == kTrack && !found) {
            TAudioProperties properties;
            std::optional<TTimes> media;
            if (ReadTrack(atom, properties, media)) {
                found = properties;
                mediaTimes = media;
            }
        }
        return true;
    });
    if (!found) {
        return std::nullopt;
    }
    const std::optional<TTimes>& times =
        movieTimes && movieTimes->Duration > 0 ? movieTimes : mediaTimes;
    if (times && times->Duration > 0 && times->Duration < (uint64_t{1} << 53)) {
        found->DurationMs = static_cast<int64_t>((times->Duration * 1000 + times->Timescale / 2) /
                                                 times->Timescale);
    }
    if (!found->SampleRate && mediaTimes) {
        found->SampleRate = static_cast<int>(std::min<uint32_t>(mediaTimes->Timescale, 1 << 30));
    }
    return found;
}

// True when the track is a sound track with a sample description this reader knows.
bool TMovieWalk::ReadTrack(const TMP4Atom& track, TAudioProperties& properties,
                           std::optional<TTimes>& media) {
    bool sound = false, described = false;
    std::optional<TMP4Atom> sampleTable;
    Children(track.ContentStart, track.End, [&](const TMP4Atom& mdia) {
        if (mdia.Type != kMedia) {
            return true;
        }
        return Children(mdia.ContentStart, mdia.End, [&](const TMP4Atom& atom) {
            if (atom.Type == kMediaHeader) {
                if (const uint8_t* body = Body(atom, 32)) {
                    media = ReadTimes(body, 32);
                } else if (const uint8_t* shortBody = Body(atom, 20)) {
                    media = ReadTimes(shortBody, 20);
                }
            } else if (atom.Type == kHandler) {
                // Version and flags, a predefined word, then the handler type.
                const uint8_t* body = Body(atom, 12);
                sound = body != nullptr && BigEndianValue(body + 8, 4) == kSound;
            } else if (atom.Type == kMediaInfo) {
                return Children(atom.ContentStart, atom.End, [&](const TMP4Atom& child) {
                    if (child.Type == kSampleTable) {
                        sampleTable = child;
                    }
                    return true;
                });
            }
            return true;
        });
    });
    if (!sound || !sampleTable) {
        return false;
    }
    Children(sampleTable->ContentStart, sampleTable->End, [&](const TMP4Atom& atom) {
        if (atom.Type != kSampleDescription) {
            return true;
        }
        // Version and flags and the entry count come before the first entry.
        const uint64_t first = atom.ContentStart + 8;
        const std::optional<TMP4Atom> entry =
            first <= atom.End ? ReadAtomHeader(window_, first, atom.End) : std::nullopt;
        described = entry && ReadSampleEntry(*entry, properties);
        return false;
    });
    return described;
}

bool TMovieWalk::ReadSampleEntry(const TMP4Atom& entry, TAudioProperties& properties) {
    if (entry.Type == kAac) {
        properties.Codec = TAudioCodec::AAC;
    } else if (entry.Type == kAlac) {
        properties.Codec = TAudioCodec::ALAC;
        properties.Mode = TAudioMode::Lossless;
    } else if (entry.Type == kFlac) {
        properties.Codec = TAudioCodec::FLAC;
        properties.Mode = TAudioMode::Lossless;
    } else if (entry.Type == kOpus) {
        properties.Codec = TAudioCodec::Opus;
    } else {
        return false;
    }
    const uint8_t* body = Body(entry, kSampleEntrySize);
    if (body == nullptr) {
        return false;
    }
    // Six reserved bytes and a data reference index, a version (QuickTime's 1 and 2 add
    // fields after the rate), revision and vendor, then channels, sample size, two reserved
    // words and the rate in 16.16.
    const uint16_t version = static_cast<uint16_t>(BigEndianValue(body + 8, 2));
    const int channels = static_cast<int>(BigEndianValue(body + 16, 2));
    const int rate = static_cast<int>(BigEndianValue(body + 24, 2));
    if (channels > 0) {
        properties.Channels = channels;
    }
    if (rate > 0) {
        properties.SampleRate = rate;
    }
    const uint64_t extra = version == 1 ? 16 : version == 2 ? 36 : 0;
    const uint64_t children = entry.ContentStart + kSampleEntrySize + extra;
    if (children > entry.End) {
        return true;
    }
    Children(children, entry.End, [&](const TMP4Atom& atom) {
        const uint64_t size = atom.End - atom.ContentStart;
        if (atom.Type == kElementary && properties.Codec == TAudioCodec::AAC && size <= 4096) {
            const uint8_t* bytes = Body(atom, size);
            const std::optional<TDecoderConfig> config =
                bytes ? ReadElementary(std::span<const uint8_t>(bytes, static_cast<size_t>(size)))
                      : std::nullopt;
            if (config && config->SampleRate > 0) {
                properties.SampleRate = config->SampleRate;
            }
            if (config && config->Channels > 0) {
                properties.Channels = config->Channels;
            }
            if (config && (config->ObjectType == 0x69 || config->ObjectType == 0x6B)) {
                properties.Codec = TAudioCodec::MP3;  // MP3 carried in MP4
            }
        } else if (atom.Type == kAlac && properties.Codec == TAudioCodec::ALAC) {
            // Version and flags, then the ALAC configuration: its channels at 9, rate at 20.
            if (const uint8_t* bytes = Body(atom, 28)) {
                if (bytes[13] > 0) {
                    properties.Channels = bytes[13];
                }
                if (const uint32_t alacRate = BigEndianValue(bytes + 24, 4); alacRate > 0) {
                    properties.SampleRate = static_cast<int>(std::min<uint32_t>(alacRate, 1 << 30));
                }
            }
        }
        return true;
    });
    return true;
}

}  // namespace

std::optional<TAudioProperties> ReadMP4AudioProperties(IByteSource& source) {
    const std::optional<uint64_t> fileSize = source.Size();
    if (!fileSize) {
        return std::nullopt;
    }
    std::optional<TMP4Atom> movie;
    uint64_t mediaBytes = 0;
    uint64_t position = 0;
    for (int count = 0; position < *fileSize && count < kMaxTopLevelAtoms; ++count) {
        const std::optional<TMP4Atom> atom = ReadAtomHeader(source, position, *fileSize);
        if (!atom) {
            break;  // a damaged or cut-off tail; what was found before still counts
        }
        if (atom->Type == kMovie && !movie) {
            movie = atom;
        } else if (atom->Type == kMediaData) {
            mediaBytes += atom->End - atom->ContentStart;
        }
        position = atom->End;
    }
    if (!movie) {
        return std::nullopt;
    }
    std::optional<TAudioProperties> properties = TMovieWalk(source, *movie).Run();
    if (properties && properties->DurationMs && mediaBytes > 0) {
        properties->Bitrate = AverageBitrate(mediaBytes, *properties->DurationMs);
    }
    return properties;
}

}  // namespace melodrix
