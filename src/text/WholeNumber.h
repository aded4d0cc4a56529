#pragma once

#include <QStringView>
#include <optional>

// A whole number written in decimal: an optional sign and digits only, nothing around
// them, within 32 bits. The empty text is not a number.
std::optional<qint32> parseWholeNumber(QStringView text);
