#pragma once

#include <QStringList>
#include <string>
#include <vector>

namespace melodrix {

// One column of a table export: the name as given (printed as the heading) and the
// field it reads (FieldIndexOf, so an unknown name reads FileName).
struct TExportColumn {
    std::string Name;  // UTF-8
    int Field = 0;
};

std::vector<TExportColumn> ResolveExportColumns(const QStringList& names);

// The text an export names its page or sheet after: the chosen file's name cut
// before its first dot ("my.list.htm" gives "my").
QString ExportTitleOf(const QString& path);

}  // namespace melodrix
