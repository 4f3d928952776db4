#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/catalog/FileItem.h"

namespace melodrix {

// The items of a catalog copy, packed: blocks of kCopyBlockItems items, each item a few
// varints and its values, every value stored as the length it shares with the same field of
// the previous item of its block and the rest (a path shares its folder with the one before,
// a disk name all of it). A block is read from its start, so any item is at most a block
// away.
inline constexpr size_t kCopyBlockItems = 64;

void AppendVarint(std::string& out, uint64_t value);
// Takes a varint, or `length` bytes, off the front of `rest`; false when `rest` runs out.
bool TakeVarint(std::string_view& rest, uint64_t& value);
bool TakeBytes(std::string_view& rest, uint64_t length, std::string_view& bytes);

// One item as the copy holds it.
struct TPackedItem {
    TItemTexts texts{};
    uint32_t present = 0;
    bool topLevel = false;
    bool hasTested = false;  // the values the search tests differ from `texts`
    TItemTexts tested{};
    uint32_t testedPresent = 0;
};

// Appends items to a byte string; a new block starts every kCopyBlockItems items.
class TRecordPacker {
public:
    explicit TRecordPacker(std::string& out) : out_(out) {}
    // The offset of the block the next item starts, when it starts one.
    bool StartsBlock() const { return count_ % kCopyBlockItems == 0; }
    void Add(const TPackedItem& item);

private:
    std::string& out_;
    size_t count_ = 0;
    std::array<std::string, FieldCount> previous_;
    uint32_t previousPresent_ = 0;
};

// Reads the items of one block in turn. Every length is checked against the bytes, so a
// damaged copy ends the reading (Failed) instead of reading beyond it.
class TRecordUnpacker {
public:
    void StartBlock(std::string_view block);
    // False at the end of the block or at damage (then Failed()).
    bool Next(TPackedItem& item);
    bool Failed() const { return failed_; }

private:
    bool ReadVarint(uint64_t& value) { return TakeVarint(rest_, value); }
    bool ReadBytes(uint64_t length, std::string_view& bytes) {
        return TakeBytes(rest_, length, bytes);
    }

    std::string_view rest_;
    bool failed_ = false;
    std::array<std::string, FieldCount> previous_;
    std::array<std::string, FieldCount> tested_;
};


}  // namespace melodrix
