#pragma once

#include <QString>
#include <QStringList>
#include <pugixml.hpp>

#include "core/base/Errors.h"
#include "core/catalog/Sinks.h"

namespace melodrix {

// What every export needs of its caller: where to ask and report, the columns to write and,
// for the exports of the open catalog, its document and the file it was read from.
struct TExportContext {
    IProgressSink& Progress;
    IPromptSink& Prompt;
    const QStringList* Columns = nullptr;  // none: no column is chosen
    pugi::xml_document* Document = nullptr;
    QString CatalogFileName;

    QStringList ColumnList() const { return Columns ? *Columns : QStringList(); }
    pugi::xml_document& OpenDocument() const {
        if (!Document) {
            throw TMelodrixError(QStringLiteral("The catalog engine has no document."));
        }
        return *Document;
    }
};

}  // namespace melodrix
