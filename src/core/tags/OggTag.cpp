#include "core/tags/OggTag.h"

#include <cstring>
#include <span>
#include <vector>

#include "core/tags/ByteWindow.h"
#include "core/tags/VorbisComments.h"

namespace melodrix {
namespace {

constexpr uint64_t kPageHeaderSize = 27;
constexpr uint8_t kFirstPage = 0x02;

uint32_t LittleEndian32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

bool StartsWith(std::span<const uint8_t> bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() &&
           std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

TOggCodec CodecOf(std::span<const uint8_t> firstPacketStart) {
    using namespace std::string_view_literals;
    if (StartsWith(firstPacketStart, "\x01vorbis"sv)) {
        return TOggCodec::Vorbis;
    }
    if (StartsWith(firstPacketStart, "OpusHead"sv)) {
        return TOggCodec::Opus;
    }
    if (StartsWith(firstPacketStart,
                   "\x7F"
                   "FLAC"sv)) {
        return TOggCodec::FLAC;
    }
    return TOggCodec::Unknown;
}

// The comment list inside a comment packet; nothing when the packet is not one.
std::optional<std::span<const uint8_t>> CommentList(TOggCodec codec,
                                                    std::span<const uint8_t> packet) {
    using namespace std::string_view_literals;
    switch (codec) {
        case TOggCodec::Vorbis:
            if (StartsWith(packet, "\x03vorbis"sv)) {
                return packet.subspan(7);
            }
            break;
        case TOggCodec::Opus:
            if (StartsWith(packet, "OpusTags"sv)) {
                return packet.subspan(8);
            }
            break;
        case TOggCodec::FLAC:
            // A metadata block header of type VORBIS_COMMENT, then the list.
            if (packet.size() >= 4 && (packet[0] & 0x7F) == 4) {
                return packet.subspan(4);
            }
            break;
        case TOggCodec::Unknown:
            break;
    }
    return std::nullopt;
}

// Walks the pages of the first logical stream, splitting their data into packets by the
// lacing values, and keeps the bytes of the one packet it is after.
class TPacketWalk {
public:
    TPacketWalk(IByteSource& source, uint64_t fileSize)
        : source_(source), window_(source, fileSize), fileSize_(fileSize) {}

    // False when a page header is broken or the file ends first.
    bool Run(TOggCodec& codec, std::vector<uint8_t>& commentPacket);

private:
    IByteSource& source_;
    // Page headers and lacing values come through the window, so many small pages of other
    // streams cost a few reads.
    TByteWindow window_;
    const uint64_t fileSize_;
};

// The comment packet comes within this many pages of the start, and is no larger than this;
// beyond, the file is taken as broken rather than read on.
constexpr int kMaxPages = 1024;
constexpr uint64_t kMaxCommentPacket = 16 * 1024 * 1024;

bool TPacketWalk::Run(TOggCodec& codec, std::vector<uint8_t>& commentPacket) {
    uint64_t position = 0;
    bool first = true;
    uint32_t serial = 0;
    int packet = 0;  // the index of the packet the next data byte belongs to
    uint8_t header[kPageHeaderSize + 255];
    for (int pages = 0; packet < 2; ++pages) {
        const uint8_t* fixed = window_.Get(position, kPageHeaderSize);
        if (pages == kMaxPages || fixed == nullptr || std::memcmp(fixed, "OggS", 4) != 0 ||
            fixed[4] != 0) {
            return false;
        }
        std::memcpy(header, fixed, kPageHeaderSize);
        const uint8_t segments = header[26];
        if (segments > 0) {
            const uint8_t* lacingBytes = window_.Get(position + kPageHeaderSize, segments);
            if (lacingBytes == nullptr) {
                return false;
            }
            std::memcpy(header + kPageHeaderSize, lacingBytes, segments);
        }
        const uint8_t* lacing = header + kPageHeaderSize;
        uint64_t dataSize = 0;
        for (int s = 0; s < segments; ++s) {
            dataSize += lacing[s];
        }
        const uint64_t data = position + kPageHeaderSize + segments;
        if (fileSize_ - data < dataSize) {
            return false;
        }
        const uint32_t pageSerial = LittleEndian32(header + 14);
        if (first) {
            if (!(header[5] & kFirstPage)) {
                return false;
            }
            serial = pageSerial;
        }
        if (pageSerial == serial) {
            if (first) {
                uint8_t start[8] = {};
                const size_t size = segments > 0 ? std::min<size_t>(lacing[0], sizeof start) : 0;
                if (!source_.ReadAt(data, start, size)) {
                    return false;
                }
                codec = CodecOf(std::span<const uint8_t>(start, size));
                if (codec == TOggCodec::Unknown) {
                    return true;  // a stream this reader has no comment layout for
                }
                first = false;
            }
            // The comment packet's bytes on this page are one run; they are read at once.
            uint64_t offset = data, runStart = 0, runSize = 0;
            for (int s = 0; s < segments && packet < 2; ++s) {
                if (packet == 1) {
                    runStart = runSize == 0 ? offset : runStart;
                    runSize += lacing[s];
                }
                offset += lacing[s];
                // A lacing value below 255 ends its packet.
                packet += lacing[s] < 255;
            }
            if (runSize > 0) {
                if (runSize > kMaxCommentPacket - commentPacket.size()) {
                    return false;
                }
                const size_t had = commentPacket.size();
                commentPacket.resize(had + runSize);
                if (!source_.ReadAt(runStart, commentPacket.data() + had, runSize)) {
                    return false;
                }
            }
        }
        position = data + dataSize;
    }
    return true;
}

}  // namespace

bool TOggTag::ReadTag(IByteSource& source) {
    Codec = TOggCodec::Unknown;
    const std::optional<uint64_t> fileSize = source.Size();
    if (!fileSize) {
        return false;
    }
    uint8_t capture[4];
    if (*fileSize < sizeof capture || !source.ReadAt(0, capture, sizeof capture) ||
        std::memcmp(capture, "OggS", 4) != 0) {
        return true;  // not an Ogg file
    }
    std::vector<uint8_t> packet;
    TOggCodec codec = TOggCodec::Unknown;
    const bool walked = TPacketWalk(source, *fileSize).Run(codec, packet);
    Codec = codec;
    if (!walked || codec == TOggCodec::Unknown) {
        return walked;
    }
    const std::optional<std::span<const uint8_t>> list = CommentList(codec, packet);
    if (!list || !ReadVorbisComments(*list, *this)) {
        return false;
    }
    TagFound = true;
    return true;
}

}  // namespace melodrix
