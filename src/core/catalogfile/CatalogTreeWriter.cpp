// Saving a tree as a catalog file straight from its items, without building a document: the
// bytes are those the document writer writes, through a buffer into a temporary file that
// replaces the catalog only once it is complete.
#include <array>
#include <string>
#include <string_view>

#include "core/catalog/ByteScan.h"
#include "core/catalog/FileInfo.h"
#include "core/catalogfile/AtomicFile.h"
#include "core/catalogfile/CatalogDocument.h"
#include "core/catalogfile/CatalogRootAttributes.h"

namespace melodrix {

namespace {

constexpr std::string_view kDeclaration =
    "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>";
constexpr std::string_view kRootName = "fileinfo";
constexpr std::string_view kItemName = "file";
constexpr size_t kFlushAt = 1 << 20;

// Bytes an attribute value cannot hold as they are: '&', '<', '"' and control characters.
constexpr std::array<bool, 256> kEscaped = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 0x20; ++c) {
        table[c] = true;
    }
    table['&'] = table['<'] = table['"'] = true;
    return table;
}();

// Printable ASCII without '&', '<' or '"': nearly every value, written as it stands.
bool IsPlainValue(std::string_view value) {
    using namespace bytescan;
    size_t i = 0;
    for (; i + 8 <= value.size(); i += 8) {
        const uint64_t word = Load(value.data() + i);
        if ((HighBytes(word) | ControlBytes(word) | BytesEqual(word, '&') | BytesEqual(word, '<') |
             BytesEqual(word, '"')) != 0) {
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

class TCatalogWriter {
public:
    explicit TCatalogWriter(QIODevice& device) : device_(device) { buffer_.reserve(kFlushAt * 2); }

    void Append(std::string_view text) { buffer_.append(text); }

    // ` name="value"`, the value mended and escaped as the document writer does.
    void AppendAttribute(std::string_view name, std::string_view value) {
        if (IsPlainValue(value)) {
            buffer_ += ' ';
            buffer_.append(name);
            buffer_ += "=\"";
            buffer_.append(value);
            buffer_ += '"';
            return;
        }
        if (SanitizeForXml(value, mended_)) {
            value = mended_;
        }
        buffer_ += ' ';
        buffer_.append(name);
        buffer_ += "=\"";
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

    void AppendItemStart(const TFileItem& item) {
        buffer_ += '<';
        buffer_.append(kItemName);
        // ` Name="` of each field, made once: most values are then two appends.
        static const std::array<std::string, FieldCount> kPrefixes = [] {
            std::array<std::string, FieldCount> prefixes;
            for (size_t i = 0; i < FieldCount; ++i) {
                prefixes[i] = ' ' + std::string(FieldNames[i]) + "=\"";
            }
            return prefixes;
        }();
        const std::array<std::string_view, FieldCount> texts = item.AllFields();
        for (size_t i = 0; i < texts.size(); ++i) {
            if (texts[i].empty()) {
                continue;
            }
            if (IsPlainValue(texts[i])) {
                buffer_.append(kPrefixes[i]);
                buffer_.append(texts[i]);
                buffer_ += '"';
            } else {
                AppendAttribute(FieldNames[i], texts[i]);
            }
        }
    }

    void FlushWhenFull() {
        if (buffer_.size() >= kFlushAt) {
            Flush();
        }
    }

    void Flush() {
        WriteAll(device_, buffer_.data(), static_cast<qint64>(buffer_.size()));
        buffer_.clear();
    }

private:
    QIODevice& device_;
    std::string buffer_;
    std::string mended_;
};

// Every attribute of the root element is written here, so that what the root records about
// its catalog lives in one place.
void AppendRootAttributes(TCatalogWriter& writer, const TCatalogTree& tree) {
    for (const auto& [name, value] : CatalogRootAttributes(tree)) {
        writer.AppendAttribute(name, value);
    }
}

void WriteCatalog(TCatalogWriter& writer, const TCatalogTree& tree) {
    writer.Append(kDeclaration);
    writer.Append("<");
    writer.Append(kRootName);
    AppendRootAttributes(writer, tree);
    if (tree.IsEmpty()) {
        writer.Append("/>");
        writer.Flush();
        return;
    }
    writer.Append(">");
    // Pre-order walk without recursion, closing each element once its subtree is written.
    const TCatalogNode* node = tree.GetFirst();
    while (node) {
        writer.AppendItemStart(node->Item());
        if (node->ChildCount() > 0) {
            writer.Append(">");
            node = node->FirstChild();
            continue;
        }
        writer.Append("/>");
        writer.FlushWhenFull();
        while (node && !node->NextSibling()) {
            node = node->Parent();
            if (node) {
                writer.Append("</file>");
            }
        }
        if (node) {
            node = node->NextSibling();
        }
    }
    writer.Append("</");
    writer.Append(kRootName);
    writer.Append(">");
    writer.Flush();
}

}  // namespace

bool TFileInfo::SaveCatalogTree(const TCatalogTree& tree, const QString& path) {
    const QString target = CatalogFileToSave(Prompt(), path);
    if (target.isEmpty()) {
        return false;
    }
    TProgressScope progress(Progress(), kGatheringInfo);
    WriteFileAtomically(target, [&](QIODevice& device) {
        TCatalogWriter writer(device);
        WriteCatalog(writer, tree);
    });
    return true;
}

}  // namespace melodrix
