// The course dialog as the user meets it: the real widget under the offscreen platform,
// typed into with QTest, shown by the courses step through a host that runs one script
// per showing while the dialog is modal.

#include "CursosFixture.h"
#include "TestSupport.h"
#include "exchange/ExchangeDocument.h"
#include "import/CursosLogic.h"
#include "import/ImportSteps.h"
#include "import/dialogs/Cursos.h"
#include "text/RunError.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <vector>

using namespace cursos_fixture;

namespace {

class DialogHost : public ScriptedHost {
public:
    std::vector<std::function<void(TControlCursos&)>> scripts;

    void askCourseCodes(CursosLogic& logic) override {
        const size_t k = size_t(cursosShown++);
        TControlCursos dlg(logic);
        QTimer::singleShot(0, &dlg, [this, &dlg, k] {
            if (k < scripts.size()) {
                dlg.activateWindow();
                EXPECT_TRUE(QTest::qWaitForWindowActive(&dlg));
                scripts[k](dlg);
            } else {
                ADD_FAILURE() << "dialog shown more often than scripted";
            }
            // A script that leaves the dialog open leaves the import.
            if (dlg.isVisible())
                dlg.findChild<QPushButton*>(QStringLiteral("BotonForzarSalida"))->click();
        });
        dlg.exec();
    }
};

QTableView* gridOf(TControlCursos& dlg) {
    return dlg.findChild<QTableView*>(QStringLiteral("RejillaCursos"));
}

QPushButton* button(TControlCursos& dlg, const char* name) {
    return dlg.findChild<QPushButton*>(QLatin1String(name));
}

// Types into whatever has the focus, key by key, as the user would.
void type(const QString& text) {
    for (const QChar c : text)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
}

void press(Qt::Key key) {
    QTest::keyClick(QApplication::focusWidget(), key);
}

void goToCell(TControlCursos& dlg, int row, int column) {
    QTableView* grid = gridOf(dlg);
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(row, column));
}

class CursosDialogTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }

    bool runStep(const QList<QStringList>& records) {
        doc = exchange::Document::fromBytes(cursosDocument(records), QStringLiteral("cursos.xml"));
        ImportContext ctx{doc, host, host, tmp.path(), QString()};
        const bool forced = CrearCursos(ctx);
        repeated = ctx.dialogRepeated;
        return forced;
    }

    QTemporaryDir tmp;
    exchange::Document doc;
    DialogHost host;
    bool repeated = false; // the step had to show its dialog again
};

const QList<QStringList> kTwo = {{"K1", "1º ESO"}, {"K2", "2º ESO"}};

