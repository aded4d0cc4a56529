// Synthetic schools: the shape of the generated Veltra export and codes file at a few
// sizes, determinism, and import, timetable and export end to end.
#include "GenSchool.h"
#include "TestSupport.h"

#include "exchange/ExchangeDocument.h"
#include "export/ExportRun.h"
#include "import/CursosLogic.h"
#include "import/ImportRun.h"
#include "import/PlantillasLogic.h"
#include "run/RunReport.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"
#include "text/RunError.h"

#include <QDir>
#include <QProcess>

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace exchange;
using genschool::Counts;
using testing_support::readFile;

namespace {

// The groups of a generated export, in document order, with the number of items of each
// record and the names at the positions the import reads.
struct GroupShape {
    const char* seq;
    int items;
    QStringList names;
};
const QList<GroupShape>& shapes() {
    static const QList<GroupShape> s = {
        {"CURSOS_DEL_CENTRO", 3, {"X_OFERTAMATRIG", "D_OFERTAMATRIG"}},
        {"MATERIAS", 5, {"X_OFERTAMATRIG", "X_MATERIAOMG", "D_MATERIAC"}},
        {"ACTIVIDADES",
         5,
         {"C_TIPOACT", "X_ACTIVIDAD", "D_ACTIVIDAD", "C_REQUNIDAD", "C_REQMATERIA"}},
        {"EMPLEADOS",
         9,
         {"X_EMPLEADO", "F_TOMAPOS", "D_DEPARTAMENTO", "D_NOMBRE", "D_APELLIDO1", "D_APELLIDO2"}},
        {"DEPENDENCIAS", 4, {"X_DEPENDENCIA", "D_DEPENDENCIA"}},
        {"UNIDADES", 5, {"X_UNIDAD", "D_UNIDAD", "X_OFERTAMATRIG"}},
        {"JORNADAS_ESCOLARES", 4, {"X_JORNADA", "D_JORNADA", "F_INICIO", "F_FIN"}},
        {"TRAMOS_HORARIOS", 5, {"X_TRAMO", "D_TRAMO", "N_INICIO", "N_FIN", "X_JORNADA"}},
        {"ORIGENES", 3, {"X_CATORIHOR", "C_ORIHOR", "D_ORIHOR"}},
        {"NIVELES", 3, {"X_NIVCONPAGLEG", "C_NIVCON", "D_NIVCON"}},
        {"CURSOS_NIVELES", 2, {"X_OFERTAMATRIG", "X_NIVCONPAGLEG"}},
        {"AUTORIZACIONES", 4, {"X_ORIHORACTETP", "X_ACTIVIDAD", "X_CATORIHOR", "X_NIVCONPAGLEG"}},
    };
    return s;
}

int expectedRecords(const Counts& c, const QString& seq, int slots) {
    const QHash<QString, int> n = {
        {"CURSOS_DEL_CENTRO", c.offers},
        {"MATERIAS", c.materias},
        {"ACTIVIDADES", c.activities},
        {"EMPLEADOS", c.teachers},
        {"DEPENDENCIAS", c.rooms},
        {"UNIDADES", c.units},
        {"JORNADAS_ESCOLARES", c.frames},
        {"TRAMOS_HORARIOS", slots},
        {"ORIGENES", c.origenes},
        {"NIVELES", c.niveles},
        {"CURSOS_NIVELES", c.cursosNiveles},
        {"AUTORIZACIONES", c.autorizaciones},
    };
    return n.value(seq, -1);
}

bool isWholeNumber(const QString& s) {
    bool ok = false;
    s.toInt(&ok);
    return ok;
}

// Item k of every record of a group.
QStringList column(const Document& doc, const QString& seq, int k) {
    QStringList out;
    for (const Node& r : doc.recordsOf(seq))
        out << itemValue(dataItems(r), k);
    return out;
}

QStringList lines(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

TEST(GeneratedSchool, SizesOfTheSampleAndTheLargeSchool) {
    const Counts one = genschool::countsFor(1);
    EXPECT_EQ(one.offers, 40);
    EXPECT_EQ(one.materias, 600);
    EXPECT_EQ(one.teachers, 80);
    EXPECT_EQ(one.rooms, 30);
    EXPECT_EQ(one.units, 30);
    EXPECT_EQ(one.frames, 2);
    EXPECT_EQ(one.activities, 12);

    const Counts ten = genschool::countsFor(10);
    EXPECT_EQ(ten.offers, 400);
    EXPECT_EQ(ten.materias, 15000);
    EXPECT_EQ(ten.teachers, 1500);
    EXPECT_EQ(ten.rooms, 600);
    EXPECT_EQ(ten.units, 600);
    EXPECT_EQ(ten.frames, 30);
    for (int n : {ten.origenes, ten.niveles, ten.cursosNiveles, ten.autorizaciones}) {
        EXPECT_GE(n, 2000);
        EXPECT_LE(n, 5000);
    }
}

class GeneratedDocument : public ::testing::TestWithParam<double> {};

TEST_P(GeneratedDocument, HasTheShapeTheImportReads) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const genschool::SchoolSummary sum = genschool::writeSchool(dir.path(), GetParam(), 11);
    const Counts& c = sum.counts;

    const QByteArray bytes = readFile(sum.documentPath);
    ASSERT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"));
    EXPECT_TRUE(bytes.contains("Tutor\xED"
                               "a"))
        << "accents stored as Latin-1 bytes";
    const Document doc = Document::load(sum.documentPath);
    ASSERT_TRUE(doc.ok()) << doc.errorString().toStdString();
    EXPECT_EQ(doc.encoding(), QStringLiteral("ISO-8859-1"));

    // Groups in order: the school year carrying its items, the school's data, then the
    // groups the steps read.
    const NodeList groups = doc.topLevelGroups();
    QStringList seqs;
    for (const Node& g : groups)
        seqs << g.attribute(QStringLiteral("seq"));
    QStringList expected = {"ANNO_ACADEMICO", "DATOS_CENTRO"};
    for (const GroupShape& s : shapes())
        expected << QString::fromLatin1(s.seq);
    ASSERT_EQ(seqs, expected);

    const NodeList year = dataItems(groups[0]);
    ASSERT_EQ(year.size(), 3);
    EXPECT_TRUE(groups[0].elementChildren(QStringLiteral("grupo_datos")).isEmpty());
    EXPECT_EQ(itemValue(year, 0), QStringLiteral("2025"));
    EXPECT_EQ(itemValue(year, 1), QStringLiteral("01/09/2025"));
    EXPECT_EQ(itemValue(year, 2), QStringLiteral("30/06/2026"));
    EXPECT_TRUE(dataItems(groups[1]).isEmpty()) << "a second group with items would add a period";

    // Record counts, registros, items per record and the names at each position.
    for (int g = 0; g < shapes().size(); ++g) {
        const GroupShape& shape = shapes()[g];
        const QString seq = QString::fromLatin1(shape.seq);
        SCOPED_TRACE(shape.seq);
        const NodeList records = doc.recordsOf(seq);
        EXPECT_EQ(records.size(), expectedRecords(c, seq, sum.slots));
        EXPECT_EQ(groups[g + 2].attribute(QStringLiteral("registros")),
                  QString::number(records.size()));
        for (const Node& r : records) {
            const NodeList items = dataItems(r);
            ASSERT_EQ(items.size(), shape.items);
            for (int k = 0; k < shape.names.size(); ++k)
                ASSERT_EQ(items[k].attribute(QStringLiteral("nombre_dato")), shape.names[k]);
            ASSERT_TRUE(itemNameIs(items, 0, shape.names[0]));
        }
    }

    // Keys: unique, at most 10 characters; those bound for integer fields whole numbers.
    const QStringList offerKeys = column(doc, QStringLiteral("CURSOS_DEL_CENTRO"), 0);
    EXPECT_EQ(offerKeys, sum.offerKeys);
    const QSet<QString> offers(offerKeys.begin(), offerKeys.end());
    EXPECT_EQ(offers.size(), offerKeys.size());
    QStringList employees = column(doc, QStringLiteral("EMPLEADOS"), 0);
    EXPECT_EQ(employees.count(QString()), sum.teachersWithoutKey);
    employees.removeAll(QString());
    for (const QStringList& keys : {offerKeys, column(doc, QStringLiteral("MATERIAS"), 1),
                                    employees, column(doc, QStringLiteral("DEPENDENCIAS"), 0),
                                    column(doc, QStringLiteral("UNIDADES"), 0),
                                    column(doc, QStringLiteral("TRAMOS_HORARIOS"), 0)}) {
        EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()).size(), keys.size());
        for (const QString& k : keys)
            ASSERT_TRUE(!k.isEmpty() && k.size() <= 10) << k.toStdString();
    }
    for (const QString& k :
         column(doc, QStringLiteral("MATERIAS"), 0) + column(doc, QStringLiteral("UNIDADES"), 2))
        ASSERT_TRUE(offers.contains(k)) << k.toStdString();

    // Frames and slots: slots name their frame; begin and end are minutes of one day.
    const QStringList frames = column(doc, QStringLiteral("JORNADAS_ESCOLARES"), 0);
    EXPECT_EQ(frames, sum.frameCodes);
    for (const Node& r : doc.recordsOf(QStringLiteral("TRAMOS_HORARIOS"))) {
        const NodeList items = dataItems(r);
        ASSERT_TRUE(frames.contains(itemValue(items, 4)));
        const int begin = itemValue(items, 2).toInt(), end = itemValue(items, 3).toInt();
        ASSERT_TRUE(isWholeNumber(itemValue(items, 2)) && isWholeNumber(itemValue(items, 3)));
        ASSERT_TRUE(0 <= begin && begin < end && end < 24 * 60) << begin << "-" << end;
    }

    // Activities: whole-number codes, some outside the regular timetable.
    const QStringList flags = column(doc, QStringLiteral("ACTIVIDADES"), 0);
    EXPECT_TRUE(flags.contains(QStringLiteral("N")));
    EXPECT_TRUE(flags.contains(QStringLiteral("S")));
    const QStringList activities = column(doc, QStringLiteral("ACTIVIDADES"), 1);

    // Catalogues: every identifier a whole number; every course offering has its level;
    // authorisations name activities, origins and levels that exist.
    for (const QString seq : {"ORIGENES", "NIVELES", "CURSOS_NIVELES", "AUTORIZACIONES"})
        for (const Node& r : doc.recordsOf(seq)) {
            const NodeList items = dataItems(r);
            const int ints =
                seq.startsWith(QLatin1String("ORIGENES")) || seq == QLatin1String("NIVELES")
                    ? 1
                    : int(items.size());
            for (int k = 0; k < ints; ++k)
                ASSERT_TRUE(isWholeNumber(itemValue(items, k))) << seq.toStdString();
        }
    const QStringList regionOffers = column(doc, QStringLiteral("CURSOS_NIVELES"), 0);
    for (const QString& k : offerKeys)
        EXPECT_TRUE(regionOffers.contains(k)) << k.toStdString();
    const QStringList levels = column(doc, QStringLiteral("NIVELES"), 0);
    for (const QString& l : column(doc, QStringLiteral("CURSOS_NIVELES"), 1))
        ASSERT_TRUE(levels.contains(l));
    const QStringList origins = column(doc, QStringLiteral("ORIGENES"), 0);
    for (const Node& r : doc.recordsOf(QStringLiteral("AUTORIZACIONES"))) {
        const NodeList items = dataItems(r);
        ASSERT_TRUE(activities.contains(itemValue(items, 1)));
        ASSERT_TRUE(origins.contains(itemValue(items, 2)));
        ASSERT_TRUE(levels.contains(itemValue(items, 3)));
    }

    // Codes file: one row per course offering in document order; the units of one level
    // and course fit the letters A to Z.
    const QStringList csv = lines(readFile(sum.codesPath));
    ASSERT_EQ(csv.value(0), QStringLiteral("CLAVE,NIVEL,CURSO"));
    ASSERT_EQ(csv.size(), offerKeys.size() + 1);
    QHash<QString, QString> sequenceOf;
    for (int i = 1; i < csv.size(); ++i) {
        const QStringList f = csv[i].split(QLatin1Char(','));
        ASSERT_EQ(f.size(), 3) << csv[i].toStdString();
        EXPECT_EQ(f[0], offerKeys[i - 1]);
        EXPECT_TRUE(!f[1].isEmpty() && f[1].size() <= 5) << f[1].toStdString();
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[1-4]$")).match(f[2]).hasMatch());
        sequenceOf.insert(f[0], f[1].left(5) + f[2].left(1));
    }
    QHash<QString, int> unitsPerSequence;
    for (const QString& k : column(doc, QStringLiteral("UNIDADES"), 2))
        EXPECT_LE(++unitsPerSequence[sequenceOf.value(k)], 26) << sequenceOf.value(k).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Scales, GeneratedDocument, ::testing::Values(0.05, 0.3, 1.0, 2.5));

