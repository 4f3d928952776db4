#include <cstddef>
#include <cstdint>

#include "FuzzChecks.h"
#include "core/tags/APEv2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    melodrix::TAPEv2 reader;
    melodrix::fuzzing::FuzzTextTag(reader, data, size);
    return 0;
}
