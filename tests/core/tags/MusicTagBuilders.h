#pragma once

// Assemble the byte layouts of FLAC metadata, Ogg pages and MP4 atoms for tests, fuzzing seeds
// and benchmarks. Every helper returns plain bytes, so a caller can cut or corrupt them freely.

#include <string>
#include <string_view>
#include <vector>

#include "TagBuilders.h"

namespace melodrix::tagbytes {

// The comment list shared by FLAC, Vorbis and Opus: vendor, count, "KEY=value" entries.
inline std::string VorbisCommentList(const std::vector<std::string>& entries,
                                     std::string_view vendor = "test vendor") {
    std::string list = LittleEndian32(static_cast<uint32_t>(vendor.size())) + std::string(vendor);
    list += LittleEndian32(static_cast<uint32_t>(entries.size()));
    for (const std::string& entry : entries) {
        list += LittleEndian32(static_cast<uint32_t>(entry.size())) + entry;
    }
    return list;
}

// ---- FLAC ----

constexpr uint8_t kFlacStreamInfo = 0, kFlacPadding = 1, kFlacComment = 4, kFlacPicture = 6;

inline std::string FlacBlock(uint8_t type, std::string_view body, bool last = false) {
    return std::string(1, static_cast<char>(type | (last ? 0x80 : 0))) +
           BigEndian(static_cast<uint32_t>(body.size()), 3) + std::string(body);
}

// "fLaC", the given blocks (the caller marks the last), then stand-in audio frames.
inline std::string FlacFile(const std::vector<std::string>& blocks, size_t audio = 256) {
    std::string file = "fLaC";
    for (const std::string& block : blocks) {
        file += block;
    }
    return file + AudioLike(audio);
}

// ---- Ogg ----

// One page; `lacing` are the segment sizes, whose sum must be the size of `data`.
inline std::string OggPage(uint32_t serial, uint8_t flags, uint32_t sequence,
                           const std::vector<uint8_t>& lacing, std::string_view data) {
    std::string page = "OggS" + Bytes({0, flags}) + std::string(8, '\0') + LittleEndian32(serial) +
                       LittleEndian32(sequence) + std::string(4, '\0');
    page.push_back(static_cast<char>(lacing.size()));
    page += std::string(lacing.begin(), lacing.end());
    return page + std::string(data);
}

// The lacing values of one packet: 255 for each full segment, then the rest (0 when the size
// is a multiple of 255).
inline std::vector<uint8_t> Lacing(size_t packetSize) {
    std::vector<uint8_t> lacing(packetSize / 255, 255);
    lacing.push_back(static_cast<uint8_t>(packetSize % 255));
    return lacing;
}

// Packets of one logical stream laid into pages of at most `segmentsPerPage` segments; a packet
// continues on the next page when it does not fit. The first page is marked as the stream's
// first.
inline std::string OggStream(uint32_t serial, const std::vector<std::string>& packets,
                             size_t segmentsPerPage = 255) {
    std::vector<uint8_t> lacing;
    std::string data;
    for (const std::string& packet : packets) {
        const std::vector<uint8_t> own = Lacing(packet.size());
        lacing.insert(lacing.end(), own.begin(), own.end());
        data += packet;
    }
    std::string stream;
    uint32_t sequence = 0;
    size_t segment = 0, offset = 0;
    while (segment < lacing.size()) {
        const size_t count = std::min(segmentsPerPage, lacing.size() - segment);
        const std::vector<uint8_t> pageLacing(lacing.begin() + segment,
                                              lacing.begin() + segment + count);
        size_t size = 0;
        for (const uint8_t value : pageLacing) {
            size += value;
        }
        // A page that starts inside a packet says so.
        const bool continued = segment > 0 && lacing[segment - 1] == 255;
        const uint8_t flags = (sequence == 0 ? 0x02 : 0) | (continued ? 0x01 : 0);
        stream += OggPage(serial, flags, sequence++, pageLacing, data.substr(offset, size));
        segment += count;
        offset += size;
    }
    return stream;
}

inline std::string OpusHead() {
    return "OpusHead" + Bytes({1, 2, 0x38, 0x01, 0x80, 0xBB, 0, 0, 0, 0, 0});
}
inline std::string OpusTags(const std::vector<std::string>& entries) {
    return "OpusTags" + VorbisCommentList(entries);
}
inline std::string VorbisIdentification() {
    return "\x01vorbis" + std::string(23, '\x01');
}
inline std::string VorbisCommentPacket(const std::vector<std::string>& entries) {
    return "\x03vorbis" + VorbisCommentList(entries) + "\x01";
}

// ---- MP4 ----

inline std::string Atom(std::string_view type, std::string_view body) {
    return BigEndian(static_cast<uint32_t>(body.size() + 8), 4) + std::string(type) +
           std::string(body);
}

// An atom with a 64-bit size.
inline std::string LargeAtom(std::string_view type, std::string_view body) {
    return BigEndian(1, 4) + std::string(type) + BigEndian(0, 4) +
           BigEndian(static_cast<uint32_t>(body.size() + 16), 4) + std::string(body);
}

// A data atom: type indicator (1 UTF-8, 2 UTF-16BE, 0 implicit, 21 integer), locale, value.
inline std::string DataAtom(uint32_t indicator, std::string_view value) {
    return Atom("data", BigEndian(indicator, 4) + BigEndian(0, 4) + std::string(value));
}

inline std::string TextItem(std::string_view type, std::string_view text) {
    return Atom(type, DataAtom(1, text));
}

// ftyp, then moov/udta/meta/ilst with the items and the audio in mdat, in either order.
inline std::string Mp4File(const std::vector<std::string>& items, bool movieFirst,
                           size_t audio = 512) {
    std::string list;
    for (const std::string& item : items) {
        list += item;
    }
    const std::string handler =
        Atom("hdlr", std::string(8, '\0') + "mdirappl" + std::string(9, '\0'));
    const std::string meta = Atom("meta", BigEndian(0, 4) + handler + Atom("ilst", list));
    const std::string movie =
        Atom("moov", Atom("mvhd", std::string(100, '\0')) + Atom("trak", std::string(64, '\x07')) +
                         Atom("udta", meta));
    const std::string head = Atom("ftyp", std::string("M4A \0\0\0\0M4A mp42isom", 20));
    const std::string media = Atom("mdat", AudioLike(audio));
    return movieFirst ? head + movie + media : head + media + movie;
}

}  // namespace melodrix::tagbytes
