#include <cstddef>
#include <cstdint>

#include "FuzzChecks.h"
#include "core/tags/FLACTag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    melodrix::TFLACTag reader;
    melodrix::fuzzing::FuzzTextTag(reader, data, size);
    return 0;
}
