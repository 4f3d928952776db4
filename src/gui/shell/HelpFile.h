#pragma once

#include <QString>

namespace melodrix {

// Where the Help command finds "Help.htm": beside the program first (the portable layout),
// else in ../share/melodrix/ relative to it (an installed prefix such as /usr). When neither
// exists the path beside the program is returned, so opening it shows nothing.
QString HelpFilePath(const QString& programDirectory);

}  // namespace melodrix
