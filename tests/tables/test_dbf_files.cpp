// The file layout: reading the engine's own tables, writing tables laid out like them, and
// refusing damaged files with a message instead of a crash.
#include "TablesTestSupport.h"
#include "tables/Cp1252.h"

#include <QFile>

using namespace tables;
using namespace tables_testing;
using testing_support::readFile;
using testing_support::writeFile;
namespace detail_cp1252 = tables::cp1252;

namespace {

QString copyFixture(const QString& fixtures, const QString& file, const QString& folder,
                    const QString& as) {
    const QString target = folder + u'/' + as;
    writeFile(target, readFile(fixtures + u'/' + file));
    QFile(target).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    return target;
}

quint32 recordCountOf(const QByteArray& file) {
    return quint32(quint8(file[4])) | quint32(quint8(file[5])) << 8 |
           quint32(quint8(file[6])) << 16 | quint32(quint8(file[7])) << 24;
}

} // namespace

TEST(DbfFixtures, EngineTablesReadWithTheirValues) {
    VT_REQUIRE_DBASE_FIXTURES(dir);
    struct Expect {
        const char* file;
        int row; // 0-based
        const char* field;
        const char* text;
    };
    const Expect cases[] = {
        {"level7_sales.dbf", 0, "PC_DL", "392049"},
        {"level7_sales.dbf", 0, "PC_FAKT", ""},
        {"level7_sales.dbf", 0, "KOD_ZBO_CE", "32546"},
        {"level7_sales.dbf", 0, "SARZE", "52239"},
        {"level7_sales.dbf", 0, "KOD_DPH", "14"},
        {"level7_sales.dbf", 0, "EXP", "20130430"},
        {"level7_sales.dbf", 0, "POCET_VYD", "1"},
        {"level7_sales.dbf", 0, "CENA_P", "180.6"},
        {"level7_sales.dbf", 0, "CENA_K", "205.88"},
        {"level7_sales.dbf", 1, "POCET_VYD", "2"},
        {"level7_sales.dbf", 1, "CENA_P", "136.74"},
        {"level7_sales_no_eof.dbf", 0, "PC_DL", "392049"},
        {"level7_sales_no_eof.dbf", 1, "CENA_P", "136.74"},
        {"level7_products.dbf", 0, "KOD_UA", ""},
        {"level7_products.dbf", 0, "CENA_V", "0"},
        {"level7_products.dbf", 0, "KOD_ZBO_CE", "32546"},
        {"level7_products.dbf", 0, "KOD_PRI", "169886"},
        {"level5_products.dbf", 0, "KOD_ZBO_CE", "35656"},
        {"level5_products.dbf", 0, "CENA_V", "0.00"},
        {"level5_products.dbf", 0, "KOD_PRI", "25686"},
    };
    for (const Expect& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.field);
        Table t;
        t.open(dir, QString::fromLatin1(c.file));
        for (int i = 0; i < c.row; ++i)
            t.next();
        EXPECT_EQ(t.text(QString::fromLatin1(c.field)), QString::fromLatin1(c.text));
    }
}

TEST(DbfFixtures, NumbersReadAsNumbersAndRowsCount) {
    VT_REQUIRE_DBASE_FIXTURES(dir);
    Table sales;
    sales.open(dir, QStringLiteral("LEVEL7_SALES")); // other letter case, no extension
    EXPECT_EQ(sales.rowCount(), 26);
    EXPECT_EQ(sales.integer(QStringLiteral("pc_dl")), 392049);
    EXPECT_EQ(sales.integer(QStringLiteral("KOD_DPH")), 14); // N field, parsed from its text
    EXPECT_DOUBLE_EQ(sales.real(QStringLiteral("CENA_K")), 205.88);
    EXPECT_TRUE(sales.isNull(QStringLiteral("PC_FAKT")));
    EXPECT_FALSE(sales.isNull(QStringLiteral("PC_DL")));
    EXPECT_TRUE(errorOf([&] {
                    sales.integer(QStringLiteral("PC_FAKT"));
                }).contains(QStringLiteral("PC_FAKT")));
    int rows = 0;
    for (sales.first(); !sales.atEnd(); sales.next())
        ++rows;
    EXPECT_EQ(rows, 26);

    Table products;
    products.open(dir, QStringLiteral("level5_products.DBF"));
    EXPECT_EQ(products.rowCount(), 16);
    EXPECT_EQ(products.integer(QStringLiteral("KOD_ZBO_CE")), 35656);
    EXPECT_DOUBLE_EQ(products.real(QStringLiteral("CENA_V")), 0.0);
    EXPECT_EQ(products.text(QStringLiteral("RECEPT")), QStringLiteral("F"));
    EXPECT_FALSE(products.boolean(QStringLiteral("RECEPT")));
    const QList<FieldDef> fields = products.fields();
    ASSERT_EQ(fields.size(), 33);
    EXPECT_EQ(fields[3].name, QStringLiteral("NAZEV"));
    EXPECT_EQ(fields[3].type, FieldType::Text);
    EXPECT_EQ(fields[3].width, 54);
    EXPECT_EQ(fields[1].type, FieldType::Float);   // N 15.2
    EXPECT_EQ(fields[0].type, FieldType::Integer); // N 11.0
}

