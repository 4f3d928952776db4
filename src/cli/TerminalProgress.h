#pragma once

#include <QElapsedTimer>
#include <QString>
#include <cstdio>

#include "core/catalog/Sinks.h"

namespace melodrix::cli {

// Progress as one line on a terminal, rewritten in place and wiped at the end: the items so
// far, the elapsed time and the current folder or catalog. A disabled sink writes nothing,
// so pipes and logs stay clean.
class TTerminalProgress final : public IProgressSink {
public:
    TTerminalProgress(std::FILE* stream, bool enabled, int width = 80);
    // Enabled when the stream is a terminal and the user did not ask for quiet; as wide as
    // the terminal.
    static TTerminalProgress ForTerminal(std::FILE* stream, bool quiet);

    void ShowProgress(bool show, bool withCancel) override;
    void SetProgressText(const QString& text) override;
    void SetProgressCount(uint64_t count) override;
    void SetProgressLocation(const QString& location) override;

    // The line as drawn, without the terminal controls.
    QString Line() const;

private:
    void Draw();

    std::FILE* stream_;
    bool enabled_;
    int width_;
    bool visible_ = false;
    QString text_;
    QString location_;
    uint64_t count_ = 0;
    QElapsedTimer elapsed_;
};

}  // namespace melodrix::cli
