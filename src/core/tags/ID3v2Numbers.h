#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace melodrix {

// Numbers of 7 bits a byte, the top bit of each byte ignored.
inline uint32_t SynchsafeValue(const uint8_t* bytes, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        value = value << 7 | (bytes[i] & 0x7F);
    }
    return value;
}

inline uint32_t BigEndianValue(const uint8_t* bytes, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

// Undoes unsynchronisation in place: every 0xFF 0x00 pair stands for the single byte 0xFF.
void RemoveUnsynchronisation(std::vector<uint8_t>& bytes);

}  // namespace melodrix