TEST(DbfFixtures, HandBuiltHeaderMatchesTheEngine) {
    VT_REQUIRE_DBASE_FIXTURES(dir);
    // The field list the fixture's description gives; if the hand-built header equals the
    // engine's bytes, the rules it follows are the engine's.
    const QList<Descriptor> fields = {
        {"PC_DL", 'I', 4},      {"PC_FAKT", 'I', 4}, {"DATUMF", 'D', 8},
        {"DATUM_SPL", 'D', 8},  {"DATUMZP", 'D', 8}, {"KOD_ZBO_CE", 'I', 4},
        {"SARZE", 'C', 10},     {"KOD_DPH", 'N', 6}, {"EXP", 'D', 8},
        {"POCET_VYD", 'I', 4},  {"CENA_P", 'O', 8},  {"CENA_K", 'O', 8},
        {"CENA_ODDO", 'O', 8},  {"SLEVA", 'O', 8},   {"SLEVA_IND", 'O', 8},
        {"SLEVA_ODDO", 'O', 8}, {"RABAT", 'C', 1},
    };
    const QByteArray engine = readFile(dir + QStringLiteral("/level7_sales.dbf"));
    const QByteArray hand = handHeader(fields, QDate(2012, 4, 17), 26);
    ASSERT_EQ(hand.size(), 885);
    EXPECT_EQ(engine.left(hand.size()).toHex(), hand.toHex());
    EXPECT_EQ(engine.right(1), QByteArray("\x1A"));
}

TEST(DbfLayout, WrittenTableHasTheEngineLayout) {
    QTemporaryDir tmp;
    const QList<FieldDef> defs = {
        {QStringLiteral("X_NIVCONPAGLEG"), FieldType::Text, 12},
        {QStringLiteral("A_FIELD_NAME_OF_THIRTY_ONE_CHRS"), FieldType::Integer, 0},
        {QStringLiteral("PRECIO"), FieldType::Float, 0},
        {QStringLiteral("ACTIVO"), FieldType::Boolean, 0},
    };
    CreateTable(tmp.path(), QStringLiteral("NUEVA"), defs);
    const QByteArray file = readFile(tmp.path() + QStringLiteral("/NUEVA.DBF"));
    ASSERT_GT(file.size(), 4);
    const QDate stamped(1900 + quint8(file[1]), quint8(file[2]), quint8(file[3]));
    EXPECT_LE(std::abs(stamped.daysTo(QDate::currentDate())), 1);
    const QByteArray expected = handHeader({{"X_NIVCONPAGLEG", 'C', 12},
                                            {"A_FIELD_NAME_OF_THIRTY_ONE_CHRS", 'I', 4},
                                            {"PRECIO", 'O', 8},
                                            {"ACTIVO", 'L', 1}},
                                           stamped, 0) +
                                "\x1A";
    EXPECT_EQ(file.toHex(), expected.toHex());
    EXPECT_FALSE(QFile::exists(tmp.path() + QStringLiteral("/NUEVA.MDX")));

    // One row: blank deletion flag, then the fields; the record count follows it.
    Table t;
    t.open(tmp.path(), QStringLiteral("nueva"));
    t.append();
    t.setText(QStringLiteral("X_NIVCONPAGLEG"), QStringLiteral("ESO"));
    t.setInt(QStringLiteral("A_FIELD_NAME_OF_THIRTY_ONE_CHRS"), 1);
    t.setFloat(QStringLiteral("PRECIO"), 180.6);
    t.setBool(QStringLiteral("ACTIVO"), true);
    t.post();
    const QByteArray after = readFile(tmp.path() + QStringLiteral("/NUEVA.DBF"));
    EXPECT_EQ(recordCountOf(after), 1u);
    const QByteArray record = QByteArray(" ESO         ") + QByteArray::fromHex("80000001") +
                              QByteArray::fromHex("c066933333333333") + "T";
    EXPECT_EQ(after.mid(expected.size() - 1).toHex(), (record + "\x1A").toHex());
}

