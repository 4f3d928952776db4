#include "gui/search/QuickSearch.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <system_error>
#include <utility>

#include "core/base/Errors.h"
#include "core/base/NativePaths.h"
#include "core/catalog/Sinks.h"
#include "core/index/SearchIndex.h"
#include "core/search/SearchConditions.h"

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace melodrix {

namespace {

// At most this many catalogs' hits wait for the window; the worker waits beyond.
constexpr size_t kWaitingBatches = 4;

void SetText(TFileItem& item, int field, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    item.SetField(field, std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

// The catalog files a survey of `library` looks at: regular, non-empty files below it,
// links not followed.
uint64_t CountCatalogs(const QString& library, const std::atomic<bool>& cancel) {
    namespace fs = std::filesystem;
    uint64_t count = 0;
    std::error_code error;
    fs::recursive_directory_iterator it(fs::path(NativePathOf(library).toStdString()), error);
    for (const fs::recursive_directory_iterator end; !error && it != end && !cancel;
         it.increment(error)) {
        std::error_code statusError;
        const fs::file_status status = it->symlink_status(statusError);
        if (!statusError && fs::is_regular_file(status) && it->file_size(statusError) > 0 &&
            !statusError) {
            ++count;
        }
    }
    return count;
}

void LowerThisThreadsPriority() {
#ifdef __linux__
    // Linux keeps a nice value for each thread; only this one is lowered.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
#endif
}

}  // namespace

// The sink of a quick search: cancelled as soon as a newer search has been asked for. The
// progress window's flag is never touched: it belongs to the window's long operations.
class TQuickSearch::TProgress final : public IProgressSink {
public:
    TProgress(const std::atomic<uint64_t>& newest, uint64_t generation)
        : newest_(newest), generation_(generation) {}
    void ShowProgress(bool, bool) override {}
    void SetProgressText(const QString&) override {}
    bool CancelRequested() override { return newest_ != generation_; }
    void ForgetEarlierCancel() override {}

private:
    const std::atomic<uint64_t>& newest_;
    const uint64_t generation_;
};

TQuickSearch::TQuickSearch(const QString& indexFolder, QObject* parent)
    : QObject(parent),
      index_(std::make_unique<TSearchIndex>(indexFolder)),
      handoff_(kWaitingBatches) {}

TQuickSearch::~TQuickSearch() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    ++newest_;        // cancels the running search
    handoff_.Stop();  // frees a worker waiting to hand hits over
    wake_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
}

uint64_t TQuickSearch::Start(TSearchScope scope, const QString& scopePath, const QString& text,
                             const QString& linkRoot) {
    const uint64_t generation = ++newest_;
    DropWaiting();
    // The window may have stopped taking at the end of the last search with the flag still
    // up; hits of this search must send the signal anew.
    signalled_ = false;
    {
        const std::lock_guard lock(mutex_);
        request_ = TRequest{generation, scope, scopePath, text, linkRoot};
        if (!worker_.joinable()) {
            worker_ = std::thread([this] { Work(); });
        }
    }
    wake_.notify_all();
    return generation;
}

void TQuickSearch::Cancel() {
    ++newest_;
    DropWaiting();
    const std::lock_guard lock(mutex_);
    request_.reset();
}

void TQuickSearch::DropWaiting() {
    // Everything waiting is older than the newest search. Dropping it frees a worker that
    // waits to hand more over, so that it sees the cancel and takes the next search.
    TQuickHits dropped;
    while (handoff_.TakeWithin(dropped, std::chrono::milliseconds(0)).value_or(false)) {
    }
}

bool TQuickSearch::TakeHits(TQuickHits& into) {
    for (bool again = true;;) {
        const std::optional<bool> taken = handoff_.TakeWithin(into, std::chrono::milliseconds(0));
        if (!taken || !*taken) {
            // A batch handed over just before the flag is lowered sent no signal: look once more.
            signalled_ = false;
            if (std::exchange(again, false)) {
                continue;
            }
            return false;
        }
        if (into.generation == newest_) {
            return true;
        }
    }
}

bool TQuickSearch::Give(TQuickHits& hits) {
    if (!handoff_.Give(hits)) {
        return false;
    }
    if (!signalled_.exchange(true)) {
        emit HitsWaiting();
    }
    return true;
}

void TQuickSearch::Work() {
    for (;;) {
        TRequest request;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || request_.has_value(); });
            if (stopping_) {
                return;
            }
            request = std::move(*request_);
            request_.reset();
        }
        if (request.generation == newest_) {
            Run(request);
        }
    }
}

