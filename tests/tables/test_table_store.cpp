// What the import and export runs rely on: editing states, conversions, navigation,
// locate, filter, and rows that reach the disk as they are posted.
#include "TablesTestSupport.h"
#include "tables/TableIo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <optional>

using namespace tables;
using namespace tables_testing;
using testing_support::readFile;
using testing_support::writeFile;

namespace {

const QString kNotEditing = QStringLiteral("Dataset not in edit or insert mode");

class TableStore : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString folder() const { return tmp.path(); }

    // PROFT-like: NOMBRE C 10, ABREV C 5, HORAS I, PESO O, ACTIVO L.
    void createProfs() {
        CreateTable(folder(), QStringLiteral("PROFT"),
                    {{QStringLiteral("NOMBRE"), FieldType::Text, 10},
                     {QStringLiteral("ABREV"), FieldType::Text, 5},
                     {QStringLiteral("HORAS"), FieldType::Integer, 0},
                     {QStringLiteral("PESO"), FieldType::Float, 0},
                     {QStringLiteral("ACTIVO"), FieldType::Boolean, 0}});
    }

    void addProf(Table& t, const QString& nombre, const QString& abrev, qint32 horas) {
        t.append();
        t.setText(QStringLiteral("NOMBRE"), nombre);
        t.setText(QStringLiteral("ABREV"), abrev);
        t.setInt(QStringLiteral("HORAS"), horas);
        t.post();
    }

    QStringList names(Table& t, const QString& field = QStringLiteral("NOMBRE")) {
        QStringList out;
        for (t.first(); !t.atEnd(); t.next())
            out << t.text(field);
        return out;
    }
};

} // namespace

TEST_F(TableStore, RoundTripOfEveryType) {
    createProfs();
    {
        Table t;
        t.open(folder(), QStringLiteral("proft.dbf"));
        EXPECT_EQ(t.name(), QStringLiteral("proft"));
        t.append();
        t.setText(QStringLiteral("NOMBRE"), QStringLiteral("Núñez €"));
        t.setText(QStringLiteral("ABREV"), QStringLiteral("  JN"));
        t.setInt(QStringLiteral("HORAS"), -18);
        t.setFloat(QStringLiteral("PESO"), -0.125);
        t.setBool(QStringLiteral("ACTIVO"), true);
        t.append(); // posts the first row, then a second one left empty
        t.setBool(QStringLiteral("ACTIVO"), false);
        t.close();
    }
    Table t;
    t.open(folder(), QStringLiteral("PROFT"));
    const QList<FieldDef> fields = t.fields();
    ASSERT_EQ(fields.size(), 5);
    EXPECT_EQ(fields[0].name, QStringLiteral("NOMBRE"));
    EXPECT_EQ(fields[0].width, 10);
    EXPECT_EQ(fields[2].type, FieldType::Integer);
    EXPECT_EQ(fields[3].type, FieldType::Float);
    EXPECT_EQ(fields[4].type, FieldType::Boolean);
    EXPECT_EQ(t.rowCount(), 2);
    EXPECT_EQ(t.text(QStringLiteral("nombre")), QStringLiteral("Núñez €"));
    EXPECT_EQ(t.text(QStringLiteral("ABREV")), QStringLiteral("  JN")); // leading blanks kept
    EXPECT_EQ(t.integer(QStringLiteral("HORAS")), -18);
    EXPECT_EQ(t.text(QStringLiteral("HORAS")), QStringLiteral("-18"));
    EXPECT_EQ(t.real(QStringLiteral("PESO")), -0.125);
    EXPECT_EQ(t.text(QStringLiteral("PESO")), QStringLiteral("-0.125"));
    EXPECT_TRUE(t.boolean(QStringLiteral("ACTIVO")));
    EXPECT_EQ(t.text(QStringLiteral("ACTIVO")), QStringLiteral("T"));
    t.next();
    EXPECT_FALSE(t.atEnd());
    for (const char* f : {"NOMBRE", "HORAS", "PESO"})
        EXPECT_TRUE(t.isNull(QString::fromLatin1(f))) << f;
    EXPECT_EQ(t.text(QStringLiteral("HORAS")), QString());
    EXPECT_FALSE(t.boolean(QStringLiteral("ACTIVO")));
    EXPECT_FALSE(t.isNull(QStringLiteral("ACTIVO")));
    t.next();
    EXPECT_TRUE(t.atEnd());
}

TEST_F(TableStore, TextIsCutToTheWidthAndStoredInWindows1252) {
    createProfs();
    Table t;
    t.open(folder(), QStringLiteral("PROFT"));
    t.append();
    t.setText(QStringLiteral("NOMBRE"), QStringLiteral("Educación superior"));
    t.setText(QStringLiteral("ABREV"), QString::fromUtf8("a\u4E2D\U0001F600b")); // CJK, emoji
    t.post();
    EXPECT_EQ(t.text(QStringLiteral("NOMBRE")), QStringLiteral("Educación")); // cut, then read
                                                                              // without the blank
    EXPECT_EQ(t.text(QStringLiteral("ABREV")), QStringLiteral("a??b"));
    t.close();
    const QByteArray file = readFile(folder() + QStringLiteral("/PROFT.DBF"));
    const int header = 68 + 5 * 48 + 1;
    EXPECT_EQ(file.mid(header + 1, 15), QByteArray("Educaci\xF3n a??b "));
}

