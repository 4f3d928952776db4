// The audio property readers of every container, on any bytes: no crash, no allocation beyond
// the bound, a bounded number of reads, and properties that make sense when there are some.

#include <cstddef>
#include <cstdint>

#include "FuzzChecks.h"
#include "core/tags/AudioProperties.h"

namespace {

// Counts the reads, which must stay few whatever the bytes say.
class TCountingSource final : public melodrix::IByteSource {
public:
    TCountingSource(const uint8_t* data, size_t size) : inner_(std::span(data, size)) {}
    std::optional<uint64_t> Size() override { return inner_.Size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
        ++Reads;
        return inner_.ReadAt(offset, buffer, size);
    }
    int Reads = 0;

private:
    melodrix::TMemoryByteSource inner_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace melodrix;
    using fuzzing::Require;
    for (const TAudioContainer hint : {TAudioContainer::Unknown, TAudioContainer::MP4}) {
        std::optional<TAudioProperties> properties;
        TCountingSource source(data, size);
        {
            const fuzzing::TAllocationBound bound(size);
            properties = ReadAudioProperties(source, hint);
        }
        // A few reads each for the frame search, the tail pages and the movie; the 4 MB walk in
        // 64 KB steps; the top-level atoms of MP4, read one by one, up to a thousand.
        Require(source.Reads <= 1200, "too many reads");
        if (properties) {
            Require(!properties->SampleRate || *properties->SampleRate > 0, "a rate of 0");
            Require(!properties->Channels || *properties->Channels > 0, "no channels");
            Require(!properties->DurationMs || *properties->DurationMs >= 0, "a negative duration");
            Require(!properties->Bitrate || *properties->Bitrate >= 0, "a negative bitrate");
        }
    }
    return 0;
}
