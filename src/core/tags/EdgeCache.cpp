#include "core/tags/EdgeCache.h"

#include <algorithm>
#include <cstring>

namespace melodrix {

void TEdgeCache::Reset(IByteSource& source) {
    source_ = &source;
    size_ = source.Size();
    for (TEdge* edge : {&head_, &tail_}) {
        edge->bytes.clear();
        edge->tried = false;
    }
}

std::optional<uint64_t> TEdgeCache::Size() {
    return size_;
}

bool TEdgeCache::Load(TEdge& edge, uint64_t start, size_t size) {
    edge.tried = true;
    edge.start = start;
    edge.bytes.resize(size);
    if (!source_->ReadAt(start, edge.bytes.data(), size)) {
        edge.bytes.clear();
        return false;
    }
    return true;
}

bool TEdgeCache::ReadAt(uint64_t offset, void* buffer, size_t size) {
    if (!source_) {
        return false;
    }
    if (size_ && offset <= *size_ && size <= *size_ - offset) {
        const uint64_t fileSize = *size_;
        if (!head_.tried && offset + size <= kHeadBytes) {
            Load(head_, 0, static_cast<size_t>(std::min<uint64_t>(fileSize, kHeadBytes)));
        }
        if (head_.Holds(offset, size)) {
            std::memcpy(buffer, head_.bytes.data() + (offset - head_.start), size);
            return true;
        }
        const uint64_t tailStart = fileSize - std::min<uint64_t>(fileSize, kTailBytes);
        if (!tail_.tried && offset >= tailStart) {
            Load(tail_, tailStart, static_cast<size_t>(fileSize - tailStart));
        }
        if (tail_.Holds(offset, size)) {
            std::memcpy(buffer, tail_.bytes.data() + (offset - tail_.start), size);
            return true;
        }
    }
    return source_->ReadAt(offset, buffer, size);
}

}  // namespace melodrix
