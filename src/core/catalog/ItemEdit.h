#pragma once

#include <string_view>

#include "core/catalog/FileItem.h"

namespace melodrix {

// Stores a text a user typed into one field of an item, and what follows from it in the item
// itself (the length of its name). Both the desktop program and the command line edit so.
void SetEditedField(TFileItem& item, int field, std::string_view text);

}  // namespace melodrix
