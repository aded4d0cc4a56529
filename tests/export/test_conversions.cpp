// The small conversions of the export: whole numbers, slot times, the school year, the
// output path and the header's date.

#include "TestSupport.h"

#include "ExportFixture.h"
#include "export/ExportInternal.h"

#include <gtest/gtest.h>
#include <locale.h>

TEST(ExportConversions, WholeNumbers) {
    const struct {
        const char* text;
        std::optional<qint32> value;
    } cases[] = {
        {"12", 12},
        {"  12", 12},
        {"-30", -30},
        {"+5", 5},
        {"0", 0},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"-", std::nullopt},
        {"12 ", std::nullopt},
        {"1a", std::nullopt},
        {"\t1", std::nullopt},
        {"1.0", std::nullopt},
        {"2147483647", 2147483647},
        {"2147483648", std::nullopt},
        {"-2147483648", std::numeric_limits<qint32>::min()},
        {"99999999999999999999", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EnteroDecimal(QString::fromUtf8(c.text)), c.value) << c.text;
}

TEST(ExportConversions, SlotTimesInMinutes) {
    const struct {
        const char* text;
        std::optional<qint32> minutes;
    } cases[] = {
        {"08:30", 510}, {"8:30", 510}, {"09:25", 565},          {"16:45", 1005},
        {"", 0},        {"00:00", 0},  {"ab:cd", std::nullopt}, {"08:3x", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MinutosDesdeHora(QString::fromUtf8(c.text)), c.minutes) << c.text;
}

TEST(ExportConversions, SchoolYear) {
    EXPECT_EQ(AnnoEscolar(" 2018 "), "2018");
    EXPECT_EQ(AnnoEscolar("201701/09/201730/06/2018"), "2017");
    EXPECT_EQ(AnnoEscolar("\r\n\t 2019"), "2019");
    EXPECT_EQ(AnnoEscolar("17"), "17");
    EXPECT_EQ(AnnoEscolar(""), "");
}

TEST(ExportConversions, OutputBesideTheChosenFile) {
    EXPECT_EQ(RutaResultado("/home/u/TLTEMP/VELTRA/datos.xml"),
              "/home/u/TLTEMP/VELTRA/ResultadoTempolandatos.xml");
    EXPECT_EQ(RutaResultado("horario.xml"), "ResultadoTempolanhorario.xml");
#ifdef Q_OS_WIN
    EXPECT_EQ(RutaResultado("C:\\TLTEMP\\VELTRA\\datos.xml"),
              "C:\\TLTEMP\\VELTRA\\ResultadoTempolandatos.xml");
    EXPECT_EQ(RutaResultado("C:datos.xml"), "C:ResultadoTempolandatos.xml");
#endif
}

#ifndef Q_OS_WIN // Windows takes the formats from its regional settings: tests/windows
// The C library's formats for the regional settings in force, never Qt's own data and
// never a time zone; dd/MM/yyyy HH:mm:ss where no regional settings are set.
TEST(ExportConversions, HeaderDateInTheSystemsFormats) {
    const locale_t es = newlocale(LC_TIME_MASK, "es_ES.UTF-8", locale_t(0));
    ASSERT_NE(es, locale_t(0)) << "Falta la configuración regional es_ES.UTF-8: ejecute "
                                  "scripts/setup.sh";
    freelocale(es);
    const QDateTime t(QDate(2024, 3, 7), QTime(9, 5, 3), Qt::UTC);
    const QDateTime pm(QDate(2026, 12, 10), QTime(12, 15, 57), Qt::LocalTime);
    const struct {
        const char* locale;
        const QDateTime& moment;
        const char* fecha;
    } cases[] = {
        {"es_ES.UTF-8", t, "07/03/24 09:05:03"},
        {"es_ES.UTF-8", pm, "10/12/26 12:15:57"},
        {"C", t, "07/03/2024 09:05:03"},
        {"POSIX", pm, "10/12/2026 12:15:57"},
        {"C.UTF-8", t, "07/03/2024 09:05:03"},
        {"", t, "07/03/2024 09:05:03"},
        // Not installed: the C library would fall back to C.
        {"xx_XX.UTF-8", t, "07/03/2024 09:05:03"},
    };
    for (const auto& c : cases) {
        export_fixture::ScopedTimeLocale regional(c.locale);
        EXPECT_EQ(FechaDocumento(c.moment), QString::fromUtf8(c.fecha)) << c.locale;
    }
}

// LC_TIME alone decides when LC_ALL is not set, as for the C library.
TEST(ExportConversions, HeaderDateFollowsLcTime) {
    export_fixture::ScopedTimeLocale regional("");
    qunsetenv("LC_ALL");
    qputenv("LANG", "C");
    qputenv("LC_TIME", "es_ES.UTF-8");
    EXPECT_EQ(FechaDocumento(QDateTime(QDate(2024, 3, 7), QTime(9, 5, 3), Qt::UTC)),
              "07/03/24 09:05:03");
}
#endif
