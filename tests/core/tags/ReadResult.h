#pragma once

#include <string>

#include "core/tags/ByteSource.h"

namespace melodrix::tagbytes {

// What one read of `bytes` gave: the reader's result and its fields.
template <typename TReader>
struct TReadResult {
    bool Ok = false;
    TReader Tag;
};

template <typename TReader>
TReadResult<TReader> ReadWith(const std::string& bytes) {
    TReadResult<TReader> result;
    TMemoryByteSource source(bytes);
    result.Ok = result.Tag.Read(source);
    return result;
}

}  // namespace melodrix::tagbytes
