#include "text/Clipper.h"

namespace {
constexpr QChar kBlank = QChar(u' ');
}

QString LTrim(const QString& s) {
    qsizetype i = 0;
    while (i < s.size() && s.at(i) == kBlank)
        ++i;
    return s.mid(i);
}

QString RTrim(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == kBlank)
        --n;
    return s.left(n);
}

QString AllTrim(const QString& s) {
    return LTrim(RTrim(s));
}

QString LeftStr(const QString& s, int n) {
    if (s.size() > n)
        return n <= 0 ? QString() : s.left(n);
    return s;
}

QString RightStr(const QString& s, int n) {
    if (s.size() > n)
        return n <= 0 ? QString() : s.right(n);
    return s;
}

QString Capitals(const QString& s) {
    QString out;
    for (QChar c : s) {
        if (c.unicode() >= u'A' && c.unicode() <= u'Z')
            out += c;
    }
    return out;
}

QString WordInitials(const QString& s) {
    QString out;
    for (qsizetype i = 0; i + 1 < s.size(); ++i) {
        if (s.at(i) == kBlank)
            out += s.at(i + 1);
    }
    return out;
}
