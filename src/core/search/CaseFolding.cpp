#include "core/search/CaseFolding.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utypes.h>

#include <array>
#include <vector>

#include "core/base/ByteScan.h"

namespace melodrix {

bool HasNonAscii(std::string_view text) {
    using namespace bytescan;
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        if (HighBytes(Load(text.data() + i)) != 0) {
            return true;
        }
    }
    for (; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80) {
            return true;
        }
    }
    return false;
}

bool MayFoldToAscii(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0xC3 || lead > 0xEF) {
            continue;  // ASCII, a continuation byte, or a lead byte no such character has
        }
        // Decode the character whose lead byte this is, when it is whole.
        const size_t length = lead < 0xE0 ? 2 : 3;
        if (i + length > text.size()) {
            return false;
        }
        char32_t c = lead & (length == 2 ? 0x1F : 0x0F);
        for (size_t k = 1; k < length; ++k) {
            c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        for (const char32_t folds : kFoldsToAscii) {
            if (c == folds) {
                return true;
            }
        }
    }
    return false;
}

namespace {

// UTF-16 room on the stack for the usual short value, on the heap for a longer one.
class TUnits {
public:
    explicit TUnits(size_t size) {
        if (size > small_.size()) {
            large_.resize(size);
        }
        data_ = size > small_.size() ? large_.data() : small_.data();
        size_ = static_cast<int32_t>(size);
    }
    UChar* Data() { return data_; }
    int32_t Size() const { return size_; }

private:
    std::array<UChar, 512> small_;
    std::vector<UChar> large_;
    UChar* data_;
    int32_t size_;
};

}  // namespace

std::string FoldCaseUtf8(std::string_view text) {
    if (text.size() > static_cast<size_t>(INT32_MAX / 4)) {
        return std::string(text);  // beyond what the conversions take; no stored value is this long
    }
    const auto length = static_cast<int32_t>(text.size());
    // A UTF-8 text takes at most one UTF-16 unit per byte.
    TUnits wide(static_cast<size_t>(length) + 1);
    int32_t wideLength = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(wide.Data(), wide.Size(), &wideLength, text.data(), length, 0xFFFD,
                         nullptr, &status);
    if (U_FAILURE(status)) {
        return std::string(text);
    }
    // Full folding may lengthen a text (ß gives ss, ŉ gives ʼn): at most three units for one.
    TUnits folded(static_cast<size_t>(wideLength) * 3 + 1);
    status = U_ZERO_ERROR;
    const int32_t foldedLength = u_strFoldCase(folded.Data(), folded.Size(), wide.Data(),
                                               wideLength, U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status)) {
        return std::string(text);
    }
    std::string result(static_cast<size_t>(foldedLength) * 3, '\0');
    int32_t resultLength = 0;
    status = U_ZERO_ERROR;
    u_strToUTF8(result.data(), static_cast<int32_t>(result.size()), &resultLength, folded.Data(),
                foldedLength, &status);
    if (U_FAILURE(status)) {
        return std::string(text);
    }
    result.resize(static_cast<size_t>(resultLength));
    return result;
}

}  // namespace melodrix