TEST_F(TableStore, SettingOutsideAppendOrEditFails) {
    createProfs();
    Table t;
    t.open(folder(), QStringLiteral("PROFT"));
    EXPECT_EQ(errorOf([&] { t.setText(QStringLiteral("NOMBRE"), QStringLiteral("x")); }),
              kNotEditing);
    addProf(t, QStringLiteral("Ana"), QStringLiteral("AG"), 1);
    EXPECT_FALSE(t.isEditing());
    EXPECT_EQ(errorOf([&] { t.setInt(QStringLiteral("HORAS"), 2); }), kNotEditing);
    EXPECT_EQ(errorOf([&] { t.setFloat(QStringLiteral("PESO"), 2); }), kNotEditing);
    EXPECT_EQ(errorOf([&] { t.setBool(QStringLiteral("ACTIVO"), true); }), kNotEditing);
    t.edit();
    EXPECT_TRUE(t.isEditing());
    t.setInt(QStringLiteral("HORAS"), 5);
    t.cancel();
    EXPECT_EQ(t.integer(QStringLiteral("HORAS")), 1);
    EXPECT_EQ(errorOf([&] {
                  t.setText(QStringLiteral("NOEXISTE"), QStringLiteral("x"));
              }).contains(QStringLiteral("NOEXISTE")),
              true);
}

TEST_F(TableStore, ConversionsIntoAndOutOfIntegerFields) {
    createProfs();
    Table t;
    t.open(folder(), QStringLiteral("PROFT"));
    struct Case {
        const char* text;
        bool ok;
        const char* readBack; // text of HORAS afterwards
    };
    const Case cases[] = {
        {"", true, ""},
        {"42", true, "42"},
        {"-7", true, "-7"},
        {"+7", true, "7"},
        {"007", true, "7"},
        {"2147483647", true, "2147483647"},
        {"2147483648", false, nullptr},
        {"-2147483648", false, nullptr}, // last one: no room
        {" 5", false, nullptr},
        {"5 ", false, nullptr},
        {"1.0", false, nullptr},
        {"1e3", false, nullptr},
        {"abc", false, nullptr},
        {"-", false, nullptr},
        {"٣", false, nullptr}, // Arabic-Indic digit
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        t.append();
        t.setInt(QStringLiteral("HORAS"), 99);
        const QString value = QString::fromUtf8(c.text);
        if (c.ok) {
            t.setText(QStringLiteral("HORAS"), value);
            EXPECT_EQ(t.text(QStringLiteral("HORAS")), QString::fromLatin1(c.readBack));
        } else {
            const QString message = errorOf([&] { t.setText(QStringLiteral("HORAS"), value); });
            EXPECT_TRUE(message.contains(QStringLiteral("PROFT")) &&
                        message.contains(QStringLiteral("HORAS")))
                << message.toStdString();
            EXPECT_EQ(t.integer(QStringLiteral("HORAS")), 99); // unchanged
        }
        t.post();
    }

    // Reading a text field as a whole number parses its text.
    t.append();
    t.setInt(QStringLiteral("NOMBRE"), -12345); // stored in decimal
    t.setText(QStringLiteral("ABREV"), QStringLiteral("12a"));
    t.post();
    EXPECT_EQ(t.text(QStringLiteral("NOMBRE")), QStringLiteral("-12345"));
    EXPECT_EQ(t.integer(QStringLiteral("NOMBRE")), -12345);
    const QString message = errorOf([&] { t.integer(QStringLiteral("ABREV")); });
    EXPECT_EQ(message,
              QStringLiteral("'12a' no es un número entero válido (tabla PROFT, campo ABREV)."));
    EXPECT_TRUE(errorOf([&] { t.integer(QStringLiteral("PESO")); }).contains(u"''"));
    // An empty integer field has no whole number either.
    EXPECT_TRUE(errorOf([&] { t.integer(QStringLiteral("HORAS")); }).contains(u"HORAS"));
}

