#include "cli/TerminalProgress.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace melodrix::cli {

TTerminalProgress::TTerminalProgress(std::FILE* stream, bool enabled, int width)
    : stream_(stream), enabled_(enabled), width_(width) {}

TTerminalProgress TTerminalProgress::ForTerminal(std::FILE* stream, bool quiet) {
    const int fd = ::fileno(stream);
    const bool terminal = ::isatty(fd) == 1;
    winsize size{};
    const int width =
        terminal && ::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 20 ? size.ws_col : 80;
    return TTerminalProgress(stream, terminal && !quiet, width);
}

void TTerminalProgress::ShowProgress(bool show, bool /*withCancel*/) {
    if (show && !visible_) {
        elapsed_.start();
        count_ = 0;
        location_.clear();
    }
    if (enabled_ && !show && visible_) {
        std::fputs("\r\033[K", stream_);
        std::fflush(stream_);
    }
    visible_ = show;
}

void TTerminalProgress::SetProgressText(const QString& text) {
    text_ = text;
    Draw();
}

void TTerminalProgress::SetProgressCount(uint64_t count) {
    count_ = count;
    Draw();
}

void TTerminalProgress::SetProgressLocation(const QString& location) {
    location_ = location;
    Draw();
}

QString TTerminalProgress::Line() const {
    const qint64 seconds = elapsed_.isValid() ? elapsed_.elapsed() / 1000 : 0;
    QString line = QStringLiteral("%1 items  %2:%3  ")
                       .arg(count_)
                       .arg(seconds / 60)
                       .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    const QString where = location_.isEmpty() ? text_ : location_;
    // One terminal line, so the carriage return rewrites it; the end of a path says most.
    const qsizetype room = width_ - 1 - line.size();
    if (where.size() > room && room > 3) {
        line += QStringLiteral("...") + where.right(room - 3);
    } else if (room > 3) {
        line += where;
    }
    return line;
}

void TTerminalProgress::Draw() {
    if (!enabled_ || !visible_) {
        return;
    }
    std::fprintf(stream_, "\r\033[K%s", Line().toLocal8Bit().constData());
    std::fflush(stream_);
}

}  // namespace melodrix::cli
