// The word-at-a-time tests must agree with a plain byte loop wherever the byte sits in the
// word and whatever stands beside it: borrows from neighbouring bytes are the usual fault.
#include <gtest/gtest.h>

#include <string>

#include "core/base/ByteScan.h"

using namespace melodrix;

namespace {

bool HasAnyOfByBytes(std::string_view text, std::string_view bytes, bool controls) {
    for (const char c : text) {
        if ((controls && static_cast<unsigned char>(c) < 0x20) ||
            bytes.find(c) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

size_t PrintableRunByBytes(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) >= 0x20 &&
           static_cast<unsigned char>(text[i]) < 0x80) {
        ++i;
    }
    return i;
}

}  // namespace

TEST(ByteScan, WordTestsAgreeWithTheByteLoopAtEveryPosition) {
    // Neighbours chosen to provoke borrows: zero, bytes just below and above the limits,
    // high bytes, and the searched bytes themselves.
    const std::string neighbours("\x00\x01\x1F\x20\x21\x25\x26\x27\x7F\x80\xA6\xFF", 12);
    const std::string probes("\x00\x09\x1F\x20&<\"\r\n\x7F\x80\xC3\xFF", 13);
    for (size_t length = 0; length <= 19; ++length) {
        for (size_t at = 0; at < length; ++at) {
            for (const char probe : probes) {
                for (const char neighbour : neighbours) {
                    std::string text(length, 'a');
                    text[at] = probe;
                    if (at + 1 < length) {
                        text[at + 1] = neighbour;
                    }
                    if (at > 0) {
                        text[at - 1] = neighbour;
                    }
                    for (const bool controls : {false, true}) {
                        ASSERT_EQ(bytescan::HasAnyOf(text, "&<\"", controls),
                                  HasAnyOfByBytes(text, "&<\"", controls))
                            << "length " << length << " at " << at;
                    }
                    const size_t words = bytescan::PrintableAsciiWords(text);
                    const size_t run = PrintableRunByBytes(text);
                    ASSERT_EQ(words, run / 8 * 8) << "length " << length << " at " << at;
                }
            }
        }
    }
}