TEST(GeneratedSchool, SampleSchoolReadsLikeASpanishSchool) {
    QTemporaryDir dir;
    const genschool::SchoolSummary sum = genschool::writeSchool(dir.path(), 1, 3);
    const Document doc = Document::load(sum.documentPath);
    const QStringList subjects = column(doc, QStringLiteral("MATERIAS"), 2);
    for (const char* name : {"Matemáticas", "Lengua Castellana y Literatura", "Educación Física",
                             "Historia de España"})
        EXPECT_TRUE(subjects.contains(QString::fromUtf8(name))) << name;
    // Subjects are listed once per course offering: the same name recurs across them.
    EXPECT_LT(QSet<QString>(subjects.begin(), subjects.end()).size(), subjects.size() / 3);
    EXPECT_EQ(sum.frameCodes.size(), 2);
    EXPECT_EQ(sum.slots, 13);
    EXPECT_EQ(
        column(doc, QStringLiteral("JORNADAS_ESCOLARES"), 1),
        (QStringList{QStringLiteral("Jornada de mañana"), QStringLiteral("Jornada de tarde")}));
    EXPECT_EQ(sum.teachersWithoutKey, 2);
}

TEST(GeneratedSchool, SameSeedSameFilesOtherSeedOtherSchool) {
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a")), b = dir.filePath(QStringLiteral("b")),
                  other = dir.filePath(QStringLiteral("c"));
    genschool::writeSchool(a, 0.5, 42);
    genschool::writeSchool(b, 0.5, 42);
    genschool::writeSchool(other, 0.5, 43);
    for (const char* file : {"veltra.xml", "codes.csv"}) {
        const QByteArray first = readFile(a + QLatin1Char('/') + QLatin1String(file));
        ASSERT_FALSE(first.isEmpty());
        EXPECT_EQ(first, readFile(b + QLatin1Char('/') + QLatin1String(file))) << file;
        EXPECT_NE(first, readFile(other + QLatin1Char('/') + QLatin1String(file))) << file;
    }
}

