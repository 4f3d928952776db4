#include "gui/shell/WaitForm.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cmath>

#include "gui/shell/InputGuard.h"

namespace melodrix {

namespace {
constexpr int kFrameCount = 30;  // frames 0 to 29, over and over
}

TActivityIndicator::TActivityIndicator(QWidget* parent)
    : QWidget(parent), timer_(new QTimer(this)) {
    setFixedSize(80, 50);
    timer_->setInterval(60);
    connect(timer_, &QTimer::timeout, this, [this] {
        Advance();
        update();
    });
}

void TActivityIndicator::Advance() {
    frame_ = (frame_ + 1) % kFrameCount;
}

void TActivityIndicator::Start() {
    frame_ = 0;
    timer_->start();
}

void TActivityIndicator::Stop() {
    timer_->stop();
}

void TActivityIndicator::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // A folder with a magnifying glass sweeping over it.
    const QColor folder(232, 186, 84);
    p.setPen(QPen(folder.darker(160), 1));
    p.setBrush(folder);
    p.drawRect(QRectF(6, 14, 40, 30));
    p.drawRect(QRectF(6, 10, 16, 6));
    p.setBrush(folder.lighter(120));
    p.drawRect(QRectF(6, 20, 40, 24));
    const double phase = 2.0 * 3.14159265358979 * frame_ / kFrameCount;
    const QPointF centre(46 + 16 * std::cos(phase), 24 + 10 * std::sin(phase));
    p.setPen(QPen(QColor(60, 60, 80), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre + QPointF(6, 6), centre + QPointF(14, 14));
    p.setBrush(QColor(210, 230, 255, 200));
    p.drawEllipse(centre, 9, 9);
}

TWaitForm::TWaitForm(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      owner_(owner),
      indicator_(new TActivityIndicator(this)),
      firstLine_(
          new QLabel(QStringLiteral("This will take a few minutes.Please be patient..."), this)),
      messageLine_(new QLabel(QStringLiteral("..."), this)),
      countLine_(new QLabel(this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)),
      guard_(new TInputGuard(*this, owner ? owner->window() : nullptr)) {
    setObjectName(QStringLiteral("WaitForm"));
    setFixedSize(376, 84);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(248, 248, 252));
    setPalette(palette);
    setStyleSheet(QStringLiteral("#WaitForm { border: 1px solid rgb(120, 130, 160); }"));

    indicator_->move(8, 8);
    firstLine_->setGeometry(103, 8, 266, 18);
    messageLine_->setObjectName(QStringLiteral("MessageLine"));
    messageLine_->setGeometry(105, 30, 221, 18);
    messageLine_->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    countLine_->setObjectName(QStringLiteral("CountLine"));
    countLine_->setGeometry(8, 62, 120, 16);
    QFont small = countLine_->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    countLine_->setFont(small);
    countLine_->setStyleSheet(QStringLiteral("color: rgb(90, 90, 110);"));
    cancel_->setObjectName(QStringLiteral("BtnCancel"));
    cancel_->setGeometry(142, 54, 97, 25);
    cancel_->setFlat(true);
    cancel_->setVisible(false);
    connect(cancel_, &QPushButton::clicked, this, [] { SetCancelRequested(true); });
}

void TWaitForm::RepaintNow() {
    indicator_->Advance();
    repaint();
}

void TWaitForm::ShowProgress(bool show, bool withCancel) {
    if (!show) {
        if (isVisible()) {
            indicator_->Stop();
            hide();
        }
        guard_->SetActive(pumping_);
        return;
    }
    guard_->SetActive(true);
    guard_->SetCancelOffered(withCancel);
    if (!isVisible()) {
        SetCancelRequested(false);
        countLine_->clear();
        const QWidget* over = owner_ ? owner_->window() : nullptr;
        const QRect area = over && over->isVisible() ? over->frameGeometry()
                           : screen()                ? screen()->availableGeometry()
                                                     : QRect(0, 0, width(), height());
        move(area.center() - rect().center());
        QWidget::show();
        raise();
        indicator_->Start();
        // Let the window system map the window; user input stays queued.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    cancel_->setVisible(withCancel);
    RepaintNow();
}

void TWaitForm::SetProgressText(const QString& text) {
    messageLine_->setText(text);
    RepaintNow();
}

void TWaitForm::SetProgressCount(uint64_t count) {
    if (!countThrottle_.Due()) {
        return;
    }
    countLine_->setText(
        QStringLiteral("%1 items").arg(QLocale().toString(static_cast<qulonglong>(count))));
    RepaintNow();
}

void TWaitForm::ProcessPendingInput() {
    // Only this window takes input meanwhile, also when an operation pumps the event
    // loop with the window hidden.
    const bool wasPumping = pumping_;
    pumping_ = true;
    guard_->SetActive(true);
    QCoreApplication::processEvents();
    pumping_ = wasPumping;
    guard_->SetActive(pumping_ || isVisible());
}

bool TWaitForm::CancelRequested() {
    return melodrix::CancelRequested();
}

QString TWaitForm::MessageText() const {
    return messageLine_->text();
}

QString TWaitForm::CountText() const {
    return countLine_->text();
}

bool TWaitForm::CancelVisible() const {
    return cancel_->isVisibleTo(this);
}

}  // namespace melodrix
