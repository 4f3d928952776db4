#include "gui/stats/StatsWindow.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QSvgGenerator>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <mutex>

#include "core/base/Errors.h"
#include "core/catalog/Sinks.h"
#include "gui/stats/SizeMap.h"
#include "gui/stats/StatsCharts.h"

namespace melodrix {

// What the worker and the window share: the worker writes, the window's timer reads.
struct TStatsWindow::TShared {
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
    std::atomic<uint64_t> count{0};
    std::mutex mutex;
    QString text;   // the catalog being read
    QString error;  // why it failed
    TStatistics figures;
    std::shared_ptr<TFolderMap> map;  // of a single catalog
};

namespace {

// The engine's progress calls from the worker, kept for the window's timer to show.
class TWorkerProgress final : public IProgressSink {
public:
    explicit TWorkerProgress(std::atomic<bool>& cancel, std::atomic<uint64_t>& count,
                             std::mutex& mutex, QString& text)
        : cancel_(cancel), count_(count), mutex_(mutex), text_(text) {}
    void ShowProgress(bool, bool) override {}
    void SetProgressText(const QString& text) override {
        const std::lock_guard lock(mutex_);
        text_ = text;
    }
    void SetProgressCount(uint64_t count) override { count_ = count; }
    bool CancelRequested() override { return cancel_; }
    // The window has its own Cancel; the process-wide one may belong to another operation.
    void ForgetEarlierCancel() override {}

private:
    std::atomic<bool>& cancel_;
    std::atomic<uint64_t>& count_;
    std::mutex& mutex_;
    QString& text_;
};

QString HoursText(int64_t durationMs) {
    const int64_t minutes = durationMs / 60000;
    return QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
}

QWidget* ViewOf(QChart* chart) {
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(200);
    return view;
}

}  // namespace

TStatsWindow::TStatsWindow(TSearchScope scope, const QString& scopePath, const QString& linkRoot,
                           IPromptSink& prompt, TOpenItem openItem, QWidget* parent)
    : QWidget(parent, Qt::Window),
      scope_(scope),
      scopePath_(scopePath),
      linkRoot_(linkRoot),
      prompt_(prompt),
      openItem_(std::move(openItem)),
      shared_(std::make_shared<TShared>()),
      status_(new QLabel),
      summary_(new QLabel),
      cancel_(new QPushButton(QStringLiteral("Cancel"))),
      tabs_(new QTabWidget),
      poll_(new QTimer(this)) {
    setObjectName(QStringLiteral("FMStats"));
    setAttribute(Qt::WA_DeleteOnClose);
    const QString name = QFileInfo(QDir::fromNativeSeparators(scopePath)).fileName();
    setWindowTitle(QStringLiteral("Statistics - %1").arg(name.isEmpty() ? scopePath : name));
    resize(900, 640);

    status_->setObjectName(QStringLiteral("LblStatus"));
    summary_->setObjectName(QStringLiteral("LblSummary"));
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cancel_->setObjectName(QStringLiteral("BtnCancel"));
    tabs_->setObjectName(QStringLiteral("TabsStats"));
    auto* top = new QHBoxLayout;
    top->addWidget(status_, 1);
    top->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(summary_);
    layout->addWidget(tabs_, 1);
    connect(cancel_, &QPushButton::clicked, this, &TStatsWindow::Cancel);
    connect(poll_, &QTimer::timeout, this, &TStatsWindow::Poll);
    Start();
}

TStatsWindow::~TStatsWindow() {
    shared_->cancel = true;
    if (worker_.joinable()) {
        worker_.join();
    }
}

void TStatsWindow::Start() {
    status_->setText(QStringLiteral("Reading the catalogs..."));
    cancel_->setVisible(true);
    std::shared_ptr<TShared> shared = shared_;
    worker_ = std::thread([shared, scope = scope_, path = scopePath_, root = linkRoot_] {
        TWorkerProgress progress(shared->cancel, shared->count, shared->mutex, shared->text);
        try {
            // A single catalog's folders for the size map, from the same reading.
            std::shared_ptr<TFolderMap> map;
            TCatalogHitsSink folders;
            if (scope == TSearchScope::Catalog) {
                map = std::make_shared<TFolderMap>();
                folders = [&map](const QString&, std::vector<TFileItem>& items) {
                    for (const TFileItem& item : items) {
                        map->Add(item);
                    }
                };
            }
            TStatistics figures = GatherStatistics(progress, scope, path, root, true, folders);
            if (map) {
                map->Finish();
            }
            const std::lock_guard lock(shared->mutex);
            shared->figures = std::move(figures);
            shared->map = std::move(map);
        } catch (const TMelodrixError& error) {
            const std::lock_guard lock(shared->mutex);
            shared->error = error.Message();
        } catch (const std::exception& error) {
            const std::lock_guard lock(shared->mutex);
            shared->error = QString::fromUtf8(error.what());
        }
        shared->done = true;
    });
    poll_->start(50);
}

void TStatsWindow::Cancel() {
    shared_->cancel = true;
    cancel_->setEnabled(false);
}

void TStatsWindow::Poll() {
    if (!shared_->done) {
        const std::lock_guard lock(shared_->mutex);
        status_->setText(QStringLiteral("Reading %1 (%2 items)")
                             .arg(QDir::toNativeSeparators(shared_->text))
                             .arg(QLocale().toString(qulonglong(shared_->count.load()))));
        return;
    }
    poll_->stop();
    worker_.join();
    cancel_->setVisible(false);
    QString error;
    std::shared_ptr<TFolderMap> map;
    {
        const std::lock_guard lock(shared_->mutex);
        error = shared_->error;
        figures_ = std::move(shared_->figures);
        map = std::move(shared_->map);
    }
    if (!error.isEmpty()) {
        status_->setText(error);
    } else if (shared_->cancel) {
        status_->setText(QStringLiteral("Cancelled."));
        figures_ = TStatistics();
    } else {
        status_->setText(QString());
        status_->setVisible(false);
        if (map && !map->folders.empty()) {
            AddMapPage(std::move(map));
        }
        ShowFigures();
    }
    emit Finished();
}

void TStatsWindow::ShowFigures() {
    const QLocale locale;
    QString summary = QStringLiteral(
                          "%1 files in %2 folders, %3; %4 music files, %5 of playing "
                          "time; %6 catalog%7")
                          .arg(locale.toString(qulonglong(figures_.files)))
                          .arg(locale.toString(qulonglong(figures_.folders)))
                          .arg(locale.formattedDataSize(qint64(figures_.bytes)))
                          .arg(locale.toString(qulonglong(figures_.musicFiles)))
                          .arg(HoursText(figures_.durationMs))
                          .arg(figures_.catalogs.size())
                          .arg(figures_.catalogs.size() == 1 ? QString() : QStringLiteral("s"));
    if (!figures_.skipped.isEmpty()) {
        summary +=
            QStringLiteral("; skipped %1 files that are not catalogs").arg(figures_.skipped.size());
    }
    summary_->setText(summary);

    const QString kinds = TalliesAsText(figures_.kinds);
    AddChartPage(QStringLiteral("Kinds"),
                 {ViewOf(MakeSizePie(QStringLiteral("Size by kind"), figures_.kinds)),
                  ViewOf(MakeTallyChart(QStringLiteral("Files by kind"), figures_.kinds,
                                        TTallyMeasure::Files, false))},
                 kinds);
    AddChartPage(QStringLiteral("Genres"),
                 {ViewOf(MakeTallyChart(QStringLiteral("Music files by genre"), figures_.genres,
                                        TTallyMeasure::Files, true))},
                 TalliesAsText(figures_.genres));
    AddChartPage(QStringLiteral("Decades"),
                 {ViewOf(MakeTallyChart(QStringLiteral("Music files by decade"), figures_.decades,
                                        TTallyMeasure::Files, false))},
                 TalliesAsText(figures_.decades));
    AddChartPage(
        QStringLiteral("Codecs and bitrates"),
        {ViewOf(MakeTallyChart(QStringLiteral("Music files by codec"), figures_.codecs,
                               TTallyMeasure::Files, false)),
         ViewOf(MakeTallyChart(QStringLiteral("Music files by bitrate (kbit/s)"), figures_.bitrates,
                               TTallyMeasure::Files, false))},
        TalliesAsText(figures_.codecs) + QLatin1Char('\n') + TalliesAsText(figures_.bitrates));
    AddChartPage(QStringLiteral("Artists"),
                 {ViewOf(MakeTallyChart(figures_.artists.empty()
                                            ? QStringLiteral("Playing time by artist: the "
                                                             "catalogs record no playing times")
                                            : QStringLiteral("Playing time by artist"),
                                        figures_.artists, TTallyMeasure::Hours, true))},
                 TalliesAsText(figures_.artists));
    if (figures_.catalogs.size() > 1) {
        AddChartPage(QStringLiteral("Catalogs"),
                     {ViewOf(MakeCatalogChart(QStringLiteral("Size"), figures_.catalogs,
                                              TTallyMeasure::Bytes)),
                      ViewOf(MakeCatalogChart(QStringLiteral("Items"), figures_.catalogs,
                                              TTallyMeasure::Files)),
                      ViewOf(MakeCatalogChart(QStringLiteral("Playing time"), figures_.catalogs,
                                              TTallyMeasure::Hours))},
                     CatalogsAsText(figures_.catalogs));
    }
    AddHealthPage();
}

void TStatsWindow::AddChartPage(const QString& name, const std::vector<QWidget*>& charts,
                                const QString& numbers) {
    auto* page = new QWidget;
    auto* area = new QWidget;
    area->setObjectName(QStringLiteral("ChartArea"));
    auto* areaLayout = new QVBoxLayout(area);
    areaLayout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* chart : charts) {
        areaLayout->addWidget(chart, 1);
    }
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(area, 1);
    auto* buttons = new QHBoxLayout;
    const int tab = tabs_->count();
    auto button = [&](const QString& objectName, const QString& caption, auto handler) {
        auto* push = new QPushButton(caption);
        push->setObjectName(objectName);
        connect(push, &QPushButton::clicked, this, handler);
        buttons->addWidget(push);
    };
    auto save = [this, tab](const QString& extension, const QString& filter) {
        const QString path = AskSaveFileName(prompt_, extension, filter, QString());
        if (!path.isEmpty() && !SavePicture(tab, path)) {
            prompt_.ShowMessage(
                kWarningTitle,
                QStringLiteral("Could not write %1.").arg(QDir::toNativeSeparators(path)),
                TMessageIcon::Warning);
        }
    };
    button(QStringLiteral("BtnSavePng"), QStringLiteral("Save as PNG..."),
           [save] { save(QStringLiteral("png"), QStringLiteral("PNG picture|*.png")); });
    button(QStringLiteral("BtnSaveSvg"), QStringLiteral("Save as SVG..."),
           [save] { save(QStringLiteral("svg"), QStringLiteral("SVG drawing|*.svg")); });
    button(QStringLiteral("BtnCopy"), QStringLiteral("Copy numbers"),
           [this, tab] { QApplication::clipboard()->setText(NumbersOf(tab)); });
    buttons->addStretch(1);
    layout->addLayout(buttons);
    tabs_->addTab(page, name);
    pages_.push_back({area, numbers});
}

