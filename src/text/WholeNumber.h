#pragma once

#include <QStringView>
#include <optional>

namespace text {

// A whole number written in decimal: an optional sign and digits only, nothing around
// them, within 32 bits. The empty text is not a number.
std::optional<qint32> parseWholeNumber(QStringView text);

// Whether a dBase integer field can hold the value: the field keeps its lowest value,
// -2147483648, to mark an empty field, so that value is refused wherever one is stored.
bool fitsIntegerField(qint32 value);

} // namespace text