TEST_F(TableStore, OtherConversions) {
    createProfs();
    Table t;
    t.open(folder(), QStringLiteral("PROFT"));
    t.append();
    t.setText(QStringLiteral("PESO"), QStringLiteral("2.5"));
    t.setFloat(QStringLiteral("HORAS"), 3.0);
    t.setText(QStringLiteral("ACTIVO"), QStringLiteral("T"));
    t.setFloat(QStringLiteral("NOMBRE"), 0.1);
    EXPECT_EQ(t.real(QStringLiteral("PESO")), 2.5);
    EXPECT_EQ(t.integer(QStringLiteral("HORAS")), 3);
    EXPECT_TRUE(t.boolean(QStringLiteral("ACTIVO")));
    EXPECT_EQ(t.text(QStringLiteral("NOMBRE")), QStringLiteral("0.1"));
    EXPECT_EQ(t.real(QStringLiteral("NOMBRE")), 0.1);
    EXPECT_FALSE(errorOf([&] { t.setFloat(QStringLiteral("HORAS"), 2.5); }).isEmpty());
    EXPECT_FALSE(
        errorOf([&] { t.setText(QStringLiteral("PESO"), QStringLiteral("1,5")); }).isEmpty());
    EXPECT_FALSE(
        errorOf([&] { t.setText(QStringLiteral("ACTIVO"), QStringLiteral("x")); }).isEmpty());
    EXPECT_FALSE(errorOf([&] { t.setBool(QStringLiteral("HORAS"), true); }).isEmpty());
    t.setText(QStringLiteral("ABREV"), QStringLiteral("x"));
    EXPECT_FALSE(errorOf([&] { t.real(QStringLiteral("ABREV")); }).isEmpty());
}

TEST_F(TableStore, RowsComeInAppendOrder) {
    createProfs();
    Table t;
    t.open(folder(), QStringLiteral("PROFT"));
    EXPECT_TRUE(t.atEnd());
    EXPECT_EQ(t.text(QStringLiteral("NOMBRE")), QString()); // no row: empty values
    for (const char* n : {"Carla", "Ana", "Bea"})
        addProf(t, QString::fromLatin1(n), QStringLiteral("X"), 1);
    EXPECT_EQ(names(t), (QStringList{"Carla", "Ana", "Bea"}));
    // Past the end the last row stays current.
    EXPECT_EQ(t.text(QStringLiteral("NOMBRE")), QStringLiteral("Bea"));
    t.next();
    EXPECT_TRUE(t.atEnd());

    // Edit the middle row, then walk again; appends go to the end.
    t.first();
    t.next();
    t.edit();
    t.setText(QStringLiteral("NOMBRE"), QStringLiteral("Anabel"));
    t.next(); // moving posts the edit
    EXPECT_EQ(t.text(QStringLiteral("NOMBRE")), QStringLiteral("Bea"));
    addProf(t, QStringLiteral("Dora"), QStringLiteral("X"), 1);
    EXPECT_EQ(names(t), (QStringList{"Carla", "Anabel", "Bea", "Dora"}));
    EXPECT_EQ(t.rowCount(), 4);
}

TEST_F(TableStore, PostedRowsAreOnDiskAtOnce) {
    createProfs();
    Table writer;
    writer.open(folder(), QStringLiteral("PROFT"));
    addProf(writer, QStringLiteral("Ana"), QStringLiteral("AG"), 1);
    writer.append();
    writer.setText(QStringLiteral("NOMBRE"), QStringLiteral("Pendiente"));
    // The posted row can be read by another reader while the writer is open; the pending
    // one cannot.
    {
        Table reader;
        reader.open(folder(), QStringLiteral("PROFT"));
        EXPECT_EQ(names(reader), QStringList{QStringLiteral("Ana")});
    }
    writer.post();
    writer.edit();
    writer.setInt(QStringLiteral("HORAS"), 9);
    writer.post();
    Table reader;
    reader.open(folder(), QStringLiteral("PROFT"));
    EXPECT_EQ(names(reader), (QStringList{"Ana", "Pendiente"}));
    EXPECT_EQ(reader.integer(QStringLiteral("HORAS")), 9);
}

