// The one-pass catalog reader against the XML parser: whatever the reader accepts, the parser
// must accept with the same elements, attribute names and values; and opening the text into a
// tree gives the same tree both ways.

#include <unistd.h>

#include <QString>
#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/XmlText.h"
#include "core/catalogfile/CatalogDocument.h"
#include "core/catalogfile/CatalogStream.h"
#include "core/catalogfile/CatalogTreeReader.h"
#include "core/catalogfile/DocumentItems.h"

using namespace melodrix;

namespace {

struct TAttributeRead {
    std::string name;
    std::optional<std::string> value;  // nothing where the reader leaves it to the parser
};

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "reader and parser disagree: %s\n", what);
        std::abort();
    }
}

// Every item of the tree, its depth and its fields, in pre-order.
std::vector<std::string> ItemsOf(const TCatalogTree& tree) {
    std::vector<std::string> items;
    ForEachNode(tree, [&](const TCatalogNode* node) {
        std::string text = std::to_string(node->Depth());
        for (int field = 0; field < FieldCount; ++field) {
            text += '|';
            text += node->Item().Field(field);
        }
        items.push_back(std::move(text));
    });
    return items;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static TCatalogStream stream;  // reused, as a search reuses it
    stream.SetText(text);
    std::vector<std::vector<TAttributeRead>> items;
    std::string scratch;
    while (stream.NextItem()) {
        std::vector<TAttributeRead>& item = items.emplace_back();
        for (const TCatalogStream::TAttribute& attribute : stream.Attributes()) {
            const auto value = TCatalogStream::Decode(attribute.rawValue, scratch);
            item.push_back({std::string(attribute.name),
                            value ? std::optional<std::string>(*value) : std::nullopt});
        }
    }
    if (stream.Unusual()) {
        return 0;
    }

    // The parser reads the bytes as opening a catalog does: decoded from the encoding the
    // declaration names, as the reader decodes them.
    pugi::xml_document document;
    const std::optional<pugi::xml_parse_result> parsed = ParseCatalogText(text, document);
    Require(parsed && *parsed && document.document_element(), "the parser rejects the text");
    size_t index = 0;
    ForEachDocumentItem(document.document_element(), [&](const pugi::xml_node& element) {
        Require(index < items.size(), "the parser finds more elements");
        const std::vector<TAttributeRead>& item = items[index++];
        size_t k = 0;
        for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
             attribute = attribute.next_attribute(), ++k) {
            Require(k < item.size(), "the parser finds more attributes");
            Require(item[k].name == attribute.name(), "attribute names differ");
            Require(!item[k].value || *item[k].value == attribute.value(), "values differ");
        }
        Require(k == item.size(), "the reader finds more attributes");
    });
    Require(index == items.size(), "the reader finds more elements");

    // Into a tree: streamed, and through the mended document. A value the reader leaves to
    // the parser stops the streamed tree, and opening then takes the document path.
    TCatalogTree streamed;
    stream.SetText(text);
    if (!StreamItemsToTree(stream, "Disk", streamed)) {
        return 0;
    }
    TCatalogTree opened;
    SanitizeDocument(document);
    DocumentItemsToTree(document.document_element(), "Disk", opened);
    Require(ItemsOf(streamed) == ItemsOf(opened), "the trees differ");

    // Read from a file in pieces of a few bytes, cut at every place: the same tree.
    static const std::string path = "/tmp/fuzz_catalog_stream_" + std::to_string(getpid());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    Require(file && std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
                std::fclose(file) == 0,
            "the input cannot be written");
    TCatalogStream pieces(1 + size % 13);
    TCatalogTree piecewise;
    Require(
        pieces.Load(QString::fromStdString(path)) && StreamItemsToTree(pieces, "Disk", piecewise),
        "read in pieces, the reader gives up");
    Require(ItemsOf(piecewise) == ItemsOf(streamed), "read in pieces, the trees differ");
    return 0;
}
