#pragma once

// Checks shared by the fuzz targets: a bound on every allocation made while a reader runs, and
// the reader's promises about its fields. A broken promise aborts, so libFuzzer keeps the input.

#include <sanitizer/allocator_interface.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <span>

#include "core/base/TextDecoding.h"
#include "core/tags/TextTag.h"

namespace melodrix::fuzzing {

// Set while a reader runs: the largest allocation it may make. Decoded text may be a few times
// longer than its bytes (one byte of Windows-1252 can need three of UTF-8), so the bound is a
// multiple of the input; an allocation driven by a size field in the input breaks it.
inline size_t allocationLimit = 0;

inline void CheckAllocation(const volatile void*, size_t size) {
    if (allocationLimit != 0 && size > allocationLimit) {
        std::fprintf(stderr, "allocation of %zu bytes exceeds the bound %zu\n", size,
                     allocationLimit);
        std::abort();
    }
}
inline void IgnoreFree(const volatile void*) {}

class TAllocationBound {
public:
    explicit TAllocationBound(size_t inputSize) {
        static const bool installed =
            __sanitizer_install_malloc_and_free_hooks(CheckAllocation, IgnoreFree) != 0;
        (void)installed;
        allocationLimit = 4 * inputSize + 4096;
    }
    ~TAllocationBound() { allocationLimit = 0; }
};

inline void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

// Fields hold valid UTF-8 without zero characters.
inline void RequireCleanText(const std::string& text) {
    Require(text.find('\0') == std::string::npos, "a zero character reached a field");
    Require(SanitizeUtf8(text) == text, "a field is not valid UTF-8");
}

// Runs a text-tag reader (ID3v2, APEv2) on the input and checks its promises: a read that
// fails or finds no tag leaves every field as after Clear, and every field is clean text.
inline void FuzzTextTag(TTextTag& reader, const uint8_t* data, size_t size) {
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
}

}  // namespace melodrix::fuzzing
