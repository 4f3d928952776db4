#include "gui/shell/HelpWindow.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace melodrix {

THelpWindow::THelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), browser_(new QTextBrowser) {
    setObjectName(QStringLiteral("FMHelp"));
    setWindowTitle(QStringLiteral("Melodrix Help"));
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    browser_->setOpenLinks(false);
    connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (url.isLocalFile() || url.isRelative()) {
            browser_->setSource(url);
        } else {
            QDesktopServices::openUrl(url);
        }
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("BtnClose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(browser_, 1);
    layout->addWidget(buttons);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    resize(760, 640);
}

void THelpWindow::ShowPage(const QString& path) {
    // Shown again, the page stays where the reader left it.
    if (path == shownPath_ && !browser_->source().isEmpty()) {
        return;
    }
    shownPath_ = path;
    if (QFileInfo(path).isFile()) {
        browser_->setSource(QUrl::fromLocalFile(path));
        return;
    }
    browser_->setHtml(
        QStringLiteral("<h2>Melodrix Help</h2><p>The help page Help.htm is missing: it was looked "
                       "for at <code>%1</code> and in <code>share/melodrix/</code> of the "
                       "installation.</p>")
            .arg(QDir::toNativeSeparators(path).toHtmlEscaped()));
}

}  // namespace melodrix
