// The recovery question of the course dialog as the window asks it: a real message box,
// answered from the keyboard. Only choosing "No recuperar" deletes the saved codes;
// Escape, the close box and Enter keep them byte for byte.

#include "../import/CursosFixture.h"
#include "TestSupport.h"
#include "app/MainForm.h"
#include "import/CursosLogic.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

using namespace cursos_fixture;
using testing_support::readFile;

// To whatever has the focus, as the keyboard does.
void key(Qt::Key k) {
    QWidget* to = QApplication::focusWidget();
    QTest::keyClick(to ? to : QApplication::activeModalWidget(), k);
}

struct Case {
    const char* name;
    std::function<void(QMessageBox&)> answer; // from the keyboard, or the close box
    bool kept;
};

TEST(RecoveryQuestion, OnlyAChosenNoRecuperarDeletesTheSavedCodes) {
    const auto tabTo = [](QMessageBox& box, const char* name) {
        QWidget* target = box.findChild<QPushButton*>(QLatin1String(name));
        for (int i = 0; i < 6 && QApplication::focusWidget() != target; ++i)
            key(Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), target);
    };
    const Case cases[] = {
        {"Escape", [](QMessageBox&) { key(Qt::Key_Escape); }, true},
        {"close box", [](QMessageBox& box) { box.close(); }, true},
        {"Enter", [](QMessageBox&) { key(Qt::Key_Return); }, true},
        {"Enter on Recuperar",
         [&](QMessageBox& box) {
             tabTo(box, "BotonDescartar");
             tabTo(box, "BotonConservar");
             key(Qt::Key_Enter);
         },
         true},
        {"Enter on No recuperar",
         [&](QMessageBox& box) {
             tabTo(box, "BotonDescartar");
             key(Qt::Key_Return);
         },
         false},
        {"Space on No recuperar",
         [&](QMessageBox& box) {
             tabTo(box, "BotonDescartar");
             key(Qt::Key_Space);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        writeCursosTable(dir.path(), "CURSOST", {{"K1", "", ""}, {"K2", "", ""}});
        writeCursosTable(dir.path(), "CURSOST2", {{"K1", "ESO", "1"}, {"K2", "BCT", "2"}});
        const QByteArray saved = readFile(cursos2Path(dir.path()));

        ShellOptions options;
        options.folders = RunFolders{dir.path(), QString()};
        options.quit = [] {};
        TMForm form(std::move(options));
        form.show();
        QStringList buttons;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            box->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(box));
            EXPECT_EQ(box->windowTitle(), CursosLogic::kRecoveryCaption);
            EXPECT_EQ(box->text(), CursosLogic::kRecoveryText);
            for (QAbstractButton* b : box->buttons())
                buttons << b->text();
            c.answer(*box);
        });
        {
            CursosLogic logic(form.host(), form.questions(), dir.path());
            logic.show();
            logic.close();
        }
        // The buttons say what they do.
        EXPECT_TRUE(buttons.contains(CursosLogic::kRecoverButton));
        EXPECT_TRUE(buttons.contains(CursosLogic::kNoRecoverButton));
        if (c.kept) {
            EXPECT_EQ(readFile(cursos2Path(dir.path())), saved);
            EXPECT_EQ(readCodes(dir.path(), "CURSOST"),
                      (QList<Codes>{{"K1", "ESO", "1"}, {"K2", "BCT", "2"}}));
        } else {
            EXPECT_FALSE(QFile::exists(cursos2Path(dir.path())));
        }
    }
}

} // namespace
