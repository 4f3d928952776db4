#include <cstddef>
#include <cstdint>

#include "FuzzChecks.h"
#include "core/tags/OggTag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    melodrix::TOggTag reader;
    melodrix::fuzzing::FuzzTextTag(reader, data, size);
    return 0;
}
