#include "core/tags/ByteWindow.h"

#include <algorithm>

namespace melodrix {

const uint8_t* TByteWindow::Get(uint64_t offset, size_t size) {
    if (offset > limit_ || size > limit_ - offset) {
        return nullptr;
    }
    if (offset >= start_ && offset - start_ <= buffer_.size() &&
        size <= buffer_.size() - (offset - start_)) {
        return buffer_.data() + (offset - start_);
    }
    // Read ahead up to a chunk, as the next frames usually follow, but never past the limit.
    const uint64_t available = limit_ - offset;
    const size_t load =
        static_cast<size_t>(std::max<uint64_t>(size, std::min<uint64_t>(chunk_, available)));
    buffer_.resize(load);
    if (!source_.ReadAt(offset, buffer_.data(), load)) {
        buffer_.clear();
        return nullptr;
    }
    start_ = offset;
    return buffer_.data();
}

}  // namespace melodrix
