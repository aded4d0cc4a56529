// A small school's Veltra document imported through the main window's run, with the
// user's answers to both dialogs scripted, then its timetable exported back: every
// working table and the document for Veltra are looked at.

#include "SchoolTimetable.h"
#include "TestSupport.h"

#include "app/MainForm.h"
#include "exchange/ExchangeDocument.h"
#include "import/CursosLogic.h"
#include "import/PlantillasLogic.h"
#include "import/dialogs/Plantihoras.h"
#include "run/Safekeeping.h"
#include "tables/Table.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

using testing_support::readFile;
using testing_support::writeFile;

const QString kSchool = QStringLiteral(VT_SOURCE_DIR "/tests/app/data/escuela.xml");
const QString kCatalog = QStringLiteral(VT_PROGRAMS_DIR "/VELTMATERIAS.DBF");

// Rows of a table, the given fields of each joined by "|", in table order.
QStringList rows(const QString& folder, const QString& table, const QStringList& fields) {
    tables::Table t;
    t.open(folder, table, tables::OpenMode::Shared);
    QStringList out;
    for (t.first(); !t.atEnd(); t.next()) {
        QStringList values;
        for (const QString& f : fields)
            values << t.text(f);
        out << values.join(u'|');
    }
    return out;
}

int rowCount(const QString& folder, const QString& table) {
    tables::Table t;
    t.open(folder, table, tables::OpenMode::Shared);
    return t.rowCount();
}

// "NAME=value" of every data item of a group, in order.
QStringList items(const exchange::Node& group) {
    QStringList r;
    for (const auto& d : group.elementChildren(QStringLiteral("dato")))
        r << d.attribute(QStringLiteral("nombre_dato")) + u'=' + d.text();
    return r;
}

class FullImport : public testing::Test {
protected:
    QTemporaryDir dir;
    QString work;
    QString document;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QFile::exists(kCatalog)) << "build the veltmaterias target first";
        work = dir.filePath(QStringLiteral("tltemp"));
        document = work + QStringLiteral("/veltra/escuela.xml");
        writeFile(document, readFile(kSchool));
    }

    // A main window as the program makes it, with the scripted user in place; each
    // window stands for one start of the program.
    std::unique_ptr<TMForm> window(ScriptedHost& host) {
        ShellOptions options;
        options.host = &host;
        options.questions = &host;
        options.folders = RunFolders{work, kCatalog};
        options.resultFile = dir.filePath(QStringLiteral("Tempolan.ini"));
        options.quit = [] {};
        return std::make_unique<TMForm>(std::move(options));
    }

    // The first import of the school: the user leaves the level of the Bachillerato
    // offer out, is told so, completes it in the new dialog, and picks the morning and
    // afternoon frames.
    void firstImport(ScriptedHost& host) {
        host.documents.push_back(document);
        host.onCursos = [&host](CursosLogic& dialog) {
            dialog.show();
            ASSERT_EQ(dialog.rowCount(), 3);
            if (host.cursosShown > 2) {
                ADD_FAILURE() << "the course dialog keeps coming back";
                dialog.forceExit();
            } else if (host.cursosShown == 1) {
                EXPECT_FALSE(dialog.showForzar());
                dialog.enterGrid();
                dialog.setNivel(0, QStringLiteral("ESO"));
                dialog.setCurso(0, QStringLiteral("1"));
                dialog.setNivel(1, QStringLiteral("ESO"));
                dialog.setCurso(1, QStringLiteral("2"));
                dialog.setCurso(2, QStringLiteral("1"));
                dialog.leaveGrid();
                dialog.confirm();
                EXPECT_EQ(dialog.ending, CursosLogic::Ending::Incomplete);
            } else {
                EXPECT_TRUE(dialog.showForzar()); // the repeated showing offers the way out
                EXPECT_EQ(dialog.keysLackingCodes(), QStringList{QStringLiteral("2001")});
                dialog.applyCodes(
                    {{QStringLiteral("2001"), {QStringLiteral("BCT"), QStringLiteral("1")}}});
                EXPECT_TRUE(dialog.completeOk());
            }
        };
        host.onPlantillas = [](PlantillasLogic& dialog) {
            const auto outcome =
                dialog.chooseByCodes({QStringLiteral("MAN"), QStringLiteral("TAR")});
            EXPECT_EQ(outcome.status, PlantillasLogic::Choice::Ok);
        };
        auto form = window(host);
        form->runImport();
        importState = form->state();
    }

    run::RunState importState; // the first import's window state once the run is over
};

