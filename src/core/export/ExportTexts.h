#pragma once

#include <QString>

namespace melodrix {

// Texts and file settings of the exports, kept in one place.
inline const QString kExportToFile = QStringLiteral("Export to file..");

inline const QString kHtmlExtension = QStringLiteral("htm");
inline const QString kHtmlFilter = QStringLiteral("HTML File|*.htm");
inline const QString kTextExtension = QStringLiteral("txt");
inline const QString kTextFilter = QStringLiteral("Text File|*.txt");
inline const QString kCsvExtension = QStringLiteral("csv");
inline const QString kCsvFilter = QStringLiteral("CSV File|*.csv");
inline const QString kXmlExtension = QStringLiteral("xml");
inline const QString kXmlFilter = QStringLiteral("XML File|*.XML");
inline const QString kWorkbookExtension = QStringLiteral("xlsx");
inline const QString kWorkbookFilter = QStringLiteral("EXCEL File|*.xlsx");

inline const QString kRowCountOutOfRange = QStringLiteral("The row count is out of excel range.");
inline const QString kNoExportColumns = QStringLiteral("Choose at least one column to export.");
inline const QString kBadCsvSeparator =
    QStringLiteral("The CSV separator must not be empty or hold a quote or a line break.");

// The four blanks that separate the cells of the text export.
inline const QString kTextSeparator = QStringLiteral("    ");

// The product's web site, linked from the footer of every HTML export.
inline constexpr const char* kProductWebSite = "https://melodrix.example.org/";

}  // namespace melodrix
