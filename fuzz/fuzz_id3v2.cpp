#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzChecks.h"
#include "core/tags/ID3v2.h"

using namespace melodrix;
using namespace melodrix::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TID3v2 reader;
    bool ok;
    {
        const TAllocationBound bound(size);
        TMemoryByteSource source(std::span<const uint8_t>(data, size));
        ok = reader.Read(source);
    }
    const std::string* texts[] = {&reader.Title,   &reader.Artist, &reader.Album, &reader.Year,
                                  &reader.Comment, &reader.Track,  &reader.Genre};
    if (!ok || !reader.TagFound) {
        Require(!reader.TagFound && reader.Track == "0", "no tag, yet fields are set");
        for (const std::string* text : texts) {
            Require(text == &reader.Track || text->empty(), "no tag, yet fields are set");
        }
    }
    for (const std::string* text : texts) {
        RequireCleanText(*text);
    }
    return 0;
}
