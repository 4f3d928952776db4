#include "gui/shell/FileIcons.h"

#include <QFileIconProvider>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "core/catalog/Paths.h"

namespace melodrix {

namespace {

QIcon Themed(const QString& name, const QIcon& fallback) {
    QIcon icon = QIcon::fromTheme(name);
    return icon.isNull() ? fallback : icon;
}

void PaintFolder(QPainter& p, const QColor& colour, bool open) {
    p.setPen(QPen(colour.darker(160), 1.5));
    p.setBrush(colour);
    QPainterPath back;
    back.moveTo(4, 10);
    back.lineTo(4, 54);
    back.lineTo(60, 54);
    back.lineTo(60, 18);
    back.lineTo(30, 18);
    back.lineTo(24, 10);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(colour.lighter(125));
    if (open) {
        p.drawPolygon(
            QPolygonF({QPointF(12, 26), QPointF(64, 26), QPointF(58, 54), QPointF(4, 54)}));
    } else {
        p.drawRect(QRectF(4, 24, 56, 30));
    }
}

void PaintDocument(QPainter& p, const QColor& colour) {
    p.setPen(QPen(colour.darker(170), 1.5));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF(
        {QPointF(12, 4), QPointF(42, 4), QPointF(54, 16), QPointF(54, 60), QPointF(12, 60)}));
    p.setPen(QPen(colour, 3));
    for (int y = 24; y <= 50; y += 9) {
        p.drawLine(20, y, 46, y);
    }
}

}  // namespace

QIcon PaintedIcon(const QString& kind, const QColor& colour) {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (kind == QStringLiteral("folder") || kind == QStringLiteral("folder-open")) {
        PaintFolder(p, colour, kind == QStringLiteral("folder-open"));
    } else if (kind == QStringLiteral("search")) {
        p.setPen(QPen(colour.darker(150), 7, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(QColor(220, 235, 255));
        p.drawEllipse(QPointF(26, 26), 16, 16);
        p.drawLine(38, 38, 56, 56);
    } else if (kind == QStringLiteral("export")) {
        PaintDocument(p, colour);
        p.setPen(QPen(colour.darker(150), 6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(30, 40, 58, 40);
        p.drawLine(48, 30, 58, 40);
        p.drawLine(48, 50, 58, 40);
    } else if (kind == QStringLiteral("chart")) {
        p.setPen(QPen(colour.darker(150), 2));
        p.setBrush(colour);
        p.drawRect(10, 34, 10, 24);
        p.drawRect(27, 14, 10, 44);
        p.drawRect(44, 26, 10, 32);
        p.drawLine(6, 59, 58, 59);
    } else if (kind == QStringLiteral("options")) {
        p.setPen(QPen(colour.darker(140), 8, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(32, 32);
            p.rotate(45.0 * i);
            p.drawLine(0, 16, 0, 24);
            p.restore();
        }
        p.setBrush(colour);
        p.drawEllipse(QPointF(32, 32), 14, 14);
    } else if (kind == QStringLiteral("quit")) {
        p.setPen(QPen(colour.darker(130), 7, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(10, 12, 44, 44), 120 * 16, 300 * 16);
        p.drawLine(32, 6, 32, 32);
    } else if (kind == QStringLiteral("disc")) {
        p.setPen(QPen(colour.darker(160), 1.5));
        p.setBrush(colour);
        p.drawEllipse(QPointF(32, 32), 28, 28);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(32, 32), 7, 7);
        p.setPen(QPen(QColor(40, 140, 40), 6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(50, 4, 50, 22);
        p.drawLine(41, 13, 59, 13);
    } else {
        PaintDocument(p, colour);
    }
    return QIcon(pixmap);
}

void UseIconThemeFallback() {
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QStringLiteral("hicolor")) {
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    }
    QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
}

TFileIcons::TFileIcons() {
    const QColor folderColour(232, 186, 84);
    folder_ = Themed(QStringLiteral("folder"), PaintedIcon(QStringLiteral("folder"), folderColour));
    openFolder_ = Themed(QStringLiteral("folder-open"),
                         PaintedIcon(QStringLiteral("folder-open"), folderColour));
    genericFile_ = Themed(QStringLiteral("text-x-generic"),
                          PaintedIcon(QStringLiteral("document"), QColor(120, 130, 150)));
    catalog_ = Themed(QStringLiteral("x-office-document"),
                      PaintedIcon(QStringLiteral("document"), QColor(70, 110, 190)));
}

const QIcon& TFileIcons::ForFileName(const QString& name) {
    const QString extension = ExtensionOf(name).toLower();
    if (extension.isEmpty()) {
        return genericFile_;
    }
    const auto found = byExtension_.constFind(extension);
    if (found != byExtension_.constEnd()) {
        return *found;
    }
    const QMimeType type =
        mimeTypes_.mimeTypeForFile(QStringLiteral("x.") + extension, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) {
        icon = QIcon::fromTheme(type.genericIconName());
    }
    if (icon.isNull()) {
        icon = genericFile_;
    }
    return *byExtension_.insert(extension, icon);
}

}  // namespace melodrix
