// The main window and the two dialogs of the import as they come up on the screen at
// hand: each window inside the screen, every visible control inside its parent, no two
// visible neighbours overlapping. The window script runs this at 800×600 with normal and
// 150 % fonts; with VT_SHOTS set, each window is also saved as a picture there.

#include "../import/CursosFixture.h"
#include "../import/FramesFixture.h"
#include "ShellFixture.h"
#include "TestSupport.h"
#include "app/Look.h"
#include "app/QtRunHost.h"
#include "export/ExportRun.h"
#include "import/CursosLogic.h"
#include "import/ImportRun.h"
#include "import/PlantillasLogic.h"
#include "import/dialogs/Cursos.h"
#include "import/dialogs/Plantihoras.h"
#include "tables/Table.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The windows with the look the program gives them.
class Look : public testing::Environment {
    void SetUp() override { applyLook(*qApp); }
};
[[maybe_unused]] testing::Environment* const kLook = testing::AddGlobalTestEnvironment(new Look);

QString describe(const QWidget* w) {
    return QStringLiteral("%1 (%2)").arg(w->objectName(),
                                         QString::fromLatin1(w->metaObject()->className()));
}

QString rectText(const QRect& r) {
    return QStringLiteral("%1,%2 %3×%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// Controls of `parent` and below; the insides of lists and grids are theirs to arrange,
// but what a scroll area holds is checked as its own page.
void checkChildren(const QWidget* parent, QStringList& problems) {
    QList<const QWidget*> shown;
    for (const QObject* o : parent->children()) {
        const auto* w = qobject_cast<const QWidget*>(o);
        if (w && !w->isWindow() && w->isVisible())
            shown << w;
    }
    for (const QWidget* w : shown) {
        if (!parent->rect().contains(w->geometry()))
            problems << QStringLiteral("%1 at %2 sticks out of %3 (%4)")
                            .arg(describe(w), rectText(w->geometry()), describe(parent),
                                 rectText(parent->rect()));
    }
    for (qsizetype i = 0; i < shown.size(); ++i)
        for (qsizetype j = i + 1; j < shown.size(); ++j)
            if (shown[i]->geometry().intersects(shown[j]->geometry()))
                problems << QStringLiteral("%1 at %2 overlaps %3 at %4")
                                .arg(describe(shown[i]), rectText(shown[i]->geometry()),
                                     describe(shown[j]), rectText(shown[j]->geometry()));
    for (const QWidget* w : shown) {
        if (const auto* area = qobject_cast<const QScrollArea*>(w)) {
            if (area->widget())
                checkChildren(area->widget(), problems);
        } else if (!qobject_cast<const QAbstractScrollArea*>(w)) {
            checkChildren(w, problems);
        }
    }
}

QStringList layoutProblems(QWidget* window) {
    QStringList problems;
    const QRect screen = window->screen()->availableGeometry();
    if (!screen.contains(window->frameGeometry()))
        problems << QStringLiteral("%1 at %2 is not inside the screen %3")
                        .arg(describe(window), rectText(window->frameGeometry()), rectText(screen));
    checkChildren(window, problems);
    return problems;
}

void saveShot(QWidget* window, const QString& name) {
    const QString dir = qEnvironmentVariable("VT_SHOTS");
    if (!dir.isEmpty())
        window->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

void expectTidy(QWidget* window, const QString& name) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QCoreApplication::processEvents();
    saveShot(window, name);
    const QStringList problems = layoutProblems(window);
    EXPECT_TRUE(problems.isEmpty()) << name.toStdString() << ":\n"
                                    << problems.join(u'\n').toStdString();
}

TEST(WindowLayout, MainWindowFitsTheScreen) {
    Shell shell({});
    shell.show();
    expectTidy(shell.form.get(), QStringLiteral("principal"));
}

// Course offerings with long names that differ only at the end, as schools have them,
// the first with a level of five wide letters.
const QString kWideLevel = QStringLiteral("WMWMW");
const QString kLongName =
    QStringLiteral("2º Bachillerato de Ciencias y Tecnología - Modalidad General"); // 60

void writeOfferings(const QString& dir) {
    tables::CreateTable(dir, QStringLiteral("CURSOST"), CursosLogic::fields());
    tables::Table t;
    t.open(dir, QStringLiteral("CURSOST"));
    for (int i = 0; i < 14; ++i) {
        t.append();
        t.setText("CLAVE", QStringLiteral("%1").arg(1000 + i));
        t.setText("ESTUD", QStringLiteral("Programa de Diversificación Curricular (L.O.E.) - "
                                          "Educación Secundaria Obligatoria (%1º ESO)")
                               .arg(3 + i % 2));
        // The first row, where the cursor starts: its course is missing.
        if (i == 0) {
            t.setText("ESTUD", kLongName);
            t.setText("NIVEL", kWideLevel);
        }
        t.post();
    }
    t.close();
}

// Wholly inside the window, not covered by a scroll area's edge.
bool wholeInWindow(const QWidget* w) {
    const QRect r(w->mapTo(w->window(), QPoint(0, 0)), w->size());
    return w->isVisible() && w->window()->rect().contains(r) && !w->visibleRegion().isEmpty() &&
           w->visibleRegion().boundingRect().size() == w->size();
}

// First showing, and a repeated one with every notice and the forced exit in view.
TEST(WindowLayout, CourseDialogFitsTheScreen) {
    for (const bool repeated : {false, true}) {
        QTemporaryDir dir;
        writeOfferings(dir.path());
        SilentRunHost host;
        UnansweredQuestions nobody;
        CursosLogic logic(host, nobody, dir.path(), repeated);
        TControlCursos dlg(logic);
        dlg.show();
        if (repeated) {
            for (const char* name : {"LabelIncidencias", "LabelFalta"})
                dlg.findChild<QLabel*>(QLatin1String(name))->show();
        }
        expectTidy(&dlg, repeated ? QStringLiteral("cursos-repetido") : QStringLiteral("cursos"));
        // The rule, the buttons and the current row's name in full, all in view.
        const auto* rule = dlg.findChild<QLabel*>(QStringLiteral("LabelDistintos"));
        ASSERT_NE(rule, nullptr);
        EXPECT_TRUE(wholeInWindow(rule)) << "the five-characters rule is out of view";
        EXPECT_GE(rule->height(), rule->heightForWidth(rule->width())) << "the rule is cut";
        for (const char* name : {"BotonOK", "BotonForzarSalida"}) {
            const auto* b = dlg.findChild<QPushButton*>(QLatin1String(name));
            if (b->isVisible()) {
                EXPECT_TRUE(wholeInWindow(b)) << name;
            }
        }
        const auto* whole = dlg.findChild<QLabel*>(QStringLiteral("LabelEstudiosFila"));
        ASSERT_NE(whole, nullptr);
        EXPECT_TRUE(wholeInWindow(whole));
        EXPECT_EQ(whole->text(), "1000: " + kLongName);
        EXPECT_GE(whole->height(), whole->heightForWidth(whole->width()));
        // The five wide letters of the level and the three of the course, uncut.
        const auto* grid = dlg.findChild<QTableView*>(QStringLiteral("RejillaCursos"));
        const QFontMetrics fm(grid->font());
        EXPECT_GE(grid->columnWidth(TControlCursos::ColNivel),
                  fm.horizontalAdvance(kWideLevel) + 6);
        EXPECT_GE(grid->columnWidth(TControlCursos::ColCurso),
                  fm.horizontalAdvance(QStringLiteral("WMW")) + 6);
        EXPECT_GE(grid->viewport()->height(), 3 * grid->verticalHeader()->defaultSectionSize())
            << "room for at least three rows";
        dlg.reject();
    }
}

TEST(WindowLayout, FrameDialogFitsTheScreen) {
    using namespace frames_fixture;
    const exchange::Document doc = document({
        {"JORNADAS_ESCOLARES",
         {frame("MAN", "Jornada de mañana", "Desde 01/09/2026", "Hasta 30/06/2027"),
          frame("TAR", "Jornada de tarde", "Desde 01/09/2026", "Hasta 30/06/2027")}},
        {"TRAMOS_HORARIOS",
         {slot("1", "1ª hora de la mañana", "480", "540", "MAN"),
          slot("2", "2ª hora de la mañana", "540", "600", "MAN"),
          slot("3", "1ª hora de la tarde", "900", "960", "TAR")}},
    });
    SilentRunHost host;
    PlantillasLogic logic(host, doc);
    TPlantillas dlg(logic);
    dlg.show();
    expectTidy(&dlg, QStringLiteral("marcos"));
    const auto* continuar = dlg.findChild<QPushButton*>(QStringLiteral("BotonContinuar"));
    EXPECT_TRUE(wholeInWindow(continuar));
    dlg.accept();
}

// The document chooser, Qt's own dialog here, as large fonts make it: inside the screen,
// Abrir and Cancelar within reach.
TEST(WindowLayout, DocumentChooserFitsTheScreen) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("veltra"));
    testing_support::writeFile(dir.filePath(QStringLiteral("veltra/escuela.xml")), "<x/>");
    std::unique_ptr<QFileDialog> chooser(createOpenDialogXML(nullptr, dir.path()));
    chooser->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(chooser.get()));
    QTest::qWait(200); // the folder is read in the background
    saveShot(chooser.get(), QStringLiteral("selector"));
    const QRect screen = chooser->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(chooser->frameGeometry()))
        << rectText(chooser->frameGeometry()).toStdString() << " in "
        << rectText(screen).toStdString();
    const auto* buttons = chooser->findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    for (const QAbstractButton* b : buttons->buttons())
        EXPECT_TRUE(wholeInWindow(b)) << b->text().toStdString();
    chooser->reject();
}

} // namespace

// What the lower strip says during a run is read whole, not cut, for every step of the
// import and every phase of the export.
TEST(WindowLayout, EveryProgressLineFitsTheStrip) {
    Shell shell({});
    shell.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(shell.form.get()));
    const auto* strip = shell.form->findChild<QLabel*>(QStringLiteral("LabelPaso"));
    ASSERT_NE(strip, nullptr);
    QStringList lines;
    const auto& steps = importSteps();
    for (const ImportStepInfo& s : steps)
        lines << QStringLiteral("Paso %1 de %1: %2").arg(qsizetype(steps.size())).arg(s.label);
    for (const QString& phase : exportPhases())
        lines << QStringLiteral("Paso %1 de %1: %2").arg(exportPhases().size()).arg(phase);
    for (const QString& line : lines) {
        shell.form->showProgress(line);
        EXPECT_EQ(strip->text(), line) << "cut to " << strip->text().toStdString();
        EXPECT_EQ(strip->toolTip(), line);
    }
    saveShot(shell.form.get(), QStringLiteral("progreso"));
}
