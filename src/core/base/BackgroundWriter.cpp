#include "core/base/BackgroundWriter.h"

#include "core/base/AtomicFile.h"
#include "core/base/Errors.h"

namespace melodrix {

TBackgroundWriter::TBackgroundWriter(QIODevice& device)
    : device_(device), thread_([this] { Run(); }) {}

TBackgroundWriter::~TBackgroundWriter() {
    if (thread_.joinable()) {
        pieces_.Stop();
        thread_.join();
    }
}

void TBackgroundWriter::ThrowIfFailed() const {
    if (error_) {
        throw TMelodrixError(*error_);
    }
}

void TBackgroundWriter::Write(std::string& piece) {
    if (!piece.empty() && !pieces_.Give(piece)) {
        ThrowIfFailed();  // only a failed write stops the thread while pieces still come
    }
}

void TBackgroundWriter::Finish() {
    if (thread_.joinable()) {
        pieces_.Close();
        thread_.join();
    }
    ThrowIfFailed();
}

void TBackgroundWriter::Run() {
    std::string piece;
    while (pieces_.Take(piece)) {
        try {
            WriteAll(device_, piece.data(), static_cast<qint64>(piece.size()));
        } catch (const TMelodrixError& error) {
            error_ = error.Message();
        } catch (const std::exception& error) {
            error_ = QString::fromLocal8Bit(error.what());
        }
        if (error_) {
            pieces_.Stop();  // nothing after a failed piece may reach the file
            return;
        }
    }
}

}  // namespace melodrix
