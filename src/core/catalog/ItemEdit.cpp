#include "core/catalog/ItemEdit.h"

#include <string>

namespace melodrix {

namespace {

// Length in characters (code points), as decimal text.
std::string LengthText(std::string_view utf8) {
    size_t count = 0;
    for (const char c : utf8) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return std::to_string(count);
}

}  // namespace

void SetEditedField(TFileItem& item, int field, std::string_view text) {
    item.SetField(field, text);
    const std::string length = LengthText(item.Field(FileName));
    item.SetField(FileNameLength, length);
}

}  // namespace melodrix
