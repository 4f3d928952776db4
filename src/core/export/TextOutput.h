#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace melodrix {

// Where an export puts its text: collected in memory, or handed on in large pieces
// so that a table of a million rows never sits in memory whole.
class TTextOutput {
public:
    // Takes the text made so far; it may take the buffer itself and leave another in its place.
    using TFlush = std::function<void(std::string&)>;

    TTextOutput() = default;  // keeps everything in Text()
    explicit TTextOutput(TFlush flush) : flush_(std::move(flush)) {
        text_.reserve(kPiece + kPiece / 4);
    }

    std::string& Text() { return text_; }
    // Called between rows: hands the text on once a piece is full.
    void RowEnd() {
        if (flush_ && text_.size() >= kPiece) {
            Hand();
        }
    }
    void Finish() {
        if (flush_ && !text_.empty()) {
            Hand();
        }
    }

private:
    static constexpr size_t kPiece = size_t{1} << 20;

    void Hand() {
        flush_(text_);
        text_.clear();
    }

    TFlush flush_;
    std::string text_;
};

}  // namespace melodrix
