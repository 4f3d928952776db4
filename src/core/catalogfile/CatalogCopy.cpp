// Copying a catalog file as it is read, for an XML export of a library catalog without a
// document: the bytes the document writer writes after the file is parsed and mended.
#include <optional>
#include <string>
#include <vector>

#include "core/catalogfile/CatalogStream.h"
#include "core/catalogfile/CatalogWriter.h"

namespace melodrix {

namespace {

// ` name="value"` for each attribute, decoded as the parser reads it; false for a value only
// the parser reads.
bool AppendStreamedAttributes(TCatalogWriter& writer,
                              std::span<const TCatalogStream::TAttribute> attributes,
                              std::string& scratch) {
    for (const TCatalogStream::TAttribute& attribute : attributes) {
        const std::optional<std::string_view> value = TCatalogStream::Decode(attribute, scratch);
        if (!value) {
            return false;
        }
        writer.AppendAttribute(attribute.name, *value);  // mended there
    }
    return true;
}

void AppendEndTag(TCatalogWriter& writer, std::string_view name) {
    writer.Append("</");
    writer.Append(name);
    writer.Append(">");
}

}  // namespace

bool CopyStreamedCatalog(TCatalogStream& stream, TCatalogWriter& writer) {
    // The root's name and attributes are known once the first item (or the end) is read.
    bool more = stream.NextItem();
    if (stream.Unusual() || stream.TextInside()) {
        return false;
    }
    std::string scratch;
    writer.Append(TCatalogWriter::kDeclaration);
    writer.Append("<");
    writer.Append(stream.RootName());
    if (!AppendStreamedAttributes(writer, stream.RootAttributes(), scratch)) {
        return false;
    }
    if (!more) {
        writer.Append("/>");
        writer.Finish();
        return true;
    }
    writer.Append(">");
    // The names of the elements whose end tag is due, the last one's start tag still open: an
    // element without children is written "<name .../>" as the parsed document writes it, whether
    // the file closed it at once or with an end tag.
    std::vector<std::string> open;
    for (; more; more = stream.NextItem()) {
        if (stream.TextInside()) {
            return false;
        }
        const size_t depth = stream.Depth();
        if (depth > open.size()) {
            return false;  // cannot happen: an element's parent was read before it
        }
        if (!open.empty()) {
            if (depth == open.size()) {
                writer.Append(">");  // the open element has children
            } else {
                writer.Append("/>");
                open.pop_back();
            }
        }
        while (open.size() > depth) {
            AppendEndTag(writer, open.back());
            open.pop_back();
        }
        writer.Append("<");
        writer.Append(stream.ElementName());
        if (!AppendStreamedAttributes(writer, stream.Attributes(), scratch)) {
            return false;
        }
        open.emplace_back(stream.ElementName());
        writer.FlushWhenFull();
    }
    if (stream.Unusual() || stream.TextInside()) {
        return false;
    }
    writer.Append("/>");
    open.pop_back();
    while (!open.empty()) {
        AppendEndTag(writer, open.back());
        open.pop_back();
    }
    AppendEndTag(writer, stream.RootName());
    writer.Finish();
    return true;
}

}  // namespace melodrix
