#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "core/catalog/Sinks.h"

namespace melodrix::testing {

// Records every progress call, so tests can check what a user would have seen.
class TRecordingProgress final : public IProgressSink {
public:
    void ShowProgress(bool show, bool withCancel) override;
    void SetProgressText(const QString& text) override;
    void SetProgressCount(uint64_t count) override { lastCount = count; }
    void ProcessPendingInput() override;

    bool visible = false;
    bool cancelShown = false;
    int showCount = 0;
    int hideCount = 0;
    QStringList texts;   // every text set, in order
    QStringList events;  // "show", "show+cancel", "hide", "text:<t>"
    uint64_t lastCount = 0;
    int pendingInputCalls = 0;
    // Sets the cancel flag after this many ProcessPendingInput calls (-1: never).
    int cancelAfterInputs = -1;
};

// Answers the engine's questions from a script and records what was asked.
class TScriptedPrompt final : public IPromptSink {
public:
    QString ChooseOpenFile(const QString& defaultExtension, const QString& filter,
                           const QString& initialName) override;
    QString ChooseSaveFile(const QString& defaultExtension, const QString& filter,
                           const QString& initialName) override;
    void ShowMessage(const QString& title, const QString& text, TMessageIcon icon) override;
    bool AskYesNo(const QString& title, const QString& text, TMessageIcon icon) override;

    // Answers, taken from the front; an exhausted queue answers "" and No.
    std::deque<QString> fileAnswers;
    std::deque<bool> yesNoAnswers;

    struct TFileQuestion {
        bool save;
        QString defaultExtension;
        QString filter;
        QString initialName;
    };
    std::vector<TFileQuestion> fileQuestions;
    QStringList messages;   // texts of ShowMessage
    QStringList questions;  // texts of AskYesNo
    QStringList titles;     // titles of both, in order
};

}  // namespace melodrix::testing