TEST(DbfLayout, LongAndDoubleEncodings) {
    QTemporaryDir tmp;
    CreateTable(
        tmp.path(), QStringLiteral("NUM"),
        {{QStringLiteral("N"), FieldType::Integer, 0}, {QStringLiteral("D"), FieldType::Float, 0}});
    struct Case {
        qint32 n;
        double d;
        const char* bytes; // hex of both fields
    };
    const Case cases[] = {
        {0, 0.0,
         "80000000"
         "8000000000000000"},
        {1, 1.0,
         "80000001"
         "bff0000000000000"},
        {-1, -1.0,
         "7fffffff"
         "400fffffffffffff"},
        {2147483647, -2.5,
         "ffffffff"
         "3ffbffffffffffff"},
        {-2147483647, 136.74,
         "00000001"
         "c06117ae147ae148"},
    };
    Table t;
    t.open(tmp.path(), QStringLiteral("NUM"));
    for (const Case& c : cases) {
        t.append();
        t.setInt(QStringLiteral("N"), c.n);
        t.setFloat(QStringLiteral("D"), c.d);
    }
    t.close();
    const QByteArray file = readFile(tmp.path() + QStringLiteral("/NUM.DBF"));
    const int headerLength = 68 + 2 * 48 + 1;
    int i = 0;
    t.open(tmp.path(), QStringLiteral("NUM"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(file.mid(headerLength + 13 * i + 1, 12).toHex(), QByteArray(c.bytes));
        EXPECT_EQ(t.integer(QStringLiteral("N")), c.n);
        EXPECT_EQ(t.real(QStringLiteral("D")), c.d);
        t.next();
        ++i;
    }
}

TEST(DbfFixtures, AppendingToOtherLevelsAndFilesWithoutEndByte) {
    VT_REQUIRE_DBASE_FIXTURES(dir);
    QTemporaryDir tmp;
    const QString noEof = copyFixture(dir, QStringLiteral("level7_sales_no_eof.dbf"), tmp.path(),
                                      QStringLiteral("SALES.DBF"));
    const QString level5 = copyFixture(dir, QStringLiteral("level5_products.dbf"), tmp.path(),
                                       QStringLiteral("PRODUCTS.DBF"));
    {
        Table t;
        t.open(tmp.path(), QStringLiteral("SALES"), OpenMode::Exclusive);
        t.append();
        t.setText(QStringLiteral("SARZE"), QStringLiteral("NUEVA"));
        t.setText(QStringLiteral("KOD_DPH"), QStringLiteral("21"));
        t.setInt(QStringLiteral("PC_DL"), 7);
        t.setText(QStringLiteral("EXP"), QStringLiteral("20240131"));
        t.close();
        Table p;
        p.open(tmp.path(), QStringLiteral("PRODUCTS"));
        p.append();
        p.setFloat(QStringLiteral("CENA_V"), 12.5);
        p.setInt(QStringLiteral("KOD_ZBO_CE"), 99);
        p.setBool(QStringLiteral("RECEPT"), true);
        p.setText(QStringLiteral("NAZEV"), QStringLiteral("Producto"));
    } // closing posts the pending row
    const QByteArray sales = readFile(noEof);
    EXPECT_EQ(recordCountOf(sales), 27u);
    EXPECT_EQ(sales.size(), 885 + 27 * 114 + 1);
    EXPECT_EQ(sales.right(1), QByteArray("\x1A"));
    EXPECT_EQ(sales.mid(32, 8), QByteArray("DB867CZ0")); // the table's own header is kept
    EXPECT_EQ(readFile(level5).mid(0, 1), QByteArray("\x03"));

    Table t;
    t.open(tmp.path(), QStringLiteral("SALES"));
    ASSERT_TRUE(t.locate(QStringLiteral("SARZE"), {QStringLiteral("NUEVA")}));
    EXPECT_EQ(t.text(QStringLiteral("KOD_DPH")), QStringLiteral("21"));
    EXPECT_EQ(t.integer(QStringLiteral("PC_DL")), 7);
    EXPECT_EQ(t.text(QStringLiteral("EXP")), QStringLiteral("20240131"));
    EXPECT_TRUE(t.isNull(QStringLiteral("CENA_P")));
    t.next();
    EXPECT_TRUE(t.atEnd());

    Table p;
    p.open(tmp.path(), QStringLiteral("PRODUCTS"));
    EXPECT_EQ(p.rowCount(), 17);
    ASSERT_TRUE(p.locate(QStringLiteral("KOD_ZBO_CE"), {QStringLiteral("99")}));
    EXPECT_EQ(p.text(QStringLiteral("CENA_V")), QStringLiteral("12.50"));
    EXPECT_EQ(p.text(QStringLiteral("NAZEV")), QStringLiteral("Producto"));
    EXPECT_TRUE(p.boolean(QStringLiteral("RECEPT")));
    EXPECT_TRUE(p.isNull(QStringLiteral("KOD_UA")));
}

namespace {

// A small valid level-7 table: C 5, I, two rows ("uno", 1) and ("dos", 2).
QByteArray smallTable() {
    QByteArray f = handHeader({{"NOMBRE", 'C', 5}, {"NUM", 'I', 4}}, QDate(2024, 1, 1), 2);
    f += QByteArray(" uno  ") + QByteArray::fromHex("80000001");
    f += QByteArray(" dos  ") + QByteArray::fromHex("80000002");
    f += "\x1A";
    return f;
}

constexpr int kSmallHeader = 68 + 2 * 48 + 1;

} // namespace

TEST(DbfFiles, DeletedRowsAndNulPaddedTextAreRead) {
    QTemporaryDir tmp;
    QByteArray f = smallTable();
    f[kSmallHeader] = '*';                                      // first row deleted
    f.replace(kSmallHeader + 11 + 4, 2, QByteArray("\0\0", 2)); // "dos" padded with NULs
    writeFile(tmp.path() + QStringLiteral("/T.DBF"), f);
    Table t;
    t.open(tmp.path(), QStringLiteral("T"));
    EXPECT_EQ(t.rowCount(), 1);
    EXPECT_EQ(t.text(QStringLiteral("NOMBRE")), QStringLiteral("dos"));
    EXPECT_TRUE(t.locate(QStringLiteral("NOMBRE"), {QStringLiteral("dos")}));
    EXPECT_FALSE(t.locate(QStringLiteral("NOMBRE"), {QStringLiteral("uno")}));
    // Editing and appending keep the deleted row where it is.
    t.edit();
    t.setInt(QStringLiteral("NUM"), 20);
    t.append();
    t.setText(QStringLiteral("NOMBRE"), QStringLiteral("tres"));
    t.close();
    const QByteArray after = readFile(tmp.path() + QStringLiteral("/T.DBF"));
    EXPECT_EQ(recordCountOf(after), 3u);
    EXPECT_EQ(after.mid(kSmallHeader, 1), QByteArray("*"));
    t.open(tmp.path(), QStringLiteral("T"));
    EXPECT_EQ(t.rowCount(), 2);
    EXPECT_EQ(t.integer(QStringLiteral("NUM")), 20);
}

TEST(DbfFiles, DamagedFilesAreRefusedWithTheirName) {
    struct Case {
        const char* what;
        std::function<void(QByteArray&)> damage;
        const char* says;
    };
    auto put16 = [](QByteArray& f, int at, int v) {
        f[at] = char(v & 0xFF);
        f[at + 1] = char(v >> 8);
    };
    const Case cases[] = {
        {"empty file", [](QByteArray& f) { f.clear(); }, "truncado"},
        {"cut inside the header", [](QByteArray& f) { f.truncate(40); }, "truncado"},
        {"cut inside the records", [](QByteArray& f) { f.truncate(kSmallHeader + 14); },
         "número de registros"},
        {"record count too large", [](QByteArray& f) { f[4] = char(200); }, "número de registros"},
        {"record count beyond 32 bits of file", [](QByteArray& f) { f[7] = char(0xFF); },
         "número de registros"},
        {"header length beyond the file", [&](QByteArray& f) { put16(f, 8, 0xFFFF); }, "cabecera"},
        {"header length too small", [&](QByteArray& f) { put16(f, 8, 10); }, "cabecera"},
        {"record length shorter than the fields", [&](QByteArray& f) { put16(f, 10, 3); },
         "longitud de registro"},
        {"integer field of the wrong length", [](QByteArray& f) { f[68 + 48 + 33] = 9; },
         "longitud no válida"},
        {"unknown version", [](QByteArray& f) { f[0] = 0x02; }, "versión"},
        {"no fields", [](QByteArray& f) { f[68] = 0x0D; }, "no tiene campos"},
        {"descriptor cut by the header length", [&](QByteArray& f) { put16(f, 8, 68 + 48 + 20); },
         "cortada"},
    };
    QTemporaryDir tmp;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray f = smallTable();
        c.damage(f);
        const QString path = tmp.path() + QStringLiteral("/DANADA.DBF");
        writeFile(path, f);
        Table t;
        const QString message = errorOf([&] { t.open(tmp.path(), QStringLiteral("DANADA")); });
        EXPECT_TRUE(message.contains(QStringLiteral("DANADA.DBF"))) << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.says))) << message.toStdString();
        EXPECT_FALSE(t.isOpen());
    }
}

