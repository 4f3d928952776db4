#pragma once

// What a catalog file holds, reduced to what no user action may change: the monkey test
// uses it to tell a catalog that was only edited, renamed or moved from one that holds
// items of another catalog or of a search.
#include <QByteArray>
#include <QCryptographicHash>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace melodrix::testing {

struct TCatalogFacts {
    bool wellFormed = false;
    QString error;         // why the file is not a catalog
    QByteArray signature;  // digest of the values no edit changes, in tree shape
    int items = 0;
    QStringList structure;  // children whose FullPath is not their parent's plus their name
    QStringList topNames;   // FileNames of the top-level items (for messages)
};

namespace monkeydetail {

inline QString Attr(const pugi::xml_node& node, const char* name) {
    return QString::fromUtf8(node.attribute(name).value());
}

// Every file element below `parent`, depth first. A child's FullPath must be its parent's
// FullPath, the path delimiter and its own FileName: every rename keeps that, a catalog
// saved with another tree's items does not.
inline void Walk(const pugi::xml_node& parent, int depth, const QString& parentPath,
                 std::vector<std::string>& keys, TCatalogFacts& facts) {
    for (pugi::xml_node node = parent.child("file"); node; node = node.next_sibling("file")) {
        ++facts.items;
        // FileName, FullPath, Description and the lengths follow edits; these never do.
        std::string key = std::to_string(depth);
        for (const char* name : {"FileSize", "FileExt", "FileType", "FileTime"}) {
            key += '\x1f';
            key += node.attribute(name).value();
        }
        keys.push_back(std::move(key));
        const QString path = Attr(node, "FullPath");
        if (depth == 0) {
            facts.topNames << Attr(node, "FileName");
        } else if (path != parentPath + QLatin1Char('/') + Attr(node, "FileName") &&
                   facts.structure.size() < 3) {
            facts.structure << QStringLiteral("\"%1\" under \"%2\"").arg(path, parentPath);
        }
        Walk(node, depth + 1, path, keys, facts);
    }
}

}  // namespace monkeydetail

inline TCatalogFacts ReadCatalogFacts(const QByteArray& bytes) {
    TCatalogFacts facts;
    pugi::xml_document document;
    const pugi::xml_parse_result result =
        document.load_buffer(bytes.constData(), static_cast<size_t>(bytes.size()));
    if (!result) {
        facts.error = QStringLiteral("%1 at byte %2")
                          .arg(QString::fromUtf8(result.description()))
                          .arg(result.offset);
        return facts;
    }
    const pugi::xml_node root = document.child("fileinfo");
    if (!root) {
        facts.error = QStringLiteral("no fileinfo root element");
        return facts;
    }
    facts.wellFormed = true;
    std::vector<std::string> keys;
    monkeydetail::Walk(root, 0, QString(), keys, facts);
    // The order of siblings follows the sort the user chose; the shape does not.
    std::sort(keys.begin(), keys.end());
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const std::string& key : keys) {
        hash.addData(QByteArrayView(key.data(), static_cast<qsizetype>(key.size())));
        hash.addData(QByteArrayView("\n"));
    }
    facts.signature = hash.result().toHex();
    return facts;
}

}  // namespace melodrix::testing