TEST_F(FullImport, TenStepsFillEveryTableThenTheTimetableGoesBackToVeltra) {
    ScriptedHost host;
    firstImport(host);

    ASSERT_TRUE(host.errors.isEmpty()) << host.errors.join(" | ").toStdString();
    EXPECT_EQ(host.messages, QStringList({"¡Atención! Falta algún Dato", "Proceso finalizado"}));
    EXPECT_EQ(host.cursosShown, 2);
    EXPECT_EQ(host.plantillasShown, 1);
    EXPECT_EQ(host.buttonsDisabled, 1);
    EXPECT_EQ(host.busyDepth, 0);
    EXPECT_EQ(host.closed, 0); // standalone: the window stays
    EXPECT_EQ(importState.resultValue, 1);
    EXPECT_EQ(QDir::cleanPath(importState.filenameXML), QDir::cleanPath(document));

    // Step by step, what the school's document became.
    const struct {
        const char* table;
        int rows;
    } counts[] = {{"PERIODOS", 1},  {"CURSOST", 3},     {"CURSOST2", 3},   {"ASIGNOMT", 11},
                  {"ASIGNOMT2", 9}, {"PROFT", 5},       {"AULAT", 4},      {"GRUPOST", 4},
                  {"ASIGT", 13},    {"DIASHORAST", 70}, {"ORIGENES_C", 2}, {"NIVELES_C", 2},
                  {"CUR_NIV_C", 3}, {"AUTORIZA_C", 3}};
    for (const auto& c : counts)
        EXPECT_EQ(rowCount(work, QString::fromLatin1(c.table)), c.rows) << c.table;

    EXPECT_EQ(rows(work, "PERIODOS", {"CURSOANNO", "F_INICIO", "F_FIN"}),
              QStringList{"2024|16/09/2024|20/06/2025"});
    const QStringList cursos = {"1001|ESO|1|1º de Educación Secundaria Obligatoria",
                                "1002|ESO|2|2º de Educación Secundaria Obligatoria",
                                "2001|BCT|1|1º de Bachillerato de Ciencias y Tecnología"};
    EXPECT_EQ(rows(work, "CURSOST", {"CLAVE", "NIVEL", "CURSO", "ESTUD"}), cursos);
    EXPECT_EQ(rows(work, "CURSOST2", {"CLAVE", "NIVEL", "CURSO", "ESTUD"}), cursos);
    // Catalogue codes where the subject is listed, codes from the name where not; the
    // activities after the subjects, "#" on the two that are not regular.
    EXPECT_EQ(rows(work, "ASIGNOMT", {"COD", "CODTAREA", "ESTAREA", "R_UNI_MAT"}),
              QStringList({"MAT||F|", "LCL||F|", "ING||F|", "EF||F|", "FQ||F|", "MI||F|", "FIL||F|",
                           "1|1|T|SS", "#7|#7|T|NN", "#12|#12|T|NN", "20|20|T|SN"}));
    EXPECT_EQ(rows(work, "ASIGNOMT2", {"COD", "MATERIA", "OFERTAMATRI"}),
              QStringList({"MAT|50001|1001", "LCL|50002|1001", "ING|50003|1001", "EF|50004|1001",
                           "MAT|50011|1002", "LCL|50012|1002", "FQ|50013|1002", "MI|50021|2001",
                           "FIL|50022|2001"}));
    EXPECT_EQ(
        rows(work, "PROFT", {"ABREV", "NOMBRE", "X_EMPLEADO", "F_TOMAPOS"}),
        QStringList({"AGP|Ana García Pérez|7001|01/09/2015", "LMR|Luis Martín Ruiz|7002|01/09/2018",
                     "AGP1|Alba Gómez Prieto|7003|15/10/2020", "ESO|Eva Sanz Ortega||01/09/2024",
                     "JNL|José Núñez Lara|7005|01/09/2010"}));
    EXPECT_EQ(rows(work, "AULAT", {"ABREV", "DEPCENTRO"}),
              QStringList({"101|101", "102|102", "201|201", "301|301"}));
    EXPECT_EQ(rows(work, "GRUPOST", {"ABREV", "NIVEL", "CURSO", "GRUPO", "CLAVE", "CLAVECURSO"}),
              QStringList({"ESO1A|ESO|1|A|3001|1001", "ESO1B|ESO|1|B|3002|1001",
                           "ESO2A|ESO|2|A|3003|1002", "BCT1A|BCT|1|A|3004|2001"}));
    const QStringList asigt =
        rows(work, "ASIGT", {"CASIG", "CGRUP", "CLAVE", "CLAVECURSO", "CLAVEGRUPO", "SESIONES"});
    ASSERT_EQ(asigt.size(), 13);
    EXPECT_EQ(asigt.first(), "MAT|ESO1A|50001|1001|3001|1111");
    EXPECT_EQ(asigt.at(1), "MAT|ESO1B|50001|1001|3002|1111");
    EXPECT_EQ(asigt.at(8), "MAT|ESO2A|50011|1002|3003|1111");
    EXPECT_EQ(asigt.last(), "FIL|BCT1A|50022|2001|3004|1111");

    // The afternoon frame is listed first and so is the first frame, but the morning
    // starts earlier and takes rank 0; the meetings frame was not chosen.
    const QStringList dias = rows(work, "DIASHORAST",
                                  {"DIHO", "CODDIHO", "DIA", "HORA", "TEXTOHOR", "HORADESDE",
                                   "HORAHASTA", "MINUTOS", "MARCO", "MARCOXML"});
    ASSERT_EQ(dias.size(), 70);
    EXPECT_EQ(dias.at(0), "11|9001|1|1|1ª hora|08:00|08:55|55|0|MAN");
    EXPECT_EQ(dias.at(3), "14|9004|1|4|Recreo|10:45|11:15|30|0|MAN");
    EXPECT_EQ(dias.at(6), "11|9101|1|1|1ª tarde|16:00|16:55|55|1|TAR");
    EXPECT_EQ(dias.at(69), "74|9104|7|4|4ª tarde|18:45|19:40|55|1|TAR");
    for (const QString& r : dias)
        EXPECT_FALSE(r.endsWith("REU")) << r.toStdString();

    EXPECT_EQ(rows(work, "ORIGENES_C", {"X_CATORIHOR", "C_ORIHOR", "D_ORIHOR"}),
              QStringList({"1|CONC|Horas concertadas", "2|PRIV|Horas privadas"}));
    EXPECT_EQ(rows(work, "NIVELES_C", {"X_NIVCONPAGLEG", "C_NIVCON"}),
              QStringList({"40|ESO", "50|BACH"}));
    EXPECT_EQ(rows(work, "CUR_NIV_C", {"X_OFERTAMATRIG", "X_NIVCONPAGLEG"}),
              QStringList({"1001|40", "1002|40", "2001|50"}));
    EXPECT_EQ(rows(work, "AUTORIZA_C",
                   {"X_ORIHORACTETP", "X_ACTIVIDAD", "X_CATORIHOR", "X_NIVCONPAGLEG"}),
              QStringList({"800|1|1|40", "801|1|1|50", "802|20|1|40"}));

    // Tempolan computes the timetable; the program is started again for the export.
    ASSERT_EQ(school_timetable::writeSoluc(work), 13 + 5 + 1 + 1);
    ScriptedHost exportHost;
    exportHost.documents.push_back(document);
    auto form = window(exportHost);
    form->runExport();
    ASSERT_TRUE(exportHost.errors.isEmpty()) << exportHost.errors.join(" | ").toStdString();
    EXPECT_EQ(exportHost.messages, QStringList{"Proceso finalizado"});
    EXPECT_EQ(form->state().resultValue, 1);

    const QString output = work + QStringLiteral("/veltra/ResultadoTempolanescuela.xml");
    const QByteArray bytes = readFile(output);
    ASSERT_FALSE(bytes.isEmpty()) << output.toStdString();
    // Veltra's declaration and comment head the answer, written in Latin-1 as declared.
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!--"))
        << bytes.left(120).toStdString();
    EXPECT_TRUE(bytes.contains("Exportaci\xf3n")) << "the comment in Latin-1";

    const exchange::Document out = exchange::Document::loadTree(output);
    ASSERT_TRUE(out.ok()) << out.errorString().toStdString();
    EXPECT_EQ(out.root().attribute("modulo"), "HORARIOS");
    EXPECT_EQ(out.root().attribute("autor"), "TEMPOLAN");
    const auto year = out.select("/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"ANNO_ACADEMICO\"]");
    ASSERT_EQ(year.size(), 1);
    EXPECT_EQ(items(year.first()), QStringList{"C_ANNO=2024"});

    // Every teacher with an employee key, in PROFT order, in both timetable groups; the
    // one without a key is left out.
    const QStringList employees = {"7001", "7002", "7003", "7005"};
    for (const char* seq : {"HORARIOS_NO_REGULARES", "HORARIOS_REGULARES"}) {
        const auto group = out.selectSingle(
            QStringLiteral("/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"%1\"]").arg(seq));
        ASSERT_TRUE(group) << seq;
        EXPECT_EQ(group.attribute("registros"), "4") << seq;
        QStringList seen;
        for (const auto& teacher : group.elementChildren("grupo_datos"))
            seen << items(teacher).value(0).mid(QStringLiteral("X_EMPLEADO=").size());
        EXPECT_EQ(seen, employees) << seq;
    }

    // Regular timetables: ANA has three classes and the tutorial, the others what fell
    // to them in turn; ESO's classes are nowhere.
    const auto regular =
        out.select("/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"HORARIOS_REGULARES\"]/grupo_datos");
    ASSERT_EQ(regular.size(), 4);
    const int activities[] = {4, 3, 3, 2};
    for (int t = 0; t < 4; ++t) {
        EXPECT_EQ(regular.at(t).attribute("seq"),
                  QStringLiteral("HORARIO_REGULAR_PROFESOR_%1").arg(t + 1));
        EXPECT_EQ(regular.at(t).attribute("registros"), QString::number(activities[t]));
        EXPECT_EQ(regular.at(t).elementChildren("grupo_datos").size(), activities[t]);
    }
    const auto ana = regular.at(0).elementChildren("grupo_datos");
    ASSERT_EQ(ana.size(), 4);
    EXPECT_EQ(items(regular.at(0)), QStringList({"X_EMPLEADO=7001", "F_TOMAPOS=01/09/2015"}));
    EXPECT_EQ(items(ana.at(0)),
              QStringList({"N_DIASEMANA=1", "X_TRAMO=9001", "X_DEPENDENCIA=101", "X_UNIDAD=3001",
                           "X_OFERTAMATRIG=1001", "X_MATERIAOMG=50001", "F_INICIO=16/09/2024",
                           "F_FIN=20/06/2025", "N_HORINI=480", "N_HORFIN=535", "X_ACTIVIDAD=1",
                           "X_ORIHORACTETP=800"}));
    // Filosofía in 1º BCT A, authorised for Bachillerato.
    const auto alba = regular.at(2).elementChildren("grupo_datos");
    ASSERT_EQ(alba.size(), 3);
    EXPECT_EQ(items(alba.at(2)),
              QStringList({"N_DIASEMANA=2", "X_TRAMO=9003", "X_DEPENDENCIA=101", "X_UNIDAD=3004",
                           "X_OFERTAMATRIG=2001", "X_MATERIAOMG=50022", "F_INICIO=16/09/2024",
                           "F_FIN=20/06/2025", "N_HORINI=590", "N_HORFIN=645", "X_ACTIVIDAD=1",
                           "X_ORIHORACTETP=801"}));
    // The tutorial, in the afternoon frame (rank 1), needs a unit but drops the subject;
    // its course offer comes from the group.
    EXPECT_EQ(items(ana.at(3)),
              QStringList({"N_DIASEMANA=2", "X_TRAMO=9103", "X_DEPENDENCIA=101", "X_UNIDAD=3001",
                           "X_OFERTAMATRIG=1001", "X_MATERIAOMG=", "F_INICIO=16/09/2024",
                           "F_FIN=20/06/2025", "N_HORINI=1070", "N_HORFIN=1125", "X_ACTIVIDAD=20",
                           "X_ORIHORACTETP=802"}));

    // Non-regular timetables: one guard duty each, its slot's length in minutes.
    const auto guards = out.select(
        "/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"HORARIOS_NO_REGULARES\"]/grupo_datos");
    ASSERT_EQ(guards.size(), 4);
    const char* minutes[] = {"30", "55", "55", "55"};
    for (int t = 0; t < 4; ++t) {
        EXPECT_EQ(guards.at(t).attribute("registros"), "1");
        const auto duty = guards.at(t).elementChildren("grupo_datos");
        ASSERT_EQ(duty.size(), 1);
        EXPECT_EQ(duty.first().attribute("seq"), "ACTIVIDAD_1");
        EXPECT_EQ(items(duty.first()),
                  QStringList({"X_ACTIVIDAD=7", QStringLiteral("N_MINSEN=%1").arg(minutes[t])}));
    }
}

