#pragma once

#include <QString>

// Text helpers shared by both runs. A blank is U+0020 only; lengths count UTF-16 units.
QString LTrim(const QString& s);
QString RTrim(const QString& s);
QString AllTrim(const QString& s);
QString LeftStr(const QString& s, int n);
QString RightStr(const QString& s, int n);
QString Capitals(const QString& s);
QString WordInitials(const QString& s);
