#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace melodrix {

class TReadAhead;

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
        // What the reader saw in the value while looking for its end; true when unknown.
        bool needsDecode = true;  // holds '&' or a byte below 0x20
        bool beyondAscii = true;  // holds a byte of 0x80 or above
    };

    // How much of a file is read at a time: enough to make reading cheap, little enough to stay
    // in the cache while the items are taken. Tests read in tiny pieces to cut every element.
    static constexpr size_t kPieceBytes = size_t{1} << 20;
    explicit TCatalogStream(size_t pieceBytes = kPieceBytes);
    ~TCatalogStream();

    // Opens the file and reads its head; the rest is read piece by piece as the items are
    // taken, so the memory used does not grow with the file. False when it cannot be read or
    // its declared encoding cannot be decoded.
    bool Load(const QString& path);
    // The same for the file whose name on disk is exactly `nativePath`.
    bool Load(const QByteArray& nativePath);
    // Reads `text` as if it were the content of a catalog file.
    void SetText(std::string_view text);

    // Advances to the next element below the root, in document order. False at the end of
    // the file or at the first thing this reader does not handle (a read error included);
    // Unusual() tells which. The views of the previous item are invalid afterwards.
    bool NextItem();
    std::span<const TAttribute> Attributes() const { return attributes_; }
    // The name of the current element; like its attributes, valid until the next NextItem.
    std::string_view ElementName() const { return elementName_; }
    // The attributes of the root element, once the first NextItem has passed it.
    std::span<const TAttribute> RootAttributes() const { return rootAttributes_; }
    // The name of the root element, from the same moment on.
    const std::string& RootName() const { return rootName_; }
    // Whether text other than blanks has stood between the tags inside the root so far. This
    // reader passes over such text; a caller that must keep it leaves the file to the parser.
    bool TextInside() const { return textInside_; }
    // How deep the current element lies below the root: 0 for the root's children.
    size_t Depth() const { return depth_; }
    bool Unusual() const { return state_ == TState::Unusual; }

    // The value of an attribute as the full parser reads it: entities and character
    // references resolved, tabs and line breaks as spaces; in `scratch` when that needs a
    // copy. Nothing for a stray '&' or a reference to no character, which that parser
    // reads in its own way.
    static std::optional<std::string_view> Decode(std::string_view raw, std::string& scratch);
    // The same for an attribute read by this reader: a value with nothing to decode is taken
    // as it stands.
    static std::optional<std::string_view> Decode(const TAttribute& attribute,
                                                  std::string& scratch);
    // Decode, then what XML cannot hold replaced by U+FFFD as the catalog reader keeps it; a
    // value of plain printable ASCII, the usual case, is taken as it stands.
    static std::optional<std::string_view> DecodeClean(const TAttribute& attribute,
                                                       std::string& decoded, std::string& mended) {
        if (!attribute.needsDecode && !attribute.beyondAscii) {
            return attribute.rawValue;  // inline: it runs for nearly every value of a catalog
        }
        return DecodeAndMend(attribute, decoded, mended);
    }

private:
    enum class TState { Reading, Finished, Unusual };

    static std::optional<std::string_view> DecodeAndMend(const TAttribute& attribute,
                                                         std::string& decoded, std::string& mended);

    char* Reserve(size_t length);
    // Reads from the open file until the buffer is full or the file ends; the bytes read.
    size_t ReadInto(char* to, size_t room);
    void CloseFile();
    bool TakeEncoding(size_t length);
    void Begin(size_t length);
    // Keeps the bytes from `keep` on, at the start of the buffer, and reads what follows them.
    // False when the file cannot be read or holds a NUL.
    bool Refill(const char* keep);
    bool ReadNext();
    bool ReadDeclaration();
    bool ReadStartTag();
    bool ReadEndTag();
    // Reads blank-separated name="value" pairs up to `/>`, `>` or, in the declaration, `?>`.
    bool ReadAttributes(char last, bool& closedByLast);
    std::string_view ReadName();
    std::string_view ReadExpectedName(size_t index);
    bool SkipBlanks();
    bool Fail();

    size_t pieceBytes_;
    std::vector<char> buffer_;
    QFile file_;
    std::unique_ptr<TReadAhead> readAhead_;  // the file after its head, once that is read
    bool more_ = false;                      // the file holds bytes not read yet
    bool readFailed_ = false;
    const char* at_ = nullptr;
    const char* end_ = nullptr;
    const char* mark_ = nullptr;     // everything before it has been taken in full
    std::vector<std::string> open_;  // names of the elements not yet closed
    std::vector<TAttribute> attributes_;
    std::vector<std::string> lastNames_;  // the attribute names read last at each place
    std::vector<std::pair<std::string, std::string>> rootAttributeTexts_;
    std::vector<TAttribute> rootAttributes_;  // views of rootAttributeTexts_
    std::string_view elementName_;
    std::string rootName_;
    bool textInside_ = false;
    size_t depth_ = 0;
    bool rootSeen_ = false;
    bool transcoded_ = false;
    TState state_ = TState::Finished;
};

}  // namespace melodrix