// The next import of the same school: the codes typed last time come back from
// CURSOST2, so the course dialog completes without typing.
TEST_F(FullImport, ASecondImportRecoversTheCodesTypedTheFirstTime) {
    ScriptedHost first;
    firstImport(first);
    ASSERT_TRUE(first.errors.isEmpty()) << first.errors.join(" | ").toStdString();
    const QStringList groups = rows(work, "GRUPOST", {"ABREV", "CLAVE"});

    ScriptedHost again;
    again.documents.push_back(document);
    again.answers.push_back(true); // recover the saved codes
    again.onCursos = [&again](CursosLogic& dialog) {
        dialog.show();
        EXPECT_TRUE(dialog.keysLackingCodes().isEmpty());
        if (again.cursosShown > 1)
            dialog.forceExit(); // already a failure: leave the run
        else
            dialog.confirm();
        EXPECT_NE(dialog.ending, CursosLogic::Ending::Incomplete);
    };
    again.onPlantillas = [](PlantillasLogic& dialog) {
        dialog.activate();
        dialog.setSelection({1}); // the morning only
        dialog.proceed();
    };
    auto form = window(again);
    form->runImport();
    ASSERT_TRUE(again.errors.isEmpty()) << again.errors.join(" | ").toStdString();
    EXPECT_EQ(again.questions.size(), 1);
    EXPECT_EQ(again.cursosShown, 1);
    EXPECT_EQ(again.messages.last(), "Proceso finalizado");
    EXPECT_EQ(rows(work, "GRUPOST", {"ABREV", "CLAVE"}), groups);
    // One frame: 6 morning slots a day, all of rank 0.
    const QStringList marcos = rows(work, "DIASHORAST", {"MARCO", "MARCOXML"});
    EXPECT_EQ(marcos.size(), 42);
    EXPECT_EQ(marcos.count("0|MAN"), 42);
}

