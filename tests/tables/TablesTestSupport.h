#pragma once

#include "TestSupport.h"
#include "tables/Table.h"
#include "text/RunError.h"

#include <QDate>
#include <QDir>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <tuple>

namespace tables_testing {

// The engine-written tables (tests/fixtures/dbase).
inline QString dbaseFixtures() {
    return testing_support::fixturesDir() + QStringLiteral("/dbase");
}

// The tables are part of the repository: a missing folder fails the test.
#define VT_REQUIRE_DBASE_FIXTURES(var)                                                             \
    const QString var = tables_testing::dbaseFixtures();                                           \
    ASSERT_TRUE(QDir(var).exists())                                                                \
        << "engine-written dBase fixtures missing: " << var.toStdString()

// The message of the RunError that fn throws; fails the test when it throws none.
inline QString errorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const RunError& e) {
        return e.message();
    }
    ADD_FAILURE() << "no RunError thrown";
    return {};
}

// A filter written as the old engine's expression, "PROF= 'value'" (a quote inside
// doubled): the tests and the table benchmarks state their filters that way. An empty
// expression clears the filter; a malformed one throws RunError naming the table.
inline void filterBy(tables::Table& t, const QString& expression) {
    const QString e = expression.trimmed();
    if (e.isEmpty()) {
        t.clearFilter();
        return;
    }
    const auto bad = [&] {
        return RunError(
            QStringLiteral("Filtro no válido en la tabla %1: %2").arg(t.name(), expression));
    };
    const qsizetype eq = e.indexOf(u'=');
    if (eq <= 0)
        throw bad();
    qsizetype i = eq + 1;
    while (i < e.size() && e[i] == u' ')
        ++i;
    if (i >= e.size() || e[i] != u'\'')
        throw bad();
    QString value;
    bool closed = false;
    for (++i; i < e.size(); ++i) {
        if (e[i] == u'\'') {
            if (i + 1 < e.size() && e[i + 1] == u'\'') {
                value += u'\'';
                ++i;
                continue;
            }
            closed = true;
            ++i;
            break;
        }
        value += e[i];
    }
    if (!closed || i != e.size())
        throw bad();
    t.setFilter(e.left(eq).trimmed(), value);
}

struct Descriptor {
    QByteArray name;
    char type;
    int length;
};

// A level-7 header built by hand from the layout of the engine's files: 68 bytes, one
// 48-byte descriptor per field, 0x0D.
inline QByteArray handHeader(const QList<Descriptor>& fields, QDate date, quint32 count,
                             const QByteArray& driver = "DBWINUS0") {
    QByteArray h(68, '\0');
    h[0] = 0x04;
    h[1] = char(date.year() - 1900);
    h[2] = char(date.month());
    h[3] = char(date.day());
    for (int i = 0; i < 4; ++i)
        h[4 + i] = char((count >> (8 * i)) & 0xFF);
    const int headerLength = 68 + 48 * int(fields.size()) + 1;
    int recordLength = 1;
    for (const Descriptor& f : fields)
        recordLength += f.length;
    h[8] = char(headerLength & 0xFF);
    h[9] = char(headerLength >> 8);
    h[10] = char(recordLength & 0xFF);
    h[11] = char(recordLength >> 8);
    h.replace(32, driver.size(), driver);
    for (const Descriptor& f : fields) {
        QByteArray d(48, '\0');
        d.replace(0, f.name.size(), f.name);
        d[32] = f.type;
        d[33] = char(f.length);
        h += d;
    }
    h += '\x0D';
    return h;
}

} // namespace tables_testing
