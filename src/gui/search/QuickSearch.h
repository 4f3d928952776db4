#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/base/Handoff.h"
#include "core/catalog/FileItem.h"
#include "core/search/Search.h"

namespace melodrix {

class TSearchIndex;

// What a quick search hands the window: the hits of one catalog, or the end of the search.
struct TQuickHits {
    uint64_t generation = 0;  // the search they belong to
    QString catalog;          // the catalog file the hits come from
    std::vector<TFileItem> hits;
    bool end = false;        // the search is over: finished, cancelled or failed
    bool cancelled = false;  // at the end: it was cancelled
    QString error;           // at the end: why it failed

    void clear() {
        generation = 0;
        catalog.clear();
        hits.clear();
        end = false;
        cancelled = false;
        error.clear();
    }
};

// Searches a text as the user types it, on a thread of its own, with a search index that
// stays with that thread (its copies stay mapped from one search to the next). Only the
// newest search counts: starting one cancels the one before, and hits of an older search are
// dropped before anyone sees them. The window takes the hits without ever waiting.
class TQuickSearch final : public QObject {
    Q_OBJECT
public:
    explicit TQuickSearch(const QString& indexFolder, QObject* parent = nullptr);
    ~TQuickSearch() override;

    // Searches `text` as a name condition (contains, case ignored) in the group or catalog
    // at `scopePath`; returns the new search's generation.
    uint64_t Start(TSearchScope scope, const QString& scopePath, const QString& text,
                   const QString& linkRoot);
    // Cancels the running search; nothing more of it is handed over.
    void Cancel();
    // The generation of the newest search, also when it has been cancelled; 0 before any.
    uint64_t Newest() const { return newest_; }
    // Puts the next hits of the newest search in `into`, without waiting; false when none
    // wait. Hits of older searches are dropped on the way.
    bool TakeHits(TQuickHits& into);
    // Searches that ended, cancelled or not, on the worker.
    uint64_t Finished() const { return finished_; }
    uint64_t CancelledCount() const { return cancelledCount_; }

    // Runs on the worker once each catalog's hits are handed over (tests hold a search
    // there). Set it before the first search.
    std::function<void()> AfterCatalog;

signals:
    // Hits wait to be taken. Sent from the worker, so it arrives queued; it is sent again
    // only once TakeHits has found nothing left.
    void HitsWaiting();

private:
    struct TRequest {
        uint64_t generation = 0;
        TSearchScope scope = TSearchScope::Group;
        QString scopePath;
        QString text;
        QString linkRoot;
    };
    class TProgress;

    void Work();
    void Run(const TRequest& request);
    // Hands hits over; false once the window has stopped taking them.
    bool Give(TQuickHits& hits);
    // Drops the hits that wait, all of searches older than the newest.
    void DropWaiting();

    std::unique_ptr<TSearchIndex> index_;  // used by the worker only
    THandoff<TQuickHits> handoff_;
    std::atomic<uint64_t> newest_{0};
    std::atomic<uint64_t> finished_{0};
    std::atomic<uint64_t> cancelledCount_{0};
    std::atomic<bool> signalled_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<TRequest> request_;  // the next search, guarded by mutex_
    bool stopping_ = false;            // guarded by mutex_
    std::thread worker_;               // started with the first search
};

// Brings the search index of a library up to date (TSearchIndex::Survey) on a thread of the
// lowest priority, with an index object of its own: copies are files replaced by renaming,
// so it and the quick search's index may make the same copy at once, as two programs may.
class TIndexUpkeep final {
public:
    explicit TIndexUpkeep(QString indexFolder);
    ~TIndexUpkeep();
    TIndexUpkeep(const TIndexUpkeep&) = delete;
    TIndexUpkeep& operator=(const TIndexUpkeep&) = delete;

    // Surveys `library` once the survey running (if any) is over.
    void Survey(const QString& library);
    // Cancels the running survey and starts none until Resume. A survey cut short starts
    // over on Resume and passes quickly over the copies it has already made.
    void Pause();
    void Resume();
    // Cancels the running survey and starts no other; the thread ends soon.
    void Stop();

    struct TState {
        bool running = false;  // a survey runs
        bool pending = false;  // one is asked for and not done
        uint64_t done = 0;     // catalogs looked at by the running survey
        uint64_t total = 0;    // catalogs of its library
    };
    TState State() const;

private:
    class TProgress;
    void Work();

    const QString folder_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    QString library_;         // guarded by mutex_
    uint64_t asked_ = 0;      // surveys asked for, guarded by mutex_
    uint64_t doneAsked_ = 0;  // the asked_ the last finished survey started with
    bool paused_ = false;     // guarded by mutex_
    bool stopping_ = false;   // guarded by mutex_
    std::atomic<bool> cancel_{false};
    std::atomic<bool> running_{false};
    std::atomic<uint64_t> done_{0};
    std::atomic<uint64_t> total_{0};
    std::thread worker_;  // started with the first survey
};

}  // namespace melodrix
