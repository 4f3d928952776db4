// Restoring the window layout at start and storing it at close.
#include <QHeaderView>
#include <QScreen>
#include <QSplitter>

#include "core/config/Config.h"
#include "gui/library/FrmCatTree.h"
#include "gui/shell/CatalogModel.h"
#include "gui/shell/ContentView.h"
#include "gui/shell/DetailPanel.h"
#include "gui/shell/MainWindow.h"

namespace melodrix {

void TFMMain::ApplyWindowLayout() {
    const TXMLFrameType frame = GetConfig().ConfigRoot().Frame();
    if (frame.Max()) {
        // Also fills the screen where no window manager maximizes.
        if (const QScreen* current = screen()) {
            setGeometry(current->availableGeometry());
        }
        setWindowState(windowState() | Qt::WindowMaximized);
    } else {
        setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
        move(frame.Left(), frame.Top());
        resize(frame.Width(), frame.Height());
    }

    const TXMLPlLeftType plLeft = frame.PlLeft();
    const int leftWidth = plLeft.Width();
    mainSplitter_->setSizes({leftWidth, std::max(80, mainSplitter_->width() - leftWidth)});
    QTreeView* library = frmCatTree_->VTLib();
    library->setColumnWidth(0, plLeft.Col1());
    library->setColumnWidth(1, plLeft.Col2());
    library->setColumnWidth(2, plLeft.Col3());

    const TXMLPlHintType plHint = frame.PlHint();
    const int hintHeight = plHint.Height();
    leftSplitter_->setSizes({std::max(80, leftSplitter_->height() - hintHeight), hintHeight});
    vle_->setColumnWidth(0, plHint.Col1());
    vle_->setColumnWidth(1, plHint.Col2());
}

void TFMMain::StoreWindowLayout() {
    TConfig& config = GetConfig();
    TXMLFrameType frame = config.ConfigRoot().Frame();
    frame.SetLeft(pos().x());
    frame.SetTop(pos().y());
    frame.SetHeight(height());
    frame.SetWidth(width());
    frame.SetMax(isMaximized());

    TXMLPlLeftType plLeft = frame.PlLeft();
    plLeft.SetWidth(mainSplitter_->sizes().value(0));
    const QTreeView* library = frmCatTree_->VTLib();
    plLeft.SetCol1(library->columnWidth(0));
    plLeft.SetCol2(library->columnWidth(1));
    plLeft.SetCol3(library->columnWidth(2));

    TXMLPlHintType plHint = frame.PlHint();
    plHint.SetHeight(leftSplitter_->sizes().value(1));
    plHint.SetCol1(vle_->columnWidth(0));
    plHint.SetCol2(vle_->columnWidth(1));

    const TXMLNodesType nodes = config.ConfigRoot().Nodes();
    const QHeaderView* header = vt_->header();
    for (int i = 0; i < contentModel_->columnCount() && i < nodes.Count(); ++i) {
        TXMLNodeType node = nodes.Node(i);
        const bool hidden = header->isSectionHidden(i);
        // A hidden column has no width on screen; it keeps the width it had.
        if (!hidden) {
            node.SetWidth(header->sectionSize(i));
        }
        node.SetVisible(!hidden);
        node.SetIndex(header->visualIndex(i));
    }
    config.SaveConfig();
}

}  // namespace melodrix
