#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/search/Statistics.h"

class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTimer;

namespace melodrix {

class IPromptSink;
class TSizeMap;
struct TFolderMap;

// The figures of a catalog, a group or the whole library, as charts and a tag-health list.
// The catalog files are read on a thread of the window's own, so the window and the rest of
// the program stay usable while it computes; Cancel (or closing the window) stops it.
class TStatsWindow final : public QWidget {
    Q_OBJECT
public:
    // Opens an item of a catalog in the main window's content view.
    using TOpenItem = std::function<void(const QString& catalogFile, const std::string& fullPath)>;

    TStatsWindow(TSearchScope scope, const QString& scopePath, const QString& linkRoot,
                 IPromptSink& prompt, TOpenItem openItem, QWidget* parent = nullptr);
    ~TStatsWindow() override;

    bool Computing() const { return worker_.joinable(); }
    const TStatistics& Figures() const { return figures_; }
    QTabWidget* Tabs() const { return tabs_; }
    QTableWidget* HealthTable() const { return health_; }
    // The size map of a single catalog's folders; nullptr for a group.
    TSizeMap* SizeMap() const { return map_; }
    // The numbers behind a tab's chart, tab-separated.
    QString NumbersOf(int tab) const;
    // Saves what a tab shows as a picture, PNG or SVG by the path's suffix.
    bool SavePicture(int tab, const QString& path) const;
    void Cancel();

signals:
    // The figures are shown, or the computation was cancelled or failed.
    void Finished();

private:
    struct TShared;
    struct TPage {
        QWidget* area;  // what is saved as a picture
        QString numbers;
    };

    void Start();
    void Poll();
    void ShowFigures();
    void AddChartPage(const QString& name, const std::vector<QWidget*>& charts,
                      const QString& numbers);
    void AddHealthPage();
    void AddMapPage(std::shared_ptr<TFolderMap> map);
    void OpenRow(int row);

    TSearchScope scope_;
    QString scopePath_;
    QString linkRoot_;
    IPromptSink& prompt_;
    TOpenItem openItem_;
    std::shared_ptr<TShared> shared_;
    std::thread worker_;
    TStatistics figures_;
    std::vector<TPage> pages_;  // by tab index; the health page's area is its table
    QLabel* status_;
    QLabel* summary_;
    QPushButton* cancel_;
    QTabWidget* tabs_;
    QTableWidget* health_ = nullptr;
    TSizeMap* map_ = nullptr;
    QTimer* poll_;
};

}  // namespace melodrix
