#pragma once

#include <QDataStream>
#include <QStringList>
#include <QTemporaryFile>
#include <QTextStream>
#include <vector>

namespace melodrix::cli {

// A table printed as PrintTable prints it, for more rows than should be held: each row goes to
// a temporary file as it comes, and only the column widths stay in memory until Print.
class TSpooledTable {
public:
    // Throws TMelodrixError when no temporary file can be made.
    TSpooledTable();

    void Add(const QStringList& row);
    // Prints the rows added, in order, padded to the widest cell of each column but the last.
    void Print(QTextStream& out);

private:
    QTemporaryFile file_;
    QDataStream stream_;
    std::vector<qsizetype> widths_;
    qint64 rows_ = 0;
};

}  // namespace melodrix::cli
