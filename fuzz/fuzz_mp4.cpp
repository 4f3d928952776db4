#include <cstddef>
#include <cstdint>

#include "FuzzChecks.h"
#include "core/tags/MP4Tag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    melodrix::TMP4Tag reader;
    melodrix::fuzzing::FuzzTextTag(reader, data, size);
    return 0;
}