// A table holding its rows back writes them all at once: on closing, or first when this
// program opens the file again. Until then the file is the whole table it was; a write that
// fails then names the table and leaves it readable with the rows written before.
TEST_F(TableStore, HeldRowsReachTheDiskTogether) {
    std::optional<detail::ScopedIoHooks> diskHooks; // the disk's faults, while set
    createProfs();
    const QString path = QDir(folder()).filePath(QStringLiteral("PROFT.DBF"));
    const auto countOnDisk = [&] {
        const QByteArray b = readFile(path);
        return b.size() < 8 ? -1 : int(qFromLittleEndian<quint32>(b.constData() + 4));
    };
    const qint64 emptySize = QFileInfo(path).size();
    Table writer;
    writer.open(folder(), QStringLiteral("PROFT"));
    writer.holdWrites();
    addProf(writer, QStringLiteral("Ana"), QStringLiteral("AG"), 1);
    addProf(writer, QStringLiteral("Luis"), QStringLiteral("LP"), 2);
    writer.edit(); // a held row edited stays held
    writer.setInt(QStringLiteral("HORAS"), 9);
    writer.post();
    EXPECT_EQ(countOnDisk(), 0);
    EXPECT_EQ(QFileInfo(path).size(), emptySize);
    EXPECT_EQ(names(writer), (QStringList{"Ana", "Luis"}));
    {
        Table reader;
        reader.open(folder(), QStringLiteral("PROFT"));
        EXPECT_EQ(names(reader), (QStringList{"Ana", "Luis"}));
        EXPECT_EQ(reader.integer(QStringLiteral("HORAS")), 9);
    }
    EXPECT_EQ(countOnDisk(), 2);
    writer.first();
    writer.edit(); // a written row is written again in place
    writer.setText(QStringLiteral("ABREV"), QStringLiteral("AN"));
    writer.post();
    addProf(writer, QStringLiteral("Eva"), QStringLiteral("EV"), 3);
    EXPECT_EQ(countOnDisk(), 2);
    writer.writeHeld();
    EXPECT_EQ(countOnDisk(), 3);
    writer.close();
    EXPECT_EQ(countOnDisk(), 3);
    {
        Table reader;
        reader.open(folder(), QStringLiteral("PROFT"));
        EXPECT_EQ(names(reader), (QStringList{"Ana", "Luis", "Eva"}));
        EXPECT_EQ(reader.text(QStringLiteral("ABREV")), QStringLiteral("EV"));
        reader.first();
        EXPECT_EQ(reader.text(QStringLiteral("ABREV")), QStringLiteral("AN"));
    }

    writer.open(folder(), QStringLiteral("PROFT"));
    writer.holdWrites();
    addProf(writer, QStringLiteral("Pilar"), QStringLiteral("PI"), 4);
    addProf(writer, QStringLiteral("Rosa"), QStringLiteral("RO"), 5);
    diskHooks.emplace(detail::IoHooks::writes(
        [](detail::NativeFile& f, qint64 offset, const char* data, qint64 size, QString* error) {
            f.nativeWriteAt(offset, data, size / 2, error);
            *error = QStringLiteral("No queda espacio en el disco");
            return false;
        }));
    QString message;
    try {
        writer.close();
    } catch (const RunError& e) {
        message = e.message();
    }
    diskHooks.reset();
    EXPECT_TRUE(message.contains(QStringLiteral("PROFT")) && message.contains(u"espacio"))
        << message.toStdString();
    EXPECT_FALSE(writer.isOpen());
    Table reader;
    reader.open(folder(), QStringLiteral("PROFT"));
    EXPECT_EQ(names(reader), (QStringList{"Ana", "Luis", "Eva"}));
}

// A table written through sends its rows to the file in blocks, beyond the rows the header
// counts, and keeps none of them: the header counts them only when they are all written,
// so a reader meanwhile sees the table as it was; the file at the end is the one holding
// them back gives. A write that fails names the table and leaves the rows counted before.
TEST_F(TableStore, RowsWrittenThroughAreCountedTogether) {
    createProfs();
    const QString path = QDir(folder()).filePath(QStringLiteral("PROFT.DBF"));
    const auto countOnDisk = [&] {
        const QByteArray b = readFile(path);
        return b.size() < 8 ? -1 : int(qFromLittleEndian<quint32>(b.constData() + 4));
    };
    const auto fill = [&](Table& t, int from, int to) {
        for (int i = from; i < to; ++i)
            addProf(t, QStringLiteral("P%1").arg(i), QStringLiteral("A%1").arg(i % 7), i);
    };
    const int many = 20000; // several blocks
    {
        Table held;
        held.open(folder(), QStringLiteral("PROFT"));
        held.holdWrites();
        fill(held, 0, many);
    }
    const QByteArray expected = readFile(path);
    DeleteTable(folder(), QStringLiteral("PROFT"));
    createProfs();

    Table writer;
    writer.open(folder(), QStringLiteral("PROFT"));
    writer.holdWrites();
    fill(writer, 0, 2); // held before: written first, in table order
    writer.writeThrough();
    EXPECT_EQ(countOnDisk(), 2);
    fill(writer, 2, many);
    EXPECT_EQ(countOnDisk(), 2);
    EXPECT_GT(QFileInfo(path).size(), qint64(many / 2) * 30);
    EXPECT_EQ(names(writer), (QStringList{"P0", "P1"}));
    {
        Table reader; // opening the file again counts the rows first
        reader.open(folder(), QStringLiteral("PROFT"));
        EXPECT_EQ(reader.rowCount(), many);
    }
    EXPECT_EQ(countOnDisk(), many);
    addProf(writer, QStringLiteral("Eva"), QStringLiteral("EV"), 3);
    writer.close();
    {
        Table reader;
        reader.open(folder(), QStringLiteral("PROFT"));
        EXPECT_EQ(reader.rowCount(), many + 1);
        reader.locate(QStringLiteral("NOMBRE"), {QStringLiteral("P12345")});
        EXPECT_EQ(reader.integer(QStringLiteral("HORAS")), 12345);
        reader.locate(QStringLiteral("NOMBRE"), {QStringLiteral("Eva")});
        EXPECT_EQ(reader.text(QStringLiteral("ABREV")), QStringLiteral("EV"));
    }
    // The same bytes as the rows held back, but the date of the last change and the last
    // row.
    QByteArray written = readFile(path);
    ASSERT_GT(written.size(), expected.size());
    QByteArray withoutEva = expected;
    withoutEva.remove(1, 7);
    written.remove(1, 7);
    const qsizetype rec = 1 + 10 + 5 + 4 + 8 + 1;
    EXPECT_EQ(written.left(withoutEva.size() - 1), withoutEva.chopped(1));
    EXPECT_EQ(written.size(), withoutEva.size() + rec);
    EXPECT_EQ(written.back(), '\x1A');

    // A failing write: the rows the header counted before stay, the table readable.
    DeleteTable(folder(), QStringLiteral("PROFT"));
    createProfs();
    QString message;
    {
        Table failing; // gone after the disk is back: what failed is not tried again
        failing.open(folder(), QStringLiteral("PROFT"));
        failing.writeThrough();
        fill(failing, 0, 3);
        failing.writeHeld();
        const detail::ScopedIoHooks full(
            detail::IoHooks::writes([](detail::NativeFile& f, qint64 offset, const char* data,
                                       qint64 size, QString* error) {
                f.nativeWriteAt(offset, data, size / 2, error);
                *error = QStringLiteral("No queda espacio en el disco");
                return false;
            }));
        try {
            fill(failing, 3, many);
        } catch (const RunError& e) {
            message = e.message();
        }
    }
    EXPECT_TRUE(message.contains(QStringLiteral("PROFT")) && message.contains(u"espacio"))
        << message.toStdString();
    Table reader;
    reader.open(folder(), QStringLiteral("PROFT"));
    EXPECT_EQ(names(reader), (QStringList{"P0", "P1", "P2"}));
}