// "No recuperar" deletes the saved codes only until `restore`: the import kept CURSOST2
// among the tables it copied aside.
TEST_F(FullImport, DecliningTheSavedCodesCanBeUndoneByRestore) {
    ScriptedHost first;
    firstImport(first);
    ASSERT_TRUE(first.errors.isEmpty()) << first.errors.join(" | ").toStdString();
    const QByteArray saved = readFile(work + "/CURSOST2.DBF");
    ASSERT_FALSE(saved.isEmpty());

    ScriptedHost again;
    again.documents.push_back(document);
    again.answers.push_back(false); // "No recuperar"
    again.onCursos = [](CursosLogic& dialog) {
        dialog.show();
        dialog.applyCodes({{"1001", {"EE", "1"}}, {"1002", {"EE", "2"}}, {"2001", {"BB", "1"}}});
        EXPECT_TRUE(dialog.completeOk());
    };
    again.onPlantillas = [](PlantillasLogic& dialog) {
        dialog.chooseByCodes({QStringLiteral("MAN")});
    };
    window(again)->runImport();
    ASSERT_TRUE(again.errors.isEmpty()) << again.errors.join(" | ").toStdString();
    EXPECT_NE(readFile(work + "/CURSOST2.DBF"), saved);

    const run::RestoreResult back = run::restoreLastImport(work, false);
    EXPECT_TRUE(back.restored) << back.message.toStdString();
    EXPECT_EQ(readFile(work + "/CURSOST2.DBF"), saved);
}

