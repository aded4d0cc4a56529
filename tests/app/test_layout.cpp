// The main window and the two dialogs of the import as they come up on the screen at
// hand: each window inside the screen, every visible control inside its parent, no two
// visible neighbours overlapping. The window script runs this at 800×600 with normal and
// 150 % fonts; with VT_SHOTS set, each window is also saved as a picture there.

#include "../import/CursosFixture.h"
#include "../import/FramesFixture.h"
#include "ShellFixture.h"
#include "export/ExportRun.h"
#include "import/CursosLogic.h"
#include "import/ImportRun.h"
#include "import/PlantillasLogic.h"
#include "import/dialogs/Cursos.h"
#include "import/dialogs/Plantihoras.h"
#include "tables/Table.h"

#include <QAbstractScrollArea>
#include <QDir>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <gtest/gtest.h>

namespace {

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

// Course offerings with long names that differ only at the end, as schools have them.
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
        t.post();
    }
    t.close();
}

// First showing, and a repeated one with every notice and the forced exit in view.
TEST(WindowLayout, CourseDialogFitsTheScreen) {
    for (const bool repeated : {false, true}) {
        QTemporaryDir dir;
        writeOfferings(dir.path());
        SilentRunHost host;
        MainState state;
        state.result = repeated;
        CursosLogic logic(host, state, dir.path());
        TControlCursos dlg(logic);
        dlg.show();
        if (repeated) {
            for (const char* name : {"LabelIncidencias", "LabelFalta"})
                dlg.findChild<QLabel*>(QLatin1String(name))->show();
        }
        expectTidy(&dlg, repeated ? QStringLiteral("cursos-repetido") : QStringLiteral("cursos"));
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
    dlg.reject();
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
