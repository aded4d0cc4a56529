// The small conversions of the export: whole numbers, slot times, the school year, the
// output path and the header's date.

#include "TestSupport.h"

#include "export/ExportInternal.h"

#include <gtest/gtest.h>

using namespace exportacion;

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

TEST(ExportConversions, HeaderDateInTheUsersFormats) {
    const QDateTime t(QDate(2024, 3, 7), QTime(9, 5, 3), Qt::UTC);
    EXPECT_EQ(FechaDocumento(t, QLocale(QLocale::Spanish, QLocale::Spain)), "7/3/24 9:05:03 (UTC)");
    EXPECT_EQ(FechaDocumento(t, QLocale(QLocale::English, QLocale::UnitedStates)),
              "3/7/24 9:05:03 AM UTC");
}
