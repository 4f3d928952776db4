#pragma once

#include <QDialog>

namespace melodrix {

inline const QString kWebAddress = QStringLiteral("https://melodrix.example.org/");
inline const QString kSupportMailAddress = QStringLiteral("support@melodrix.example.org");

// Opens the product web site or a mail to support with the desktop's programs; when
// none is associated nothing visible happens.
void OpenWebSite();
void OpenSupportMail();

// The About box.
class TFMAbout final : public QDialog {
    Q_OBJECT
public:
    explicit TFMAbout(QWidget* parent = nullptr);
};

}  // namespace melodrix