TEST(GeneratedSchool, RefusesAScaleItCannotName) {
    QTemporaryDir dir;
    for (double scale : {0.0, -1.0, 25.0})
        EXPECT_THROW(genschool::writeSchool(dir.path(), scale, 1), RunError) << scale;
}

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out, err;
};

ToolRun genSchool(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(VT_GEN_SCHOOL), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

} // namespace

TEST(GeneratedSchool, CommandLineWritesWhatTheLibraryWrites) {
    QTemporaryDir dir;
    const QString viaTool = dir.filePath(QStringLiteral("tool"));
    const ToolRun ok = genSchool({QStringLiteral("doc"), QStringLiteral("--scale"),
                                  QStringLiteral("0.2"), QStringLiteral("--seed"),
                                  QStringLiteral("4"), QStringLiteral("--out"), viaTool});
    ASSERT_EQ(ok.exitCode, 0) << ok.err.toStdString();
    EXPECT_TRUE(ok.out.contains(QStringLiteral("veltra.xml"))) << ok.out.toStdString();
    const QString viaLibrary = dir.filePath(QStringLiteral("lib"));
    genschool::writeSchool(viaLibrary, 0.2, 4);
    for (const char* file : {"/veltra.xml", "/codes.csv"})
        EXPECT_EQ(readFile(viaTool + QLatin1String(file)),
                  readFile(viaLibrary + QLatin1String(file)));

    struct Case {
        QStringList args;
        int exitCode;
        const char* message;
    };
    const QString empty = dir.filePath(QStringLiteral("vacia"));
    QDir().mkpath(empty);
    const QList<Case> cases = {
        {{"doc", "--scale", "0", "--seed", "1", "--out", viaTool}, 1, "Escala no válida"},
        {{"soluc", "--workdir", empty, "--seed", "1"}, 1, "PROFT"},
        {{"doc", "--scale", "1", "--semilla", "1", "--out", viaTool}, 2, "--semilla"},
        {{"doc", "--scale", "uno", "--seed", "1", "--out", viaTool}, 2, "--scale"},
        {{"soluc", "--workdir", empty, "--seed", "1", "--entries", "-5"}, 2, "--entries"},
        {{"horario"}, 2, "horario"},
        {{}, 2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const ToolRun r = genSchool(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message))) << r.err.toStdString();
    }
}

