#include "core/catalog/FileItem.h"

#include <cstring>

namespace melodrix {

namespace {

constexpr std::string_view kReplacementChar = "\xEF\xBF\xBD";

size_t StoredLength(std::string_view text) {
    size_t length = text.size();
    if (text.empty() || !std::memchr(text.data(), '\0', text.size())) {
        return length;
    }
    for (char c : text) {
        if (c == '\0') {
            length += kReplacementChar.size() - 1;
        }
    }
    return length;
}

char* CopyStored(char* out, std::string_view text, bool hasNul) {
    if (!hasNul) {
        if (!text.empty()) {
            std::memcpy(out, text.data(), text.size());
        }
        out[text.size()] = '\0';
        return out + text.size() + 1;
    }
    for (char c : text) {
        if (c == '\0') {
            std::memcpy(out, kReplacementChar.data(), kReplacementChar.size());
            out += kReplacementChar.size();
        } else {
            *out++ = c;
        }
    }
    *out++ = '\0';
    return out;
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
    const char* p = block_.get();
    for (int i = 0; i < index; ++i) {
        p += std::strlen(p) + 1;
    }
    return std::string_view(p);
}

std::array<std::string_view, FieldCount> TFileItem::AllFields() const {
    std::array<std::string_view, FieldCount> texts;
    if (block_) {
        const char* p = block_.get();
        for (auto& text : texts) {
            text = std::string_view(p);
            p += text.size() + 1;
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
    texts[index] = text;
    SetAllFields(texts);
}

void TFileItem::SetAllFields(const std::array<std::string_view, FieldCount>& texts) {
    size_t total = 0;
    bool allEmpty = true;
    for (const auto& text : texts) {
        total += StoredLength(text) + 1;
        allEmpty = allEmpty && text.empty();
    }
    size_t plainTotal = FieldCount;
    for (const auto& text : texts) {
        plainTotal += text.size();
    }
    const bool hasNul = total != plainTotal;
    if (allEmpty) {
        block_.reset();
        size_ = 0;
        return;
    }
    auto block = std::make_unique_for_overwrite<char[]>(total);
    char* out = block.get();
    for (const auto& text : texts) {
        out = CopyStored(out, text, hasNul);
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
