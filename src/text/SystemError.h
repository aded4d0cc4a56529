#pragma once

#include <QString>
#include <system_error>

// What the operating system said, in the words of our messages: a short Spanish phrase for
// the reason and the advice that fits it. The system's own text, when it has to be kept
// (a reason we have no phrase for), goes in brackets after ours.
namespace text {

// "no queda espacio en el disco", "error de entrada/salida del disco" ...
QString systemReason(const std::error_code& code);
// POSIX errno values (std::generic_category).
QString systemReason(int errnoValue);

// One sentence for the user to act on, or an empty text when there is nothing to advise:
// free space, check the disk or network drive, permissions, close other programs.
QString systemAdvice(const std::error_code& code);

// "reason. Advice" with the advice left out when there is none; no final full stop.
QString systemReasonAndAdvice(const std::error_code& code);

// A reason as the system words it (Qt's errorString() of a file) in ours, with the advice;
// a text that is no system reason comes back as it is.
QString inOurWords(const QString& systemText);

} // namespace text
