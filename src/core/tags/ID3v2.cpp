#include "core/tags/ID3v2.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

#include "core/tags/ByteWindow.h"
#include "core/tags/ID3v2Genre.h"
#include "core/tags/ID3v2Numbers.h"
#include "core/tags/ID3v2Text.h"

namespace melodrix {
namespace {

constexpr uint64_t kHeaderSize = 10;
constexpr int kMaxFrames = 4096;

// Tag header flags.
constexpr uint8_t kUnsynchronisedTag = 0x80;
constexpr uint8_t kExtendedHeader = 0x40;
constexpr uint8_t kCompressedTag = 0x40;  // version 2.2 only

// Frame format flags of version 2.3 and of version 2.4.
constexpr uint8_t kCompressed23 = 0x80, kEncrypted23 = 0x40, kGrouped23 = 0x20;
constexpr uint8_t kGrouped24 = 0x40, kCompressed24 = 0x08, kEncrypted24 = 0x04,
                  kUnsynchronised24 = 0x02, kDataLength24 = 0x01;

enum class TFrameKind {
    Title,
    Artist,
    Album,
    Year,
    Comment,
    Track,
    Genre,
    RecordingTime,
    Disc,
    AlbumArtist,
    Other
};

TFrameKind KindOf(const uint8_t* id, int major) {
    struct TName {
        const char* Id;
        TFrameKind Kind;
    };
    static constexpr TName kNames[] = {
        {"TIT2", TFrameKind::Title},   {"TPE1", TFrameKind::Artist},
        {"TALB", TFrameKind::Album},   {"TYER", TFrameKind::Year},
        {"COMM", TFrameKind::Comment}, {"TRCK", TFrameKind::Track},
        {"TCON", TFrameKind::Genre},   {"TDRC", TFrameKind::RecordingTime},
        {"TPOS", TFrameKind::Disc},    {"TPE2", TFrameKind::AlbumArtist}};
    static constexpr TName kShortNames[] = {
        {"TT2", TFrameKind::Title}, {"TP1", TFrameKind::Artist},  {"TAL", TFrameKind::Album},
        {"TYE", TFrameKind::Year},  {"COM", TFrameKind::Comment}, {"TRK", TFrameKind::Track},
        {"TCO", TFrameKind::Genre}, {"TPA", TFrameKind::Disc},    {"TP2", TFrameKind::AlbumArtist}};
    const std::span<const TName> names =
        major == 2 ? std::span<const TName>(kShortNames) : std::span<const TName>(kNames);
    const size_t idSize = major == 2 ? 3 : 4;
    for (const TName& name : names) {
        if (std::memcmp(id, name.Id, idSize) == 0) {
            return name.Kind;
        }
    }
    return TFrameKind::Other;
}

std::string FirstCharacters(const std::string& utf8, int count) {
    size_t end = 0;
    for (int seen = 0; end < utf8.size(); ++end) {
        if ((static_cast<unsigned char>(utf8[end]) & 0xC0) != 0x80 && seen++ == count) {
            break;
        }
    }
    return utf8.substr(0, end);
}

// Walks the frames of one tag over a window and stores the recognised ones in the reader.
class TFrameWalk {
public:
    TFrameWalk(TID3v2& reader, TByteWindow& window, int major, bool framesUnsynchronised)
        : reader_(reader),
          window_(window),
          major_(major),
          framesUnsynchronised_(framesUnsynchronised) {}

    // Walks from `begin` to the tag's `end`; false when a size points past the tag or the file.
    bool Run(uint64_t begin, uint64_t end, bool extendedHeader);

private:
    bool SkipExtendedHeader(uint64_t& position, uint64_t end);
    uint32_t BodySize(const uint8_t* header) const;
    bool ReadFrame(TFrameKind kind, uint64_t start, uint32_t size, uint8_t formatFlags);
    void Store(TFrameKind kind, std::span<const uint8_t> body);

