// The courses step and the widget-free logic of its dialog, driven through a scripted
// host: every showing of the dialog runs one scripted function over a fresh logic.

#include "CursosFixture.h"
#include "TestSupport.h"
#include "exchange/ExchangeDocument.h"
#include "import/CursosLogic.h"
#include "import/ImportSteps.h"
#include "tables/Table.h"
#include "tables/TableIo.h"
#include "text/RunError.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

using namespace cursos_fixture;

namespace {

const QString kFalta = QStringLiteral("¡Atención! Falta algún Dato");
const QString kCaption =
    QStringLiteral("Recuperación de Niveles y Cursos importados anteriormente");
const QString kQuestion =
    QStringLiteral("Existen Niveles y Cursos ya definidos de una Importación anterior.\n\r"
                   "¿Quiere recuperar las codificaciones introducidas anteriormente?");

class CursosTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }

    QString dir() const { return tmp.path(); }

    // Runs the step on a document with these records; showing k runs showings[k].
    bool runStep(const QList<QStringList>& records,
                 std::vector<std::function<void(CursosLogic&)>> showings) {
        doc = exchange::Document::fromBytes(cursosDocument(records), QStringLiteral("cursos.xml"));
        host.onCursos = [this, showings = std::move(showings)](CursosLogic& logic) {
            const int k = host.cursosShown - 1;
            ASSERT_LT(k, int(showings.size())) << "dialog shown more often than scripted";
            showings[k](logic);
        };
        ImportContext ctx{doc, host, host, dir(), QString()};
        ctx.dialogRepeated = repeated;
        running = &ctx;
        const bool forced = CrearCursos(ctx);
        running = nullptr;
        repeated = ctx.dialogRepeated;
        return forced;
    }

    QTemporaryDir tmp;
    exchange::Document doc;
    ScriptedHost host;
    bool repeated = false;            // a dialog of the run had to be shown again
    ImportContext* running = nullptr; // the step's context while it runs
};

const QList<QStringList> kThree = {
    {"K1", "1º ESO"},
    {"K2", "2º ESO"},
    {"K3", "1º Bachillerato"},
};

TEST_F(CursosTest, StepWritesOneRowPerOfferingAndTheCloseBoxLetsTheImportGoOn) {
    const bool forced = runStep(
        {
            {"  K1  ", "  1º ESO  "},
            {"ABCDEFGHIJKL", "Un nombre largo"},
            {"solo"}, // one item: skipped
            {"K1", "Repetida"},
        },
        {[](CursosLogic& logic) {
            logic.show();
            ASSERT_EQ(logic.rowCount(), 3);
            EXPECT_EQ(logic.row(0).clave, "K1");
            EXPECT_EQ(logic.row(0).estud, "1º ESO");
            EXPECT_EQ(logic.row(1).clave, "ABCDEFGHIJ");
            EXPECT_EQ(logic.row(2).clave, "K1");
            EXPECT_FALSE(logic.showForzar());
            EXPECT_FALSE(logic.showIncidencias());
            // The user types one level and closes the window through its frame.
            logic.enterGrid();
            logic.setNivel(0, "ESO");
        }});

    EXPECT_FALSE(forced);
    EXPECT_EQ(host.cursosShown, 1);
    EXPECT_FALSE(repeated);
    EXPECT_TRUE(host.questions.isEmpty()); // no CURSOST2: nothing to recover
    EXPECT_TRUE(host.messages.isEmpty());
    EXPECT_FALSE(QFile::exists(cursos2Path(dir())));
    const QList<Codes> expected = {{"K1", "ESO", ""}, {"ABCDEFGHIJ", "", ""}, {"K1", "", ""}};
    EXPECT_EQ(readCodes(dir(), "CURSOST"), expected);
    EXPECT_TRUE(releasedTable(dir(), "CURSOST"));

    tables::Table t;
    t.open(dir(), "CURSOST");
    QStringList names;
    for (const tables::FieldDef& f : t.fields())
        names << QStringLiteral("%1:%2").arg(f.name).arg(f.width);
    EXPECT_EQ(names.join(' '), "ABREV:3 TURNO:1 NIVEL:5 CURSO:3 CLAVE:10 ESTUD:80");
}

