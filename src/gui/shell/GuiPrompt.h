#pragma once

#include <QString>

#include "core/catalog/Sinks.h"

class QWidget;

namespace melodrix {

// "Desc|*.ext|Desc2|*.e2" as a Qt file dialog filter; patterns also match lower case.
QString QtFileFilter(const QString& filter);
// The path with ".ext" appended when it names no extension of its own.
QString WithDefaultExtension(const QString& path, const QString& defaultExtension);

// Answers the engine's questions with the desktop's file dialogs and message boxes.
class TGuiPrompt final : public IPromptSink {
public:
    explicit TGuiPrompt(QWidget* owner) : owner_(owner) {}

    QString ChooseOpenFile(const QString& defaultExtension, const QString& filter,
                           const QString& initialName) override;
    QString ChooseSaveFile(const QString& defaultExtension, const QString& filter,
                           const QString& initialName) override;
    void ShowMessage(const QString& title, const QString& text, TMessageIcon icon) override;
    bool AskYesNo(const QString& title, const QString& text, TMessageIcon icon) override;

private:
    QWidget* owner_;
};

}  // namespace melodrix
