#pragma once

#include <QApplication>

namespace melodrix {

// The desktop program's application object. Its notify is the last net for failures
// that escape a handler: they are dropped silently, and no box is opened from here.
class TMelodrixApplication final : public QApplication {
    Q_OBJECT
public:
    TMelodrixApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace melodrix
