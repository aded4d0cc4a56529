#include "import/ImportSteps.h"
#include "import/PlantillasLogic.h"
#include "import/dialogs/Plantihoras.h"
#include "text/RunError.h"

#include "FramesFixture.h"
#include "TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace frames_fixture;

namespace {

const QString kTooMany = QStringLiteral(
    "Demasiados Marcos Horarios seleccionados.\nComo máximo puede seleccionar 2 Marcos Horarios");
const QString kNone = QStringLiteral("Debe al menos seleccionar 1 Marco Horario.");

QList<Group> threeFrames() {
    return {
        {"JORNADAS_ESCOLARES",
         {frame("MAN", "Mañana", "Desde 01/09", "Hasta 30/06"), frame("TAR", "Tarde", "t1", "t2"),
          frame("NOCHE-LARGO2", "Noche", "n1", "n2")}},
        {"TRAMOS_HORARIOS",
         {slot("1", "1ª mañana", "480", "540", "MAN"), slot("2", "1ª tarde", "900", "960", "TAR"),
          slot("3", "2ª mañana", "540", "600", "MAN"),
          slot("4", "1ª noche", "1200", "1260", "NOCHE-LARGO2")}},
    };
}

QStringList texts(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QList<int> selectedRows(const QListWidget* list) {
    QList<int> rows;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected())
            rows << i;
    return rows;
}

// What a user does in one showing of the dialog.
using Script = std::function<void(TPlantillas&)>;

void click(TPlantillas& dlg, int row, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    auto* list = dlg.findChild<QListWidget*>("ListaMarcos");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, mods,
                      list->visualItemRect(list->item(row)).center());
}

void continuar(TPlantillas& dlg) {
    QTest::mouseClick(dlg.findChild<QPushButton*>("BotonContinuar"), Qt::LeftButton);
}

// A host that shows the real dialog and plays one script per showing.
class DialogHost : public ScriptedHost {
public:
    std::deque<Script> scripts;
    QList<QList<int>> selectionAtStart; // ListBox2's selection when each showing began
    QStringList results;                // resultado after each showing

    bool realMessageBoxes = false; // as the window shows them, closed with OK

    void showMessage(const QString& text) override {
        ScriptedHost::showMessage(text);
        if (!realMessageBoxes)
            return;
        QTimer::singleShot(0, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->button(QMessageBox::Ok)->click();
            else
                ADD_FAILURE() << "no message box";
        });
        QMessageBox::information(QApplication::activeWindow(), QString(), text);
    }

    void askFrames(PlantillasLogic& logic) override {
        ++plantillasShown;
        if (scripts.empty()) {
            ADD_FAILURE() << "dialog shown once more than scripted";
            throw RunError("sin respuesta");
        }
        Script script = scripts.front();
        scripts.pop_front();
        TPlantillas dlg(logic);
        QTimer::singleShot(0, &dlg, [&] {
            selectionAtStart << selectedRows(dlg.findChild<QListWidget*>("ListaMarcos"));
            script(dlg);
            if (dlg.isVisible()) {
                ADD_FAILURE() << "script left the dialog open";
                dlg.accept();
            }
        });
        dlg.exec();
        results << logic.resultado;
    }
};

class PlantillasDialog : public ::testing::Test {
protected:
    QTemporaryDir dir;
    DialogHost host;
    bool repeated = false; // the step had to show its dialog again
    exchange::Document doc = document(threeFrames());

    QList<Row> runStep() {
        ImportContext ctx{doc, host, host, dir.path(), QString()};
        CrearDiasHoras(ctx);
        repeated = ctx.dialogRepeated;
        return readRows(dir.path(), "DIASHORAST");
    }
};

