#include "core/export/ExportColumns.h"

#include <QFileInfo>

#include "core/catalog/FileItem.h"
#include "core/catalog/Paths.h"

namespace melodrix {

std::vector<TExportColumn> ResolveExportColumns(const QStringList& names) {
    std::vector<TExportColumn> columns;
    columns.reserve(static_cast<size_t>(names.size()));
    for (const QString& name : names) {
        std::string utf8 = name.toStdString();
        const int field = FieldIndexOf(utf8);
        columns.push_back({std::move(utf8), field});
    }
    return columns;
}

QString ExportTitleOf(const QString& path) {
    return DiskNameOf(QFileInfo(path).fileName());
}

}  // namespace melodrix