TEST_F(CursosDialogTest, ShowsItsControlsWithTheirTexts) {
    host.scripts = {[](TControlCursos& dlg) {
        EXPECT_EQ(dlg.windowTitle(), "Asignación de Niveles y Cursos");
        EXPECT_EQ(dlg.property("helpContext").toInt(), 1);
        EXPECT_NE(dlg.minimumSize(), dlg.maximumSize()); // the user may resize it
        EXPECT_TRUE(dlg.windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(dlg.windowFlags() & Qt::WindowMinimizeButtonHint);

        QTableView* grid = gridOf(dlg);
        ASSERT_NE(grid, nullptr);
        EXPECT_EQ(grid->property("helpContext").toInt(), 1);
        EXPECT_TRUE(grid->alternatingRowColors());
        const QAbstractItemModel* m = grid->model();
        QStringList headings;
        for (int c = 0; c < m->columnCount(); ++c)
            headings << m->headerData(c, Qt::Horizontal).toString();
        EXPECT_EQ(headings, (QStringList{"CÓD.VELTRA", "ESTUDIOS", "NIVEL", "CURSO"}));
        ASSERT_EQ(m->rowCount(), 2);
        EXPECT_EQ(m->index(1, 0).data().toString(), "K2");
        EXPECT_EQ(m->index(1, 1).data().toString(), "2º ESO");
        // The offering's name in full when the column shortens it.
        EXPECT_EQ(m->index(1, 1).data(Qt::ToolTipRole).toString(), "2º ESO");
        EXPECT_EQ(gridOf(dlg)->textElideMode(), Qt::ElideMiddle);
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(bool(m->flags(m->index(0, c)) & Qt::ItemIsEditable), c >= 2) << c;

        QPushButton* ok = button(dlg, "BotonOK");
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->text(), "&OK"); // shown as "OK", Alt+O from the keyboard
        EXPECT_FALSE(ok->icon().isNull());
        EXPECT_EQ(ok->property("helpContext").toInt(), 1);
        QPushButton* forzar = button(dlg, "BotonForzarSalida");
        ASSERT_NE(forzar, nullptr);
        EXPECT_EQ(forzar->text(), "Forzar Salida Sin Terminar Proceso ");
        EXPECT_FALSE(forzar->isVisible());

        QStringList shown;
        QStringList hidden;
        for (QLabel* l : dlg.findChildren<QLabel*>())
            (l->isVisible() ? shown : hidden) << l->text();
        EXPECT_TRUE(shown.contains("ASIGNACIÓN DE NIVELES Y CURSOS"));
        EXPECT_TRUE(shown.contains("Abreviatura del Grupo = ESO1A"));
        EXPECT_TRUE(
            shown.contains("Luego es de vital IMPORTANCIA que para cada NIVEL sus 5 Primeros "
                           "caracteres sean DISTINTOS."));
        EXPECT_TRUE(hidden.contains("INCIDENCIAS EN EL TRASPASO"));
        EXPECT_TRUE(hidden.contains(
            "Se ha detectado que falta por indicar algún NIVEL  o CURSO. Complete "
            "el/los datos que falten, para poder concluir el proceso, antes de Salir."));
        EXPECT_TRUE(hidden.contains(
            "¡ Atención ! Si fuerza la Salida no se importa nada: las tablas de trabajo quedan "
            "como estaban antes de la importación y los códigos que ha escrito se guardan."));
        // The current row's offering in full, under the grid.
        EXPECT_TRUE(shown.contains("K1: 1º ESO"));

        const auto nav = dlg.findChild<QWidget*>(QStringLiteral("DBNavigator1"));
        ASSERT_NE(nav, nullptr);
        EXPECT_EQ(nav->findChildren<QToolButton*>().size(), 10);
    }};
    EXPECT_TRUE(runStep(kTwo)); // left by the forced exit
}

TEST_F(CursosDialogTest, TypedCodesReachCursostAndAGapBringsTheForcedExit) {
    host.scripts = {
        [](TControlCursos& dlg) {
            goToCell(dlg, 0, TControlCursos::ColNivel);
            type("ESOXYZ"); // NIVEL takes five characters
            press(Qt::Key_Return);
            type("1");
            press(Qt::Key_Return); // on to the next row
            EXPECT_EQ(gridOf(dlg)->currentIndex().row(), 1);
            EXPECT_FALSE(button(dlg, "BotonForzarSalida")->isVisible());
            QTest::mouseClick(button(dlg, "BotonOK"), Qt::LeftButton); // K2 still lacks codes
            EXPECT_FALSE(dlg.isVisible());
        },
        [](TControlCursos& dlg) {
            EXPECT_TRUE(button(dlg, "BotonForzarSalida")->isVisible());
            // The new dialog opens where the code is missing: the second row.
            EXPECT_EQ(gridOf(dlg)->currentIndex(),
                      gridOf(dlg)->model()->index(1, TControlCursos::ColNivel));
            const auto labels = dlg.findChildren<QLabel*>(QStringLiteral("LabelAtencion"));
            ASSERT_EQ(labels.size(), 1);
            EXPECT_TRUE(labels.front()->isVisible());
            EXPECT_EQ(gridOf(dlg)->model()->index(0, TControlCursos::ColNivel).data().toString(),
                      "ESOXY");
            QTest::mouseClick(button(dlg, "BotonForzarSalida"), Qt::LeftButton);
        },
    };
    EXPECT_TRUE(runStep(kTwo)); // forced exit
    EXPECT_EQ(host.cursosShown, 2);
    EXPECT_EQ(host.messages, QStringList{"¡Atención! Falta algún Dato"});
    EXPECT_TRUE(repeated);
    const QList<Codes> expected = {{"K1", "ESOXY", "1"}, {"K2", "", ""}};
    EXPECT_EQ(readCodes(tmp.path(), "CURSOST"), expected);
    EXPECT_FALSE(QFile::exists(cursos2Path(tmp.path())));
    EXPECT_TRUE(releasedTable(tmp.path(), "CURSOST"));
}

