// Reading and writing catalog files: tree <-> Document <-> file.
#include <QFile>
#include <QFileInfo>
#include <vector>

#include "core/catalog/AtomicFile.h"
#include "core/catalog/Errors.h"
#include "core/catalog/FileInfo.h"
#include "core/catalog/Paths.h"

namespace melodrix {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the valid UTF-8 sequence at text[i] that XML 1.0 may hold; 0 when invalid.
size_t XmlCharLength(std::string_view text, size_t i) {
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

// Remembers where the last field name matched: attributes are normally written in field
// order, so the next one is found at once.
class TFieldMatcher {
public:
    int IndexOf(std::string_view name) {
        for (int k = 0; k < FieldCount; ++k) {
            const int index = (next_ + k) % FieldCount;
            if (FieldNames[index] == name) {
                next_ = (index + 1) % FieldCount;
                return index;
            }
        }
        return -1;
    }

private:
    int next_ = 0;
};

void ReadAttributes(const pugi::xml_node& element, TFieldMatcher& matcher,
                    std::array<std::string_view, FieldCount>& texts) {
    texts.fill({});
    for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        const int index = matcher.IndexOf(attribute.name());
        if (index >= 0) {
            texts[index] = attribute.value();
        }
    }
}

void WriteAttributes(pugi::xml_node& element, const TFileItem& item, std::string& scratch) {
    for (int i = 0; i < FieldCount; ++i) {
        const std::string_view text = item.Field(i);
        if (text.empty()) {
            continue;
        }
        pugi::xml_attribute attribute = element.append_attribute(FieldNames[i].data());
        if (SanitizeForXml(text, scratch)) {
            attribute.set_value(scratch.data(), scratch.size());
        } else {
            attribute.set_value(text.data(), text.size());
        }
    }
}

}  // namespace

bool SanitizeForXml(std::string_view text, std::string& out) {
    size_t i = 0;
    while (i < text.size()) {
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
    std::string scratch;
    // Walk the tree in pre-order, keeping the element of each open ancestor.
    std::vector<pugi::xml_node> parents{root};
    for (const TCatalogNode* node = tree.GetFirst(); node; node = tree.GetNext(node)) {
        const auto depth = static_cast<size_t>(node->Depth());
        parents.resize(depth + 1);
        pugi::xml_node element = parents[depth].append_child("file");
        WriteAttributes(element, node->Item(), scratch);
        if (node->ChildCount() > 0) {
            parents.push_back(element);
        }
    }
}

bool TFileInfo::SaveCatalogFile(const QString& path) {
    QString target = path;
    if (target.isEmpty()) {
        target = AskSaveFileName(Prompt(), QStringLiteral("xml"), kCatalogFileFilter, QString());
        if (target.isEmpty()) {
            return false;
        }
    }
    pugi::xml_document& document = ActiveDocument();
    WriteFileAtomically(target, [&](QIODevice& device) {
        TDeviceWriter writer(device);
        unsigned flags = pugi::format_raw;
        if (document.first_child().type() == pugi::node_declaration) {
            flags |= pugi::format_no_declaration;
        }
        document.save(writer, "", flags, pugi::encoding_utf8);
    });
    return true;
}

bool TFileInfo::OpenCatalogFile(const QString& path) {
    TProgressScope progress(Progress(), kLoadingInfo);
    QString source = path;
    if (source.isEmpty()) {
        source = AskOpenFileName(Prompt(), QStringLiteral("xml"), kCatalogFileFilter, QString());
        if (source.isEmpty()) {
            return false;
        }
    }
    CatalogFileName = source;
    pugi::xml_document& document = ActiveDocument();
    pugi::xml_document parsed;
    const pugi::xml_parse_result result = parsed.load_file(
        QFile::encodeName(source).constData(), pugi::parse_default | pugi::parse_declaration);
    if (!result) {
        if (result.status == pugi::status_file_not_found) {
            throw TCatalogFileError(
                QStringLiteral("Cannot open catalog %1: the file cannot be read").arg(source));
        }
        throw TCatalogFileError(QStringLiteral("Cannot open catalog %1: %2 at byte %3")
                                    .arg(source, QString::fromUtf8(result.description()))
                                    .arg(result.offset));
    }
    document = std::move(parsed);
    return true;
}

void TFileInfo::DocumentToTree(TCatalogTree& tree) {
    TProgressScope progress(Progress(), kLoadingInfo);
    struct TUpdateBracket {
        TCatalogTree& tree;
        explicit TUpdateBracket(TCatalogTree& t) : tree(t) { tree.BeginUpdate(); }
        ~TUpdateBracket() { tree.EndUpdate(); }
    } bracket(tree);
    tree.Clear();

    const QByteArray diskName = DiskNameOf(QFileInfo(CatalogFileName).fileName()).toUtf8();
    const std::string_view disk(diskName.constData(), static_cast<size_t>(diskName.size()));
    const pugi::xml_node root = DocumentRoot();

    TFieldMatcher matcher;
    std::array<std::string_view, FieldCount> texts;
    // Iterative pre-order walk of the elements, so any nesting depth is safe.
    pugi::xml_node element = root.first_child();
    TCatalogNode* parent = nullptr;
    while (element) {
        if (element.type() == pugi::node_element) {
            TCatalogNode* node = tree.AppendChild(parent);
            ReadAttributes(element, matcher, texts);
            if (!parent) {
                // Top-level items are folders unless the file says otherwise.
                if (texts[FileType].empty()) {
                    texts[FileType] = DirectoryType;
                }
                if (texts[FullPath].empty()) {
                    texts[FullPath] = texts[FileName];
                }
            }
            texts[DiskName] = disk;
            node->Item().SetAllFields(texts);
            if (pugi::xml_node child = element.first_child()) {
                parent = node;
                element = child;
                continue;
            }
        }
        // Climb until a next sibling is found.
        while (element && !element.next_sibling() && element.parent() != root) {
            element = element.parent();
            parent = parent ? parent->Parent() : nullptr;
        }
        element = element.next_sibling();
    }
}

}  // namespace melodrix
