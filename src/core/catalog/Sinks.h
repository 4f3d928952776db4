#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace melodrix {

// The process-wide flag that the progress window's Cancel button sets and long
// operations read. Showing the progress window from hidden clears it.
bool CancelRequested();
void SetCancelRequested(bool requested);

// How the engine tells the user that a long operation runs. The GUI shows its
// progress window, the command-line tool a terminal line, tests record the calls.
class IProgressSink {
public:
    virtual ~IProgressSink() = default;
    virtual void ShowProgress(bool show, bool withCancel) = 0;
    virtual void SetProgressText(const QString& text) = 0;
    // How many items the running operation has processed so far (a second, small line).
    virtual void SetProgressCount(uint64_t /*count*/) {}
    // The folder or catalog the running operation is at, for sinks that show it.
    virtual void SetProgressLocation(const QString& /*location*/) {}
    // Lets the user interface handle pending input, so a Cancel click is seen.
    virtual void ProcessPendingInput() {}
    virtual bool CancelRequested() { return melodrix::CancelRequested(); }
    // A search that starts forgets a Cancel left from an earlier operation. A sink with a
    // cancel flag of its own leaves the process-wide flag alone: it may be the pending Cancel
    // of another operation, which must not be lost.
    virtual void ForgetEarlierCancel() { melodrix::SetCancelRequested(false); }
};

enum class TMessageIcon { Warning, Question, Exclamation, Information };

// How the engine asks the user things. Filters are "Description|*.ext" texts.
class IPromptSink {
public:
    virtual ~IPromptSink() = default;
    // The platform's open dialog: the chosen path, or empty when cancelled.
    virtual QString ChooseOpenFile(const QString& defaultExtension, const QString& filter,
                                   const QString& initialName) = 0;
    // The platform's save dialog (without its own overwrite question).
    virtual QString ChooseSaveFile(const QString& defaultExtension, const QString& filter,
                                   const QString& initialName) = 0;
    virtual void ShowMessage(const QString& title, const QString& text, TMessageIcon icon) = 0;
    virtual bool AskYesNo(const QString& title, const QString& text, TMessageIcon icon) = 0;
};

// A progress sink that shows nothing.
class TSilentProgress final : public IProgressSink {
public:
    void ShowProgress(bool, bool) override {}
    void SetProgressText(const QString&) override {}
};

// A prompt sink for code without a user: every question is declined.
class TDecliningPrompt final : public IPromptSink {
public:
    QString ChooseOpenFile(const QString&, const QString&, const QString&) override { return {}; }
    QString ChooseSaveFile(const QString&, const QString&, const QString&) override { return {}; }
    void ShowMessage(const QString&, const QString&, TMessageIcon) override {}
    bool AskYesNo(const QString&, const QString&, TMessageIcon) override { return false; }
};

TSilentProgress& SilentProgress();
TDecliningPrompt& DecliningPrompt();

// Texts the engine shows, kept in one place.
inline const QString kWarningTitle = QStringLiteral("Warning");
inline const QString kOverwriteQuestion =
    QStringLiteral("Catalog with the same name already exists,overwrite?");
inline const QString kFileDoesNotExist = QStringLiteral("The file does not exist.");

// The open question: the platform dialog, then "The file does not exist." for a path
// that names no file. Returns the path or the empty text.
QString AskOpenFileName(IPromptSink& prompt, const QString& defaultExtension, const QString& filter,
                        const QString& initialName);
// The save question: the platform dialog, then the overwrite question for an existing
// file. "Yes" only agrees to replace the file once the new one is complete.
QString AskSaveFileName(IPromptSink& prompt, const QString& defaultExtension, const QString& filter,
                        const QString& initialName);

// Shows and hides the progress window around a scope, also when it ends by an error.
class TProgressScope {
public:
    TProgressScope(IProgressSink& sink, const QString& text, bool withCancel = false);
    ~TProgressScope();
    TProgressScope(const TProgressScope&) = delete;
    TProgressScope& operator=(const TProgressScope&) = delete;

private:
    IProgressSink& sink_;
};

// Rate limit for progress updates: true at most every ~30 ms, so a long loop can ask
// on every item without slowing down.
class TProgressThrottle {
public:
    bool Due();

private:
    int64_t nextMs_ = 0;
};

}  // namespace melodrix
