#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzChecks.h"
#include "core/tags/ID3v1.h"

using namespace melodrix;
using namespace melodrix::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TID3v1 reader;
    bool ok;
    {
        const TAllocationBound bound(size);
        TMemoryByteSource source(std::span<const uint8_t>(data, size));
        ok = reader.Read(source);
    }
    Require(ok == reader.TagFound, "success and TagFound disagree");
    if (!ok) {
        const TID3v1 cleared;
        Require(reader.Revision == cleared.Revision && reader.GenreIndex == 255 &&
                    reader.Track == 0 && reader.Title.empty() && reader.Comment.empty(),
                "a failed read left fields behind");
    }
    for (const std::string* text :
         {&reader.Title, &reader.Artist, &reader.Album, &reader.Year, &reader.Comment}) {
        RequireCleanText(*text);
    }
    return 0;
}
