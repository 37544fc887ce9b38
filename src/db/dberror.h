#pragma once
#include <QString>
#include <stdexcept>

// A statement the database refused. Carries the driver's message, which the general
// error handler shows to the user as it is.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};