void TStatsWindow::AddMapPage(std::shared_ptr<TFolderMap> map) {
    auto* box = new QWidget;
    auto* boxLayout = new QVBoxLayout(box);
    boxLayout->setContentsMargins(0, 0, 0, 0);
    auto* crumbs = new QLabel;
    crumbs->setObjectName(QStringLiteral("LblBreadcrumb"));
    map_ = new TSizeMap;
    auto* key = new QLabel;
    key->setObjectName(QStringLiteral("LblMapKey"));
    auto* colouring = new QComboBox;
    colouring->setObjectName(QStringLiteral("CmbMapColour"));
    colouring->addItem(QStringLiteral("By kind of file"));
    colouring->addItem(QStringLiteral("By codec"));
    const auto colour = [this, key](int choice) {
        const TMapColouring by = choice == 1 ? TMapColouring::Codec : TMapColouring::Kind;
        map_->SetColouring(by);
        QString legend;
        for (int group = 0; group < SizeMapColourCount(by); ++group) {
            legend += QStringLiteral("<span style=\"color:%1\">&#9632;</span> %2&nbsp;&nbsp; ")
                          .arg(SizeMapColour(by, group, 1).name(),
                               QString::fromUtf8(SizeMapColourName(by, group)));
        }
        key->setText(legend);
    };
    connect(colouring, &QComboBox::currentIndexChanged, this, colour);
    colour(0);
    auto* top = new QHBoxLayout;
    top->addWidget(crumbs, 1);
    top->addWidget(key);
    top->addWidget(colouring);
    boxLayout->addLayout(top);
    boxLayout->addWidget(map_, 1);
    const int tab = tabs_->count();
    AddChartPage(QStringLiteral("Size map"), {box}, QString());
    auto zoomed = [this, crumbs, tab](int folder) {
        const TFolderMap& folders = *map_->Map();
        QStringList links;
        for (int f = folder; f >= 0; f = folders.folders[static_cast<size_t>(f)].parent) {
            links.prepend(
                QStringLiteral("<a href=\"%1\">%2</a>")
                    .arg(f)
                    .arg(QString::fromStdString(folders.folders[static_cast<size_t>(f)].name)
                             .toHtmlEscaped()));
        }
        crumbs->setText(links.join(QStringLiteral(" &gt; ")));
        QString numbers = QStringLiteral("folder\tbytes\titems\n");
        for (const int child : folders.folders[static_cast<size_t>(folder)].children) {
            const TFolderMap::TFolder& f = folders.folders[static_cast<size_t>(child)];
            numbers += QStringLiteral("%1\t%2\t%3\n")
                           .arg(QString::fromStdString(f.path))
                           .arg(f.bytes)
                           .arg(f.items);
        }
        pages_[static_cast<size_t>(tab)].numbers = numbers;
    };
    connect(map_, &TSizeMap::Zoomed, this, zoomed);
    connect(crumbs, &QLabel::linkActivated, this,
            [this](const QString& link) { map_->ZoomTo(link.toInt()); });
    connect(map_, &TSizeMap::ShowFolder, this, [this](int folder) {
        if (openItem_) {
            openItem_(scopePath_, map_->Map()->folders[static_cast<size_t>(folder)].path);
        }
    });
    map_->SetMap(std::move(map));
    zoomed(0);
}

