#include "support/ScriptedSinks.h"

namespace melodrix::testing {

void TRecordingProgress::ShowProgress(bool show, bool withCancel) {
    if (show) {
        if (!visible) {
            SetCancelRequested(false);
        }
        visible = true;
        cancelShown = withCancel;
        ++showCount;
        events << (withCancel ? QStringLiteral("show+cancel") : QStringLiteral("show"));
    } else {
        if (visible) {
            ++hideCount;
            events << QStringLiteral("hide");
        }
        visible = false;
    }
}

void TRecordingProgress::SetProgressText(const QString& text) {
    texts << text;
    events << QStringLiteral("text:") + text;
}

void TRecordingProgress::ProcessPendingInput() {
    ++pendingInputCalls;
    if (cancelAfterInputs >= 0 && pendingInputCalls >= cancelAfterInputs) {
        SetCancelRequested(true);
    }
}

QString TScriptedPrompt::ChooseOpenFile(const QString& defaultExtension, const QString& filter,
                                        const QString& initialName) {
    fileQuestions.push_back({false, defaultExtension, filter, initialName});
    if (fileAnswers.empty()) {
        return {};
    }
    QString answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

QString TScriptedPrompt::ChooseSaveFile(const QString& defaultExtension, const QString& filter,
                                        const QString& initialName) {
    fileQuestions.push_back({true, defaultExtension, filter, initialName});
    if (fileAnswers.empty()) {
        return {};
    }
    QString answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

void TScriptedPrompt::ShowMessage(const QString& title, const QString& text, TMessageIcon) {
    titles << title;
    messages << text;
}

bool TScriptedPrompt::AskYesNo(const QString& title, const QString& text, TMessageIcon) {
    titles << title;
    questions << text;
    if (yesNoAnswers.empty()) {
        return false;
    }
    const bool answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
}

}  // namespace melodrix::testing
