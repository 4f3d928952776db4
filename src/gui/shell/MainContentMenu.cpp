// The content view's pop-up menu: update the catalog, go from a hit to its catalog, and reach
// an item on its disk (when the disk is there) through the desktop's programs.
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QMenu>
#include <QUrl>

#include "core/base/NativePaths.h"
#include "core/library/LibraryOperations.h"
#include "gui/shell/CatalogModel.h"
#include "gui/shell/ContentView.h"
#include "gui/shell/MainWindow.h"

namespace melodrix {

namespace {

QString PathOf(const TCatalogNode* node) {
    if (!node) {
        return {};
    }
    const std::string_view path = node->Item().Field(FullPath);
    return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
}

// The folder an item lies in; empty for an item without a path.
QString ContainingFolderOf(const QString& path) {
    if (path.isEmpty()) {
        return {};
    }
    const QString parent = ParentDirectoryOf(path);
    return parent.size() > 1 && parent.endsWith(QLatin1Char('/')) ? parent.chopped(1) : parent;
}

}  // namespace

QUrl LocalFileUrl(const QString& path) {
    // By the bytes on disk: a name that is not UTF-8 reaches the desktop's program unchanged.
    return QUrl::fromEncoded("file://" + NativePathOf(path).toPercentEncoding("/"));
}

void TFMMain::OpenOnDesktop(const QString& path) {
    if (!QDesktopServices::openUrl(LocalFileUrl(path))) {
        ShowStatusMessage(
            QStringLiteral("No program could open %1.").arg(QDir::toNativeSeparators(path)));
    }
}

void TFMMain::MakeContentMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("MenuContent"));
    QAction* update = menu->addAction(QStringLiteral("Update"));
    update->setObjectName(QStringLiteral("ActionUpdate"));
    connect(update, &QAction::triggered, this,
            [this] { RunCommand([&] { UpdateCatalogCommand(CurrentCatalog); }); });
    QAction* showHit = menu->addAction(QStringLiteral("Show in catalog"));
    showHit->setObjectName(QStringLiteral("ActionShowInCatalog"));
    connect(showHit, &QAction::triggered, this, [this] {
        RunCommand([&] { ShowHitInCatalog(TCatalogModel::NodeOf(vt_->currentIndex())); });
    });
    menu->addSeparator();
    QAction* openFolder = menu->addAction(QStringLiteral("Open Containing Folder"));
    openFolder->setObjectName(QStringLiteral("ActionOpenFolder"));
    connect(openFolder, &QAction::triggered, this, [this] {
        RunCommand([&] {
            OpenOnDesktop(ContainingFolderOf(PathOf(TCatalogModel::NodeOf(vt_->currentIndex()))));
        });
    });
    QAction* openFile = menu->addAction(QStringLiteral("Open File"));
    openFile->setObjectName(QStringLiteral("ActionOpenFile"));
    connect(openFile, &QAction::triggered, this, [this] {
        RunCommand([&] { OpenOnDesktop(PathOf(TCatalogModel::NodeOf(vt_->currentIndex()))); });
    });
    QAction* copyPath = menu->addAction(QStringLiteral("Copy Path"));
    copyPath->setObjectName(QStringLiteral("ActionCopyPath"));
    connect(copyPath, &QAction::triggered, this, [this] {
        RunCommand([&] {
            const QString path = PathOf(TCatalogModel::NodeOf(vt_->currentIndex()));
            QApplication::clipboard()->setText(QDir::toNativeSeparators(path));
            ShowStatusMessage(QStringLiteral("Copied %1").arg(QDir::toNativeSeparators(path)));
        });
    });

    vt_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(vt_, &QWidget::customContextMenuRequested, this, [this, menu](QPoint at) {
        const QModelIndex pointed = vt_->indexAt(at);
        if (pointed.isValid()) {
            vt_->setCurrentIndex(pointed);
        }
        UpdateContentMenu();
        menu->popup(vt_->viewport()->mapToGlobal(at));
    });
    connect(vt_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        RunCommand([&] { ShowHitInCatalog(TCatalogModel::NodeOf(index)); });
    });
}

void TFMMain::UpdateContentMenu() {
    auto* menu = findChild<QMenu*>(QStringLiteral("MenuContent"));
    const auto action = [menu](const char* name) {
        return menu->findChild<QAction*>(QString::fromLatin1(name));
    };
    const TCatalogNode* node = TCatalogModel::NodeOf(vt_->currentIndex());
    // Only a catalog of the library can be updated, not a search result; only a hit leads to
    // a catalog.
    action("ActionUpdate")->setEnabled(!CurrentCatalog.isEmpty());
    action("ActionShowInCatalog")->setEnabled(IsHitWithCatalog(node));
    // What is on a disk can be opened while the disk is mounted there.
    const QString path = PathOf(node);
    const QString folder = ContainingFolderOf(path);
    action("ActionOpenFolder")->setEnabled(!folder.isEmpty() && EntryExists(folder, true));
    action("ActionOpenFile")
        ->setEnabled(node && node->Item().IsFile() && !path.isEmpty() && EntryExists(path, false));
    action("ActionCopyPath")->setEnabled(!path.isEmpty());
}

}  // namespace melodrix
