#include "gui/shell/GuiPrompt.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace melodrix {

namespace {

QMessageBox::Icon BoxIcon(TMessageIcon icon) {
    switch (icon) {
        case TMessageIcon::Question:
            return QMessageBox::Question;
        case TMessageIcon::Information:
            return QMessageBox::Information;
        case TMessageIcon::Warning:
        case TMessageIcon::Exclamation:
            break;
    }
    return QMessageBox::Warning;
}

}  // namespace

QString QtFileFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            patterns.append(pattern.trimmed());
            if (pattern.trimmed().toLower() != pattern.trimmed()) {
                patterns.append(pattern.trimmed().toLower());
            }
        }
        entries.append(QStringLiteral("%1 (%2)").arg(parts[i], patterns.join(QLatin1Char(' '))));
    }
    return entries.join(QStringLiteral(";;"));
}

QString WithDefaultExtension(const QString& path, const QString& defaultExtension) {
    if (path.isEmpty() || defaultExtension.isEmpty() || !QFileInfo(path).suffix().isEmpty()) {
        return path;
    }
    return path + QLatin1Char('.') + defaultExtension;
}

QString TGuiPrompt::ChooseOpenFile(const QString&, const QString& filter,
                                   const QString& initialName) {
    return QFileDialog::getOpenFileName(owner_, QString(), initialName, QtFileFilter(filter));
}

QString TGuiPrompt::ChooseSaveFile(const QString& defaultExtension, const QString& filter,
                                   const QString& initialName) {
    // The program asks its own overwrite question afterwards.
    const QString path =
        QFileDialog::getSaveFileName(owner_, QString(), initialName, QtFileFilter(filter), nullptr,
                                     QFileDialog::DontConfirmOverwrite);
    return WithDefaultExtension(path, defaultExtension);
}

void TGuiPrompt::ShowMessage(const QString& title, const QString& text, TMessageIcon icon) {
    QMessageBox box(BoxIcon(icon), title, text, QMessageBox::Ok, owner_);
    box.exec();
}

bool TGuiPrompt::AskYesNo(const QString& title, const QString& text, TMessageIcon icon) {
    QMessageBox box(BoxIcon(icon), title, text, QMessageBox::Yes | QMessageBox::No, owner_);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace melodrix
