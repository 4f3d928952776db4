#pragma once
// A byte source that notes every read, so that a benchmark can replay exactly the bytes a
// reader asked for as its floor.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/tags/ByteSource.h"

namespace melodrix::bench {

struct TRange {
    uint64_t Offset;
    size_t Size;
};

// The reads one reader made on one file.
using TReaderRanges = std::vector<TRange>;

class TRecordingSource final : public IByteSource {
public:
    explicit TRecordingSource(IByteSource& inner) : inner_(inner) {}
    std::optional<uint64_t> Size() override { return inner_.Size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
        Ranges.push_back({offset, size});
        return inner_.ReadAt(offset, buffer, size);
    }
    TReaderRanges Ranges;

private:
    IByteSource& inner_;
};

}  // namespace melodrix::bench
