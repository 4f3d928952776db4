#include "core/catalog/DiskFacts.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <charconv>
#include <string>

#include "core/catalog/Paths.h"

namespace melodrix {

namespace {

std::optional<uint64_t> WholeNumber(const std::string* text) {
    if (!text || text->empty()) {
        return std::nullopt;
    }
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size()) {
        return std::nullopt;
    }
    return value;
}

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace

std::optional<TDiskFacts> DiskFactsOfVolumeRoot(const QString& folder) {
    if (!IsVolumeRoot(folder)) {
        return std::nullopt;
    }
    const QStorageInfo storage(QFileInfo(folder).canonicalFilePath());
    if (!storage.isValid() || !storage.isReady() || storage.bytesTotal() <= 0) {
        return std::nullopt;
    }
    TDiskFacts facts;
    facts.TotalBytes = static_cast<uint64_t>(storage.bytesTotal());
    facts.FreeBytes = static_cast<uint64_t>(std::max<qint64>(storage.bytesAvailable(), 0));
    facts.FileSystem = QString::fromUtf8(storage.fileSystemType());
    facts.Label = VolumeLabelOf(folder);
    return facts;
}

void RecordDiskFacts(TCatalogAttributes& attributes, const std::optional<TDiskFacts>& facts) {
    if (!facts) {
        attributes.Remove(kDiskTotalBytesAttribute);
        attributes.Remove(kDiskFreeBytesAttribute);
        attributes.Remove(kDiskFileSystemAttribute);
        attributes.Remove(kDiskLabelAttribute);
        return;
    }
    attributes.Set(kDiskTotalBytesAttribute, std::to_string(facts->TotalBytes));
    attributes.Set(kDiskFreeBytesAttribute, std::to_string(facts->FreeBytes));
    attributes.Set(kDiskFileSystemAttribute, Utf8(facts->FileSystem));
    attributes.Set(kDiskLabelAttribute, Utf8(facts->Label));
}

std::optional<TDiskFacts> RecordedDiskFacts(const TCatalogAttributes& attributes) {
    const std::optional<uint64_t> total = WholeNumber(attributes.Find(kDiskTotalBytesAttribute));
    const std::optional<uint64_t> free = WholeNumber(attributes.Find(kDiskFreeBytesAttribute));
    if (!total || !free) {
        return std::nullopt;
    }
    TDiskFacts facts;
    facts.TotalBytes = *total;
    facts.FreeBytes = *free;
    facts.FileSystem = QString::fromStdString(attributes.Value(kDiskFileSystemAttribute));
    facts.Label = QString::fromStdString(attributes.Value(kDiskLabelAttribute));
    return facts;
}

QString ByteSizeText(uint64_t bytes) {
    static const char* const kUnits[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
    if (bytes < 1000) {
        return QStringLiteral("%1 bytes").arg(bytes);
    }
    double value = static_cast<double>(bytes);
    int unit = -1;
    while (value >= 999.5 && unit < 5) {
        value /= 1000.0;
        ++unit;
    }
    // Three significant digits, without a trailing ".0": "12.4", "64", "980".
    QString text = QString::number(value, 'f', value < 99.95 ? 1 : 0);
    if (text.endsWith(QLatin1String(".0"))) {
        text.chop(2);
    }
    return text + QLatin1Char(' ') + QLatin1String(kUnits[unit]);
}

QString DiskSpaceText(const TDiskFacts& facts) {
    return QStringLiteral("%1 free of %2")
        .arg(ByteSizeText(facts.FreeBytes), ByteSizeText(facts.TotalBytes));
}

}  // namespace melodrix
