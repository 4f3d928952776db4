#pragma once

#include <optional>
#include <pugixml.hpp>
#include <string_view>
#include <vector>

#include "core/catalog/DateTimeParser.h"
#include "core/catalog/FileItem.h"
#include "core/search/SearchConditions.h"
#include "core/search/TextPattern.h"

namespace melodrix {

// The test a search applies to each stored item. The text conditions are the record's
// FileName, FileExt and Description and the options' texts, each skipped when empty;
// ranges and the kind of item follow the options. All must hold. A condition on a field
// the item lacks fails, and so does a range over a value that cannot be read.
//
// DiskName is not tested per item: hits carry the disk name of their catalog, so that is
// what its condition is held against, once per catalog (DiskHolds).
//
// A time condition reads the stored FileTime texts as their catalog wrote them: in the
// format it records (UseTimeFormat before its items are tested), else in the current
// locale's format and then the common ones.
class TSearchMatcher {
public:
    // Throws TSearchConditionError for a condition that cannot be used.
    TSearchMatcher(const TFileItem& record, const TSearchOptions& options);

    // The time format the catalog whose items come next records; nothing when it records none.
    void UseTimeFormat(const std::optional<TTimeFormat>& recorded);

    bool Matches(const pugi::xml_node& element) const;
    // The same test on one value; `present` is false for an item without the attribute.
    bool ConditionHolds(size_t condition, bool present, std::string_view value) const;
    size_t ConditionCount() const { return conditions_.size(); }
    std::string_view ConditionField(size_t condition) const {
        return FieldNames[conditions_[condition].field];
    }
    int ConditionFieldNumber(size_t condition) const { return conditions_[condition].field; }
    bool DiskHolds(std::string_view diskName) const;

private:
    enum class TTest { Text, Kind, Size, Year, Time, Number, Codec };
    struct TCondition {
        TTest test;
        int field;
        size_t pattern = 0;       // into patterns_, for Text
        TRange<int64_t> range{};  // for Number: the value's leading number lies in it
    };
    void AddText(int field, std::string text, const TSearchOptions& options);

    std::vector<TCondition> conditions_;
    std::vector<TTextPattern> patterns_;
    std::vector<TTextPattern> diskPatterns_;
    TSearchOptions ranges_;  // the ranges and the kind; its texts are left empty
    // Made only for a time condition: the reader of catalogs without a format of their own,
    // and that of the last format a catalog recorded.
    std::optional<TStoredTimeReader> unrecordedTimes_;
    std::optional<TTimeFormat> recordedFormat_;
    std::optional<TStoredTimeReader> recordedTimes_;
    bool useRecorded_ = false;
};

}  // namespace melodrix
