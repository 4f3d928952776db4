// Reading and writing catalog files: tree <-> Document <-> file.
#include <QFile>
#include <vector>

#include "core/base/AtomicFile.h"
#include "core/base/ByteScan.h"
#include "core/base/Errors.h"
#include "core/base/NativePaths.h"
#include "core/catalog/Paths.h"
#include "core/catalog/XmlText.h"
#include "core/catalogfile/CatalogDocument.h"
#include "core/catalogfile/CatalogRootAttributes.h"
#include "core/catalogfile/CatalogTreeReader.h"

namespace melodrix {

namespace {

constexpr std::string_view kCatalogDeclaration =
    "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>";

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

void NewCatalogDocument(pugi::xml_document& document) {
    const pugi::xml_parse_result result =
        document.load_string(kNewDocumentText, pugi::parse_default | pugi::parse_declaration);
    if (!result) {
        throw TMelodrixError(QString::fromUtf8(result.description()));
    }
}

pugi::xml_node CatalogDocumentRoot(pugi::xml_document& document) {
    if (!document.document_element()) {
        NewCatalogDocument(document);
    }
    return document.document_element();
}

void CatalogTreeToDocument(const TCatalogTree& tree, pugi::xml_document& document) {
    pugi::xml_node root = CatalogDocumentRoot(document);
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

void CatalogDocumentToTree(const pugi::xml_node root, const QString& catalogFile,
                           TCatalogTree& tree) {
    TTreeUpdate bracket(tree);
    tree.Clear();
    const QByteArray diskName = DiskNameOf(catalogFile).toUtf8();
    for (pugi::xml_attribute attribute = root.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        KeepCatalogRootAttribute(tree, attribute.name(), attribute.value());
    }
    DocumentItemsToTree(
        root, std::string_view(diskName.constData(), static_cast<size_t>(diskName.size())), tree);
}

}  // namespace melodrix
