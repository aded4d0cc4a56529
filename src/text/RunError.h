#pragma once

#include <QString>
#include <exception>

// An error that ends the current run, thrown from any layer (the table store and the
// document included), hence kept here at the bottom. Its text is what the user sees in the
// application's error report (a message box, or standard error in the batch tool).
class RunError : public std::exception {
public:
    explicit RunError(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}
    const QString& message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};