TEST_F(CursosTest, StepWithoutCoursesShowsAnEmptyGridWhoseOkCompletesAtOnce) {
    const bool forced = runStep({}, {[](CursosLogic& logic) {
                                    logic.show();
                                    EXPECT_EQ(logic.rowCount(), 0);
                                    logic.enterGrid(); // nothing to edit, nothing added
                                    logic.leaveGrid();
                                    logic.confirm();
                                    EXPECT_EQ(logic.ending, CursosLogic::Ending::Saved);
                                }});
    EXPECT_FALSE(forced);
    EXPECT_EQ(host.cursosShown, 1);
    EXPECT_TRUE(readCodes(dir(), "CURSOST").isEmpty());
    EXPECT_TRUE(readCodes(dir(), "CURSOST2").isEmpty()); // created by the complete OK
}

TEST_F(CursosTest, OkWithAGapThenCompletingItInTheNewDialogSavesEveryRow) {
    const bool forced = runStep(
        kThree, {
                    [this](CursosLogic& logic) {
                        logic.show();
                        EXPECT_FALSE(logic.showForzar());
                        logic.enterGrid();
                        logic.setNivel(0, "ESO");
                        logic.setCurso(0, "1");
                        logic.setNivel(1, "ESO");
                        logic.setCurso(1, "2");
                        logic.setNivel(2, "   "); // blanks only: still missing
                        logic.setCurso(2, "1");
                        logic.leaveGrid();
                        logic.confirm();
                        EXPECT_EQ(logic.ending, CursosLogic::Ending::Incomplete);
                        EXPECT_TRUE(logic.showIncidencias());
                        EXPECT_TRUE(logic.showForzar());
                        EXPECT_EQ(host.messages, QStringList{kFalta});
                        EXPECT_FALSE(QFile::exists(cursos2Path(dir()))); // nothing saved
                        EXPECT_FALSE(logic.isOpen());
                    },
                    [this](CursosLogic& logic) {
                        EXPECT_TRUE(running->dialogRepeated);
                        logic.show();
                        EXPECT_TRUE(logic.showForzar()); // from the start of a repeated showing
                        EXPECT_FALSE(logic.showIncidencias());
                        EXPECT_EQ(logic.row(0).nivel, "ESO"); // typed before, kept in CURSOST
                        logic.enterColumn();
                        EXPECT_FALSE(logic.showForzar());
                        logic.setNivel(2, "BCT");
                        logic.confirm();
                        EXPECT_EQ(logic.ending, CursosLogic::Ending::Saved);
                    },
                });

    EXPECT_FALSE(forced);
    EXPECT_EQ(host.cursosShown, 2);
    EXPECT_TRUE(repeated);
    EXPECT_EQ(host.messages, QStringList{kFalta});
    const QList<Codes> expected = {{"K1", "ESO", "1"}, {"K2", "ESO", "2"}, {"K3", "BCT", "1"}};
    EXPECT_EQ(readCodes(dir(), "CURSOST2"), expected);
    EXPECT_EQ(readCodes(dir(), "CURSOST"), expected);
    EXPECT_TRUE(releasedTable(dir(), "CURSOST"));
    EXPECT_TRUE(releasedTable(dir(), "CURSOST2"));
}

