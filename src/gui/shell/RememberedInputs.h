#pragma once

#include "core/config/Config.h"

class QWidget;

namespace melodrix {

// What the user put into a dialog's inputs, kept by each input's object name: the texts of
// the line edits, the ticks of the check boxes, the choices of the combo boxes and the dates
// of the date edits below `root`. Inputs without a name of their own are left alone.
void RememberInputs(const QWidget& root, TXMLRememberedType remembered);
// Puts back what RememberInputs kept; inputs it kept nothing for stay as they are.
void RecallInputs(QWidget& root, const TXMLRememberedType& remembered);

}  // namespace melodrix