// Counting rows a block at a time gives what a table opened counts: deleted records left
// out, rows another Table holds back counted, a missing table refused.
TEST_F(TableStore, CountRowsCountsAsOpenDoes) {
    createProfs();
    const QString path = QDir(folder()).filePath(QStringLiteral("PROFT.DBF"));
    const int many = 40000; // more than one block
    {
        Table t;
        t.open(folder(), QStringLiteral("PROFT"));
        t.holdWrites();
        for (int i = 0; i < many; ++i)
            addProf(t, QStringLiteral("P%1").arg(i), QStringLiteral("A"), i);
    }
    QByteArray bytes = readFile(path);
    const int header = qFromLittleEndian<quint16>(bytes.constData() + 8);
    const int record = qFromLittleEndian<quint16>(bytes.constData() + 10);
    for (int r : {0, 777, many - 1})
        bytes[header + qsizetype(r) * record] = '*';
    writeFile(path, bytes);
    const auto opened = [&] {
        Table t;
        t.open(folder(), QStringLiteral("PROFT"));
        return t.rowCount();
    };
    EXPECT_EQ(CountRows(folder(), QStringLiteral("proft")), many - 3);
    EXPECT_EQ(CountRows(folder(), QStringLiteral("PROFT.DBF")), opened());
    Table writer;
    writer.open(folder(), QStringLiteral("PROFT"));
    writer.holdWrites();
    addProf(writer, QStringLiteral("Eva"), QStringLiteral("EV"), 3);
    EXPECT_EQ(CountRows(folder(), QStringLiteral("PROFT")), many - 2);
    writer.close();
    EXPECT_THROW(CountRows(folder(), QStringLiteral("NOHAY")), RunError);
}

TEST_F(TableStore, LocateFindsTheFirstExactMatch) {
    createProfs();
    Table t;
    t.open(folder(), QStringLiteral("PROFT"));
    addProf(t, QStringLiteral("Educación"), QStringLiteral("ED"), 1);
    addProf(t, QStringLiteral("Música"), QStringLiteral("MU"), 2);
    addProf(t, QStringLiteral("Educación"), QStringLiteral("ED2"), 3);
    addProf(t, QStringLiteral(" Lengua"), QStringLiteral("LE"), 2);

    struct Case {
        const char* fields;
        QStringList values;
        int horas; // of the row found; 0: not found
    };
    const Case cases[] = {
        {"NOMBRE", {"Educación"}, 1},
        {"NOMBRE", {"Educación "}, 1}, // trailing blanks of the value do not count
        {"NOMBRE", {"educación"}, 0},  // letter case counts
        {"NOMBRE", {"Educaci"}, 0},    // whole value only
        {"NOMBRE", {"Lengua"}, 0},     // leading blanks count
        {"NOMBRE", {" Lengua"}, 4 - 2},
        {"NOMBRE;ABREV", {"Educación", "ED2"}, 3},
        {"nombre; abrev", {"Educación", "ED"}, 1},
        {"NOMBRE;HORAS", {"Música", "2"}, 2},
        {"HORAS", {"2"}, 2},
        {"HORAS", {"+3"}, 3},
        {"HORAS", {"5"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fields) + " " + c.values.join(u'|').toStdString());
        t.first();
        const bool found = t.locate(QString::fromLatin1(c.fields), c.values);
        EXPECT_EQ(found, c.horas != 0);
        if (found)
            EXPECT_EQ(t.integer(QStringLiteral("HORAS")), c.horas);
        else
            EXPECT_EQ(t.text(QStringLiteral("NOMBRE")), QStringLiteral("Educación"))
                << "cursor moved";
    }

    for (const QString& bad : {QStringLiteral("dos"), QString(), QStringLiteral("2.0")}) {
        const QString message = errorOf([&] { t.locate(QStringLiteral("HORAS"), {bad}); });
        EXPECT_TRUE(message.contains(QStringLiteral("HORAS"))) << message.toStdString();
    }
    EXPECT_FALSE(errorOf([&] { t.locate(QStringLiteral("NOMBRE;ABREV"), {"x"}); }).isEmpty());
}

