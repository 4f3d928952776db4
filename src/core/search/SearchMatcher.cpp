#include "core/search/SearchMatcher.h"

#include <utility>

#include "core/catalog/ValueFunctions.h"

namespace melodrix {

TSearchMatcher::TSearchMatcher(const TFileItem& record, const TSearchOptions& options) {
    ranges_.size = options.size;
    ranges_.year = options.year;
    ranges_.time = options.time;
    ranges_.kind = options.kind;
    ranges_.codec = AsciiUpper(options.codec);
    // The cheap tests come first; all must hold, so their order changes no result.
    if (options.kind != TItemKind::Both) {
        conditions_.push_back({TTest::Kind, FileType});
    }
    if (options.size.IsSet()) {
        conditions_.push_back({TTest::Size, FileSize});
    }
    for (const int field : {FileName, FileExt, Description}) {
        AddText(field, std::string(record.Field(field)), options);
    }
    for (const TTextCondition& condition : options.texts) {
        if (condition.field >= 0 && condition.field < FieldCount) {
            AddText(condition.field, condition.text, options);
        }
    }
    if (options.year.IsSet()) {
        conditions_.push_back({TTest::Year, MP3_Year});
    }
    if (options.time.IsSet()) {
        conditions_.push_back({TTest::Time, FileTime});
        unrecordedTimes_.emplace(std::nullopt);
    }
    const std::pair<int, const TRange<int64_t>*> numbers[] = {{MP3_Track, &options.track},
                                                              {AudioDuration, &options.durationMs},
                                                              {AudioBitrate, &options.bitrate}};
    for (const auto& [field, range] : numbers) {
        if (range->IsSet()) {
            conditions_.push_back({TTest::Number, field, 0, *range});
        }
    }
    if (!options.codec.empty()) {
        conditions_.push_back({TTest::Codec, AudioCodec});
    }
}

void TSearchMatcher::UseTimeFormat(const std::optional<TTimeFormat>& recorded) {
    useRecorded_ = false;
    if (!unrecordedTimes_ || !recorded) {
        return;
    }
    // Catalogs of one library share their format, which is made into a reader once.
    if (!recordedFormat_ || !(*recordedFormat_ == *recorded)) {
        recordedFormat_ = recorded;
        recordedTimes_.emplace(recorded);
    }
    useRecorded_ = true;
}

void TSearchMatcher::AddText(int field, std::string text, const TSearchOptions& options) {
    if (text.empty()) {
        return;
    }
    TTextPattern pattern(std::move(text), options.mode, options.caseSensitive);
    if (field == DiskName) {
        diskPatterns_.push_back(std::move(pattern));
        return;
    }
    conditions_.push_back({TTest::Text, field, patterns_.size()});
    patterns_.push_back(std::move(pattern));
}

bool TSearchMatcher::DiskHolds(std::string_view diskName) const {
    for (const TTextPattern& pattern : diskPatterns_) {
        if (!pattern.Matches(diskName)) {
            return false;
        }
    }
    return true;
}

bool TSearchMatcher::ConditionHolds(size_t condition, bool present, std::string_view value) const {
    if (!present) {
        return false;
    }
    const TCondition& c = conditions_[condition];
    switch (c.test) {
        case TTest::Text:
            return patterns_[c.pattern].Matches(value);
        case TTest::Kind:
            return value == (ranges_.kind == TItemKind::Files ? FileTypeFile : DirectoryType);
        case TTest::Size: {
            const std::optional<uint64_t> size = SizeOfText(value);
            return size && ranges_.size.Holds(*size);
        }
        case TTest::Year: {
            const std::optional<int64_t> year = YearOfText(value);
            return year && ranges_.year.Holds(*year);
        }
        case TTest::Time: {
            const TStoredTimeReader& times = useRecorded_ ? *recordedTimes_ : *unrecordedTimes_;
            const std::optional<int64_t> time = times.ParseToMsecs(value);
            return time && ranges_.time.Holds(*time);
        }
        case TTest::Number: {
            const std::optional<int64_t> number = LeadingNumberOfText(value);
            return number && c.range.Holds(*number);
        }
        case TTest::Codec:
            return value.size() == ranges_.codec.size() &&
                   CompareTextIgnoringCase(value, ranges_.codec) == 0;
    }
    return false;
}

bool TSearchMatcher::Matches(const pugi::xml_node& element) const {
    for (size_t i = 0; i < conditions_.size(); ++i) {
        const pugi::xml_attribute attribute =
            element.attribute(FieldNames[conditions_[i].field].data());
        if (!ConditionHolds(i, static_cast<bool>(attribute), attribute.value())) {
            return false;
        }
    }
    return true;
}

}  // namespace melodrix
