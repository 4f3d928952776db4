#include "core/catalog/Sinks.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <atomic>

namespace melodrix {

namespace {
// Atomic: the statistics window gathers on a thread of its own, and the search under it
// clears the flag from there.
std::atomic<bool> cancelRequested{false};
}  // namespace

bool CancelRequested() {
    return cancelRequested;
}

void SetCancelRequested(bool requested) {
    cancelRequested = requested;
}

TSilentProgress& SilentProgress() {
    static TSilentProgress sink;
    return sink;
}

TDecliningPrompt& DecliningPrompt() {
    static TDecliningPrompt sink;
    return sink;
}

QString AskOpenFileName(IPromptSink& prompt, const QString& defaultExtension, const QString& filter,
                        const QString& initialName) {
    const QString path = prompt.ChooseOpenFile(defaultExtension, filter, initialName);
    if (path.isEmpty()) {
        return {};
    }
    if (!QFileInfo(path).isFile()) {
        prompt.ShowMessage(kWarningTitle, kFileDoesNotExist, TMessageIcon::Question);
        return {};
    }
    return path;
}

QString AskSaveFileName(IPromptSink& prompt, const QString& defaultExtension, const QString& filter,
                        const QString& initialName) {
    const QString path = prompt.ChooseSaveFile(defaultExtension, filter, initialName);
    if (path.isEmpty()) {
        return {};
    }
    if (QFileInfo::exists(path) &&
        !prompt.AskYesNo(kWarningTitle, kOverwriteQuestion, TMessageIcon::Question)) {
        return {};
    }
    return path;
}

TProgressScope::TProgressScope(IProgressSink& sink, const QString& text, bool withCancel)
    : sink_(sink) {
    sink_.ShowProgress(true, withCancel);
    sink_.SetProgressText(text);
}

TProgressScope::~TProgressScope() {
    sink_.ShowProgress(false, false);
}

bool TProgressThrottle::Due() {
    static QElapsedTimer clock = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    const int64_t now = clock.elapsed();
    if (now < nextMs_) {
        return false;
    }
    nextMs_ = now + 30;
    return true;
}

}  // namespace melodrix