TEST_F(TableStore, LocateSeesEditsAndAppends) {
    createProfs();
    Table t;
    t.open(folder(), QStringLiteral("PROFT"));
    for (int i = 0; i < 50; ++i)
        addProf(t, QStringLiteral("P%1").arg(i), QStringLiteral("A%1").arg(i % 5), i);
    ASSERT_TRUE(t.locate(QStringLiteral("ABREV"), {QStringLiteral("A3")}));
    EXPECT_EQ(t.integer(QStringLiteral("HORAS")), 3);

    // Renaming the first A3 makes the next one first; the new key is found at its row.
    t.edit();
    t.setText(QStringLiteral("ABREV"), QStringLiteral("Z"));
    t.post();
    ASSERT_TRUE(t.locate(QStringLiteral("ABREV"), {QStringLiteral("A3")}));
    EXPECT_EQ(t.integer(QStringLiteral("HORAS")), 8);
    ASSERT_TRUE(t.locate(QStringLiteral("ABREV"), {QStringLiteral("Z")}));
    EXPECT_EQ(t.integer(QStringLiteral("HORAS")), 3);

    // An edited row moving to a key that exists earlier and later keeps table order.
    t.locate(QStringLiteral("HORAS"), {QStringLiteral("49")});
    t.edit();
    t.setText(QStringLiteral("ABREV"), QStringLiteral("Z"));
    t.post();
    addProf(t, QStringLiteral("Nuevo"), QStringLiteral("Z"), 100);
    QList<qint32> zs;
    for (t.first(); !t.atEnd(); t.next()) {
        if (t.text(QStringLiteral("ABREV")) == QStringLiteral("Z"))
            zs << t.integer(QStringLiteral("HORAS"));
    }
    EXPECT_EQ(zs, (QList<qint32>{3, 49, 100}));
    filterBy(t, QStringLiteral("ABREV= 'Z'"));
    QList<qint32> filtered;
    for (t.first(); !t.atEnd(); t.next())
        filtered << t.integer(QStringLiteral("HORAS"));
    EXPECT_EQ(filtered, zs);

    // Locating with a pending row posts it first.
    t.clearFilter();
    t.append();
    t.setText(QStringLiteral("NOMBRE"), QStringLiteral("Pendiente"));
    EXPECT_TRUE(t.locate(QStringLiteral("NOMBRE"), {QStringLiteral("Pendiente")}));
    EXPECT_FALSE(t.isEditing());
}