TEST_F(CursosTest, RecoveryTakesSavedCodesByExactKeyAndAgainOnARepeatedShowing) {
    writeCursosTable(
        dir(), "CURSOST2",
        {{"K1", "ESO", "1"}, {"k2", "BCT", "2"}, {"OTRA", "GAD", "1"}, {"K1", "XXX", "9"}});
    host.answers = {true, true};
    const bool forced =
        runStep({{"K1", "1º ESO"}, {"K2", "2º ESO"}, {"K1", "1º ESO bis"}},
                {
                    [this](CursosLogic& logic) {
                        logic.show();
                        EXPECT_EQ(host.messages, QStringList{kCaption});
                        EXPECT_EQ(host.questions, QStringList{kQuestion});
                        // Both rows of K1 take the first saved K1; k2 differs in case only.
                        EXPECT_EQ(logic.row(0).nivel, "ESO");
                        EXPECT_EQ(logic.row(2).curso, "1");
                        EXPECT_EQ(logic.row(1).nivel, "");
                        EXPECT_EQ(logic.keysLackingCodes(), QStringList{"K2"});
                        logic.setNivel(0, "OTRO"); // overwritten by the next recovery
                        logic.confirm();
                        EXPECT_EQ(logic.ending, CursosLogic::Ending::Incomplete);
                    },
                    [this](CursosLogic& logic) {
                        logic.show();
                        EXPECT_EQ(host.questions.size(), 2); // asked again while CURSOST2 exists
                        EXPECT_EQ(logic.row(0).nivel, "ESO");
                        logic.setNivel(1, "ESO");
                        logic.setCurso(1, "2");
                        logic.setCurso(2, "3"); // same key as row 0: the later row's codes win
                        logic.confirm();
                        EXPECT_EQ(logic.ending, CursosLogic::Ending::Saved);
                    },
                });
    EXPECT_FALSE(forced);
    const QList<Codes> saved = {{"K1", "ESO", "3"},
                                {"k2", "BCT", "2"},
                                {"OTRA", "GAD", "1"},
                                {"K1", "XXX", "9"},
                                {"K2", "ESO", "2"}};
    EXPECT_EQ(readCodes(dir(), "CURSOST2"), saved);
}

TEST_F(CursosTest, DecliningRecoveryDeletesTheSavedCodesEvenWhenTheExitIsForced) {
    writeCursosTable(dir(), "CURSOST2", {{"K1", "ESO", "1"}});
    host.answers = {false};
    repeated = true; // an earlier dialog of this run had to be repeated
    const bool forced =
        runStep(kThree, {[this](CursosLogic& logic) {
                    logic.show();
                    EXPECT_FALSE(QFile::exists(cursos2Path(dir())));
                    EXPECT_EQ(logic.row(0).nivel, "");
                    EXPECT_TRUE(logic.showForzar());
                    EXPECT_FALSE(releasedTable(dir(), "CURSOST")); // held while shown
                    logic.enterGrid();
                    logic.setNivel(0, "ESO");
                    logic.forceExit();
                    EXPECT_EQ(logic.ending, CursosLogic::Ending::ForcedExit);
                }});
    EXPECT_TRUE(forced);
    EXPECT_EQ(host.cursosShown, 1);
    EXPECT_FALSE(QFile::exists(cursos2Path(dir())));
    EXPECT_EQ(readCodes(dir(), "CURSOST").at(0), (Codes{"K1", "ESO", ""}));
    EXPECT_TRUE(releasedTable(dir(), "CURSOST"));
}

// Saved codes found under another letter case are the ones asked about, and declining
// deletes that very file, so they cannot come back at a later OK.
TEST_F(CursosTest, DecliningDeletesTheSavedCodesWhateverTheLetterCaseOfTheirFile) {
    for (const QString& saved : {QStringLiteral("cursost2.dbf"), QStringLiteral("CursosT2.Dbf")}) {
        SCOPED_TRACE(saved.toStdString());
        writeCursosTable(dir(), "CURSOST", {{"K1", "", ""}});
        writeCursosTable(dir(), "TMP", {{"K1", "ESO", "1"}});
        ASSERT_TRUE(QFile::rename(dir() + QStringLiteral("/TMP.DBF"), dir() + u'/' + saved));

        ScriptedHost h;
        h.answers = {false};
        CursosLogic logic(h, h, dir());
        logic.show();
        EXPECT_EQ(h.questions.size(), 1);
        EXPECT_FALSE(QFile::exists(dir() + u'/' + saved));
        EXPECT_FALSE(tables::FileExists(cursos2Path(dir())));
        EXPECT_TRUE(CursosLogic::savedCodes(dir()).isEmpty());
        EXPECT_EQ(logic.row(0).nivel, "");
        logic.close();
    }
}

