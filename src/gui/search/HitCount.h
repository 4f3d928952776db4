#pragma once

#include <QString>

namespace melodrix {

class TFMMain;

// The status bar's count of search and duplicate hits, in the panel at the right that tells
// what the content view shows.
void ShowHitCount(TFMMain& main, const QString& text);
// "1 hit", "12 hits".
QString HitsText(int hits);

}  // namespace melodrix