// Tables written by other programs may hold fields of types this store does not handle.
// They are read for the fields it does handle; a foreign field fails only when used.
TEST(DbfFiles, FieldsOfOtherTypesAreSkippedUntilUsed) {
    struct Case {
        char type;
        int length;
    };
    const Case cases[] = {{'@', 8}, {'M', 10}, {'B', 10}, {'G', 4}, {'0', 1}, {'X', 3}};
    QTemporaryDir tmp;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, c.type));
        QByteArray f = handHeader({{"NOMBRE", 'C', 5}, {"RARO", c.type, c.length}, {"NUM", 'I', 4}},
                                  QDate(2024, 1, 1), 2);
        f += QByteArray(" uno  ") + QByteArray(c.length, '\x01') + QByteArray::fromHex("80000001");
        f += QByteArray(" dos  ") + QByteArray(c.length, '\x02') + QByteArray::fromHex("80000002");
        f += "\x1A";
        writeFile(tmp.path() + QStringLiteral("/OTRA.DBF"), f);

        Table t;
        t.open(tmp.path(), QStringLiteral("OTRA"));
        EXPECT_EQ(t.rowCount(), 2);
        EXPECT_EQ(t.storedFields().at(1).type, c.type);
        // The foreign field's bytes count: the fields after it read right.
        EXPECT_TRUE(t.locate(QStringLiteral("NUM"), {QStringLiteral("2")}));
        EXPECT_EQ(t.text(QStringLiteral("NOMBRE")), QStringLiteral("dos"));
        EXPECT_EQ(t.integer(QStringLiteral("NUM")), 2);

        const std::function<void()> uses[] = {
            [&] { t.text(QStringLiteral("RARO")); },
            [&] { t.integer(QStringLiteral("RARO")); },
            [&] { t.real(QStringLiteral("RARO")); },
            [&] { t.isNull(QStringLiteral("RARO")); },
            [&] { t.locate(QStringLiteral("RARO"), {QStringLiteral("x")}); },
            [&] { filterBy(t, QStringLiteral("RARO= 'x'")); },
            [&] { t.append(); },
            [&] { t.edit(); },
        };
        for (const auto& use : uses) {
            const QString message = errorOf(use);
            EXPECT_TRUE(message.contains(QStringLiteral("OTRA"))) << message.toStdString();
            EXPECT_TRUE(message.contains(QStringLiteral("RARO"))) << message.toStdString();
        }
        EXPECT_FALSE(t.isEditing());
        // Also with no current row to read from.
        filterBy(t, QStringLiteral("NOMBRE= 'nadie'"));
        EXPECT_TRUE(errorOf([&] { t.text(QStringLiteral("RARO")); }).contains("RARO"));
        t.close();
        EXPECT_EQ(readFile(tmp.path() + QStringLiteral("/OTRA.DBF")), f); // left as it was
    }
}

