#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/tags/ByteSource.h"

namespace melodrix {

// A byte source that keeps the first and the last bytes of another one. The tag readers and
// the audio property readers of one file ask many small ranges near its two ends (tag headers
// and footers, the first frame, the trailing tags): each end is read once, with one call, and
// the ranges inside it are served from memory. Other ranges go to the source unchanged. The
// buffers are kept for the next file, so a scan allocates them once.
class TEdgeCache final : public IByteSource {
public:
    static constexpr size_t kHeadBytes = 16 * 1024;
    static constexpr size_t kTailBytes = 4 * 1024;

    // Starts over on `source`, which must outlive the reads.
    void Reset(IByteSource& source);

    std::optional<uint64_t> Size() override;
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override;

private:
    struct TEdge {
        uint64_t start = 0;
        std::vector<uint8_t> bytes;
        bool tried = false;  // loaded, or found unreadable: then ranges go to the source

        bool Holds(uint64_t offset, size_t size) const {
            return !bytes.empty() && offset >= start && offset - start <= bytes.size() &&
                   size <= bytes.size() - (offset - start);
        }
    };
    bool Load(TEdge& edge, uint64_t start, size_t size);

    IByteSource* source_ = nullptr;
    std::optional<uint64_t> size_;
    TEdge head_;
    TEdge tail_;
};

}  // namespace melodrix
