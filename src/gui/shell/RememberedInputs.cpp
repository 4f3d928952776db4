#include "gui/shell/RememberedInputs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>

namespace melodrix {

namespace {

// Qt names the parts inside its own widgets (a date edit's line edit) "qt_...".
bool IsOwnInput(const QWidget* widget) {
    const QString name = widget->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

QByteArray KeyOf(const QWidget* widget) {
    return widget->objectName().toLatin1();
}

}  // namespace

void RememberInputs(const QWidget& root, TXMLRememberedType remembered) {
    for (const QLineEdit* edit : root.findChildren<QLineEdit*>()) {
        if (IsOwnInput(edit)) {
            remembered.SetText(KeyOf(edit).constData(), edit->text());
        }
    }
    for (const QCheckBox* box : root.findChildren<QCheckBox*>()) {
        if (IsOwnInput(box)) {
            remembered.SetInt(KeyOf(box).constData(), box->isChecked() ? 1 : 0);
        }
    }
    for (const QComboBox* box : root.findChildren<QComboBox*>()) {
        if (IsOwnInput(box)) {
            remembered.SetText(KeyOf(box).constData(), box->currentText());
        }
    }
    for (const QDateEdit* edit : root.findChildren<QDateEdit*>()) {
        if (IsOwnInput(edit)) {
            remembered.SetText(KeyOf(edit).constData(), edit->date().toString(Qt::ISODate));
        }
    }
}

void RecallInputs(QWidget& root, const TXMLRememberedType& remembered) {
    for (QLineEdit* edit : root.findChildren<QLineEdit*>()) {
        if (IsOwnInput(edit) && remembered.Has(KeyOf(edit).constData())) {
            edit->setText(remembered.Text(KeyOf(edit).constData()));
        }
    }
    for (QCheckBox* box : root.findChildren<QCheckBox*>()) {
        if (IsOwnInput(box) && remembered.Has(KeyOf(box).constData())) {
            box->setChecked(remembered.Int(KeyOf(box).constData(), 0) != 0);
        }
    }
    for (QComboBox* box : root.findChildren<QComboBox*>()) {
        const QByteArray key = KeyOf(box);
        const int index = IsOwnInput(box) && remembered.Has(key.constData())
                              ? box->findText(remembered.Text(key.constData()))
                              : -1;
        if (index >= 0) {
            box->setCurrentIndex(index);
        }
    }
    for (QDateEdit* edit : root.findChildren<QDateEdit*>()) {
        const QByteArray key = KeyOf(edit);
        const QDate date = IsOwnInput(edit) && remembered.Has(key.constData())
                               ? QDate::fromString(remembered.Text(key.constData()), Qt::ISODate)
                               : QDate();
        if (date.isValid()) {
            edit->setDate(date);
        }
    }
}

}  // namespace melodrix