TEST_F(TableStore, FilterShowsOnlyMatchingRows) {
    CreateTable(folder(), QStringLiteral("SOLUC"),
                {{QStringLiteral("PROF"), FieldType::Text, 6},
                 {QStringLiteral("DIA"), FieldType::Integer, 0}});
    Table t;
    t.open(folder(), QStringLiteral("SOLUC"));
    const std::pair<const char*, int> rows[] = {{"ANA", 1}, {"O'NEIL", 1}, {"ANA", 2},
                                                {"BEA", 1}, {"ANA", 3},    {"O'NEIL", 4}};
    for (const auto& [prof, dia] : rows) {
        t.append();
        t.setText(QStringLiteral("PROF"), QString::fromLatin1(prof));
        t.setInt(QStringLiteral("DIA"), dia);
    }
    t.post();

    struct Case {
        const char* expression;
        QStringList days;
    };
    const Case cases[] = {
        {"PROF= 'ANA'", {"1", "2", "3"}},
        {"PROF= 'O''NEIL'", {"1", "4"}},
        {"PROF='BEA  '", {"1"}},
        {"PROF= 'ana'", {}},
        {"PROF= ''", {}},
        {"DIA= '1'", {"1", "1", "1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        filterBy(t, QString::fromLatin1(c.expression));
        EXPECT_EQ(names(t, QStringLiteral("DIA")), c.days);
        EXPECT_EQ(t.rowCount(), c.days.size());
    }

    // Locate sees only what the filter lets through.
    filterBy(t, QStringLiteral("PROF= 'ANA'"));
    EXPECT_FALSE(t.locate(QStringLiteral("DIA"), {QStringLiteral("4")}));
    EXPECT_TRUE(t.locate(QStringLiteral("DIA"), {QStringLiteral("3")}));
    t.clearFilter();
    EXPECT_EQ(t.rowCount(), 6);
    EXPECT_TRUE(t.locate(QStringLiteral("DIA"), {QStringLiteral("4")}));
    filterBy(t, QStringLiteral("PROF= 'BEA'"));
    filterBy(t, QString()); // empty expression clears
    EXPECT_EQ(t.rowCount(), 6);

    for (const char* bad :
         {"PROF 'ANA'", "PROF= 'ANA", "PROF= ANA", "PROF= 'A' x", "NADA= 'x'", "DIA= 'uno'"}) {
        SCOPED_TRACE(bad);
        EXPECT_TRUE(errorOf([&] {
                        filterBy(t, QString::fromLatin1(bad));
                    }).contains(QStringLiteral("SOLUC")));
    }
}

TEST_F(TableStore, EditOnAnEmptyTableAppends) {
    createProfs();
    Table t;
    t.open(folder(), QStringLiteral("PROFT"));
    t.edit();
    t.setText(QStringLiteral("NOMBRE"), QStringLiteral("Ana"));
    t.post();
    EXPECT_EQ(t.rowCount(), 1);
}

TEST_F(TableStore, DeleteAndCreate) {
    createProfs();
    writeFile(folder() + QStringLiteral("/proft.mdx"), "index");
    writeFile(folder() + QStringLiteral("/OTRA.DBF"), "keep");
    DeleteTable(folder(), QStringLiteral("ProfT.DBF"));
    EXPECT_FALSE(FileExists(folder() + QStringLiteral("/PROFT.DBF")));
    EXPECT_FALSE(QFile::exists(folder() + QStringLiteral("/proft.mdx")));
    EXPECT_TRUE(FileExists(folder() + QStringLiteral("/otra.dbf"))); // any letter case
    DeleteTable(folder(), QStringLiteral("NOEXISTE"));               // nothing to delete is fine

    // Creating over an existing file of another letter case replaces that file.
    CreateTable(folder(), QStringLiteral("otra"), {{QStringLiteral("A"), FieldType::Text, 1}});
    // As listed, so that a file system blind to letter case (Windows) says the same.
    const QStringList names = QDir(folder()).entryList(QDir::Files);
    EXPECT_TRUE(names.contains(QStringLiteral("OTRA.DBF"))) << names.join(u' ').toStdString();
    EXPECT_FALSE(names.contains(QStringLiteral("otra.DBF"))) << names.join(u' ').toStdString();
    Table t;
    t.open(folder(), QStringLiteral("OTRA"));
    EXPECT_EQ(t.rowCount(), 0);

    struct Bad {
        const char* what;
        QList<FieldDef> fields;
    };
    const Bad bad[] = {
        {"no fields", {}},
        {"width 0", {{QStringLiteral("A"), FieldType::Text, 0}}},
        {"width 255", {{QStringLiteral("A"), FieldType::Text, 255}}},
        {"name of 32", {{QString(32, u'A'), FieldType::Integer, 0}}},
        {"blank in name", {{QStringLiteral("A B"), FieldType::Integer, 0}}},
        {"twice",
         {{QStringLiteral("A"), FieldType::Integer, 0},
          {QStringLiteral("a"), FieldType::Float, 0}}},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.what);
        EXPECT_TRUE(errorOf([&] {
                        CreateTable(folder(), QStringLiteral("MALA"), b.fields);
                    }).contains(QStringLiteral("MALA")));
    }
}

// On a file system that tells letter cases apart, testing, opening and deleting a table
// whose files are named in another case all act on those files.
TEST_F(TableStore, ExistsOpenAndDeleteFindTheSameFileInAnyCase) {
    const QStringList spellings[] = {
        {"cursost2.dbf", "cursost2.mdx"},
        {"CursosT2.Dbf", "CURSOST2.MDX"},
        {"CURSOST2.DBF", "cursost2.Mdx"},
    };
    const QString dbf = folder() + QStringLiteral("/CURSOST2.DBF");
    for (const QStringList& names : spellings) {
        SCOPED_TRACE(names.join(u' ').toStdString());
        for (bool wholeTable : {false, true}) {
            CreateTable(folder(), QStringLiteral("TMP"),
                        {{QStringLiteral("A"), FieldType::Text, 1}});
            ASSERT_TRUE(
                QFile::rename(folder() + QStringLiteral("/TMP.DBF"), folder() + u'/' + names[0]));
            writeFile(folder() + u'/' + names[1], "index");
            EXPECT_TRUE(FileExists(dbf));
            Table t;
            t.open(folder(), QStringLiteral("CURSOST2"));
            t.close();
            if (wholeTable) {
                DeleteTable(folder(), QStringLiteral("CURSOST2"));
                EXPECT_FALSE(QFile::exists(folder() + u'/' + names[1]));
            } else {
                DeleteTableFile(dbf);
                EXPECT_TRUE(QFile::exists(folder() + u'/' + names[1])); // only the file named
                QFile::remove(folder() + u'/' + names[1]);
            }
            EXPECT_FALSE(FileExists(dbf));
            EXPECT_FALSE(QFile::exists(folder() + u'/' + names[0]));
            EXPECT_TRUE(errorOf([&] {
                            t.open(folder(), QStringLiteral("CURSOST2"));
                        }).contains(QStringLiteral("No existe")));
        }
    }
}

TEST_F(TableStore, ClosedTableOperationsFail) {
    Table t;
    EXPECT_FALSE(t.isOpen());
    EXPECT_FALSE(errorOf([&] { t.append(); }).isEmpty());
    EXPECT_FALSE(errorOf([&] { t.text(QStringLiteral("A")); }).isEmpty());
    t.close(); // closing a closed table is harmless
    createProfs();
    t.open(folder(), QStringLiteral("PROFT"));
    Table moved(std::move(t));
    EXPECT_TRUE(moved.isOpen());
    EXPECT_FALSE(t.isOpen()); // NOLINT(bugprone-use-after-move): moved-from stays usable
    t.open(folder(), QStringLiteral("PROFT"));
    EXPECT_TRUE(t.isOpen());
}

// A disk that fills up after a given number of bytes, at every point of creating a table
// and appending to it: the failing operation names the table, and whatever is on disk
// afterwards either opens with the rows posted before the failure or is refused cleanly.
TEST_F(TableStore, FullDiskLeavesAReadableTable) {
    std::optional<detail::ScopedIoHooks> diskHooks; // the disk's faults, while set
    const QList<FieldDef> fields = {{QStringLiteral("NOMBRE"), FieldType::Text, 8},
                                    {QStringLiteral("N"), FieldType::Integer, 0}};
    const int header = 68 + 2 * 48 + 1;
    const int record = 1 + 8 + 4;
    qint64 budget = 0;
    for (qint64 limit = 0; limit <= header + 1 + 3 * (record + 1 + 7) + 4; ++limit) {
        SCOPED_TRACE(limit);
        budget = limit;
        diskHooks.emplace(
            detail::IoHooks::writes([&](detail::NativeFile& f, qint64 offset, const char* data,
                                        qint64 size, QString* error) {
                const qint64 n = qMin(size, budget);
                budget -= n;
                if (n > 0 && !f.nativeWriteAt(offset, data, n, error))
                    return false;
                if (n == size)
                    return true;
                *error = QStringLiteral("No queda espacio en el disco");
                return false;
            }));
        DeleteTable(folder(), QStringLiteral("LLENA"));
        int posted = 0;
        QString message;
        try {
            CreateTable(folder(), QStringLiteral("LLENA"), fields);
            Table t;
            t.open(folder(), QStringLiteral("LLENA"));
            for (int i = 0; i < 3; ++i) {
                t.append();
                t.setText(QStringLiteral("NOMBRE"), QStringLiteral("fila%1").arg(i));
                t.setInt(QStringLiteral("N"), i);
                t.post();
                ++posted;
            }
            t.close();
        } catch (const RunError& e) {
            message = e.message();
        }
        diskHooks.reset();
        if (message.isEmpty())
            break; // everything fitted: no later limit fails
        EXPECT_TRUE(message.contains(QStringLiteral("LLENA"))) << message.toStdString();
        Table t;
        try {
            t.open(folder(), QStringLiteral("LLENA"));
        } catch (const RunError& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("LLENA"))) << e.message().toStdString();
            continue;
        }
        // Once the header is whole, every posted row is there. The row whose post failed is
        // there only when its record was whole before the count went wrong.
        EXPECT_TRUE(t.rowCount() == posted || t.rowCount() == posted + 1) << t.rowCount();
        int i = 0;
        for (t.first(); !t.atEnd(); t.next(), ++i) {
            EXPECT_EQ(t.text(QStringLiteral("NOMBRE")), QStringLiteral("fila%1").arg(i));
            EXPECT_EQ(t.integer(QStringLiteral("N")), i);
        }
    }
    diskHooks.reset();
}

TEST_F(TableStore, FieldNamesInAnyCaseAndTextCutAtAPair) {
    CreateTable(folder(), QStringLiteral("MIXTA"),
                {{QStringLiteral("Nombre"), FieldType::Text, 5},
                 {QStringLiteral("ABREV"), FieldType::Text, 5}});
    Table t;
    t.open(folder(), QStringLiteral("MIXTA"));
    t.append();
    t.setText(QStringLiteral("NOMBRE"), QString::fromUtf8("abcd\U0001F600x"));
    t.setText(QStringLiteral(" abrev "), QStringLiteral("€uno"));
    t.post();
    for (const char* f : {"NOMBRE", "nombre", "Nombre", " Nombre "})
        EXPECT_EQ(t.text(QString::fromLatin1(f)), QStringLiteral("abcd?")) << f;
    for (const char* f : {"ABREV", "Abrev", "ABREV  "})
        EXPECT_EQ(t.text(QString::fromLatin1(f)), QStringLiteral("€uno")) << f;
    EXPECT_TRUE(
        errorOf([&] { t.text(QStringLiteral("NOMBRES")); }).contains(QStringLiteral("MIXTA")));
}