namespace {

QHash<QString, CursosLogic::Codes> readCodes(const QString& path) {
    QHash<QString, CursosLogic::Codes> codes;
    const QStringList rows = lines(readFile(path));
    for (int i = 1; i < rows.size(); ++i) {
        const QStringList f = rows[i].split(QLatin1Char(','));
        codes.insert(f[0], {f[1], f[2]});
    }
    return codes;
}

struct Row {
    QHash<QString, QString> f;
    QString operator[](const char* name) const { return f.value(QString::fromLatin1(name)); }
};

QList<Row> rowsOf(const QString& folder, const QString& table) {
    tables::Table t;
    t.open(folder, table);
    QList<Row> rows;
    for (t.first(); !t.atEnd(); t.next()) {
        Row r;
        for (const tables::FieldDef& f : t.fields())
            r.f.insert(f.name, t.text(f.name));
        rows << r;
    }
    t.close();
    return rows;
}

// The export's report accounts for every entry of a teacher with a key: written as a
// regular activity, rejected, or not placed or non-regular (not a regular activity).
void expectReportAccountsForEveryEntry(const run::RunReport& report, const Document& out,
                                       const QString& work) {
    QHash<QString, int> rejectedOf, entriesOf, asideOf;
    for (const run::ReportItem& i : report.items())
        if (i.kind == run::ReportKind::EntryRejectedUnit ||
            i.kind == run::ReportKind::EntryRejectedSubject)
            ++rejectedOf[i.teacher];
    for (const Row& e : rowsOf(work, QStringLiteral("SOLUC"))) {
        ++entriesOf[e["PROF"]];
        if (e["DIA"] == QLatin1String("0") || e["ASIG"].startsWith(u'#'))
            ++asideOf[e["PROF"]];
    }
    const NodeList regularGroups = out.recordsOf(QStringLiteral("HORARIOS_REGULARES"));
    int keyed = 0;
    for (const Row& t : rowsOf(work, QStringLiteral("PROFT"))) {
        if (t["X_EMPLEADO"].trimmed().isEmpty())
            continue;
        ASSERT_LT(keyed, regularGroups.size());
        const QString abbrev = t["ABREV"];
        const int written =
            int(regularGroups[keyed++].elementChildren(QStringLiteral("grupo_datos")).size());
        EXPECT_EQ(written + rejectedOf.value(abbrev) + asideOf.value(abbrev),
                  entriesOf.value(abbrev))
            << abbrev.toStdString();
    }
    EXPECT_EQ(keyed, regularGroups.size());
}

} // namespace