    TID3v2& reader_;
    TByteWindow& window_;
    const int major_;
    const bool framesUnsynchronised_;
    bool yearFound_ = false;
    bool commentWithoutDescription_ = false;
    std::optional<std::string> recordingTime_;
};

bool TFrameWalk::Run(uint64_t begin, uint64_t end, bool extendedHeader) {
    uint64_t position = begin;
    if (extendedHeader && !SkipExtendedHeader(position, end)) {
        return false;
    }
    const uint64_t headerSize = major_ == 2 ? 6 : 10;
    // Fewer bytes than a frame header at the end of the tag can only be padding. Real tags
    // hold a few dozen frames; the walk stops after a few thousand and keeps what it found.
    for (int frames = 0; end - position >= headerSize && frames < kMaxFrames; ++frames) {
        const uint8_t* header = window_.Get(position, headerSize);
        if (header == nullptr) {
            return false;  // the tag claims more bytes than the file has
        }
        if (header[0] == 0) {
            break;  // padding: no frame follows
        }
        const TFrameKind kind = KindOf(header, major_);
        const uint32_t size = BodySize(header);
        const uint8_t formatFlags = major_ == 2 ? 0 : header[9];
        const uint64_t start = position + headerSize;
        if (size > end - start || size > window_.Limit() - start) {
            return false;
        }
        position = start + size;
        if (kind != TFrameKind::Other && size > 0 && !ReadFrame(kind, start, size, formatFlags)) {
            return false;
        }
    }
    if (!yearFound_ && recordingTime_) {
        // Version 2.4 replaced the year frame by a recording time such as "2004-05-17".
        reader_.Year = FirstCharacters(*recordingTime_, 4);
    }
    return true;
}

bool TFrameWalk::SkipExtendedHeader(uint64_t& position, uint64_t end) {
    const uint8_t* sizeBytes = window_.Get(position, 4);
    if (sizeBytes == nullptr) {
        return false;
    }
    // Version 2.3 counts the bytes after the size field, version 2.4 the whole extended header.
    const uint64_t size =
        major_ == 3 ? 4ull + BigEndianValue(sizeBytes, 4) : uint64_t{SynchsafeValue(sizeBytes, 4)};
    if (size < 4 || size > end - position) {
        return false;
    }
    position += size;
    return true;
}

uint32_t TFrameWalk::BodySize(const uint8_t* header) const {
    if (major_ == 2) {
        return BigEndianValue(header + 3, 3);
    }
    if (major_ == 3) {
        return BigEndianValue(header + 4, 4);
    }
    // Some writers put plain numbers into 2.4 frame headers; a set top bit gives them away.
    const bool plain = ((header[4] | header[5] | header[6] | header[7]) & 0x80) != 0;
    return plain ? BigEndianValue(header + 4, 4) : SynchsafeValue(header + 4, 4);
}

bool TFrameWalk::ReadFrame(TFrameKind kind, uint64_t start, uint32_t size, uint8_t formatFlags) {
    bool unsynchronised = framesUnsynchronised_;
    size_t prefix = 0;
    bool dataLength = false;
    if (major_ == 3) {
        if (formatFlags & (kCompressed23 | kEncrypted23)) {
            return true;  // not readable as text; the frame is stepped over
        }
        prefix += (formatFlags & kGrouped23) ? 1 : 0;
    } else if (major_ == 4) {
        if (formatFlags & (kCompressed24 | kEncrypted24)) {
            return true;
        }
        unsynchronised = unsynchronised || (formatFlags & kUnsynchronised24);
        prefix += (formatFlags & kGrouped24) ? 1 : 0;
        dataLength = (formatFlags & kDataLength24) != 0;
    }
    const uint8_t* bytes = window_.Get(start, size);
    if (bytes == nullptr) {
        return false;
    }
    std::span<const uint8_t> body(bytes, size);
    std::vector<uint8_t> resynchronised;
    if (unsynchronised) {
        resynchronised.assign(body.begin(), body.end());
        RemoveUnsynchronisation(resynchronised);
        body = resynchronised;
    }
    if (prefix > body.size()) {
        return true;
    }
    body = body.subspan(prefix);
    if (dataLength) {
        if (body.size() < 4) {
            return true;
        }
        const uint32_t length = SynchsafeValue(body.data(), 4);
        body = body.subspan(4);
        if (length > body.size()) {
            return true;  // a frame that contradicts itself is left out, the others still count
        }
        body = body.first(length);
    }
    Store(kind, body);
    return true;
}

void TFrameWalk::Store(TFrameKind kind, std::span<const uint8_t> body) {
    if (kind == TFrameKind::Comment) {
        std::optional<TCommentFrame> comment = DecodeCommentFrame(body);
        if (!comment) {
            return;
        }
        // Players keep their own data in described comments; the plain comment is the user's.
        if (comment->Description.empty()) {
            reader_.Comment = std::move(comment->Text);
            commentWithoutDescription_ = true;
        } else if (!commentWithoutDescription_) {
            reader_.Comment = std::move(comment->Text);
        }
        return;
    }
    std::optional<std::string> text = DecodeTextFrame(body, major_ == 4);
    if (!text) {
        return;  // an unknown encoding leaves the field as it was
    }
    switch (kind) {
        case TFrameKind::Title:
            reader_.Title = std::move(*text);
            break;
        case TFrameKind::Artist:
            reader_.Artist = std::move(*text);
            break;
        case TFrameKind::Album:
            reader_.Album = std::move(*text);
            break;
        case TFrameKind::Year:
            reader_.Year = std::move(*text);
            yearFound_ = true;
            break;
        case TFrameKind::Track:
            reader_.Track = std::move(*text);
            break;
        case TFrameKind::Genre:
            reader_.Genre = ResolveGenreReferences(*text, major_ == 4);
            break;
        case TFrameKind::Disc:
            reader_.Disc = std::move(*text);
            break;
        case TFrameKind::AlbumArtist:
            reader_.AlbumArtist = std::move(*text);
            break;
        case TFrameKind::RecordingTime:
            recordingTime_ = std::move(*text);
            break;
        case TFrameKind::Comment:
        case TFrameKind::Other:
            break;
    }
}

}  // namespace

bool TID3v2::ReadTag(IByteSource& source) {
    const std::optional<uint64_t> fileSize = source.Size();
    uint8_t header[kHeaderSize];
    if (!fileSize || !source.ReadAt(0, header, kHeaderSize)) {
        return false;
    }
    if (header[0] != 'I' || header[1] != 'D' || header[2] != '3') {
        return true;
    }
    const int major = header[3];
    if (major < 2 || major > 4) {
        return true;  // a layout this reader does not know is no tag it could take fields from
    }
    TagFound = true;
    const uint8_t flags = header[5];
    const uint64_t tagEnd = kHeaderSize + SynchsafeValue(header + 6, 4);
    if (major == 2 && (flags & kCompressedTag)) {
        return true;  // 2.2 never defined its compression, so such a tag has nothing readable
    }
    const bool extendedHeader = major > 2 && (flags & kExtendedHeader);
    const uint64_t readable = std::min(tagEnd, *fileSize);
    if ((flags & kUnsynchronisedTag) && major < 4) {
        // Before 2.4 the whole tag after its header is unsynchronised, frame headers included.
        std::vector<uint8_t> bytes(readable - kHeaderSize);
        if (!source.ReadAt(kHeaderSize, bytes.data(), bytes.size())) {
            return false;
        }
        RemoveUnsynchronisation(bytes);
        TMemoryByteSource plain(bytes);
        TByteWindow window(plain, bytes.size());
        return TFrameWalk(*this, window, major, false).Run(0, bytes.size(), extendedHeader);
    }
    TByteWindow window(source, readable);
    const bool framesUnsynchronised = (flags & kUnsynchronisedTag) != 0;
    return TFrameWalk(*this, window, major, framesUnsynchronised)
        .Run(kHeaderSize, tagEnd, extendedHeader);
}

}  // namespace melodrix
