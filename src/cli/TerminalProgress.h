#pragma once

#include <QString>
#include <cstdio>

#include "core/catalog/Sinks.h"

namespace melodrix::cli {

// Progress as one line on a terminal that is rewritten in place and wiped at the end.
// Nothing is written when the stream is not a terminal, so pipes and logs stay clean.
class TTerminalProgress final : public IProgressSink {
public:
    explicit TTerminalProgress(std::FILE* stream);

    void ShowProgress(bool show, bool withCancel) override;
    void SetProgressText(const QString& text) override;
    void SetProgressCount(uint64_t count) override;

private:
    void Draw();

    std::FILE* stream_;
    bool enabled_;
    bool visible_ = false;
    QString text_;
    uint64_t count_ = 0;
};

}  // namespace melodrix::cli
