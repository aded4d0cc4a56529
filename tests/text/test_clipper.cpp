#include "text/Clipper.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* name;
    QString (*fn)(const QString&);
    QString in;
    QString out;
};

TEST(Clipper, OneArgumentHelpers) {
    const QString tab = QStringLiteral("\tABC");
    const Case cases[] = {
        {"ltrim empty", LTrim, "", ""},
        {"rtrim empty", RTrim, "", ""},
        {"alltrim empty", AllTrim, "", ""},
        {"capitals empty", Capitals, "", ""},
        {"initials empty", WordInitials, "", ""},
        {"ltrim blanks only", LTrim, "   ", ""},
        {"rtrim blanks only", RTrim, "   ", ""},
        {"alltrim blanks only", AllTrim, "   ", ""},
        {"ltrim keeps trailing", LTrim, "  A B ", "A B "},
        {"rtrim keeps leading", RTrim, "  A B ", "  A B"},
        {"alltrim keeps inner", AllTrim, "  ABC ", "ABC"},
        {"alltrim inner blanks", AllTrim, " A  B ", "A  B"},
        {"alltrim leaves tab", AllTrim, tab, tab},
        {"alltrim leaves nbsp", AllTrim, QString(QChar(0xA0)) + "A", QString(QChar(0xA0)) + "A"},
        {"capitals", Capitals, QStringLiteral("Educación Física"), "EF"},
        {"capitals accented", Capitals, QStringLiteral("Ética"), ""},
        {"capitals ordinal", Capitals, QStringLiteral("ESO 1º"), "ESO"},
        {"initials", WordInitials, "Lengua Castellana y Literatura", "CyL"},
        {"initials one word", WordInitials, "Lengua", ""},
        {"initials double blank", WordInitials, "A  B", " B"},
        {"initials trailing blank", WordInitials, "A ", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.fn(c.in), c.out) << c.name;
}

TEST(Clipper, LeftAndRight) {
    const struct {
        QString s;
        int n;
        QString left, right;
    } cases[] = {
        {"ABC", 3, "ABC", "ABC"}, {"ABC", 5, "ABC", "ABC"}, {"ABC", 2, "AB", "BC"},
        {"ABC", 0, "", ""},       {"ABC", -1, "", ""},      {"", 2, "", ""},
        {"", -2, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LeftStr(c.s, c.n), c.left) << c.s.toStdString() << " " << c.n;
        EXPECT_EQ(RightStr(c.s, c.n), c.right) << c.s.toStdString() << " " << c.n;
    }
}

} // namespace
