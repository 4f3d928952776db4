#pragma once

#include <QString>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/Sinks.h"

namespace melodrix {

// The catalog file texts.
inline constexpr const char* kNewDocumentText =
    "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?> "
    "<fileinfo generated=\"Vellumdex\"></fileinfo>";
inline const QString kCatalogFileFilter = QStringLiteral("XML File|*.XML");
inline const QString kLoadingInfo = QStringLiteral("Loading info..");
inline const QString kGatheringInfo = QStringLiteral("Gathering info..");

// How the bytes of a catalog file are turned into UTF-8 text before anything reads them.
struct TCatalogEncoding {
    enum class TKind {
        AsIs,         // UTF-8, or a form the XML parser reads by itself (UTF-16, UTF-32)
        Decode,       // an 8-bit encoding named by the declaration, decoded by name
        Unsupported,  // named by the declaration, but not one this program can decode
    };
    TKind kind = TKind::AsIs;
    QString name;  // as the declaration writes it, for Decode and Unsupported
};

// The encoding the declaration at the start of `bytes` names, judged as above.
TCatalogEncoding CatalogEncodingOf(std::string_view bytes);

// `bytes` in the named encoding, as UTF-8; bytes the encoding does not define become U+FFFD.
std::string DecodeCatalogText(std::string_view bytes, const QString& encodingName);

// The message for a catalog whose declared encoding cannot be read.
QString UnsupportedEncodingText(const QString& path, const QString& encodingName);

// Parses catalog bytes as the file reader does: decoded when the declaration names an 8-bit
// encoding. Nothing when that encoding cannot be decoded.
std::optional<pugi::xml_parse_result> ParseCatalogText(std::string_view bytes,
                                                       pugi::xml_document& document);

// Reads and parses the catalog file at `path` into `document`, then mends what XML cannot
// hold. Throws TCatalogFileError with the reason, leaving `document` as it was.
void LoadCatalogDocument(const QString& path, pugi::xml_document& document);

// Writes the document as a catalog file at `path`, replacing it once complete: our own
// declaration, then everything but the declaration, raw. Throws TMelodrixError on failure.
void WriteCatalogDocument(const QString& path, const pugi::xml_document& document);

// Resets the document to an empty catalog.
void NewCatalogDocument(pugi::xml_document& document);
// The root element of the document, making an empty catalog first when it has none.
pugi::xml_node CatalogDocumentRoot(pugi::xml_document& document);
// Replaces the items and root attributes of the document by those of the tree.
void CatalogTreeToDocument(const TCatalogTree& tree, pugi::xml_document& document);
// Replaces the tree's contents by the items below `root`, each with the disk name of
// `catalogFile`.
void CatalogDocumentToTree(pugi::xml_node root, const QString& catalogFile, TCatalogTree& tree);

// The catalog file to open or to save: `given`, or when it is empty the one the user picks;
// empty when the user declined.
QString CatalogFileToOpen(IPromptSink& prompt, const QString& given);
QString CatalogFileToSave(IPromptSink& prompt, const QString& given);

}  // namespace melodrix
