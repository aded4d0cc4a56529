#include "import/TakenCodes.h"

#include "TestSupport.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

// The rules written out plainly: try every candidate from the start against the list.
struct PlainList {
    QStringList codes;
    bool has(const QString& c) const { return codes.contains(c, Qt::CaseInsensitive); }
    QString numbered(const QString& base) {
        QString code = base;
        for (int n = 1; has(code); ++n)
            code = base + QString::number(n);
        codes << code;
        return code;
    }
    QString lettered(const QString& prefix) {
        QString code = prefix + QLatin1Char('A');
        for (char16_t c = 'A'; has(code); ++c)
            code = prefix + QChar(c);
        codes << code;
        return code;
    }
};

TEST(TakenCodes, CaseKey) {
    EXPECT_EQ(TakenCodes::key(QStringLiteral("jgp1")), QStringLiteral("JGP1"));
    EXPECT_EQ(TakenCodes::key(QStringLiteral("áéíóúñü")), QStringLiteral("ÁÉÍÓÚÑÜ"));
    EXPECT_EQ(TakenCodes::key(QStringLiteral("ß")), QStringLiteral("ß")); // length kept
    TakenCodes t;
    t.add(QStringLiteral("Ñu"));
    EXPECT_TRUE(t.contains(QStringLiteral("ñU")));
    EXPECT_FALSE(t.contains(QStringLiteral("Nu")));
}

// Resuming each base's search where it stopped must give what a search from the start
// gives, also when bases overlap (JG + 1 against JG1) and differ only in case.
TEST(TakenCodes, SameCodesAsATryFromTheStart) {
    const QStringList bases{"", "1", "J", "j", "JG", "jg", "JG1", "Jg1", "JG11", "Á", "á", "2"};
    QRandomGenerator random(20240307);
    TakenCodes fast;
    PlainList plain;
    for (int i = 0; i < 800; ++i) {
        const QString base = bases.at(random.bounded(int(bases.size())));
        if (random.bounded(2) == 0)
            ASSERT_EQ(fast.claimNumbered(base), plain.numbered(base)) << i;
        else
            ASSERT_EQ(fast.claimLettered(base), plain.lettered(base)) << i;
    }
}

} // namespace
