#include "text/WholeNumber.h"

#include <limits>

namespace text {

std::optional<qint32> parseWholeNumber(QStringView text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > qint64(1) << 31)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > 2147483647 || value < -2147483648LL)
        return std::nullopt;
    return static_cast<qint32>(value);
}

bool fitsIntegerField(qint32 value) {
    return value != std::numeric_limits<qint32>::min();
}

} // namespace text