TEST_F(CursosDialogTest, EnteringAColumnHidesTheForcedExitAndACompleteOkSavesTheCodes) {
    host.scripts = {
        [](TControlCursos& dlg) { QTest::mouseClick(button(dlg, "BotonOK"), Qt::LeftButton); },
        [](TControlCursos& dlg) {
            ASSERT_TRUE(button(dlg, "BotonForzarSalida")->isVisible());
            // The cursor starts on the first missing code; entering a column hides the
            // forced exit.
            EXPECT_EQ(gridOf(dlg)->currentIndex(),
                      gridOf(dlg)->model()->index(0, TControlCursos::ColNivel));
            press(Qt::Key_Right);
            EXPECT_FALSE(button(dlg, "BotonForzarSalida")->isVisible());
            press(Qt::Key_Left);
            type("ESO");
            press(Qt::Key_Return);
            type("1");
            press(Qt::Key_Return); // on to the next row's NIVEL, never its key
            EXPECT_EQ(gridOf(dlg)->currentIndex(),
                      gridOf(dlg)->model()->index(1, TControlCursos::ColNivel));
            type("BCT");
            press(Qt::Key_Return);
            type("2");
            // Tab stores the open cell and leaves the grid for the explanation, then OK;
            // Enter there is OK.
            press(Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget()->objectName(), "AvisosCursos");
            press(Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), button(dlg, "BotonOK"));
            press(Qt::Key_Return);
        },
    };
    EXPECT_FALSE(runStep(kTwo));
    EXPECT_EQ(host.cursosShown, 2);
    const QList<Codes> expected = {{"K1", "ESO", "1"}, {"K2", "BCT", "2"}};
    EXPECT_EQ(readCodes(tmp.path(), "CURSOST"), expected);
    EXPECT_EQ(readCodes(tmp.path(), "CURSOST2"), expected);
}

// The close box (and Alt+F4) is OK: the open cell is kept and the codes are checked. With
// a gap the user hears of it and the forced exit is offered; the import never goes on
// with empty codes.
TEST_F(CursosDialogTest, TheCloseBoxChecksTheCodesAsOkDoes) {
    writeCursosTable(tmp.path(), "CURSOST2", {{"K2", "BCT", "2"}});
    host.answers = {true};
    host.scripts = {
        [](TControlCursos& dlg) {
            goToCell(dlg, 0, TControlCursos::ColCurso);
            type("4");
            dlg.close(); // K1 still lacks its level
            EXPECT_FALSE(dlg.isVisible());
        },
        [](TControlCursos& dlg) {
            EXPECT_TRUE(button(dlg, "BotonForzarSalida")->isVisible());
            goToCell(dlg, 0, TControlCursos::ColNivel);
            type("ESO");
            press(Qt::Key_Return);
            dlg.close(); // complete now: closing is a complete OK
        },
    };
    EXPECT_FALSE(runStep(kTwo));
    EXPECT_EQ(host.cursosShown, 2);
    EXPECT_TRUE(host.messages.contains("¡Atención! Falta algún Dato"));
    const QList<Codes> expected = {{"K1", "ESO", "4"}, {"K2", "BCT", "2"}};
    EXPECT_EQ(readCodes(tmp.path(), "CURSOST"), expected);
    EXPECT_EQ(readCodes(tmp.path(), "CURSOST2"), expected);
    EXPECT_TRUE(releasedTable(tmp.path(), "CURSOST"));
}

// Moves the focus with Tab alone, as a keyboard user does, until `target` has it.
bool tabTo(QWidget* target) {
    for (int i = 0; i < 12 && QApplication::focusWidget() != target; ++i)
        press(Qt::Key_Tab);
    return QApplication::focusWidget() == target;
}

