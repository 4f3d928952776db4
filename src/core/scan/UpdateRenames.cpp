#include "core/scan/UpdateRenames.h"

#include "core/catalog/CatalogAttributes.h"

namespace melodrix {

namespace {

bool NeedsEscape(char c) {
    return c == '%' || c == '|' || c == '=' || static_cast<unsigned char>(c) < 0x20;
}

void AppendEscaped(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : text) {
        if (NeedsEscape(c)) {
            const auto b = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        } else {
            out += c;
        }
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Undoes AppendEscaped; a "%" not followed by two hex digits stays as it is.
std::string Unescaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string_view ParentOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

std::string_view LastComponentOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

void AppendPathComponent(std::string& path, std::string_view name) {
    if (!path.empty()) {
        path += '/';
    }
    path += name;
}

TRenameRecord TRenameRecord::Of(const TCatalogTree& tree) {
    const std::string* text = tree.Attributes().Find(kRenamedItemsAttribute);
    return text ? Parse(*text) : TRenameRecord();
}

void TRenameRecord::StoreIn(TCatalogTree& tree) const {
    if (entries_.empty()) {
        tree.Attributes().Remove(kRenamedItemsAttribute);
    } else {
        tree.Attributes().Set(kRenamedItemsAttribute, Text());
    }
}

TRenameRecord TRenameRecord::Parse(std::string_view text) {
    TRenameRecord record;
    while (!text.empty()) {
        const size_t bar = text.find('|');
        const std::string_view entry = text.substr(0, bar);
        const size_t equals = entry.find('=');
        // An entry without "=" is not one this record wrote; it is skipped.
        if (equals != std::string_view::npos) {
            record.entries_[Unescaped(entry.substr(0, equals))] =
                Unescaped(entry.substr(equals + 1));
        }
        if (bar == std::string_view::npos) {
            break;
        }
        text.remove_prefix(bar + 1);
    }
    return record;
}

std::string TRenameRecord::Text() const {
    std::string text;
    for (const auto& [path, name] : entries_) {
        if (!text.empty()) {
            text += '|';
        }
        AppendEscaped(text, path);
        text += '=';
        AppendEscaped(text, name);
    }
    return text;
}

const std::string* TRenameRecord::Find(const std::string& scannedPath) const {
    const auto found = entries_.find(scannedPath);
    return found == entries_.end() ? nullptr : &found->second;
}

void TRenameRecord::Set(const std::string& scannedPath, std::string_view name) {
    entries_[scannedPath] = std::string(name);
}

TScannedNames::TScannedNames(const TRenameRecord& record) {
    for (const auto& [path, name] : record.Entries()) {
        if (!path.empty()) {
            byParent_[ParentOf(path)].push_back({LastComponentOf(path), name});
        }
    }
}

std::vector<std::string_view> TScannedNames::ChildrenOf(const TCatalogNode& node,
                                                        const std::string& nodePath) const {
    std::vector<std::string_view> names;
    names.reserve(static_cast<size_t>(node.ChildCount()));
    for (const TCatalogNode* child = node.FirstChild(); child; child = child->NextSibling()) {
        names.push_back(child->Item().Field(FileName));
    }
    const auto found = byParent_.find(nodePath);
    if (found == byParent_.end()) {
        return names;
    }
    // Each renamed entry names one child: the first not yet taken whose name is the one
    // the user gave.
    std::vector<bool> taken(names.size(), false);
    for (const TRenamed& renamed : found->second) {
        for (size_t i = 0; i < names.size(); ++i) {
            if (!taken[i] && names[i] == renamed.userName) {
                names[i] = renamed.scannedName;
                taken[i] = true;
                break;
            }
        }
    }
    return names;
}

std::string ScannedPathOf(const TCatalogTree& tree, const TCatalogNode& node) {
    std::vector<const TCatalogNode*> chain;
    for (const TCatalogNode* n = &node; n; n = n->Parent()) {
        chain.push_back(n);
    }
    const TRenameRecord record = TRenameRecord::Of(tree);
    const TScannedNames scanned(record);
    std::string path;
    // chain.back() is the top-level item, whose scanned path is "".
    for (size_t i = chain.size() - 1; i > 0; --i) {
        const TCatalogNode* parent = chain[i];
        const TCatalogNode* child = chain[i - 1];
        const std::vector<std::string_view> names = scanned.ChildrenOf(*parent, path);
        AppendPathComponent(path, names[static_cast<size_t>(child->Row())]);
    }
    return path;
}

void RecordRename(TCatalogTree& tree, const TCatalogNode& node, std::string_view newName) {
    const std::string path = ScannedPathOf(tree, node);
    TRenameRecord record = TRenameRecord::Of(tree);
    if (!path.empty() && LastComponentOf(path) == newName) {
        record.Remove(path);
    } else {
        record.Set(path, newName);
    }
    record.StoreIn(tree);
}

}  // namespace melodrix
