#pragma once

#include <QString>
#include <QStringList>
#include <pugixml.hpp>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/Sinks.h"

namespace melodrix {

struct TSearchOptions;  // core/search/SearchConditions.h

enum class TSearchScope { Group, Catalog };

// What a search leaves behind, as opening the last catalog it searched would: that catalog's
// path in CatalogFileName (unchanged when none was searched) and, when Document is given, the
// catalog parsed into it.
struct TSearchLeftover {
    pugi::xml_document* Document = nullptr;
    QString CatalogFileName;
};

// Searches the group or catalog that conditions' FullPath names and puts the hits in
// `result`. Returns the files of the scope that were skipped as unreadable catalogs. Throws
// TSearchConditionError, before reading anything, for a condition it cannot use.
QStringList SearchCatalogs(IProgressSink& progress, TSearchScope scope, TCatalogTree& result,
                           TFileItem& conditions, const TSearchOptions& options,
                           TSearchLeftover& leftover);

}  // namespace melodrix