void TStatsWindow::AddHealthPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    QStringList counts;
    for (size_t problem = 0; problem < kHealthProblemCount; ++problem) {
        counts.append(
            QStringLiteral("%1: %2")
                .arg(QString::fromUtf8(HealthProblemName(static_cast<THealthProblem>(problem))))
                .arg(figures_.healthCounts[problem]));
    }
    auto* countsLabel = new QLabel(counts.join(QStringLiteral("    ")));
    countsLabel->setObjectName(QStringLiteral("LblHealthCounts"));
    layout->addWidget(countsLabel);
    health_ = new QTableWidget(static_cast<int>(figures_.healthRows.size()), 3);
    health_->setObjectName(QStringLiteral("TblHealth"));
    health_->setHorizontalHeaderLabels(
        {QStringLiteral("Problem"), QStringLiteral("Path"), QStringLiteral("Detail")});
    health_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    health_->setSelectionBehavior(QAbstractItemView::SelectRows);
    health_->setSelectionMode(QAbstractItemView::SingleSelection);
    health_->verticalHeader()->hide();
    health_->verticalHeader()->setDefaultSectionSize(health_->fontMetrics().height() + 6);
    health_->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < health_->rowCount(); ++row) {
        const THealthRow& problem = figures_.healthRows[static_cast<size_t>(row)];
        const QString path = QString::fromStdString(problem.fullPath);
        health_->setItem(
            row, 0, new QTableWidgetItem(QString::fromUtf8(HealthProblemName(problem.problem))));
        auto* pathItem = new QTableWidgetItem(QDir::toNativeSeparators(path));
        pathItem->setToolTip(QDir::toNativeSeparators(problem.catalogFile));
        health_->setItem(row, 1, pathItem);
        health_->setItem(row, 2, new QTableWidgetItem(QString::fromStdString(problem.detail)));
    }
    health_->resizeColumnsToContents();
    // A double click or Enter opens the row's item in the main window.
    connect(health_, &QAbstractItemView::activated, this,
            [this](const QModelIndex& index) { OpenRow(index.row()); });
    layout->addWidget(health_, 1);
    auto* buttons = new QHBoxLayout;
    auto* copy = new QPushButton(QStringLiteral("Copy list"));
    copy->setObjectName(QStringLiteral("BtnCopy"));
    const int tab = tabs_->count();
    connect(copy, &QPushButton::clicked, this,
            [this, tab] { QApplication::clipboard()->setText(NumbersOf(tab)); });
    buttons->addWidget(copy);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    tabs_->addTab(page, QStringLiteral("Tag health"));
    pages_.push_back({health_, HealthAsText(figures_)});
}