TEST_F(PlantillasDialog, ShowsItsControls) {
    PlantillasLogic logic(host, doc);
    TPlantillas dlg(logic);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));

    EXPECT_EQ(dlg.windowTitle(), "Planillas, Marcos o Jornadas Horarias");
    EXPECT_EQ(dlg.property("helpContext").toInt(), 3);
    EXPECT_TRUE(dlg.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dlg.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    const struct {
        const char* name;
        QString text;
    } labels[] = {
        {"LabelPlantillas",
         "Seleccione 1, o los 2 Marcos Horarios que quiere aplicar a su Horario en Tempolan."},
        {"LabelSelec", QStringLiteral("Para seleccionar mas de un Marco Horario, mantenga (Ctrl) "
                                      "pulsado y seleccione cada marco con 1 click del botón "
                                      "izquierdo del ratón. Con el teclado: las flechas mueven el "
                                      "cursor, Ctrl+Espacio marca o desmarca el marco del cursor "
                                      "y Mayús+flechas marca varios seguidos.")},
        {"LabelMarcos", "MARCOS"},
        {"LabelNombre", QStringLiteral("Mañana")},
        {"LabelPlanFec1", "Desde 01/09"},
        {"LabelPlanFec2", "Hasta 30/06"},
        {"Label1", "HORAS"},
    };
    for (const auto& l : labels) {
        const auto* label = dlg.findChild<QLabel*>(l.name);
        ASSERT_NE(label, nullptr) << l.name;
        EXPECT_EQ(label->text(), l.text) << l.name;
        EXPECT_TRUE(label->isVisible()) << l.name;
    }
    const auto* selec = dlg.findChild<QLabel*>("LabelSelec");
    EXPECT_EQ(selec->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_TRUE(selec->font().bold() && selec->font().italic());
    const auto* nombre = dlg.findChild<QLabel*>("LabelNombre");
    EXPECT_TRUE(nombre->font().bold() && nombre->font().underline());

    const auto* marcos = dlg.findChild<QListWidget*>("ListaMarcos");
    ASSERT_NE(marcos, nullptr);
    EXPECT_EQ(marcos->selectionMode(), QAbstractItemView::ExtendedSelection);
    // Each code with its frame's name beside it.
    EXPECT_EQ(texts(marcos),
              QStringList({QStringLiteral("MAN — Mañana"), "TAR — Tarde", "NOCHE-LARGO2 — Noche"}));
    EXPECT_TRUE(selectedRows(marcos).isEmpty());
    const auto* horas = dlg.findChild<QListWidget*>("ListaHoras");
    ASSERT_NE(horas, nullptr);
    EXPECT_EQ(texts(horas),
              QStringList({QStringLiteral("1ª mañana"), QStringLiteral("2ª mañana")}));

    // The frame in focus is the logic's to keep, not a hidden widget's.
    EXPECT_EQ(dlg.findChild<QComboBox*>(), nullptr);
    EXPECT_EQ(logic.focusRow(), 0);

    const auto* button = dlg.findChild<QPushButton*>("BotonContinuar");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Continuar");
    EXPECT_EQ(button->property("helpContext").toInt(), 3);
    dlg.done(QDialog::Rejected);
}

TEST_F(PlantillasDialog, CtrlClickDeselectingStillMovesTheFocus) {
    PlantillasLogic logic(host, doc);
    TPlantillas dlg(logic);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    auto* marcos = dlg.findChild<QListWidget*>("ListaMarcos");
    auto* nombre = dlg.findChild<QLabel*>("LabelNombre");
    auto* horas = dlg.findChild<QListWidget*>("ListaHoras");

    click(dlg, 1);
    EXPECT_EQ(nombre->text(), "Tarde");
    click(dlg, 2, Qt::ControlModifier);
    EXPECT_EQ(selectedRows(marcos), QList<int>({1, 2}));
    EXPECT_EQ(nombre->text(), "Noche");
    EXPECT_EQ(texts(horas), QStringList({QStringLiteral("1ª noche")}));

    click(dlg, 1, Qt::ControlModifier); // deselects TAR, which still takes the focus
    EXPECT_EQ(selectedRows(marcos), QList<int>({2}));
    EXPECT_EQ(logic.selectedRows(), QList<int>({2}));
    EXPECT_EQ(logic.focusRow(), 1);
    EXPECT_EQ(nombre->text(), "Tarde");
    EXPECT_EQ(dlg.findChild<QLabel*>("LabelPlanFec1")->text(), "t1");
    EXPECT_EQ(texts(horas), QStringList({QStringLiteral("1ª tarde")}));

    click(dlg, 0);
    click(dlg, 2, Qt::ShiftModifier); // a range
    EXPECT_EQ(logic.selectedRows(), QList<int>({0, 1, 2}));
    EXPECT_EQ(nombre->text(), "Noche");
    dlg.done(QDialog::Rejected);
}

TEST_F(PlantillasDialog, LowerEntryClickedFirstStillComesSecond) {
    host.scripts.push_back([](TPlantillas& dlg) {
        click(dlg, 2);
        click(dlg, 0, Qt::ControlModifier);
        continuar(dlg);
    });
    const QList<Row> rows = runStep();
    EXPECT_EQ(host.plantillasShown, 1);
    EXPECT_TRUE(host.messages.isEmpty());
    EXPECT_FALSE(repeated);
    // The 3-character code comes back padded, the 12-character one cut to 10.
    EXPECT_EQ(host.results, QStringList({"MAN       NOCHE-LARG"}));
    EXPECT_EQ(column(rows, "MARCOXML").mid(0, 3), QStringList({"MAN", "MAN", "NOCHE-LARG"}));
}

TEST_F(PlantillasDialog, ThreeSelectedShowsTheFirstMessageAndANewDialog) {
    host.scripts.push_back([](TPlantillas& dlg) {
        click(dlg, 0);
        click(dlg, 1, Qt::ControlModifier);
        click(dlg, 2, Qt::ControlModifier);
        continuar(dlg);
    });
    host.scripts.push_back([](TPlantillas& dlg) {
        click(dlg, 1);
        continuar(dlg);
    });
    const QList<Row> rows = runStep();
    EXPECT_EQ(host.plantillasShown, 2);
    EXPECT_EQ(host.messages, QStringList({kTooMany}));
    EXPECT_EQ(host.results, QStringList({"MAN       TAR       NOCHE-LARG", "TAR       "}));
    EXPECT_EQ(host.selectionAtStart, QList<QList<int>>({{}, {}}));
    EXPECT_TRUE(repeated);
    EXPECT_EQ(column(rows, "CODDIHO"), QStringList(7, "2"));
}

TEST_F(PlantillasDialog, MessageBoxOverTheClosingDialog) {
    // The message box takes the activation from the closing dialog and gives it back;
    // the choice made before stays the dialog's answer.
    host.realMessageBoxes = true;
    host.scripts.push_back([](TPlantillas& dlg) {
        click(dlg, 0);
        click(dlg, 1, Qt::ControlModifier);
        click(dlg, 2, Qt::ControlModifier);
        continuar(dlg);
    });
    host.scripts.push_back([](TPlantillas& dlg) {
        click(dlg, 2);
        continuar(dlg);
    });
    const QList<Row> rows = runStep();
    EXPECT_EQ(host.messages, QStringList({kTooMany}));
    EXPECT_EQ(host.results, QStringList({"MAN       TAR       NOCHE-LARG", "NOCHE-LARG"}));
    EXPECT_EQ(column(rows, "CODDIHO"), QStringList(7, "4"));
}

TEST_F(PlantillasDialog, NothingSelectedShowsTheSecondMessage) {
    host.scripts.push_back([](TPlantillas& dlg) { continuar(dlg); });
    host.scripts.push_back([](TPlantillas& dlg) {
        click(dlg, 1);
        click(dlg, 1, Qt::ControlModifier); // selected, then deselected again
        continuar(dlg);
    });
    host.scripts.push_back([](TPlantillas& dlg) {
        click(dlg, 0);
        continuar(dlg);
    });
    const QList<Row> rows = runStep();
    EXPECT_EQ(host.plantillasShown, 3);
    EXPECT_EQ(host.messages, QStringList({kNone, kNone}));
    EXPECT_TRUE(repeated);
    EXPECT_EQ(rows.size(), 14);
}

// To whatever has the focus, as the keyboard does.
void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* to = QApplication::focusWidget();
    QTest::keyClick(to ? to : QApplication::activeModalWidget(), k, mods);
}