class EndToEnd : public ::testing::TestWithParam<double> {};

// Import of a generated school (codes from its CSV, its first two frames), a timetable
// over the tables the import wrote, and the export of that timetable: every teacher with
// an employee key comes back with all of their placed entries.
TEST_P(EndToEnd, ImportTimetableAndExport) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString docDir = dir.filePath(QStringLiteral("veltra"));
    const QString work = dir.filePath(QStringLiteral("TLTEMP"));
    ASSERT_TRUE(QDir().mkpath(work));
    const genschool::SchoolSummary school = genschool::writeSchool(docDir, GetParam(), 5);
    // An empty subject catalogue: every code comes from the subject's name.
    tables::CreateTable(dir.path(), tables::VELTMATERIAS::kName, tables::VELTMATERIAS::fields());
    const RunFolders folders{work, dir.filePath(QStringLiteral("VELTMATERIAS.DBF"))};

    ScriptedHost importHost;
    importHost.documents = {school.documentPath};
    const auto codes = readCodes(school.codesPath);
    importHost.onCursos = [&](CursosLogic& d) {
        d.recover(true);
        d.applyCodes(codes);
        EXPECT_TRUE(d.keysLackingCodes().isEmpty());
        EXPECT_TRUE(d.completeOk());
    };
    importHost.onPlantillas = [&](PlantillasLogic& d) {
        EXPECT_EQ(d.chooseByCodes(school.frameCodes.mid(0, 2)).status, PlantillasLogic::Choice::Ok);
    };
    run::RunState importState;
    exchange::Document held;
    runImport(importHost, importHost, importState, folders, held);
    ASSERT_TRUE(importHost.errors.isEmpty())
        << importHost.errors.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(importState.resultValue, 1);
    EXPECT_EQ(importHost.plantillasShown, school.frameCodes.size() > 1 ? 1 : 0);

    // The timetable: placed entries name real slots, teachers are never in two places.
    const genschool::SolucSummary soluc = genschool::writeSoluc(work, 9);
    const QList<Row> asig = rowsOf(work, QStringLiteral("ASIGT"));
    const QList<Row> teachers = rowsOf(work, QStringLiteral("PROFT"));
    EXPECT_EQ(soluc.entries, genschool::defaultEntries(int(asig.size()), int(teachers.size())));
    EXPECT_GT(soluc.nonRegular, 0);
    EXPECT_GT(soluc.regular, soluc.nonRegular);
    QSet<QString> slots, assignments, busy;
    for (const Row& r : rowsOf(work, QStringLiteral("DIASHORAST")))
        slots.insert(r["DIA"] + QLatin1Char('/') + r["HORA"] + QLatin1Char('/') + r["MARCO"]);
    for (const Row& r : asig)
        assignments.insert(r["CASIG"] + QLatin1Char('/') + r["CGRUP"]);
    QHash<QString, int> regularOf, nonRegularOf;
    int unplaced = 0;
    const QList<Row> entries = rowsOf(work, QStringLiteral("SOLUC"));
    ASSERT_EQ(entries.size(), soluc.entries);
    for (const Row& e : entries) {
        if (e["DIA"] == QLatin1String("0")) {
            ++unplaced;
            continue;
        }
        const QString at = e["DIA"] + QLatin1Char('/') + e["HORA"] + QLatin1Char('/') + e["MARCO"];
        ASSERT_TRUE(slots.contains(at)) << at.toStdString();
        ASSERT_FALSE(busy.contains(e["PROF"] + QLatin1Char('@') + at)) << e["PROF"].toStdString();
        busy.insert(e["PROF"] + QLatin1Char('@') + at);
        if (e["ASIG"].startsWith(u'#')) {
            ++nonRegularOf[e["PROF"]];
        } else {
            ++regularOf[e["PROF"]];
            if (e["TAREA"] == QLatin1String("1")) {
                ASSERT_TRUE(assignments.contains(e["ASIG"] + QLatin1Char('/') + e["CODGRUPO"]));
            }
        }
    }
    EXPECT_EQ(unplaced, soluc.unplaced);

    // The export: one teacher group per teacher with a key, in PROFT order, in both
    // timetable groups, each with all of the teacher's entries.
    ScriptedHost exportHost;
    exportHost.documents = {school.documentPath};
    run::RunState exportState;
    exchange::Document exportHeld;
    runExport(exportHost, exportState, folders, exportHeld);
    ASSERT_TRUE(exportHost.errors.isEmpty())
        << exportHost.errors.join(QLatin1Char('\n')).toStdString();
    const Document out =
        Document::loadTree(QDir(docDir).filePath(QStringLiteral("ResultadoTempolanveltra.xml")));
    ASSERT_TRUE(out.ok()) << out.errorString().toStdString();
    QStringList keyed;
    for (const Row& t : teachers)
        if (!t["X_EMPLEADO"].trimmed().isEmpty())
            keyed << t["X_EMPLEADO"];
    EXPECT_EQ(keyed.size(), teachers.size() - school.teachersWithoutKey);
    int authorised = 0;
    for (const QString group : {"HORARIOS_NO_REGULARES", "HORARIOS_REGULARES"}) {
        SCOPED_TRACE(group.toStdString());
        const NodeList perTeacher = out.recordsOf(group);
        ASSERT_EQ(perTeacher.size(), keyed.size());
        for (int i = 0; i < perTeacher.size(); ++i) {
            const NodeList items = dataItems(perTeacher[i]);
            ASSERT_EQ(itemValue(items, 0), keyed[i]);
            const QString abbrev = [&] {
                for (const Row& t : teachers)
                    if (t["X_EMPLEADO"] == keyed[i])
                        return t["ABREV"];
                return QString();
            }();
            const NodeList activities =
                perTeacher[i].elementChildren(QStringLiteral("grupo_datos"));
            const bool regular = group.endsWith(QLatin1String("_REGULARES")) &&
                                 !group.contains(QLatin1String("NO_"));
            EXPECT_EQ(activities.size(), (regular ? regularOf : nonRegularOf).value(abbrev))
                << abbrev.toStdString();
            EXPECT_EQ(perTeacher[i].attribute(QStringLiteral("registros")),
                      QString::number(activities.size()));
            if (regular)
                for (const Node& a : activities)
                    authorised += dataItems(a).size() == 12;
        }
    }
    EXPECT_GT(authorised, 0) << "origin authorisations resolved through the catalogues";

    ASSERT_TRUE(exportHost.report.has_value());
    const run::RunReport& report = *exportHost.report;
    EXPECT_EQ(report.count(run::ReportKind::TeacherWithoutEmployee), school.teachersWithoutKey);
    expectReportAccountsForEveryEntry(report, out, work);
    // Everything the report names is written beside the document, for Notepad.
    const QString textPath = QDir(docDir).filePath(QStringLiteral("ResultadoTempolanveltra.txt"));
    EXPECT_EQ(QFileInfo::exists(textPath), !report.empty());
    if (!report.empty()) {
        const QByteArray text = readFile(textPath);
        EXPECT_TRUE(text.startsWith("\xEF\xBB\xBF"));
        EXPECT_TRUE(text.contains(exportHost.reportSentence.toUtf8().left(20)));
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, EndToEnd, ::testing::Values(0.1, 0.4, 1.0));

