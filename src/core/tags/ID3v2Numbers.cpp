#include "core/tags/ID3v2Numbers.h"

namespace melodrix {

void RemoveUnsynchronisation(std::vector<uint8_t>& bytes) {
    size_t kept = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[kept++] = bytes[i];
        if (bytes[i] == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0x00) {
            ++i;
        }
    }
    bytes.resize(kept);
}

}  // namespace melodrix