// Leaving the time-frame dialog through its way out, from the keyboard: the import ends
// as after the forced exit, every table as it was, and a message says so.
TEST_F(FullImport, TheTimeFrameWayOutLeavesTheTablesAsTheyWere) {
    ScriptedHost first;
    firstImport(first);
    ASSERT_TRUE(first.errors.isEmpty()) << first.errors.join(" | ").toStdString();
    QHash<QString, QByteArray> before;
    for (const QString& f : QDir(work).entryList({"*.DBF"}, QDir::Files))
        before.insert(f, readFile(work + "/" + f));

    struct RealFrames : ScriptedHost {
        void askFrames(PlantillasLogic& logic) override {
            ++plantillasShown;
            TPlantillas dlg(logic);
            QTimer::singleShot(0, &dlg, [&dlg] {
                QTimer::singleShot(0, [] {
                    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                    ASSERT_NE(box, nullptr);
                    box->activateWindow();
                    EXPECT_TRUE(QTest::qWaitForWindowActive(box));
                    auto* leave = box->findChild<QPushButton*>("BotonSalir");
                    for (int i = 0; i < 6 && QApplication::focusWidget() != leave; ++i)
                        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                });
                QTest::keyClick(&dlg, Qt::Key_Escape);
                if (dlg.isVisible()) {
                    ADD_FAILURE() << "the dialog stayed";
                    dlg.accept();
                }
            });
            dlg.exec();
        }
    } again;
    again.documents.push_back(document);
    again.answers.push_back(true);
    again.onCursos = [](CursosLogic& dialog) {
        dialog.show();
        dialog.applyCodes({{"1001", {"EE", "1"}}});
        EXPECT_TRUE(dialog.completeOk());
    };
    auto form = window(again);
    form->runImport();
    ASSERT_TRUE(again.errors.isEmpty()) << again.errors.join(" | ").toStdString();
    EXPECT_EQ(again.plantillasShown, 1);
    ASSERT_EQ(again.messages.size(), 2); // the question, then what happened
    EXPECT_TRUE(again.messages.last().startsWith("Importación interrumpida"));
    EXPECT_EQ(again.closed, 1);
    EXPECT_EQ(form->state().resultValue, 0); // not a completed run
    QHash<QString, QByteArray> after;
    for (const QString& f : QDir(work).entryList({"*.DBF"}, QDir::Files))
        after.insert(f, readFile(work + "/" + f));
    // All as before, but for the code typed in this run, kept for the next one.
    EXPECT_NE(after.take("CURSOST2.DBF"), before.take("CURSOST2.DBF"));
    EXPECT_EQ(after.keys().size(), before.keys().size());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        EXPECT_TRUE(after.value(it.key()) == it.value()) << it.key().toStdString();
}

