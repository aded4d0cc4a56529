#include "import/TakenCodes.h"

#include "text/RunError.h"

#include <QChar>
#include <QList>

QString TakenCodes::key(const QString& code) {
    QList<uint> points = code.toUcs4();
    for (uint& c : points)
        c = QChar::toUpper(c);
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(points.constData()), points.size());
}

// Candidates already tried stay taken (codes are only ever added), so the search for a
// base may resume where the previous search for the same base stopped.
QString TakenCodes::claimNumbered(const QString& base) {
    const QString baseKey = key(base);
    if (!keys_.contains(baseKey)) {
        keys_.insert(baseKey);
        return base;
    }
    qint64 n = nextNumber_.value(baseKey, 1);
    while (keys_.contains(baseKey + QString::number(n)))
        ++n;
    keys_.insert(baseKey + QString::number(n));
    nextNumber_.insert(baseKey, n + 1);
    return base + QString::number(n);
}

QString TakenCodes::claimLettered(const QString& prefix) {
    const QString prefixKey = key(prefix);
    for (char32_t c = nextLetter_.value(prefixKey, U'A'); c <= 0xFFFF; ++c) {
        if (QChar::isSurrogate(c))
            continue;
        const QString letter(QChar(static_cast<char16_t>(c)));
        if (!keys_.contains(prefixKey + key(letter))) {
            keys_.insert(prefixKey + key(letter));
            nextLetter_.insert(prefixKey, c + 1);
            return prefix + letter;
        }
    }
    throw RunError(
        QStringLiteral("No queda ninguna letra libre para el grupo %1 en GRUPOST").arg(prefix));
}
