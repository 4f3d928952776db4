#include "core/scan/ItemEdits.h"

#include <QString>

#include "core/catalog/ItemEdit.h"
#include "core/catalog/Paths.h"
#include "core/scan/UpdateRenames.h"

namespace melodrix {

namespace {

QString TextOf(const TFileItem& item, int field) {
    const std::string_view text = item.Field(field);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void SetText(TFileItem& item, int field, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    item.SetField(field, std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

// Length in characters (code points), as decimal text.
QString LengthText(const QString& text) {
    qsizetype count = 0;
    for (const QChar c : text) {
        count += c.isLowSurrogate() ? 0 : 1;
    }
    return QString::number(count);
}

}  // namespace

TItemLocation LocationOf(const TCatalogTree& tree, const TCatalogNode& node) {
    TItemLocation location;
    location.FullPath = std::string(node.Item().Field(FullPath));
    for (const TCatalogNode* other = tree.GetFirst(); other && other != &node;
         other = tree.GetNext(other)) {
        location.Occurrence += other->Item().Field(FullPath) == location.FullPath;
    }
    return location;
}

TCatalogNode* FindItem(const TCatalogTree& tree, const TItemLocation& location) {
    size_t seen = 0;
    for (TCatalogNode* node = tree.GetFirst(); node; node = tree.GetNext(node)) {
        if (node->Item().Field(FullPath) == location.FullPath && seen++ == location.Occurrence) {
            return node;
        }
    }
    return nullptr;
}

void EditCatalogItem(TCatalogTree& tree, TCatalogNode& node, int field, std::string_view text,
                     bool recordRename) {
    TFileItem& item = node.Item();
    if (field == FileName) {
        if (recordRename) {
            RecordRename(tree, node, text);
        }
        QString parentPath;
        if (const TCatalogNode* parent = node.Parent()) {
            parentPath = TextOf(parent->Item(), FullPath);
        }
        if (!parentPath.isEmpty()) {
            parentPath += PathDelimiter();
        }
        // The descendants' paths begin with the item's own path, which for a top-level item
        // need not be its name.
        const QString oldPath = TextOf(item, FullPath);
        const QString newPath =
            parentPath + QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        SetText(item, FullPath, newPath);
        SetText(item, PathNameLength, LengthText(newPath));
        ForEachDescendant(&node, [&](TCatalogNode* descendant) {
            TFileItem& inner = descendant->Item();
            const QString path = newPath + TextOf(inner, FullPath).mid(oldPath.size());
            SetText(inner, FullPath, path);
            SetText(inner, PathNameLength, LengthText(path));
        });
    }
    SetEditedField(item, field, text);
}

}  // namespace melodrix