// The shipped sample school, answered as its codes file says and with both frames, then
// exported with the sample's own SOLUC: every teacher with an employee key is there.
TEST(SampleSchool, ImportThroughTheWindowThenExportEveryKeyedTeacher) {
    const QString sample = QStringLiteral(VT_SOURCE_DIR "/samples/escuela");
    if (!QFile::exists(sample + "/veltra.xml") || !QFile::exists(sample + "/SOLUC.DBF"))
        GTEST_SKIP() << "no sample school in " << sample.toStdString();
    ASSERT_TRUE(QFile::exists(kCatalog)) << "build the veltmaterias target first";
    QTemporaryDir dir;
    const QString work = dir.filePath(QStringLiteral("TLTEMP"));
    const QString document = work + QStringLiteral("/VELTRA/veltra.xml");
    writeFile(document, readFile(sample + "/veltra.xml"));

    QHash<QString, CursosLogic::Codes> codes;
    const QStringList lines =
        QString::fromUtf8(readFile(sample + "/codes.csv")).split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : lines.mid(1)) {
        const QStringList f = line.trimmed().split(u',');
        ASSERT_EQ(f.size(), 3) << line.toStdString();
        codes.insert(f.at(0), {f.at(1), f.at(2)});
    }
    ASSERT_EQ(codes.size(), 40);

    auto run = [&](ScriptedHost& host, bool import) {
        host.documents.push_back(document);
        ShellOptions options;
        options.host = &host;
        options.questions = &host;
        options.folders = RunFolders{work, kCatalog};
        options.resultFile = dir.filePath(QStringLiteral("Tempolan.ini"));
        options.quit = [] {};
        TMForm form(std::move(options));
        import ? form.runImport() : form.runExport();
        EXPECT_EQ(form.state().resultValue, 1);
    };

    ScriptedHost importer;
    importer.onCursos = [&codes](CursosLogic& dialog) {
        dialog.show();
        dialog.applyCodes(codes);
        EXPECT_TRUE(dialog.completeOk()) << dialog.keysLackingCodes().join(' ').toStdString();
    };
    importer.onPlantillas = [](PlantillasLogic& dialog) {
        EXPECT_EQ(dialog.chooseByCodes({QStringLiteral("1101"), QStringLiteral("1102")}).status,
                  PlantillasLogic::Choice::Ok);
    };
    run(importer, true);
    ASSERT_TRUE(importer.errors.isEmpty()) << importer.errors.join(" | ").toStdString();
    EXPECT_EQ(importer.messages, QStringList{"Proceso finalizado"});
    EXPECT_EQ(rowCount(work, "CURSOST"), 40);
    EXPECT_EQ(rowCount(work, "PROFT"), 80);
    EXPECT_EQ(rowCount(work, "AULAT"), 30);
    EXPECT_EQ(rowCount(work, "GRUPOST"), 30);
    EXPECT_EQ(rowCount(work, "DIASHORAST"), 7 * (7 + 6));
    for (const QString& abrev : school_timetable::column(work, "GRUPOST", "ABREV"))
        EXPECT_FALSE(abrev.startsWith("NIV")) << "a group without its course's level";

    QStringList keyed;
    for (const QString& key : school_timetable::column(work, "PROFT", "X_EMPLEADO"))
        if (!key.trimmed().isEmpty())
            keyed << key;
    ASSERT_EQ(keyed.size(), 78);

    ASSERT_TRUE(QFile::copy(sample + "/SOLUC.DBF", work + "/SOLUC.DBF"));
    ScriptedHost exporter;
    run(exporter, false);
    ASSERT_TRUE(exporter.errors.isEmpty()) << exporter.errors.join(" | ").toStdString();
    const exchange::Document out =
        exchange::Document::loadTree(work + QStringLiteral("/VELTRA/ResultadoTempolanveltra.xml"));
    ASSERT_TRUE(out.ok()) << out.errorString().toStdString();
    int activities = 0;
    for (const char* seq : {"HORARIOS_NO_REGULARES", "HORARIOS_REGULARES"}) {
        const auto teachers = out.select(
            QStringLiteral("/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"%1\"]/grupo_datos").arg(seq));
        QStringList seen;
        for (const auto& teacher : teachers) {
            seen << items(teacher).value(0).mid(QStringLiteral("X_EMPLEADO=").size());
            activities += int(teacher.elementChildren("grupo_datos").size());
        }
        EXPECT_EQ(seen, keyed) << seq;
    }
    EXPECT_GT(activities, 0);
}

} // namespace
