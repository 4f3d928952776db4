// Reading and writing catalog files: tree <-> Document <-> file.
#include <QFile>
#include <vector>

#include "core/catalog/ByteScan.h"
#include "core/catalog/Errors.h"
#include "core/catalog/FileInfo.h"
#include "core/catalog/NativePaths.h"
#include "core/catalog/Paths.h"
#include "core/catalogfile/AtomicFile.h"
#include "core/catalogfile/CatalogDocument.h"
#include "core/catalogfile/CatalogRootAttributes.h"
#include "core/catalogfile/CatalogTreeReader.h"

namespace melodrix {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
constexpr std::string_view kCatalogDeclaration =
    "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>";

// Length of the valid UTF-8 sequence at text[i] that XML 1.0 may hold; 0 when invalid.
[[gnu::always_inline]] inline size_t XmlCharLength(std::string_view text, size_t i) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        return (b0 >= 0x20 || b0 == '\t' || b0 == '\n' || b0 == '\r') ? 1 : 0;
    }
    size_t length = 0;
    uint32_t code = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        code = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        code = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        code = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (b & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (overlong || surrogate || code > 0x10FFFF || code == 0xFFFE || code == 0xFFFF) {
        return 0;
    }
    return length;
}

class TDeviceWriter final : public pugi::xml_writer {
public:
    explicit TDeviceWriter(QIODevice& device) : device_(device) {}
    void write(const void* data, size_t size) override {
        WriteAll(device_, static_cast<const char*>(data), static_cast<qint64>(size));
    }

private:
    QIODevice& device_;
};

// Elements and attributes copied from parsed prototypes share the prototype's name text
// instead of each holding a copy: a million items save tens of millions of small
// allocations and a quarter of the document's memory.
class TElementFactory {
public:
    explicit TElementFactory(pugi::xml_node root) : root_(root) {
        std::string text = "<file/><file";
        for (const std::string_view name : FieldNames) {
            text += ' ';
            text += name;
            text += "=\"\"";
        }
        text += "/>";
        if (!root_.append_buffer(text.data(), text.size(), pugi::parse_default,
                                 pugi::encoding_utf8)) {
            throw TMelodrixError(QStringLiteral("The catalog document cannot be built."));
        }
        prototype_ = root_.last_child();
        bare_ = prototype_.previous_sibling();
        size_t i = 0;
        for (pugi::xml_attribute attribute = prototype_.first_attribute(); attribute;
             attribute = attribute.next_attribute()) {
            attributes_[i++] = attribute;
        }
    }
    ~TElementFactory() {
        // The prototypes' texts live on with the document; the elements go.
        root_.remove_child(prototype_);
        root_.remove_child(bare_);
    }
    TElementFactory(const TElementFactory&) = delete;
    TElementFactory& operator=(const TElementFactory&) = delete;

    pugi::xml_node AppendElement(pugi::xml_node parent, const TFileItem& item) {
        pugi::xml_node element = parent.append_copy(bare_);
        const std::array<std::string_view, FieldCount> texts = item.AllFields();
        for (size_t i = 0; i < texts.size(); ++i) {
            const std::string_view text = texts[i];
            if (text.empty()) {
                continue;
            }
            pugi::xml_attribute attribute = element.append_copy(attributes_[i]);
            if (SanitizeForXml(text, scratch_)) {
                attribute.set_value(scratch_.data(), scratch_.size());
            } else {
                attribute.set_value(text.data(), text.size());
            }
        }
        return element;
    }

private:
    pugi::xml_node root_;
    pugi::xml_node prototype_;
    pugi::xml_node bare_;
    std::array<pugi::xml_attribute, FieldCount> attributes_;
    std::string scratch_;
};

}  // namespace

void SanitizeDocument(pugi::xml_node top) {
    std::string scratch;
    for (pugi::xml_node node = top; node;) {
        if (SanitizeForXml(node.name(), scratch)) {
            node.set_name(scratch.c_str());
        }
        if (SanitizeForXml(node.value(), scratch)) {
            node.set_value(scratch.c_str());
        }
        for (pugi::xml_attribute attribute = node.first_attribute(); attribute;
             attribute = attribute.next_attribute()) {
            if (SanitizeForXml(attribute.name(), scratch)) {
                attribute.set_name(scratch.c_str());
            }
            if (SanitizeForXml(attribute.value(), scratch)) {
                attribute.set_value(scratch.data(), scratch.size());
            }
        }
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && node != top && !node.next_sibling()) {
            node = node.parent();
        }
        node = node == top ? pugi::xml_node() : node.next_sibling();
    }
}

