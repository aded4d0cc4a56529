// The window's own user interface for the runs: Qt's texts in Spanish, the detail under a
// message, progress in the lower strip, and the keyboard on the main window.

#include "ShellFixture.h"
#include "app/QtRunHost.h"
#include "app/Translation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// The window with its own message boxes and chooser, as the program has it.
struct OwnHostShell {
    QTemporaryDir dir;
    RecordingHelp help;
    std::unique_ptr<TMForm> form;

    OwnHostShell() {
        ShellOptions o;
        o.help = &help;
        o.resultFile = dir.filePath(QStringLiteral("Tempolan.ini"));
        o.folders = RunFolders{dir.path(), dir.filePath(QStringLiteral("VELTMATERIAS.DBF"))};
        o.quit = [] {};
        form = std::make_unique<TMForm>(std::move(o));
    }
};

QStringList buttonTexts(QWidget* window) {
    QStringList texts;
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (b->isVisible() && !b->text().isEmpty())
            texts << b->text().remove(u'&');
    return texts;
}

// Runs `inspect` on the modal window the next call opens, then closes that window.
void whenModal(const std::function<void(QWidget*)>& inspect) {
    QTimer::singleShot(0, [inspect] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            ADD_FAILURE() << "no modal window came up";
            return;
        }
        inspect(modal);
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
    });
}

TEST(WindowHost, ChooserAndQuestionSpeakSpanish) {
    ASSERT_TRUE(installSpanishQtTexts(*qApp)) << "falta qtbase_es.qm (qt6-translations-l10n)";
    OwnHostShell shell;

    QStringList chooser;
    whenModal([&](QWidget* w) {
        EXPECT_NE(qobject_cast<QFileDialog*>(w), nullptr);
        chooser = buttonTexts(w);
    });
    EXPECT_EQ(shell.form->host().chooseDocument(), std::nullopt);
    EXPECT_TRUE(chooser.contains("Abrir")) << chooser.join('|').toStdString();
    EXPECT_TRUE(chooser.contains("Cancelar")) << chooser.join('|').toStdString();

    QStringList question;
    whenModal([&](QWidget* w) { question = buttonTexts(w); });
    EXPECT_FALSE(shell.form->host().askOkCancel(
        QStringLiteral("Recuperación de Niveles y Cursos importados anteriormente"),
        QStringLiteral("¿Quiere recuperar las codificaciones introducidas anteriormente?")));
    EXPECT_EQ(question, (QStringList{"Aceptar", "Cancelar"}));
}

// The detail goes under the next message only; the message's own text is unchanged.
TEST(WindowHost, DetailGoesUnderTheNextMessageOnly) {
    OwnHostShell shell;
    RunHost& host = shell.form->host();
    host.setMessageDetail(QStringLiteral("Documento escrito: /tmp/salida.xml"));
    QStringList seen;
    const auto record = [&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        seen << box->text() + u'|' + box->informativeText();
    };
    whenModal(record);
    host.showMessage(QStringLiteral("Proceso finalizado"));
    whenModal(record);
    host.showMessage(QStringLiteral("Proceso finalizado"));
    EXPECT_EQ(seen, (QStringList{"Proceso finalizado|Documento escrito: /tmp/salida.xml",
                                 "Proceso finalizado|"}));
}

// During a run the lower strip says which step works, and clicks and keys meant for the
// window are dropped; afterwards the strip is empty and the buttons work again.
TEST(WindowHost, ProgressShowsAndInputWaitsForTheRunToEnd) {
    QStringList progress;
    Shell* self = nullptr;
    Shell shell({}, [&](RunHost& h, run::RunState&, const RunFolders&, exchange::Document&) {
        QLabel* label = self->form->findChild<QLabel*>(QStringLiteral("LabelPaso"));
        ASSERT_NE(label, nullptr);
        // The shell's scripted host does not draw; the window's own host does.
        QtRunHost windowHost(*self->form);
        windowHost.stepStarted(4, 10, QStringLiteral("profesores"));
        progress << label->text();
        QTest::mouseClick(self->button("BImportar"), Qt::LeftButton);
        QTest::keyClick(self->button("BClose"), Qt::Key_Space);
        windowHost.stepFinished(4);
        (void)h;
    });
    self = &shell;
    shell.show();
    QTest::mouseClick(shell.button("BExportar"), Qt::LeftButton);
    EXPECT_EQ(progress, QStringList{"Paso 5 de 10: profesores"});
    EXPECT_EQ(shell.runs, QStringList{"import"}) << "the click on the other run was dropped";
    EXPECT_TRUE(shell.form->isVisible()) << "Salir did not act mid-run";
    EXPECT_TRUE(shell.form->findChild<QLabel*>(QStringLiteral("LabelPaso"))->text().isEmpty());
    QTest::mouseClick(shell.button("BImportar"), Qt::LeftButton);
    EXPECT_EQ(shell.runs, (QStringList{"import", "export"}));
}

// The OK in focus takes Enter as well as Space, and the focus shows from the start.
TEST(WindowHost, FocusedOkTakesEnterAndSpace) {
    Shell shell({});
    shell.show();
    EXPECT_EQ(shell.form->focusWidget(), shell.button("BExportar"));
    EXPECT_TRUE(shell.form->testAttribute(Qt::WA_KeyboardFocusChange));
    QTest::keyClick(shell.button("BExportar"), Qt::Key_Return);
    QTest::keyClick(shell.button("BExportar"), Qt::Key_Enter);
    shell.button("BImportar")->setFocus();
    QTest::keyClick(shell.button("BImportar"), Qt::Key_Space);
    EXPECT_EQ(shell.runs, (QStringList{"import", "import", "export"}));
}

} // namespace
