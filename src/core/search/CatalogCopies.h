#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "core/catalog/FileItem.h"
#include "core/catalog/TimeFormat.h"

namespace melodrix {

struct TSearchOptions;  // core/search/SearchConditions.h

// One item of a stored copy of a catalog: its values as a hit takes them (decoded and
// mended, a bit per field present) and the values the search's tests read, which differ
// only in odd files (a raw value the XML parser left unmended, a repeated attribute).
struct TCopiedItem {
    TItemTexts texts{};
    uint32_t present = 0;
    bool topLevel = false;
    const TItemTexts* tested = nullptr;  // &texts when they are the same
    uint32_t testedPresent = 0;
};

// What a copy records of its catalog besides the items.
struct TCopiedCatalog {
    std::optional<TTimeFormat> timeFormat;
};

// Copies of catalogs that a search may test instead of reading the catalog files: the
// search index. A copy is used only while it is the copy of the file as it is now; the
// search reads the file itself whenever there is none.
class ICatalogCopies {
public:
    virtual ~ICatalogCopies() = default;

    // Called before the first catalog with what the search looks for, so that the copies
    // can leave out items that cannot meet it.
    virtual void Prepare(const TFileItem& conditions, const TSearchOptions& options) = 0;

    // For the catalog file `path`, whose name on disk is `native`: when a current copy is held or
    // can be made, hands `begin` what it records, then `visit` every item that may meet the
    // conditions, in the catalog's order, until `visit` returns false, and returns true.
    // False when there is no usable copy (found damaged, it may be after some items were
    // visited: the caller then forgets them and reads the file).
    virtual bool VisitCandidates(const QString& path, const QByteArray& native,
                                 const std::function<void(const TCopiedCatalog&)>& begin,
                                 const std::function<bool(const TCopiedItem&)>& visit) = 0;
};

}  // namespace melodrix
