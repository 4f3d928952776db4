#pragma once

#include <QString>
#include <stdexcept>

namespace melodrix {

// A failure the engine reports to its caller; the message is readable by a user.
class TMelodrixError : public std::runtime_error {
public:
    explicit TMelodrixError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& Message() const { return message_; }

private:
    QString message_;
};

// A catalog file that cannot be read or is not a well-formed catalog.
class TCatalogFileError : public TMelodrixError {
public:
    using TMelodrixError::TMelodrixError;
};

// The user cancelled the operation (at a point where nothing had been changed yet).
class TCancelledError : public TMelodrixError {
public:
    using TMelodrixError::TMelodrixError;
};

}  // namespace melodrix
