#pragma once

// Hand-made catalogs of one album folder, for tests whose answers are counted by hand.
#include <QByteArray>
#include <string>
#include <utility>
#include <vector>

namespace melodrix::testing {

// A file's attributes besides FullPath, FileExt and FileType, which come from its FileName.
using TCatalogFile = std::vector<std::pair<const char*, std::string>>;

// A catalog of the folder /m/a holding the files, written as a scan writes them: empty values
// left out, FileName first.
inline QByteArray FolderCatalog(const std::vector<TCatalogFile>& files) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?><fileinfo>"
        "<file FileName=\"/m\" FullPath=\"/m\" FileType=\"directory\">"
        "<file FileName=\"a\" FullPath=\"/m/a\" FileType=\"directory\">";
    for (const TCatalogFile& file : files) {
        std::string name;
        for (const auto& [field, value] : file) {
            if (std::string(field) == "FileName") {
                name = value;
            }
        }
        const auto dot = name.rfind('.');
        TCatalogFile fields = {{"FileName", name},
                               {"FullPath", "/m/a/" + name},
                               {"FileExt", dot == std::string::npos ? "" : name.substr(dot + 1)},
                               {"FileType", "file"}};
        for (const auto& entry : file) {
            if (std::string(entry.first) != "FileName") {
                fields.push_back(entry);
            }
        }
        text += "<file";
        for (const auto& [field, value] : fields) {
            if (!value.empty()) {
                text += std::string(" ") + field + "=\"" + value + "\"";
            }
        }
        text += "/>";
    }
    return QByteArray::fromStdString(text + "</file></file></fileinfo>");
}

}  // namespace melodrix::testing
