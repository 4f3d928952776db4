#include "gui/stats/StatsCharts.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QHorizontalBarSeries>
#include <QPieSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace melodrix {

namespace {

QString NameOf(const std::string& name) {
    return QString::fromStdString(name);
}

double Measured(TTallyMeasure measure, uint64_t files, uint64_t bytes, int64_t durationMs) {
    switch (measure) {
        case TTallyMeasure::Files:
            return static_cast<double>(files);
        case TTallyMeasure::Bytes:
            return static_cast<double>(bytes) / (1024.0 * 1024.0);
        case TTallyMeasure::Hours:
            return static_cast<double>(durationMs) / 3600000.0;
    }
    return 0;
}

QString UnitOf(TTallyMeasure measure) {
    switch (measure) {
        case TTallyMeasure::Files:
            return QStringLiteral("files");
        case TTallyMeasure::Bytes:
            return QStringLiteral("MB");
        case TTallyMeasure::Hours:
            return QStringLiteral("hours");
    }
    return {};
}

QChart* BarChart(const QString& title, QStringList names, QList<qreal> values,
                 TTallyMeasure measure, bool horizontal) {
    if (horizontal) {
        // Horizontal bars stack upwards: reversed, the first tally (the largest) is on top.
        std::reverse(names.begin(), names.end());
        std::reverse(values.begin(), values.end());
    }
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->hide();
    chart->setAnimationOptions(QChart::NoAnimation);
    auto* set = new QBarSet(UnitOf(measure));
    set->append(values);
    // The labels sit above the bars, on the chart's white, not on the bar's colour.
    set->setLabelColor(Qt::black);
    QAbstractBarSeries* series =
        horizontal ? static_cast<QAbstractBarSeries*>(new QHorizontalBarSeries) : new QBarSeries;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsPrecision(measure == TTallyMeasure::Files ? 12 : 3);
    chart->addSeries(series);
    auto* categories = new QBarCategoryAxis;
    categories->append(names);
    auto* values_axis = new QValueAxis;
    values_axis->setTitleText(UnitOf(measure));
    const qreal most = values.isEmpty() ? 0 : *std::max_element(values.begin(), values.end());
    // Room above the longest bar for its label.
    values_axis->setRange(0, most > 0 ? most * 1.15 : 1);
    values_axis->applyNiceNumbers();
    if (measure == TTallyMeasure::Files) {
        // File counts are whole: a few files get a tick each, not repeated rounded labels.
        const int top = static_cast<int>(std::ceil(values_axis->max()));
        if (top <= 10) {
            values_axis->setRange(0, top);
            values_axis->setTickCount(top + 1);
        }
        values_axis->setLabelFormat(QStringLiteral("%d"));
    }
    chart->addAxis(categories, horizontal ? Qt::AlignLeft : Qt::AlignBottom);
    chart->addAxis(values_axis, horizontal ? Qt::AlignBottom : Qt::AlignLeft);
    series->attachAxis(categories);
    series->attachAxis(values_axis);
    return chart;
}

}  // namespace

QChart* MakeTallyChart(const QString& title, const std::vector<TTally>& tallies,
                       TTallyMeasure measure, bool horizontal) {
    QStringList names;
    QList<qreal> values;
    for (const TTally& tally : tallies) {
        names.append(NameOf(tally.name));
        values.append(Measured(measure, tally.files, tally.bytes, tally.durationMs));
    }
    return BarChart(title, names, values, measure, horizontal);
}

QChart* MakeSizePie(const QString& title, const std::vector<TTally>& tallies) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignRight);
    auto* series = new QPieSeries;
    for (const TTally& tally : tallies) {
        series->append(NameOf(tally.name), static_cast<qreal>(tally.bytes));
    }
    for (QPieSlice* slice : series->slices()) {
        slice->setLabel(
            QStringLiteral("%1 %2%").arg(slice->label()).arg(slice->percentage() * 100, 0, 'f', 1));
        slice->setLabelVisible(slice->percentage() > 0.005);
    }
    chart->addSeries(series);
    return chart;
}

QChart* MakeCatalogChart(const QString& title, const std::vector<TCatalogTally>& catalogs,
                         TTallyMeasure measure) {
    QStringList names;
    QList<qreal> values;
    for (const TCatalogTally& catalog : catalogs) {
        names.append(NameOf(catalog.diskName));
        values.append(Measured(measure, catalog.items, catalog.bytes, catalog.durationMs));
    }
    return BarChart(title, names, values, measure, catalogs.size() > 6);
}

QString TalliesAsText(const std::vector<TTally>& tallies) {
    QString text = QStringLiteral("name\tfiles\tbytes\tplaying time (s)\n");
    for (const TTally& tally : tallies) {
        text += QStringLiteral("%1\t%2\t%3\t%4\n")
                    .arg(NameOf(tally.name))
                    .arg(tally.files)
                    .arg(tally.bytes)
                    .arg(tally.durationMs / 1000);
    }
    return text;
}

QString CatalogsAsText(const std::vector<TCatalogTally>& catalogs) {
    QString text = QStringLiteral("catalog\tdisk\titems\tfiles\tbytes\tplaying time (s)\n");
    for (const TCatalogTally& catalog : catalogs) {
        text += QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\n")
                    .arg(catalog.catalogFile, NameOf(catalog.diskName))
                    .arg(catalog.items)
                    .arg(catalog.files)
                    .arg(catalog.bytes)
                    .arg(catalog.durationMs / 1000);
    }
    return text;
}

QString HealthAsText(const TStatistics& figures) {
    QString text = QStringLiteral("problem\tcatalog\tpath\tdetail\n");
    for (const THealthRow& row : figures.healthRows) {
        text += QStringLiteral("%1\t%2\t%3\t%4\n")
                    .arg(QString::fromUtf8(HealthProblemName(row.problem)), row.catalogFile,
                         QString::fromStdString(row.fullPath), QString::fromStdString(row.detail));
    }
    return text;
}

}  // namespace melodrix