void TStatsWindow::OpenRow(int row) {
    if (row < 0 || row >= static_cast<int>(figures_.healthRows.size()) || !openItem_) {
        return;
    }
    const THealthRow& problem = figures_.healthRows[static_cast<size_t>(row)];
    openItem_(problem.catalogFile, problem.fullPath);
}

QString TStatsWindow::NumbersOf(int tab) const {
    return tab >= 0 && tab < static_cast<int>(pages_.size())
               ? pages_[static_cast<size_t>(tab)].numbers
               : QString();
}

bool TStatsWindow::SavePicture(int tab, const QString& path) const {
    if (tab < 0 || tab >= static_cast<int>(pages_.size())) {
        return false;
    }
    QWidget* area = pages_[static_cast<size_t>(tab)].area;
    // A page never shown has not been laid out yet.
    if (!area->isVisible()) {
        area->resize(area->sizeHint().expandedTo(QSize(800, 500)));
        if (QLayout* layout = area->layout()) {
            layout->activate();
        }
    }
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(area->size());
        svg.setViewBox(QRect(QPoint(0, 0), area->size()));
        svg.setTitle(tabs_->tabText(tab));
        QPainter painter;
        if (!painter.begin(&svg)) {
            return false;
        }
        area->render(&painter);
        return painter.end();
    }
    return area->grab().save(path, "PNG");
}

}  // namespace melodrix