TEST_F(CursosTest, AFailureInsideTheDialogEndsTheStepWithTheTablesClosed) {
    EXPECT_THROW(runStep(kThree, {[](CursosLogic& logic) {
                             logic.show();
                             logic.enterGrid();
                             logic.setNivel(0, "ESO");
                             throw RunError(QStringLiteral("fallo simulado"));
                         }}),
                 RunError);
    EXPECT_TRUE(releasedTable(dir(), "CURSOST"));
    // No way out of the dialog was taken: the row in edit is not written behind the
    // error's back.
    EXPECT_EQ(readCodes(dir(), "CURSOST").at(0).nivel, "");
}

// Every way out posts the row in edit where a failure reaches the caller; the destructor
// only releases.
TEST_F(CursosTest, WaysOutPostTheRowInEditAndReportAFailure) {
    std::optional<tables::detail::ScopedIoHooks> diskHooks; // the disk's faults, while set
    const struct {
        const char* name;
        std::function<void(CursosLogic&)> out;
    } ways[] = {
        {"close box", [](CursosLogic& l) { l.close(); }},
        {"OK", [](CursosLogic& l) { l.confirm(); }},
        {"forced exit", [](CursosLogic& l) { l.forceExit(); }},
        {"leaving the grid", [](CursosLogic& l) { l.leaveGrid(); }},
        {"none: the destructor", nullptr},
    };
    for (const auto& way : ways) {
        for (const bool diskFull : {false, true}) {
            SCOPED_TRACE(std::string(way.name) + (diskFull ? ", disk full" : ""));
            writeCursosTable(dir(), "CURSOST", {{"K1", "", ""}});
            QString error;
            {
                CursosLogic logic(host, host, dir());
                logic.show();
                logic.enterGrid();
                logic.setNivel(0, "ESO");
                if (diskFull)
                    diskHooks.emplace(tables::detail::IoHooks::writes(
                        [](auto&, qint64, const char*, qint64, QString* why) {
                            *why = QStringLiteral("no queda espacio en el disco");
                            return false;
                        }));
                try {
                    if (way.out)
                        way.out(logic);
                } catch (const RunError& e) {
                    error = e.message();
                }
            }
            diskHooks.reset();
            EXPECT_TRUE(releasedTable(dir(), "CURSOST"));
            const QString nivel = readCodes(dir(), "CURSOST").at(0).nivel;
            if (!way.out) {
                EXPECT_EQ(nivel, "");
                EXPECT_EQ(error, "");
            } else if (diskFull) {
                EXPECT_TRUE(error.contains("CURSOST") && error.contains("no queda espacio"))
                    << error.toStdString();
            } else {
                EXPECT_EQ(nivel, "ESO");
                EXPECT_EQ(error, "");
            }
        }
    }
}

// What counts as a missing level or course at OK: trimming removes U+0000 to U+0020.
TEST_F(CursosTest, OkTrimsControlCharactersAndBlanksWhenLookingForGaps) {
    struct Case {
        QString nivel;
        QString curso;
        bool gap;
    };
    const Case cases[] = {
        {"", "1", true},
        {"ESO", "", true},
        {"   ", "1", true},
        {QString("\t"), "1", true},
        {QString(" \x01\x1f"), "1", true},
        {"ESO", QString("\r\n"), true},
        {QString(QChar(0x00A0)), "1", false}, // a non-breaking space is a character
        {" E", "1", false},
        {"ESO", "1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nivel.toUtf8().toHex().toStdString() + "/" +
                     c.curso.toUtf8().toHex().toStdString());
        EXPECT_EQ(CursosLogic::isMissing(c.nivel) || CursosLogic::isMissing(c.curso), c.gap);

        QFile::remove(cursos2Path(dir()));
        writeCursosTable(dir(), "CURSOST", {{"K1", "", ""}});
        ScriptedHost h;
        CursosLogic logic(h, h, dir());
        logic.show();
        logic.setNivel(0, c.nivel);
        logic.setCurso(0, c.curso);
        logic.confirm();
        EXPECT_EQ(logic.ending == CursosLogic::Ending::Incomplete, c.gap);
        EXPECT_EQ(h.messages.size(), c.gap ? 1 : 0);
        EXPECT_EQ(QFile::exists(cursos2Path(dir())), !c.gap);
    }
}

