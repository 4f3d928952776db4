// The statistics command of the main window: a window of charts and tag health for the open
// catalog, or for a catalog, a group or the whole library picked in the library tree.
#include <QMenu>

#include "core/config/Config.h"
#include "gui/library/FrmCatTree.h"
#include "gui/shell/MainWindow.h"
#include "gui/shell/TreeModelBase.h"
#include "gui/stats/StatsWindow.h"

namespace melodrix {

namespace {

QString PathOf(const TCatalogNode* node) {
    const std::string_view path = node->Item().Field(FullPath);
    return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
}

}  // namespace

void TFMMain::StatisticsCommand() {
    if (!CurrentCatalog.isEmpty()) {
        OpenStatistics(CurrentCatalog, false);
        return;
    }
    const TCatalogNode* node = frmCatTree_->FocusedNode();
    if (!node) {
        ShowStatusMessage(QStringLiteral("Choose a catalog or a group in the library."));
        return;
    }
    OpenStatistics(PathOf(node), node->Item().IsDirectory());
}

void TFMMain::OpenStatistics(const QString& path, bool group) {
    // Links between groups of the library are followed, links out of it are not.
    auto* window = new TStatsWindow(
        group ? TSearchScope::Group : TSearchScope::Catalog, path, GetConfig().LibraryPath(),
        Prompt(),
        [this](const QString& catalog, const std::string& fullPath) {
            RunCommand([&] { ShowItemInCatalog(catalog, fullPath); });
            activateWindow();
            raise();
        },
        this);
    window->show();
}

void TFMMain::MakeLibraryMenu() {
    TLibraryView* view = frmCatTree_->VTLib();
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("MenuLibrary"));
    QAction* statistics = menu->addAction(QStringLiteral("Statistics"));
    statistics->setObjectName(QStringLiteral("ActionLibraryStatistics"));
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, [this, view, menu](QPoint at) {
        const TCatalogNode* node = TTreeModelBase::NodeOf(view->indexAt(at));
        if (!node) {
            node = frmCatTree_->RootNode();
        }
        if (node && !CommandRunning()) {
            menu->setProperty("path", PathOf(node));
            menu->setProperty("group", node->Item().IsDirectory());
            menu->popup(view->viewport()->mapToGlobal(at));
        }
    });
    connect(statistics, &QAction::triggered, this, [this, menu] {
        RunCommand([&] {
            OpenStatistics(menu->property("path").toString(), menu->property("group").toBool());
        });
    });
}

}  // namespace melodrix
