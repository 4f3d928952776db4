#include "cli/SpooledTable.h"

#include <algorithm>

#include "core/base/Errors.h"

namespace melodrix::cli {

TSpooledTable::TSpooledTable() {
    if (!file_.open()) {
        throw TMelodrixError(QStringLiteral("cannot make a temporary file for the table: %1")
                                 .arg(file_.errorString()));
    }
    stream_.setDevice(&file_);
}

void TSpooledTable::Add(const QStringList& row) {
    widths_.resize(std::max(widths_.size(), static_cast<size_t>(row.size())), 0);
    for (qsizetype c = 0; c < row.size(); ++c) {
        widths_[static_cast<size_t>(c)] = std::max(widths_[static_cast<size_t>(c)], row[c].size());
    }
    stream_ << row;
    if (stream_.status() != QDataStream::Ok) {
        throw TMelodrixError(
            QStringLiteral("cannot write the table's temporary file: %1").arg(file_.errorString()));
    }
    ++rows_;
}

void TSpooledTable::Print(QTextStream& out) {
    file_.flush();
    file_.seek(0);
    QDataStream in(&file_);
    for (qint64 r = 0; r < rows_; ++r) {
        QStringList row;
        in >> row;
        if (in.status() != QDataStream::Ok) {
            throw TMelodrixError(QStringLiteral("cannot read the table's temporary file back"));
        }
        QString line;
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (c > 0) {
                line += QLatin1String("  ");
            }
            line +=
                c + 1 < row.size() ? row[c].leftJustified(widths_[static_cast<size_t>(c)]) : row[c];
        }
        out << line << '\n';
    }
}

}  // namespace melodrix::cli