// The batch front end drives the same logic without a screen.
TEST_F(CursosTest, WithoutAScreenCodesAreRecoveredGivenAndSavedAsTheOkDoes) {
    writeCursosTable(dir(), "CURSOST",
                     {{"K1", "", ""}, {"K2", "", ""}, {"K1", "", ""}, {"K3", "", ""}});
    writeCursosTable(dir(), "CURSOST2", {{"K3", "LS", "1"}, {"K9", "GAD", "2"}});

    const auto saved = CursosLogic::savedCodes(dir());
    EXPECT_EQ(saved.size(), 2);
    EXPECT_EQ(saved.value("K3").nivel, "LS");

    CursosLogic logic(host, host, dir());
    logic.recover(true);
    EXPECT_TRUE(host.questions.isEmpty()); // answered in advance
    EXPECT_EQ(logic.keysLackingCodes(), (QStringList{"K1", "K2"}));

    logic.applyCodes({{"K1", {"ESO", "1"}}, {"K3", {"BCT", "2"}}, {"NADA", {"X", "1"}}});
    EXPECT_EQ(logic.keysLackingCodes(), QStringList{"K2"});
    EXPECT_FALSE(logic.completeOk());
    EXPECT_TRUE(logic.isOpen());
    EXPECT_TRUE(host.messages.isEmpty());
    EXPECT_EQ(readCodes(dir(), "CURSOST2").size(), 2); // untouched

    logic.applyCodes({{"K2", {"ABCDEFG", "1234"}}}); // cut to the fields' widths
    EXPECT_TRUE(logic.keysLackingCodes().isEmpty());
    EXPECT_TRUE(logic.completeOk());
    EXPECT_FALSE(logic.isOpen());
    EXPECT_EQ(logic.ending, CursosLogic::Ending::Saved);

    const QList<Codes> cursos = {
        {"K1", "ESO", "1"}, {"K2", "ABCDE", "123"}, {"K1", "ESO", "1"}, {"K3", "BCT", "2"}};
    EXPECT_EQ(readCodes(dir(), "CURSOST"), cursos);
    const QList<Codes> cursos2 = {
        {"K3", "BCT", "2"}, {"K9", "GAD", "2"}, {"K1", "ESO", "1"}, {"K2", "ABCDE", "123"}};
    EXPECT_EQ(readCodes(dir(), "CURSOST2"), cursos2);

    CursosLogic declined(host, host, dir());
    declined.recover(false);
    EXPECT_FALSE(QFile::exists(cursos2Path(dir())));
    EXPECT_TRUE(CursosLogic::savedCodes(dir()).isEmpty());
}

// The navigator: moving away from a row posts it; cancel drops unposted codes.
TEST_F(CursosTest, NavigatorPostsOnMovingAndCancelDropsTheRowInEdit) {
    writeCursosTable(dir(), "CURSOST", {{"K1", "", ""}, {"K2", "", ""}});
    CursosLogic logic(host, host, dir());
    logic.show();
    logic.setCurrentRow(1);
    logic.edit();
    logic.setNivel(1, "ESO");
    EXPECT_TRUE(logic.isEditing());
    logic.cancel();
    EXPECT_FALSE(logic.isEditing());
    EXPECT_EQ(logic.row(1).nivel, "");

    logic.setNivel(1, "BCT");
    logic.setCurrentRow(0); // leaving the row posts it
    EXPECT_FALSE(logic.isEditing());
    logic.refresh();
    EXPECT_EQ(logic.row(1).nivel, "BCT");
    logic.close();
    EXPECT_EQ(readCodes(dir(), "CURSOST").at(1).nivel, "BCT");
}

} // namespace
