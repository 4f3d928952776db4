#include "gui/search/HitCount.h"

#include <QLabel>

#include "gui/shell/MainWindow.h"

namespace melodrix {

void ShowHitCount(TFMMain& main, const QString& text) {
    main.ContentPanel()->setText(text);
}

QString HitsText(int hits) {
    return hits == 1 ? QStringLiteral("1 hit") : QStringLiteral("%1 hits").arg(hits);
}

}  // namespace melodrix