TEST(DbfFiles, MissingTableIsNamed) {
    QTemporaryDir tmp;
    Table t;
    const QString message = errorOf([&] { t.open(tmp.path(), QStringLiteral("PROFT")); });
    EXPECT_TRUE(message.contains(QStringLiteral("PROFT"))) << message.toStdString();
}

TEST(DbfText, Windows1252BytesReadBackUnchanged) {
    for (int b = 0; b < 256; ++b) {
        const char byte = char(b);
        EXPECT_EQ(detail_cp1252::encode(detail_cp1252::decode(&byte, 1)), QByteArray(1, byte)) << b;
    }
    const char sample[] = "\x80\x8A\x9F\xA0\xF1";
    EXPECT_EQ(detail_cp1252::decode(sample, 5), QString::fromUtf8("€ŠŸ\u00A0ñ"));
    EXPECT_EQ(detail_cp1252::encode(u"\u0100\u20AC\U0001F600x"), QByteArray("?\x80?x"));
}

// A text as stored and read back: every character from U+0000 to U+0200, alone and beside
// others, comes back as a table gives it, whether the string or a view of it is passed.
TEST(DbfText, TextAsStoredIsWhatATableGivesBack) {
    for (char16_t u = 0; u <= 0x200; ++u) {
        for (const QString& text : {QString(QChar(u)), QStringLiteral("a") + QChar(u) + u'z'}) {
            const QString stored = detail_cp1252::decode(detail_cp1252::encode(text).constData(),
                                                         detail_cp1252::encode(text).size());
            EXPECT_EQ(detail_cp1252::asStored(text), stored) << int(u);
            EXPECT_EQ(detail_cp1252::asStored(QStringView(text)), stored) << int(u);
        }
    }
    EXPECT_EQ(detail_cp1252::asStored(QString::fromUtf8("Año €\U0001F600")),
              QString::fromUtf8("Año €?"));
    EXPECT_EQ(detail_cp1252::asStored(QString()), QString());
}

