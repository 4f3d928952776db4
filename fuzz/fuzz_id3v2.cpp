#include <cstddef>
#include <cstdint>

#include "FuzzChecks.h"
#include "core/tags/ID3v2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    melodrix::TID3v2 reader;
    melodrix::fuzzing::FuzzTextTag(reader, data, size);
    return 0;
}
