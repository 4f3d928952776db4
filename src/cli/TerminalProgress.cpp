#include "cli/TerminalProgress.h"

#include <unistd.h>

namespace melodrix::cli {

TTerminalProgress::TTerminalProgress(std::FILE* stream)
    : stream_(stream), enabled_(::isatty(::fileno(stream)) == 1) {}

void TTerminalProgress::ShowProgress(bool show, bool /*withCancel*/) {
    if (!enabled_) {
        return;
    }
    if (!show && visible_) {
        std::fputs("\r\033[K", stream_);
        std::fflush(stream_);
    }
    visible_ = show;
    count_ = 0;
}

void TTerminalProgress::SetProgressText(const QString& text) {
    text_ = text;
    Draw();
}

void TTerminalProgress::SetProgressCount(uint64_t count) {
    count_ = count;
    Draw();
}

void TTerminalProgress::Draw() {
    if (!enabled_ || !visible_) {
        return;
    }
    QString line = text_;
    if (count_ > 0) {
        line += QStringLiteral(" %1").arg(count_);
    }
    // Keep to one terminal line, so the carriage return rewrites it.
    if (line.size() > 78) {
        line = QStringLiteral("...") + line.right(75);
    }
    std::fprintf(stream_, "\r\033[K%s", line.toLocal8Bit().constData());
    std::fflush(stream_);
}

}  // namespace melodrix::cli
