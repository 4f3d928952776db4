#include "core/index/SearchIndex.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "core/base/FileStamp.h"
#include "core/base/NativePaths.h"
#include "core/base/TextDecoding.h"
#include "core/index/CatalogCopy.h"
#include "core/search/CaseFolding.h"
#include "core/search/SearchConditions.h"

namespace melodrix {

namespace fs = std::filesystem;

namespace {

constexpr auto kCopySuffix = ".copy";

// The longest run of a wildcard pattern without '*' or '?': any value the pattern fits holds it.
std::string_view LongestLiteral(std::string_view pattern) {
    std::string_view longest;
    size_t start = 0;
    for (size_t i = 0; i <= pattern.size(); ++i) {
        if (i == pattern.size() || pattern[i] == '*' || pattern[i] == '?') {
            if (i - start > longest.size()) {
                longest = pattern.substr(start, i - start);
            }
            start = i + 1;
        }
    }
    return longest;
}

}  // namespace

QString DefaultIndexFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/melodrix/search-index");
}

TSearchIndex::TSearchIndex(QString folder) : folder_(std::move(folder)) {}

TSearchIndex::~TSearchIndex() = default;

std::string TSearchIndex::NarrowingText(const TFileItem& conditions,
                                        const TSearchOptions& options) {
    std::string_view text = conditions.Field(FileName);
    switch (options.mode) {
        case TTextMode::Regex:
            return {};
        case TTextMode::Wildcard:
            text = LongestLiteral(text);
            break;
        case TTextMode::Contains:
        case TTextMode::Whole:
            break;
    }
    // Folding a text that is not UTF-8 replaces bytes a value may hold as they stand.
    if (text.empty() || !IsValidUtf8(text)) {
        return {};
    }
    // The copies hold the names folded; a value that holds the text, in either case mode,
    // holds it folded once both are folded.
    return FoldCaseUtf8(text);
}

void TSearchIndex::Prepare(const TFileItem& conditions, const TSearchOptions& options) {
    needle_ = NarrowingText(conditions, options);
}

QString TSearchIndex::CopyFileOf(const QByteArray& native) const {
    const QByteArray hash = QCryptographicHash::hash(native, QCryptographicHash::Sha1).toHex();
    return folder_ + QLatin1Char('/') + QString::fromLatin1(hash) + QLatin1String(kCopySuffix);
}

std::unique_ptr<TCatalogCopy> TSearchIndex::FreshCopy(const QString& path, const QByteArray& native,
                                                      const TFileStamp& stamp, bool remake,
                                                      bool& made) const {
    made = false;
    const QString copyFile = CopyFileOf(native);
    const std::string_view nativeView(native.constData(), static_cast<size_t>(native.size()));
    if (!remake) {
        std::unique_ptr<TCatalogCopy> mapped = TCatalogCopy::Map(copyFile);
        if (mapped && mapped->CatalogStamp() == stamp &&
            mapped->CatalogNativePath() == nativeView) {
            return mapped;
        }
    }
    // Without a folder to save in, the copy serves this search from memory.
    const bool canSave = QDir().mkpath(folder_);
    std::unique_ptr<TCatalogCopy> read =
        TCatalogCopy::Read(path, native, canSave ? copyFile : QString());
    made = read != nullptr;
    return read;
}

bool TSearchIndex::VisitCandidates(const QString& path, const QByteArray& native,
                                   const std::function<void(const TCopiedCatalog&)>& begin,
                                   const std::function<bool(const TCopiedItem&)>& visit) {
    // Mapped for this catalog only, so a search holds one catalog's pages at a time; mapping
    // a copy again costs far less than the test of its items.
    const TFileStamp stamp = NativeFileStampOf(native);
    bool made = false;
    const std::unique_ptr<TCatalogCopy> copy =
        stamp.Exists ? FreshCopy(path, native, stamp, false, made) : nullptr;
    if (!copy) {
        return false;
    }
    begin(TCopiedCatalog{copy->TimeFormat()});
    TCopiedItem copied;
    const bool whole = copy->Visit(needle_, [&](const TPackedItem& item) {
        copied.texts = item.texts;
        copied.present = item.present;
        copied.topLevel = item.topLevel;
        copied.tested = item.hasTested ? &item.tested : &copied.texts;
        copied.testedPresent = item.testedPresent;
        return visit(copied);
    });
    if (!whole) {
        QFile::remove(CopyFileOf(native));  // damaged: the next search makes it again
    }
    return whole;
}

