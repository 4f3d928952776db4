// Saving a tree as a catalog file straight from its items, without building a document: the
// bytes are those the document writer writes, through a buffer into a temporary file that
// replaces the catalog only once it is complete.
#include <string_view>

#include "core/catalogfile/CatalogDocument.h"
#include "core/catalogfile/CatalogRootAttributes.h"
#include "core/catalogfile/CatalogWriter.h"

namespace melodrix {

namespace {

constexpr std::string_view kRootName = "fileinfo";
constexpr std::string_view kItemName = "file";

// Every attribute of the root element is written here, so that what the root records about
// its catalog lives in one place.
void AppendRootAttributes(TCatalogWriter& writer, const TCatalogTree& tree) {
    for (const auto& [name, value] : CatalogRootAttributes(tree)) {
        writer.AppendAttribute(name, value);
    }
}

void WriteCatalog(TCatalogWriter& writer, const TCatalogTree& tree) {
    writer.Append(TCatalogWriter::kDeclaration);
    writer.Append("<");
    writer.Append(kRootName);
    AppendRootAttributes(writer, tree);
    if (tree.IsEmpty()) {
        writer.Append("/>");
        writer.Finish();
        return;
    }
    writer.Append(">");
    // Pre-order walk without recursion, closing each element once its subtree is written.
    const TCatalogNode* node = tree.GetFirst();
    while (node) {
        writer.AppendItemStart(kItemName, node->Item());
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
    writer.Finish();
}

}  // namespace

TFileStamp WriteCatalogTreeFile(const QString& path, const TCatalogTree& tree) {
    return WriteFileAtomically(path, [&](QIODevice& device) {
        TCatalogWriter writer(device);
        WriteCatalog(writer, tree);
    });
}

}  // namespace melodrix
