#pragma once

#include <QString>
#include <vector>

#include "core/search/Statistics.h"

class QChart;

namespace melodrix {

// What a bar of a chart measures.
enum class TTallyMeasure { Files, Bytes, Hours };

// A bar chart of the tallies, one bar each, in their order; `horizontal` for long names.
QChart* MakeTallyChart(const QString& title, const std::vector<TTally>& tallies,
                       TTallyMeasure measure, bool horizontal);
// A pie of the tallies' bytes, each slice labelled with its share.
QChart* MakeSizePie(const QString& title, const std::vector<TTally>& tallies);
// One measure of the catalogs side by side, a bar each.
QChart* MakeCatalogChart(const QString& title, const std::vector<TCatalogTally>& catalogs,
                         TTallyMeasure measure);

// The numbers behind a chart as tab-separated lines with a header line, for pasting into a
// spreadsheet.
QString TalliesAsText(const std::vector<TTally>& tallies);
QString CatalogsAsText(const std::vector<TCatalogTally>& catalogs);
QString HealthAsText(const TStatistics& figures);

}  // namespace melodrix
