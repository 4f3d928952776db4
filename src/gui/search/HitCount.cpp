#include "gui/search/HitCount.h"

#include <QLabel>
#include <QStatusBar>

#include "gui/shell/MainWindow.h"

namespace melodrix {

QLabel* HitCountPanel(TFMMain& main) {
    const QString name = QStringLiteral("StatusHits");
    if (auto* panel = main.statusBar()->findChild<QLabel*>(name)) {
        return panel;
    }
    auto* panel = new QLabel;
    panel->setObjectName(name);
    main.statusBar()->addPermanentWidget(panel);
    return panel;
}

void ShowHitCount(TFMMain& main, const QString& text) {
    HitCountPanel(main)->setText(text);
}

QString HitsText(int hits) {
    return hits == 1 ? QStringLiteral("1 hit") : QStringLiteral("%1 hits").arg(hits);
}

}  // namespace melodrix