bool SanitizeForXml(std::string_view text, std::string& out) {
    size_t i = 0;
    while (i < text.size()) {
        // Printable ASCII is by far the most common case: whole words of it first.
        i += bytescan::PrintableAsciiWords(text.substr(i));
        if (i == text.size()) {
            break;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x80) {
            ++i;
            continue;
        }
        const size_t length = XmlCharLength(text, i);
        if (length == 0) {
            break;
        }
        i += length;
    }
    if (i == text.size()) {
        return false;
    }
    out.assign(text.substr(0, i));
    while (i < text.size()) {
        const size_t length = XmlCharLength(text, i);
        if (length == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return true;
}

TFileInfo::TFileInfo(IProgressSink& progress, IPromptSink& prompt)
    : progress_(&progress), prompt_(&prompt) {}

TFileInfo::~TFileInfo() = default;

pugi::xml_document& TFileInfo::ActiveDocument() {
    if (!Document) {
        throw TMelodrixError(QStringLiteral("The catalog engine has no document."));
    }
    return *Document;
}

void TFileInfo::NewDocument() {
    pugi::xml_document& document = ActiveDocument();
    const pugi::xml_parse_result result =
        document.load_string(kNewDocumentText, pugi::parse_default | pugi::parse_declaration);
    if (!result) {
        throw TMelodrixError(QString::fromUtf8(result.description()));
    }
}

pugi::xml_node TFileInfo::DocumentRoot() {
    pugi::xml_document& document = ActiveDocument();
    if (!document.document_element()) {
        NewDocument();
    }
    return document.document_element();
}

void TFileInfo::TreeToDocument(const TCatalogTree& tree) {
    TProgressScope progress(Progress(), kGatheringInfo);
    pugi::xml_node root = DocumentRoot();
    root.remove_children();
    root.remove_attributes();
    std::string scratch;
    for (const auto& [name, value] : CatalogRootAttributes(tree)) {
        const std::string key(name);
        pugi::xml_attribute attribute = root.append_attribute(key.c_str());
        if (SanitizeForXml(value, scratch)) {
            attribute.set_value(scratch.data(), scratch.size());
        } else {
            attribute.set_value(value.data(), value.size());
        }
    }
    TElementFactory factory(root);
    // Pre-order walk without recursion; parents[d] is the element that takes the items of
    // depth d, so any nesting depth is safe.
    std::vector<pugi::xml_node> parents{root};
    const TCatalogNode* node = tree.GetFirst();
    size_t depth = 0;
    while (node) {
        const pugi::xml_node element = factory.AppendElement(parents[depth], node->Item());
        if (node->ChildCount() > 0) {
            parents.resize(depth + 1);
            parents.push_back(element);
            node = node->FirstChild();
            ++depth;
            continue;
        }
        while (node && !node->NextSibling()) {
            node = node->Parent();
            depth = depth > 0 ? depth - 1 : 0;
        }
        if (node) {
            node = node->NextSibling();
        }
    }
}

QString CatalogFileToOpen(IPromptSink& prompt, const QString& given) {
    return given.isEmpty()
               ? AskOpenFileName(prompt, QStringLiteral("xml"), kCatalogFileFilter, QString())
               : given;
}

QString CatalogFileToSave(IPromptSink& prompt, const QString& given) {
    return given.isEmpty()
               ? AskSaveFileName(prompt, QStringLiteral("xml"), kCatalogFileFilter, QString())
               : given;
}

bool TFileInfo::SaveCatalogFile(const QString& path) {
    const QString target = CatalogFileToSave(Prompt(), path);
    if (target.isEmpty()) {
        return false;
    }
    DocumentRoot();
    WriteCatalogDocument(target, ActiveDocument());
    return true;
}

void WriteCatalogDocument(const QString& path, const pugi::xml_document& document) {
    WriteFileAtomically(path, [&](QIODevice& device) {
        TDeviceWriter writer(device);
        // Our own declaration, whatever the document was read with: the file is UTF-8.
        writer.write(kCatalogDeclaration.data(), kCatalogDeclaration.size());
        for (pugi::xml_node child = document.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_declaration) {
                child.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
            }
        }
    });
}

bool TFileInfo::OpenCatalogFile(const QString& path) {
    TProgressScope progress(Progress(), kLoadingInfo);
    const QString source = CatalogFileToOpen(Prompt(), path);
    if (source.isEmpty()) {
        return false;
    }
    CatalogFileName = source;
    LoadCatalogDocument(source, ActiveDocument());
    return true;
}

void TFileInfo::DocumentToTree(TCatalogTree& tree) {
    TProgressScope progress(Progress(), kLoadingInfo);
    TTreeUpdate bracket(tree);
    tree.Clear();
    const QByteArray diskName = DiskNameOf(CatalogFileName).toUtf8();
    const pugi::xml_node root = DocumentRoot();
    for (pugi::xml_attribute attribute = root.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        KeepCatalogRootAttribute(tree, attribute.name(), attribute.value());
    }
    DocumentItemsToTree(
        root, std::string_view(diskName.constData(), static_cast<size_t>(diskName.size())), tree);
}

}  // namespace melodrix