void TQuickSearch::Run(const TRequest& request) {
    TProgress progress(newest_, request.generation);
    TQuickHits hits;
    bool taken = true;
    QString error;
    try {
        TFileItem conditions;
        SetText(conditions, FullPath, request.scopePath);
        SetText(conditions, FileName, request.text);
        TSearchOptions options;
        options.linkRoot = request.linkRoot;
        TSearchLeftover leftover;
        SearchCatalogsInto(
            progress, request.scope, conditions, options, leftover,
            [&](const QString& catalog, std::vector<TFileItem>& found) {
                if (taken && !found.empty() && !progress.CancelRequested()) {
                    hits.generation = request.generation;
                    hits.catalog = catalog;
                    hits.hits.swap(found);
                    taken = Give(hits);
                }
                if (AfterCatalog) {
                    AfterCatalog();
                }
            },
            index_.get());
    } catch (const TMelodrixError& failure) {
        error = failure.Message();
    } catch (const std::exception& failure) {
        error = QString::fromUtf8(failure.what());
    }
    const bool cancelled = progress.CancelRequested();
    cancelledCount_ += cancelled ? 1 : 0;
    ++finished_;
    if (taken) {
        hits.clear();
        hits.generation = request.generation;
        hits.end = true;
        hits.cancelled = cancelled;
        hits.error = error;
        Give(hits);
    }
}

// The survey's sink: how far it is, and Cancel when the window pauses or stops it.
class TIndexUpkeep::TProgress final : public IProgressSink {
public:
    TProgress(const std::atomic<bool>& cancel, std::atomic<uint64_t>& done)
        : cancel_(cancel), done_(done) {}
    void ShowProgress(bool, bool) override {}
    void SetProgressText(const QString&) override {}
    void SetProgressCount(uint64_t count) override { done_ = count; }
    bool CancelRequested() override { return cancel_; }
    void ForgetEarlierCancel() override {}

private:
    const std::atomic<bool>& cancel_;
    std::atomic<uint64_t>& done_;
};

TIndexUpkeep::TIndexUpkeep(QString indexFolder) : folder_(std::move(indexFolder)) {}

TIndexUpkeep::~TIndexUpkeep() {
    Stop();
    if (worker_.joinable()) {
        worker_.join();
    }
}

void TIndexUpkeep::Survey(const QString& library) {
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        library_ = library;
        ++asked_;
        if (!worker_.joinable()) {
            worker_ = std::thread([this] { Work(); });
        }
    }
    wake_.notify_all();
}

void TIndexUpkeep::Pause() {
    const std::lock_guard lock(mutex_);
    paused_ = true;
    cancel_ = true;
}

void TIndexUpkeep::Resume() {
    {
        const std::lock_guard lock(mutex_);
        paused_ = false;
    }
    wake_.notify_all();
}

void TIndexUpkeep::Stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        cancel_ = true;
    }
    wake_.notify_all();
}

TIndexUpkeep::TState TIndexUpkeep::State() const {
    const std::lock_guard lock(mutex_);
    return {running_, asked_ != doneAsked_ && !stopping_, done_, total_};
}

void TIndexUpkeep::Work() {
    LowerThisThreadsPriority();
    TSearchIndex index(folder_);
    for (;;) {
        QString library;
        uint64_t asked = 0;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || (!paused_ && asked_ != doneAsked_); });
            if (stopping_) {
                return;
            }
            library = library_;
            asked = asked_;
            cancel_ = false;
            done_ = 0;
            total_ = 0;
            running_ = true;
        }
        total_ = CountCatalogs(library, cancel_);
        TProgress progress(cancel_, done_);
        bool finished = false;
        try {
            index.Survey(library, false, progress);
            finished = !cancel_;
        } catch (const std::exception&) {
            // The index stays as it was; every search checks each copy before using it.
            finished = true;
        }
        const std::lock_guard lock(mutex_);
        if (finished && !cancel_) {
            doneAsked_ = asked;
        }
        running_ = false;
    }
}

}  // namespace melodrix
