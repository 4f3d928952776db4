#include "core/catalog/TimeFormat.h"

#include <string>

#include "core/catalog/ValueFunctions.h"

namespace melodrix {

namespace {

QString QText(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace

TTimeFormat TimeFormatOf(const QLocale& locale) {
    return {locale, DateFormatWithFullYear(locale), TimeFormatWithoutZone(locale)};
}

TTimeFormat CurrentTimeFormat() {
    return TimeFormatOf(QLocale());
}

const std::vector<TTimeFormat>& CommonTimeFormats() {
    static const std::vector<TTimeFormat> formats = [] {
        std::vector<TTimeFormat> list;
        for (const QLocale& locale :
             {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates),
              QLocale(QLocale::English, QLocale::UnitedKingdom),
              QLocale(QLocale::German, QLocale::Germany)}) {
            list.push_back(TimeFormatOf(locale));
        }
        list.push_back({QLocale::c(), QStringLiteral("yyyy-MM-dd"), QStringLiteral("HH:mm:ss")});
        return list;
    }();
    return formats;
}

std::optional<TTimeFormat> RecordedTimeFormat(const TCatalogAttributes& attributes) {
    const std::string* locale = attributes.Find(kScanLocaleAttribute);
    const std::string* date = attributes.Find(kScanDateFormatAttribute);
    const std::string* time = attributes.Find(kScanTimeFormatAttribute);
    if (!locale || !date || !time || date->empty()) {
        return std::nullopt;
    }
    return TTimeFormat{QLocale(QText(*locale)), QText(*date), QText(*time)};
}

void RecordTimeFormat(TCatalogAttributes& attributes, const TTimeFormat& format) {
    attributes.Set(kScanLocaleAttribute, Utf8(format.Locale.name()));
    attributes.Set(kScanDateFormatAttribute, Utf8(format.Date));
    attributes.Set(kScanTimeFormatAttribute, Utf8(format.Time));
}

void ForgetTimeFormat(TCatalogAttributes& attributes) {
    attributes.Remove(kScanLocaleAttribute);
    attributes.Remove(kScanDateFormatAttribute);
    attributes.Remove(kScanTimeFormatAttribute);
}

}  // namespace melodrix
