#include "gui/shell/AboutDialog.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <algorithm>

namespace melodrix {

namespace {

QLabel* LinkLabel(const QString& text, void (*open)(), QWidget* parent) {
    auto* label = new QLabel(
        QStringLiteral("<a href=\"#\" style=\"color: blue; text-decoration: underline;\">%1</a>")
            .arg(text.toHtmlEscaped()),
        parent);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    label->setCursor(Qt::PointingHandCursor);
    QObject::connect(label, &QLabel::linkActivated, parent, [open] { open(); });
    return label;
}

}  // namespace

void OpenWebSite() {
    QDesktopServices::openUrl(QUrl(kWebAddress));
}

void OpenSupportMail() {
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + kSupportMailAddress));
}

TFMAbout::TFMAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FMAbout"));
    setWindowTitle(QStringLiteral("About Melodrix"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    QFont font = this->font();
    font.setPointSize(10);
    setFont(font);

    auto* title = new QLabel(QStringLiteral("Melodrix V2.02"), this);
    QFont bold = font;
    bold.setBold(true);
    bold.setPointSize(12);
    title->setFont(bold);
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/melodrix/melodrix.png"))
                        .scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(title, 0, 1, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("Web: "), this), 1, 1);
    QLabel* web = LinkLabel(kWebAddress, &OpenWebSite, this);
    web->setObjectName(QStringLiteral("LinkWeb"));
    layout->addWidget(web, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("Email: "), this), 2, 1);
    QLabel* mail = LinkLabel(kSupportMailAddress, &OpenSupportMail, this);
    mail->setObjectName(QStringLiteral("LinkMail"));
    layout->addWidget(mail, 2, 2);
    layout->setColumnStretch(2, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* close = buttons->button(QDialogButtonBox::Close);
    close->setObjectName(QStringLiteral("BtnClose"));
    close->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons, 3, 0, 1, 3);
    // 292 x 152, or as much more as the addresses and the button need to show whole.
    const QSize needed = layout->totalSizeHint();
    setFixedSize(std::max(292, needed.width()), std::max(152, needed.height()));
}

}  // namespace melodrix
