#pragma once

#include <QWidget>

class QTextBrowser;

namespace melodrix {

// The help page in a window of the program's own, so Help works where no web browser can
// be started. Links to other places on the page are followed here; web and mail links go to
// the desktop's programs.
class THelpWindow final : public QWidget {
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* parent = nullptr);

    // Shows the page at `path`; when there is none, a page that says where it was looked for.
    void ShowPage(const QString& path);
    QTextBrowser* Browser() const { return browser_; }

private:
    QTextBrowser* browser_;
    QString shownPath_;
};

}  // namespace melodrix