// Enter on a button in focus is that button, whichever is the default; Delete and
// Backspace clear a code cell.
TEST_F(CursosDialogTest, EnterPressesTheButtonInFocus) {
    const struct Case {
        const char* name;
        bool fill;          // the codes are typed first (which hides the forced exit)
        const char* button; // where Tab takes the focus on the second showing
        bool forced;        // the step reports the forced exit
        QList<Codes> cursost2;
    } cases[] = {
        {"OK", true, "BotonOK", false, {{"K1", "ESO", "1"}, {"K2", "BCT", "2"}}},
        {"Forzar Salida", false, "BotonForzarSalida", true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        DialogHost dialogs;
        const char* target = c.button;
        dialogs.scripts = {
            [](TControlCursos& dlg) {
                // A gap: OK from the keyboard refuses and brings the forced exit.
                ASSERT_TRUE(tabTo(button(dlg, "BotonOK")));
                press(Qt::Key_Return);
                EXPECT_FALSE(dlg.isVisible());
            },
            [target, fill = c.fill](TControlCursos& dlg) {
                if (fill) {
                    goToCell(dlg, 0, TControlCursos::ColNivel);
                    type("ESO");
                    press(Qt::Key_Return);
                    type("1");
                    press(Qt::Key_Return);
                    type("BCT");
                    press(Qt::Key_Return);
                    type("9");
                    press(Qt::Key_Return);
                    press(Qt::Key_Delete); // 9 was wrong
                    EXPECT_EQ(gridOf(dlg)->model()->index(1, TControlCursos::ColCurso).data(), "");
                    type("2");
                    press(Qt::Key_Return);
                }
                ASSERT_TRUE(tabTo(button(dlg, target)));
                press(Qt::Key_Return);
                EXPECT_FALSE(dlg.isVisible());
            },
        };
        exchange::Document d =
            exchange::Document::fromBytes(cursosDocument(kTwo), QStringLiteral("cursos.xml"));
        ImportContext ctx{d, dialogs, dialogs, dir.path(), QString()};
        EXPECT_EQ(CrearCursos(ctx), c.forced);
        EXPECT_EQ(dialogs.cursosShown, 2);
        EXPECT_EQ(QFile::exists(cursos2Path(dir.path())), !c.cursost2.isEmpty());
        if (!c.cursost2.isEmpty()) {
            EXPECT_EQ(readCodes(dir.path(), "CURSOST2"), c.cursost2);
        }
    }
}

// What must never be out of sight, whatever the screen: the rule the levels must keep and
// the current row's offering in full, however long.
TEST_F(CursosDialogTest, TheRuleAndTheWholeNameStayInView) {
    const QString longName = QStringLiteral("2º Bachillerato de Ciencias y Tecnología, "
                                            "modalidad general");
    host.scripts = {[&longName](TControlCursos& dlg) {
        dlg.resize(420, 300);
        QApplication::processEvents();
        const auto* rule = dlg.findChild<QLabel*>(QStringLiteral("LabelDistintos"));
        ASSERT_NE(rule, nullptr);
        EXPECT_TRUE(rule->isVisible());
        EXPECT_TRUE(dlg.rect().contains(QRect(rule->mapTo(&dlg, QPoint(0, 0)), rule->size())));
        goToCell(dlg, 1, TControlCursos::ColNivel);
        const auto* whole = dlg.findChild<QLabel*>(QStringLiteral("LabelEstudiosFila"));
        ASSERT_NE(whole, nullptr);
        EXPECT_EQ(whole->text(), "K2: " + longName);
        EXPECT_FALSE(whole->accessibleName().isEmpty());
        // NIVEL holds five of the widest letters.
        const QFontMetrics fm(gridOf(dlg)->font());
        EXPECT_GE(gridOf(dlg)->columnWidth(TControlCursos::ColNivel),
                  fm.horizontalAdvance(QStringLiteral("WWWWW")));
        EXPECT_GE(gridOf(dlg)->columnWidth(TControlCursos::ColCurso),
                  fm.horizontalAdvance(QStringLiteral("WWW")));
        // The explanation is reachable from the keyboard.
        EXPECT_TRUE(tabTo(dlg.findChild<QWidget*>(QStringLiteral("AvisosCursos"))));
    }};
    EXPECT_TRUE(runStep({{"K1", "1º ESO"}, {"K2", longName}}));
}

TEST_F(CursosDialogTest, ATableFailureClosesTheDialogAndReachesTheStep) {
    // No CURSOST in the folder: opening it fails while the dialog shows.
    CursosLogic logic(host, host, tmp.path());
    TControlCursos dlg(logic);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &dlg, [&dlg] {
        ADD_FAILURE() << "the dialog stayed open";
        dlg.close();
    });
    watchdog.start(5000);
    EXPECT_THROW(dlg.exec(), RunError);
    EXPECT_FALSE(dlg.isVisible());
}

} // namespace
