#pragma once

#include <QString>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace melodrix {

// Reads the items of a catalog file in one pass, without building a document, so that a
// search over many catalogs tests each item while its text is still in the cache.
//
// It reads only plainly written catalogs: UTF-8 (or an 8-bit encoding the declaration names,
// decoded first, as the full parser's caller decodes it), a declaration, nested elements with
// attributes. Anything else (comments, other encodings, a NUL, text around the root, a
// malformed tag) makes the file Unusual, and the caller reads it with the full XML parser
// instead, which then decides whether it is a catalog at all; so does a value that Decode
// leaves to that parser. Whatever this reader accepts, that parser accepts with the same
// elements and values.
class TCatalogStream {
public:
    struct TAttribute {
        std::string_view name;
        std::string_view rawValue;  // as written, entities unresolved
    };

    // Reads the whole file into the reused buffer; false when it cannot be read or its
    // declared encoding cannot be decoded.
    bool Load(const QString& path);
    // Reads `text` as if it were the content of a catalog file.
    void SetText(std::string_view text);

    // Advances to the next element below the root, in document order. False at the end of
    // the file or at the first thing this reader does not handle; Unusual() tells which.
    bool NextItem();
    std::span<const TAttribute> Attributes() const { return attributes_; }
    // The attributes of the root element, once the first NextItem has passed it.
    std::span<const TAttribute> RootAttributes() const { return rootAttributes_; }
    // How deep the current element lies below the root: 0 for the root's children.
    size_t Depth() const { return depth_; }
    bool Unusual() const { return state_ == TState::Unusual; }

    // The value of an attribute as the full parser reads it: entities and character
    // references resolved, tabs and line breaks as spaces; in `scratch` when that needs a
    // copy. Nothing for a stray '&' or a reference to no character, which that parser
    // reads in its own way.
    static std::optional<std::string_view> Decode(std::string_view raw, std::string& scratch);

private:
    enum class TState { Reading, Finished, Unusual };

    char* Reserve(size_t length);
    bool TakeEncoding(size_t length);
    void Begin(size_t length);
    bool ReadDeclaration();
    bool ReadStartTag();
    bool ReadEndTag();
    // Reads blank-separated name="value" pairs up to `/>`, `>` or, in the declaration, `?>`.
    bool ReadAttributes(char last, bool& closedByLast);
    std::string_view ReadName();
    bool SkipBlanks();
    bool Fail();

    std::vector<char> buffer_;
    const char* at_ = nullptr;
    const char* end_ = nullptr;
    std::vector<std::string_view> open_;  // names of the elements not yet closed
    std::vector<TAttribute> attributes_;
    std::vector<TAttribute> rootAttributes_;
    size_t depth_ = 0;
    bool rootSeen_ = false;
    bool transcoded_ = false;
    TState state_ = TState::Finished;
};

}  // namespace melodrix
