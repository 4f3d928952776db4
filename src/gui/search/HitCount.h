#pragma once

#include <QString>

class QLabel;

namespace melodrix {

class TFMMain;

// The status bar's count of search and duplicate hits: a panel of its own at the right,
// beside the panel of hints and messages.
QLabel* HitCountPanel(TFMMain& main);
void ShowHitCount(TFMMain& main, const QString& text);
// "1 hit", "12 hits".
QString HitsText(int hits);

}  // namespace melodrix