// Answers the question about leaving from the keyboard once it shows: Tab until `button`
// has the focus (nothing when null), then `finish`.
void answerLeaving(const char* button, Qt::Key finish) {
    QTimer::singleShot(0, [button, finish] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            ADD_FAILURE() << "no question";
            return;
        }
        box->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(box));
        EXPECT_EQ(box->text(), PlantillasLogic::kLeaveText);
        if (button) {
            QWidget* target = box->findChild<QPushButton*>(QLatin1String(button));
            for (int i = 0; i < 6 && QApplication::focusWidget() != target; ++i)
                key(Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), target);
        }
        key(finish);
    });
}

// Escape or the close box ask whether to leave the import; only choosing to leave leaves,
// and the step then reports the way out. The keyboard works on every button.
TEST_F(PlantillasDialog, TheWayOutAsksAndOnlyAChosenLeaveLeaves) {
    const struct Case {
        const char* name;
        bool closeBox;      // the close box rather than Escape
        const char* button; // where Tab takes the focus in the question; null: the default
        Qt::Key finish;
        bool leaves;
    } cases[] = {
        {"Escape, Escape", false, nullptr, Qt::Key_Escape, false},
        {"Escape, Enter", false, nullptr, Qt::Key_Return, false},
        {"Escape, Enter on Seguir", false, "BotonSeguir", Qt::Key_Return, false},
        {"Escape, Enter on Salir", false, "BotonSalir", Qt::Key_Return, true},
        {"close box, Enter on Salir", true, "BotonSalir", Qt::Key_Enter, true},
        {"close box, Escape", true, nullptr, Qt::Key_Escape, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogHost dialogs;
        QTemporaryDir folder;
        dialogs.scripts.push_back([&c](TPlantillas& dlg) {
            answerLeaving(c.button, c.finish);
            if (c.closeBox)
                dlg.close();
            else
                key(Qt::Key_Escape);
            EXPECT_EQ(dlg.isVisible(), !c.leaves);
            if (dlg.isVisible()) {
                // Still choosing, from the keyboard: the last frame, then Continuar.
                dlg.activateWindow();
                EXPECT_TRUE(QTest::qWaitForWindowActive(&dlg));
                dlg.findChild<QListWidget*>("ListaMarcos")->setFocus();
                key(Qt::Key_End);
                key(Qt::Key_Return);
            }
        });
        ImportContext ctx{doc, dialogs, dialogs, folder.path(), QString()};
        EXPECT_EQ(CrearDiasHoras(ctx), c.leaves);
        EXPECT_EQ(dialogs.plantillasShown, 1);
        EXPECT_TRUE(dialogs.messages.isEmpty());
        EXPECT_EQ(readRows(folder.path(), "DIASHORAST").size(), c.leaves ? 0 : 7);
    }
}

} // namespace
