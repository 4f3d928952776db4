#pragma once

#include <QIODevice>
#include <QString>
#include <array>
#include <string>
#include <string_view>

#include "core/base/AtomicFile.h"
#include "core/base/BackgroundWriter.h"
#include "core/base/ByteScan.h"
#include "core/catalog/CatalogTree.h"
#include "core/catalog/XmlText.h"

namespace melodrix {

class TCatalogStream;

// Writes catalog XML without a document: the bytes are those the document writer writes (raw,
// values mended and escaped its way), gathered in a buffer that goes out in large pieces.
class TCatalogWriter {
public:
    static constexpr std::string_view kDeclaration =
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>";

    explicit TCatalogWriter(QIODevice& device) : pieces_(device) { buffer_.reserve(kFlushAt * 2); }

    void Append(std::string_view text) { buffer_.append(text); }

    // ` name="value"`, the value mended and escaped as the document writer does.
    void AppendAttribute(std::string_view name, std::string_view value) {
        buffer_ += ' ';
        buffer_.append(name);
        buffer_ += "=\"";
        AppendValue(value);
    }

    // `<name` and the item's non-empty fields, in field order.
    void AppendItemStart(std::string_view name, const TFileItem& item) {
        buffer_ += '<';
        buffer_.append(name);
        // ` Name="` of each field, made once.
        static const std::array<std::string, FieldCount> kPrefixes = [] {
            std::array<std::string, FieldCount> prefixes;
            for (size_t i = 0; i < FieldCount; ++i) {
                prefixes[i] = ' ' + std::string(FieldNames[i]) + "=\"";
            }
            return prefixes;
        }();
        const std::array<std::string_view, FieldCount> texts = item.AllFields();
        for (size_t i = 0; i < texts.size(); ++i) {
            if (!texts[i].empty()) {
                buffer_.append(kPrefixes[i]);
                AppendValue(texts[i]);
            }
        }
    }

    void FlushWhenFull() {
        if (buffer_.size() >= kFlushAt) {
            Flush();
        }
    }

    // Writes what is left and waits until all of it is on the device.
    void Finish() {
        Flush();
        pieces_.Finish();
    }

private:
    void Flush() { pieces_.Write(buffer_); }

    // The value and its closing quote: as it stands when plain, as nearly every value is;
    // else mended, then escaped.
    void AppendValue(std::string_view value) {
        if (IsPlainValue(value)) {
            buffer_.append(value);
            buffer_ += '"';
            return;
        }
        if (SanitizeForXml(value, mended_)) {
            value = mended_;
        }
        if (!bytescan::HasAnyOf(value, "&<\"", true)) {
            buffer_.append(value);
            buffer_ += '"';
            return;
        }
        size_t start = 0;
        for (size_t i = 0; i < value.size(); ++i) {
            const auto c = static_cast<unsigned char>(value[i]);
            if (!kEscaped[c]) {
                continue;
            }
            buffer_.append(value.substr(start, i - start));
            start = i + 1;
            if (c == '&') {
                buffer_ += "&amp;";
            } else if (c == '<') {
                buffer_ += "&lt;";
            } else if (c == '"') {
                buffer_ += "&quot;";
            } else {
                const char reference[] = {'&', '#', static_cast<char>('0' + c / 10),
                                          static_cast<char>('0' + c % 10), ';'};
                buffer_.append(reference, sizeof reference);
            }
        }
        buffer_.append(value.substr(start));
        buffer_ += '"';
    }

    // Printable ASCII without '&', '<' or '"': nearly every value, written as it stands.
    static bool IsPlainValue(std::string_view value) {
        using namespace bytescan;
        size_t i = 0;
        for (; i + 8 <= value.size(); i += 8) {
            const uint64_t word = Load(value.data() + i);
            if ((HighBytes(word) | ControlBytes(word) | BytesEqual(word, '&') |
                 BytesEqual(word, '<') | BytesEqual(word, '"')) != 0) {
                return false;
            }
        }
        for (; i < value.size(); ++i) {
            const auto c = static_cast<unsigned char>(value[i]);
            if (c >= 0x80 || kEscaped[c]) {
                return false;
            }
        }
        return true;
    }

    static constexpr size_t kFlushAt = 1 << 20;
    // Bytes an attribute value cannot hold as they are: '&', '<', '"' and control characters.
    static constexpr std::array<bool, 256> kEscaped = [] {
        std::array<bool, 256> table{};
        for (int c = 0; c < 0x20; ++c) {
            table[c] = true;
        }
        table['&'] = table['<'] = table['"'] = true;
        return table;
    }();

    TBackgroundWriter pieces_;
    std::string buffer_;
    std::string mended_;
};

// Writes the tree as a catalog file at `path`, replacing it once complete: the bytes
// SaveCatalogTree writes, without its question or progress. Throws TMelodrixError on failure.
// Returns the stamp of the file written.
TFileStamp WriteCatalogTreeFile(const QString& path, const TCatalogTree& tree);

// Writes what the stream reads as the document writer writes the catalog file once parsed and
// mended: every element and attribute by its own name, values as decoded and mended. False
// when the stream meets something only the XML parser reads, or text between the elements
// that the parsed document would keep; what was written is then incomplete.
bool CopyStreamedCatalog(TCatalogStream& stream, TCatalogWriter& writer);

}  // namespace melodrix