TEST(DbfFiles, AutoincrementAndNumericFieldsOfOtherWriters) {
    QTemporaryDir tmp;
    QByteArray f =
        handHeader({{"ID", '+', 4}, {"IMPORTE", 'N', 8}, {"TASA", 'F', 6}}, QDate(2024, 1, 1), 1);
    f[68 + 48 + 34] = 2;   // IMPORTE: two decimals
    f[68 + 96 + 34] = 3;   // TASA: three decimals
    f[68 + 40] = char(10); // next ID to hand out
    f += QByteArray(" ") + QByteArray::fromHex("80000009") + "   -1.50" + " 0.125";
    writeFile(tmp.path() + QStringLiteral("/AUTO.DBF"), f); // no end byte
    {
        Table t;
        t.open(tmp.path(), QStringLiteral("AUTO"));
        EXPECT_EQ(t.integer(QStringLiteral("ID")), 9);
        EXPECT_EQ(t.text(QStringLiteral("IMPORTE")), QStringLiteral("-1.50"));
        EXPECT_EQ(t.real(QStringLiteral("TASA")), 0.125);
        EXPECT_TRUE(t.locate(QStringLiteral("IMPORTE"), {QStringLiteral("-1.5")}));
        EXPECT_FALSE(errorOf([&] { t.integer(QStringLiteral("IMPORTE")); }).isEmpty());
        for (int i = 0; i < 2; ++i) {
            t.append();
            t.setText(QStringLiteral("IMPORTE"), QStringLiteral("12.345"));
            t.setFloat(QStringLiteral("TASA"), 2);
            EXPECT_FALSE(errorOf([&] { t.setInt(QStringLiteral("ID"), 1); }).isEmpty());
            EXPECT_FALSE(errorOf([&] {
                             t.setText(QStringLiteral("IMPORTE"), QStringLiteral("1e9"));
                         }).isEmpty()); // does not fit in 8 characters
        }
    }
    const QByteArray after = readFile(tmp.path() + QStringLiteral("/AUTO.DBF"));
    EXPECT_EQ(quint8(after[68 + 40]), 12); // the next number moved on with the rows
    Table t;
    t.open(tmp.path(), QStringLiteral("AUTO"));
    QStringList seen;
    for (t.first(); !t.atEnd(); t.next())
        seen << t.text(QStringLiteral("ID")) + u'/' + t.text(QStringLiteral("IMPORTE")) + u'/' +
                    t.text(QStringLiteral("TASA"));
    EXPECT_EQ(seen, (QStringList{"9/-1.50/0.125", "10/12.35/2.000", "11/12.35/2.000"}));
}
