#pragma once

#include <QProcess>
#include <QString>
#include <map>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace melodrix::testing {

// The bytes of one member of a workbook file; empty when it cannot be read.
inline QByteArray WorkbookMember(const QString& path, const char* member) {
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QString::fromLatin1(member)});
    if (!unzip.waitForFinished(60000) || unzip.exitCode() != 0) {
        return {};
    }
    return unzip.readAllStandardOutput();
}

// Reads back what a workbook file shows: cell texts (shared or inline strings), cell
// styles, merged ranges and column widths, through the `unzip` tool.
class TWorkbookReader {
public:
    explicit TWorkbookReader(const QString& path) {
        loaded = Load(path, "xl/worksheets/sheet1.xml", sheet_);
        Load(path, "xl/styles.xml", styles_);
        pugi::xml_document strings;
        if (Load(path, "xl/sharedStrings.xml", strings)) {
            for (const pugi::xml_node& item : strings.child("sst").children("si")) {
                shared_.push_back(item.child("t").text().get());
            }
        }
        for (const pugi::xml_node& row :
             sheet_.child("worksheet").child("sheetData").children("row")) {
            for (const pugi::xml_node& cell : row.children("c")) {
                TCell& c = cells_[cell.attribute("r").value()];
                c.style = cell.attribute("s").as_int();
                c.type = cell.attribute("t").value();
                if (c.type == "s") {
                    c.text = shared_.at(cell.child("v").text().as_uint());
                } else if (c.type == "inlineStr") {
                    c.text = cell.child("is").child("t").text().get();
                } else {
                    c.text = cell.child("v").text().get();
                }
            }
        }
        for (const pugi::xml_node& merge :
             sheet_.child("worksheet").child("mergeCells").children("mergeCell")) {
            merges.push_back(merge.attribute("ref").value());
        }
    }

    bool loaded = false;
    std::vector<std::string> merges;

    bool Has(const std::string& cell) const { return cells_.count(cell) > 0; }
    std::string Text(const std::string& cell) const {
        const auto it = cells_.find(cell);
        return it == cells_.end() ? std::string() : it->second.text;
    }
    // True when the cell holds a string (shared or inline), not a number.
    bool IsText(const std::string& cell) const {
        const auto it = cells_.find(cell);
        return it != cells_.end() && (it->second.type == "s" || it->second.type == "inlineStr");
    }
    size_t CellCount() const { return cells_.size(); }

    pugi::xml_node Format(const std::string& cell) const {
        const auto it = cells_.find(cell);
        const int style = it == cells_.end() ? 0 : it->second.style;
        return Nth(styles_.child("styleSheet").child("cellXfs"), "xf", style);
    }
    // The number format code of a cell ("0", "0.00"); empty for the general format.
    std::string NumberFormat(const std::string& cell) const {
        const int id = Format(cell).attribute("numFmtId").as_int();
        for (const pugi::xml_node& format :
             styles_.child("styleSheet").child("numFmts").children("numFmt")) {
            if (format.attribute("numFmtId").as_int() == id) {
                return format.attribute("formatCode").value();
            }
        }
        return id == 1 ? "0" : id == 2 ? "0.00" : "";
    }
    bool Bold(const std::string& cell) const {
        const pugi::xml_node font = Nth(styles_.child("styleSheet").child("fonts"), "font",
                                        Format(cell).attribute("fontId").as_int());
        return static_cast<bool>(font.child("b"));
    }
    std::string Alignment(const std::string& cell, const char* direction) const {
        return Format(cell).child("alignment").attribute(direction).value();
    }
    // True when all four sides of the cell have a thin border.
    bool ThinBorder(const std::string& cell) const {
        const pugi::xml_node border = Nth(styles_.child("styleSheet").child("borders"), "border",
                                          Format(cell).attribute("borderId").as_int());
        for (const char* side : {"left", "right", "top", "bottom"}) {
            if (std::string(border.child(side).attribute("style").value()) != "thin") {
                return false;
            }
        }
        return true;
    }
    // Width of the 1-based column, 0 when the sheet sets none.
    double ColumnWidth(int column) const {
        for (const pugi::xml_node& col : sheet_.child("worksheet").child("cols").children("col")) {
            if (col.attribute("min").as_int() <= column &&
                column <= col.attribute("max").as_int()) {
                return col.attribute("width").as_double();
            }
        }
        return 0;
    }

private:
    struct TCell {
        std::string text;
        std::string type;
        int style = 0;
    };

    bool Load(const QString& path, const char* member, pugi::xml_document& document) {
        const QByteArray bytes = WorkbookMember(path, member);
        return !bytes.isEmpty() && static_cast<bool>(document.load_buffer(
                                       bytes.constData(), static_cast<size_t>(bytes.size())));
    }

    static pugi::xml_node Nth(const pugi::xml_node& parent, const char* name, int index) {
        for (pugi::xml_node node = parent.child(name); node; node = node.next_sibling(name)) {
            if (index-- == 0) {
                return node;
            }
        }
        return {};
    }

    pugi::xml_document sheet_;
    pugi::xml_document styles_;
    std::vector<std::string> shared_;
    std::map<std::string, TCell> cells_;
};

}  // namespace melodrix::testing
