#include "core/scan/ScanOutcome.h"

#include <system_error>

namespace melodrix {

QString ScanErrorText(int error) {
    return QString::fromStdString(std::generic_category().message(error));
}

QStringList ScanProblemLines(const TScanOutcome& outcome) {
    QStringList lines;
    if (!outcome.Failure.isEmpty()) {
        lines << QStringLiteral("The scan ended early: %1").arg(outcome.Failure);
    }
    for (const TScanProblem& folder : outcome.UnlistedFolders) {
        lines << QStringLiteral("Could not list the folder %1: %2").arg(folder.Path, folder.Error);
    }
    for (const TScanProblem& file : outcome.UnreadFiles) {
        lines << QStringLiteral("Could not read the file %1: %2").arg(file.Path, file.Error);
    }
    for (const TScanProblem& archive : outcome.PlainArchives) {
        lines << QStringLiteral(
                     "Could not look inside the archive %1: %2; it is listed as a "
                     "plain file")
                     .arg(archive.Path, archive.Error);
    }
    return lines;
}

QString ScanProblemsMessage(const TScanOutcome& outcome, qsizetype mostLines) {
    const QStringList lines = ScanProblemLines(outcome);
    QString message = QStringLiteral(
                          "Not everything in the folder could be read; the catalog "
                          "holds what could.\n\n") +
                      lines.mid(0, mostLines).join(QLatin1Char('\n'));
    if (lines.size() > mostLines) {
        message += QStringLiteral("\n... and %1 more").arg(lines.size() - mostLines);
    }
    return message;
}

QString WhyNoCatalog(const TScanOutcome& outcome, const TCatalogTree& tree, const QString& folder) {
    if (!outcome.Failure.isEmpty()) {
        return QStringLiteral("The scan of %1 ended early (%2); no catalog was written.")
            .arg(folder, outcome.Failure);
    }
    const TCatalogNode* top = tree.GetFirst();
    for (const TScanProblem& unlisted : outcome.UnlistedFolders) {
        if (top && unlisted.FullPath == top->Item().Field(FullPath)) {
            return QStringLiteral("Cannot read the folder %1: %2; no catalog was written.")
                .arg(folder, unlisted.Error);
        }
    }
    return QString();
}

}  // namespace melodrix
