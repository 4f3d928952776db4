#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/tags/ByteSource.h"

namespace melodrix {

// What one archive may cost before it is given up, so that a crafted one (a zip bomb, a
// million empty entries, a format that makes the decoder crawl) can neither hang a scan nor
// fill the memory.
struct TArchiveLimits {
    uint64_t MaxEntries = 100'000;
    // Bytes read out of the archive once decompressed: the entries' data the scan asks for and
    // whatever a compressed stream must be unpacked through to reach them.
    uint64_t MaxBytes = 2'000'000'000;
    std::chrono::milliseconds MaxTime{30'000};
    // How much of a wanted entry's start and end is kept for its readers; tags and stream
    // headers live there. A read of the middle of a longer entry fails.
    size_t HeadBytes = size_t{1} << 20;
    size_t TailBytes = size_t{256} << 10;
};

// One entry as the archive lists it.
struct TArchiveEntry {
    // Its path below the archive, one name per component, as stored (bytes; not always UTF-8).
    // Empty and "." components are left out; ".." and the names of absolute paths are kept as
    // names, since nothing is ever written to the disk.
    std::vector<std::string> Components;
    bool IsDirectory = false;
    uint64_t Size = 0;
    bool HasTime = false;
    int64_t ModifiedSecs = 0;  // seconds since the epoch
};

// The start and the end of an entry's data, as a byte source of the entry's full size: reads
// inside the kept ranges are served, others fail (as a read past the end of a file would).
class TEntryBytes final : public IByteSource {
public:
    void Start(size_t headBytes, size_t tailBytes);
    void Append(const uint8_t* bytes, size_t size);

    std::optional<uint64_t> Size() override { return size_; }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override;

private:
    std::vector<uint8_t> head_;
    std::vector<uint8_t> tail_;  // the last bytes seen, up to tailBytes_ once trimmed
    size_t headBytes_ = 0;
    size_t tailBytes_ = 0;
    uint64_t size_ = 0;
};

enum class TArchiveProblem { None, Unreadable, Encrypted, TooManyEntries, TooManyBytes, TooSlow };

struct TArchiveResult {
    TArchiveProblem Problem = TArchiveProblem::None;
    std::string Detail;  // what the library said, when it said something

    bool Ok() const { return Problem == TArchiveProblem::None; }
};

// "it is encrypted", "it holds more than 100000 entries"...: why an archive was not looked into.
std::string ArchiveProblemText(const TArchiveResult& result, const TArchiveLimits& limits);

// True for the names of the archives and disc images the reader opens: .zip, .7z, .tar,
// .tar.gz/.tgz, .tar.bz2/.tbz2/.tbz, .tar.xz/.txz, .tar.zst/.tzst and .iso, in any case.
bool IsArchiveName(std::string_view name);

// Called for each entry once it has been read. `bytes` is its data when `wantsBytes` asked
// for it (valid during the call only), else null.
using TArchiveVisit = std::function<void(const TArchiveEntry& entry, IByteSource* bytes)>;
using TWantsBytes = std::function<bool(const TArchiveEntry& entry)>;

// Reads every entry of the archive whose name on disk is `nativePath`; nothing is extracted.
// A problem (a damaged, truncated or encrypted archive, a limit reached) ends the read: the
// entries visited so far are then no listing of the archive.
TArchiveResult ReadArchiveFile(const std::string& nativePath, const TArchiveLimits& limits,
                               const TWantsBytes& wantsBytes, const TArchiveVisit& visit);
// The same for an archive held in memory.
TArchiveResult ReadArchiveBytes(std::span<const uint8_t> bytes, const TArchiveLimits& limits,
                                const TWantsBytes& wantsBytes, const TArchiveVisit& visit);

}  // namespace melodrix