TIndexSurvey TSearchIndex::Survey(const QString& library, bool remake, IProgressSink& progress) {
    // The catalogs first: a catalog of the library is a regular, non-empty file, as the search
    // takes it; folders are walked without following links.
    std::vector<fs::path> catalogs;
    std::error_code error;
    fs::recursive_directory_iterator it(fs::path(NativePathOf(library).toStdString()), error);
    for (const fs::recursive_directory_iterator end; !error && it != end; it.increment(error)) {
        std::error_code statusError;
        const fs::file_status status = it->symlink_status(statusError);
        if (!statusError && fs::is_regular_file(status) && it->file_size(statusError) > 0 &&
            !statusError) {
            catalogs.push_back(it->path());
        }
    }

    // Copies are made on two threads, each taking the next catalog; this thread is one of
    // them and the only one that talks to the progress sink. Nothing is shared but the
    // counter and the survey, which the lock guards.
    TIndexSurvey survey;
    std::mutex lock;
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    QSet<QString> kept;  // the names of the copies of the catalogs found, which stay
    const auto work = [&](bool reporting) {
        TProgressThrottle throttle;
        for (size_t i = next++; i < catalogs.size() && !stop; i = next++) {
            const QByteArray native = QByteArray::fromStdString(catalogs[i].native());
            const QString path = NativePathText(catalogs[i].native());
            bool made = false;
            const TFileStamp stamp = NativeFileStampOf(native);
            // A current copy is known by its head alone; the search checks the rest.
            std::optional<TCopyFacts> facts;
            if (stamp.Exists && !remake) {
                facts = TCatalogCopy::Peek(CopyFileOf(native));
                if (facts && !(facts->catalogStamp == stamp &&
                               facts->catalogNativePath == catalogs[i].native())) {
                    facts.reset();
                }
            }
            if (stamp.Exists && !facts) {
                if (const std::unique_ptr<TCatalogCopy> copy =
                        FreshCopy(path, native, stamp, remake, made)) {
                    facts = copy->Facts();
                }
            }
            const std::lock_guard<std::mutex> guard(lock);
            ++survey.catalogs;
            if (!facts) {
                survey.unreadable << path;
            } else {
                kept.insert(QFileInfo(CopyFileOf(native)).fileName());
                ++survey.current;
                survey.made += made;
                survey.items += facts->itemCount;
                survey.bytes += facts->bytes;
                survey.catalogBytes += static_cast<uint64_t>(facts->catalogStamp.Size);
                const int64_t at = facts->madeAtMs;
                survey.oldestMs = survey.oldestMs == 0 ? at : std::min(survey.oldestMs, at);
                survey.newestMs = std::max(survey.newestMs, at);
            }
            if (reporting && throttle.Due()) {
                progress.SetProgressText(path);
                progress.SetProgressCount(survey.catalogs);
                progress.ProcessPendingInput();
                stop = stop || progress.CancelRequested();
            }
        }
    };
    {
        std::jthread helper(work, false);
        work(true);
    }
    if (stop) {
        return survey;
    }
    survey.unreadable.sort();
    // Copies whose catalog is gone are dropped, and temporary files a killed writer left.
    const QDir folder(folder_);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (const QFileInfo& entry : folder.entryInfoList(QDir::Files | QDir::Hidden)) {
        const QString file = entry.absoluteFilePath();
        if (file.endsWith(QLatin1String(".tmp"))) {
            if (entry.lastModified().toMSecsSinceEpoch() < now - 3600 * 1000) {
                QFile::remove(file);
            }
            continue;
        }
        if (!file.endsWith(QLatin1String(kCopySuffix)) || kept.contains(entry.fileName())) {
            continue;
        }
        const std::optional<TCopyFacts> facts = TCatalogCopy::Peek(file);
        if (!facts ||
            !NativeFileStampOf(QByteArray::fromStdString(facts->catalogNativePath)).Exists) {
            survey.removed += QFile::remove(file);
        }
    }
    return survey;
}

}  // namespace melodrix
