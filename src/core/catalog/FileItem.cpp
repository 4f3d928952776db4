#include "core/catalog/FileItem.h"

#include <cstring>

namespace melodrix {

namespace {

constexpr std::string_view kReplacementChar = "\xEF\xBF\xBD";
constexpr size_t kHeadBytes = FieldCount;
constexpr unsigned char kLongLength = 255;  // the length follows the head in four bytes

size_t NulCount(std::string_view text) {
    if (text.empty() || !std::memchr(text.data(), '\0', text.size())) {
        return 0;
    }
    size_t count = 0;
    for (const char c : text) {
        count += c == '\0' ? 1 : 0;
    }
    return count;
}

char* CopyReplacingNul(char* out, std::string_view text) {
    for (const char c : text) {
        if (c == '\0') {
            std::memcpy(out, kReplacementChar.data(), kReplacementChar.size());
            out += kReplacementChar.size();
        } else {
            *out++ = c;
        }
    }
    return out;
}

// The lengths of the texts of a block and where the first text starts.
const char* ReadLengths(const char* block, std::array<uint32_t, FieldCount>& lengths) {
    const auto* head = reinterpret_cast<const unsigned char*>(block);
    const char* extra = block + kHeadBytes;
    for (size_t i = 0; i < FieldCount; ++i) {
        if (head[i] != kLongLength) {
            lengths[i] = head[i];
        } else {
            std::memcpy(&lengths[i], extra, sizeof(uint32_t));
            extra += sizeof(uint32_t);
        }
    }
    return extra;
}

}  // namespace

TFileItem::TFileItem(const TFileItem& other)
    : OpenIconIndex(other.OpenIconIndex), IconIndex(other.IconIndex), size_(other.size_) {
    if (other.block_) {
        block_ = std::make_unique_for_overwrite<char[]>(size_);
        std::memcpy(block_.get(), other.block_.get(), size_);
    }
}

TFileItem& TFileItem::operator=(const TFileItem& other) {
    if (this != &other) {
        TFileItem copy(other);
        *this = std::move(copy);
    }
    return *this;
}

std::string_view TFileItem::Field(int index) const {
    if (!block_ || index < 0 || index >= FieldCount) {
        return {};
    }
    std::array<uint32_t, FieldCount> lengths;
    const char* text = ReadLengths(block_.get(), lengths);
    for (int i = 0; i < index; ++i) {
        text += lengths[static_cast<size_t>(i)];
    }
    return {text, lengths[static_cast<size_t>(index)]};
}

bool TFileItem::OverwriteField(int index, std::string_view text) {
    const std::string_view field = Field(index);
    if (field.size() != text.size() || NulCount(text) != 0) {
        return false;
    }
    if (!text.empty()) {
        std::memcpy(block_.get() + (field.data() - block_.get()), text.data(), text.size());
    }
    return true;
}

std::array<std::string_view, FieldCount> TFileItem::AllFields() const {
    std::array<std::string_view, FieldCount> texts;
    if (block_) {
        std::array<uint32_t, FieldCount> lengths;
        const char* text = ReadLengths(block_.get(), lengths);
        for (size_t i = 0; i < FieldCount; ++i) {
            texts[i] = std::string_view(text, lengths[i]);
            text += lengths[i];
        }
    }
    return texts;
}

void TFileItem::SetField(int index, std::string_view text) {
    if (index < 0 || index >= FieldCount) {
        return;
    }
    std::array<std::string_view, FieldCount> texts = AllFields();
    // The new block is built before the old one is released, so `text` may point into it.
    texts[static_cast<size_t>(index)] = text;
    // The texts stored already hold no NUL: only the new one needs looking at.
    Store(texts, NulCount(text) != 0);
}

void TFileItem::SetAllFields(const std::array<std::string_view, FieldCount>& texts) {
    Store(texts, true);
}

void TFileItem::SetAllFieldsWithoutNul(const std::array<std::string_view, FieldCount>& texts) {
    Store(texts, false);
}

void TFileItem::Store(const std::array<std::string_view, FieldCount>& texts, bool mayHoldNul) {
    std::array<size_t, FieldCount> nuls{};
    size_t total = kHeadBytes;
    bool allEmpty = true;
    for (size_t i = 0; i < FieldCount; ++i) {
        const std::string_view text = texts[i];
        if (text.empty()) {
            continue;
        }
        allEmpty = false;
        nuls[i] = mayHoldNul ? NulCount(text) : 0;
        const size_t length = text.size() + nuls[i] * (kReplacementChar.size() - 1);
        total += length + (length >= kLongLength ? sizeof(uint32_t) : 0);
    }
    if (allEmpty) {
        block_.reset();
        size_ = 0;
        return;
    }
    auto block = std::make_unique_for_overwrite<char[]>(total);
    auto* head = reinterpret_cast<unsigned char*>(block.get());
    char* out = block.get() + kHeadBytes;
    for (size_t i = 0; i < FieldCount; ++i) {
        const size_t length = texts[i].size() + nuls[i] * (kReplacementChar.size() - 1);
        if (length < kLongLength) {
            head[i] = static_cast<unsigned char>(length);
        } else {
            head[i] = kLongLength;
            const auto stored = static_cast<uint32_t>(length);
            std::memcpy(out, &stored, sizeof stored);
            out += sizeof stored;
        }
    }
    for (size_t i = 0; i < FieldCount; ++i) {
        const std::string_view text = texts[i];
        if (nuls[i] != 0) {
            out = CopyReplacingNul(out, text);
        } else if (!text.empty()) {
            std::memcpy(out, text.data(), text.size());
            out += text.size();
        }
    }
    block_ = std::move(block);
    size_ = static_cast<uint32_t>(total);
}

size_t TFileItem::HeapBytes() const {
    return block_ ? size_ : 0;
}

bool TFileItem::IsDirectory() const {
    return Field(FileType) == DirectoryType;
}

bool TFileItem::IsFile() const {
    return Field(FileType) == FileTypeFile;
}

bool operator==(const TFileItem& a, const TFileItem& b) {
    return a.AllFields() == b.AllFields();
}

void ClearFileItem(TFileItem& item) {
    item.block_.reset();
    item.size_ = 0;
}

int FindFieldIndex(std::string_view name) {
    for (int i = 0; i < FieldCount; ++i) {
        if (FieldNames[i] == name) {
            return i;
        }
    }
    return -1;
}

int TFieldNameMatcher::Search(std::string_view name) {
    for (int k = 0; k < FieldCount; ++k) {
        const int index = (next_ + k) % FieldCount;
        if (FieldNames[index] == name) {
            next_ = (index + 1) % FieldCount;
            return index;
        }
    }
    return -1;
}

int FieldIndexOf(std::string_view name) {
    const int index = FindFieldIndex(name);
    return index < 0 ? 0 : index;
}

}  // namespace melodrix