// The sample school with its shipped timetable: the export's report accounts for every
// entry, and says that the two teachers without an employee key were left out.
TEST(SampleSchool, ExportReportAccountsForEveryEntry) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString samples = QStringLiteral(VT_SOURCE_DIR "/samples/escuela");
    const QString work = dir.filePath(QStringLiteral("TLTEMP"));
    ASSERT_TRUE(QDir().mkpath(work));
    const QString doc = dir.filePath(QStringLiteral("veltra.xml"));
    ASSERT_TRUE(QFile::copy(samples + QStringLiteral("/veltra.xml"), doc));
    const RunFolders folders{work, QStringLiteral(VT_PROGRAMS_DIR "/VELTMATERIAS.DBF")};

    ScriptedHost importHost;
    importHost.documents = {doc};
    const auto codes = readCodes(samples + QStringLiteral("/codes.csv"));
    importHost.onCursos = [&](CursosLogic& d) {
        d.recover(false);
        d.applyCodes(codes);
        EXPECT_TRUE(d.completeOk());
    };
    importHost.onPlantillas = [&](PlantillasLogic& d) {
        EXPECT_EQ(d.chooseByCodes({QStringLiteral("1101"), QStringLiteral("1102")}).status,
                  PlantillasLogic::Choice::Ok);
    };
    run::RunState importState;
    exchange::Document held;
    runImport(importHost, importHost, importState, folders, held);
    ASSERT_EQ(importState.resultValue, 1) << importHost.errors.join(u'\n').toStdString();
    ASSERT_TRUE(
        QFile::copy(samples + QStringLiteral("/SOLUC.DBF"), work + QStringLiteral("/SOLUC.DBF")));

    ScriptedHost exportHost;
    exportHost.documents = {doc};
    run::RunState exportState;
    runExport(exportHost, exportState, folders, held);
    ASSERT_EQ(exportState.resultValue, 1) << exportHost.errors.join(u'\n').toStdString();
    ASSERT_TRUE(exportHost.report.has_value());
    EXPECT_EQ(exportHost.report->count(run::ReportKind::TeacherWithoutEmployee), 2);
    const Document out =
        Document::loadTree(dir.filePath(QStringLiteral("ResultadoTempolanveltra.xml")));
    ASSERT_TRUE(out.ok());
    expectReportAccountsForEveryEntry(*exportHost.report, out, work);
}
