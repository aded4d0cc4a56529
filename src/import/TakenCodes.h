#pragma once

#include <QHash>
#include <QSet>
#include <QString>

// The codes one import step has handed out, compared without regard to letter case
// (accented letters included: Á and á are the same code). Lookups are by hash, and each
// base remembers how far its search got, so handing out n codes of one base costs about
// n lookups in all, with the same result as trying every candidate from the start.
class TakenCodes {
public:
    bool contains(const QString& code) const { return keys_.contains(key(code)); }
    void add(const QString& code) { keys_.insert(key(code)); }

    // base if free, otherwise base followed by 1, 2, 3, ... (the first free one); the
    // code returned is added.
    QString claimNumbered(const QString& base);

    // prefix followed by A if free, otherwise by B, C, ... and, after Z, by the next
    // characters in code order; the code returned is added.
    QString claimLettered(const QString& prefix);

    // Every letter upper-cased, character by character.
    static QString key(const QString& code);

private:
    QSet<QString> keys_;
    // Per base key: the first candidate not yet known to be taken.
    QHash<QString, qint64> nextNumber_;
    QHash<QString, char32_t> nextLetter_;
};
