#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <pugixml.hpp>
#include <vector>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/Sinks.h"

namespace melodrix {

struct TSearchOptions;  // core/search/SearchConditions.h
class ICatalogCopies;   // core/search/CatalogCopies.h

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
// With `copies`, a catalog they hold a current copy of is tested from that copy instead of
// its file; the hits are the same.
QStringList SearchCatalogs(IProgressSink& progress, TSearchScope scope, TCatalogTree& result,
                           TFileItem& conditions, const TSearchOptions& options,
                           TSearchLeftover& leftover, ICatalogCopies* copies = nullptr);

// Receives the hits of one catalog file (each with its catalog's DiskName) when that catalog
// has been searched; it may move them out.
using TCatalogHitsSink =
    std::function<void(const QString& catalogFile, std::vector<TFileItem>& hits)>;

// The search of SearchCatalogs, the hits handed to `sink` catalog by catalog, in the order
// SearchCatalogs lists them, instead of kept: once for every file read as a catalog, also
// when it has no hits. Only one catalog's hits are held at a time.
QStringList SearchCatalogsInto(IProgressSink& progress, TSearchScope scope, TFileItem& conditions,
                               const TSearchOptions& options, TSearchLeftover& leftover,
                               const TCatalogHitsSink& sink, ICatalogCopies* copies = nullptr);

}  // namespace melodrix
