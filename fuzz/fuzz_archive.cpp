// The archive path of a scan on any bytes: the archive reader lists the entries, the tag and
// audio readers read each entry's kept bytes. No crash, no leak, and the limits hold: never
// more entries visited than allowed, never a path component that is empty or ".".

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/archive/ArchiveReader.h"
#include "core/scan/ScannerTags.h"

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace melodrix;
    TArchiveLimits limits;
    limits.MaxEntries = 200;
    limits.MaxBytes = 8'000'000;
    limits.MaxTime = std::chrono::milliseconds(2000);
    limits.HeadBytes = 64 * 1024;
    limits.TailBytes = 16 * 1024;
    TTagReaders readers;
    uint64_t visited = 0;
    ReadArchiveBytes(
        std::span(data, size), limits, [](const TArchiveEntry&) { return true; },
        [&](const TArchiveEntry& entry, IByteSource* bytes) {
            ++visited;
            Require(!entry.Components.empty(), "an entry without a name");
            for (const std::string& name : entry.Components) {
                Require(!name.empty() && name != ".", "an empty or \".\" component");
            }
            if (bytes) {
                Require(bytes->Size() == entry.Size, "the kept bytes have another size");
                TTagFields fields;
                readers.Read(*bytes, TMusicFormat::MP3, fields);
                readers.Read(*bytes, TMusicFormat::MP4, fields);
            }
        });
    Require(visited <= limits.MaxEntries, "more entries than the limit");
    return 0;
}
