#include "core/index/CopyRecords.h"

#include <algorithm>
#include <bit>

#include "core/base/ByteScan.h"

namespace melodrix {

namespace {

constexpr uint64_t kTopLevel = 1;
constexpr uint64_t kHasTested = 2;

// Eight bytes at a time: most values share a long folder path with the one before.
size_t SharedLength(std::string_view a, std::string_view b) {
    const size_t limit = std::min(a.size(), b.size());
    size_t i = 0;
    for (; i + 8 <= limit; i += 8) {
        const uint64_t differ = bytescan::Load(a.data() + i) ^ bytescan::Load(b.data() + i);
        if (differ != 0) {
            const int bit = std::endian::native == std::endian::little ? std::countr_zero(differ)
                                                                       : std::countl_zero(differ);
            return i + static_cast<size_t>(bit / 8);
        }
    }
    while (i < limit && a[i] == b[i]) {
        ++i;
    }
    return i;
}

}  // namespace

void AppendVarint(std::string& out, uint64_t value) {
    if (value < 0x80) {
        out.push_back(static_cast<char>(value));  // nearly every one
        return;
    }
    while (value >= 0x80) {
        out.push_back(static_cast<char>((value & 0x7F) | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

void TRecordPacker::Add(const TPackedItem& item) {
    if (StartsBlock()) {
        previousPresent_ = 0;
    }
    ++count_;
    AppendVarint(out_, (item.topLevel ? kTopLevel : 0) | (item.hasTested ? kHasTested : 0));
    AppendVarint(out_, item.present);
    for (size_t field = 0; field < FieldCount; ++field) {
        if (!((item.present >> field) & 1u)) {
            continue;
        }
        const std::string_view value = item.texts[field];
        std::string& previous = previous_[field];
        const size_t shared = (previousPresent_ >> field) & 1u ? SharedLength(previous, value) : 0;
        AppendVarint(out_, shared);
        AppendVarint(out_, value.size() - shared);
        out_.append(value.substr(shared));
        previous.assign(value);
    }
    previousPresent_ = item.present;
    if (item.hasTested) {
        AppendVarint(out_, item.testedPresent);
        for (size_t field = 0; field < FieldCount; ++field) {
            if ((item.testedPresent >> field) & 1u) {
                AppendVarint(out_, item.tested[field].size());
                out_.append(item.tested[field]);
            }
        }
    }
}

void TRecordUnpacker::StartBlock(std::string_view block) {
    rest_ = block;
    failed_ = false;
    for (std::string& previous : previous_) {
        previous.clear();
    }
}

bool TakeVarint(std::string_view& rest, uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (rest.empty()) {
            return false;
        }
        const auto byte = static_cast<unsigned char>(rest.front());
        rest.remove_prefix(1);
        value |= static_cast<uint64_t>(byte & 0x7F) << shift;
        if (!(byte & 0x80)) {
            return true;
        }
    }
    return false;
}

bool TakeBytes(std::string_view& rest, uint64_t length, std::string_view& bytes) {
    if (length > rest.size()) {
        return false;
    }
    bytes = rest.substr(0, length);
    rest.remove_prefix(length);
    return true;
}

bool TRecordUnpacker::Next(TPackedItem& item) {
    if (rest_.empty() || failed_) {
        return false;
    }
    failed_ = true;  // until the item is read whole
    uint64_t flags = 0;
    uint64_t present = 0;
    if (!ReadVarint(flags) || !ReadVarint(present) || present >> FieldCount) {
        return false;
    }
    item.topLevel = flags & kTopLevel;
    item.hasTested = flags & kHasTested;
    item.present = static_cast<uint32_t>(present);
    item.texts.fill({});
    for (size_t field = 0; field < FieldCount; ++field) {
        if (!((present >> field) & 1u)) {
            continue;
        }
        uint64_t shared = 0;
        uint64_t length = 0;
        std::string_view suffix;
        std::string& value = previous_[field];
        if (!ReadVarint(shared) || !ReadVarint(length) || shared > value.size() ||
            !ReadBytes(length, suffix)) {
            return false;
        }
        value.resize(shared);
        value.append(suffix);
        item.texts[field] = value;
    }
    item.testedPresent = item.present;
    if (item.hasTested) {
        uint64_t testedPresent = 0;
        if (!ReadVarint(testedPresent) || testedPresent >> FieldCount) {
            return false;
        }
        item.testedPresent = static_cast<uint32_t>(testedPresent);
        item.tested.fill({});
        for (size_t field = 0; field < FieldCount; ++field) {
            if ((testedPresent >> field) & 1u) {
                uint64_t length = 0;
                std::string_view value;
                if (!ReadVarint(length) || !ReadBytes(length, value)) {
                    return false;
                }
                item.tested[field] = value;
            }
        }
    }
    failed_ = false;
    return true;
}

}  // namespace melodrix
