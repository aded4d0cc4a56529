#include "ShellFixture.h"
#include "app/QtRunHost.h"
#include "import/ImportSteps.h"
#include "text/RunError.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

template <class Case> std::string caseName(const testing::TestParamInfo<Case>& p) {
    return p.param.name;
}

using testing_support::readFile;
using testing_support::writeFile;

const QByteArray kDocument = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                             "<SERVICIO><BLOQUE_DATOS/></SERVICIO>\n";

// How the import run's steps behave in a row of the table below.
enum class Steps { Complete, ForceExit, Fail };

ShellOptions::Run importWith(Steps how) {
    return [how](RunHost& h, run::RunState& s, const RunFolders& f, exchange::Document& d) {
        std::vector<ImportStep> steps(10, [](ImportContext&) { return false; });
        if (how == Steps::ForceExit)
            steps[1] = [](ImportContext&) { return true; };
        if (how == Steps::Fail)
            steps[5] = [](ImportContext&) -> bool {
                throw RunError(QStringLiteral("No se puede crear la tabla AULAT"));
            };
        UnansweredQuestions nobody;
        runImport(h, nobody, s, f, d, steps);
    };
}

struct OutcomeCase {
    const char* name;
    QStringList parameters;
    bool chooseDocument; // false: the chooser is cancelled
    Steps steps;
    bool pressSalir;
    std::optional<QByteArray> ini; // what Tempolan.ini holds afterwards; nothing: no file
    bool windowOpen;
    bool buttonsEnabled;
    QStringList messages;
};

class RunOutcome : public testing::TestWithParam<OutcomeCase> {};

// Each way a run can end: the result value written, the window, the buttons, messages.
TEST_P(RunOutcome, WritesTheResultFileOnlyWhenEmbedded) {
    const OutcomeCase& c = GetParam();
    Shell shell(c.parameters, importWith(c.steps));
    const QString doc = shell.dir.filePath(QStringLiteral("veltra.xml"));
    writeFile(doc, kDocument);
    shell.host.documents.push_back(c.chooseDocument ? std::optional<QString>(doc) : std::nullopt);
    shell.show();
    if (c.pressSalir)
        QTest::mouseClick(shell.button("BClose"), Qt::LeftButton);

    EXPECT_EQ(shell.host.messages, c.messages);
    EXPECT_EQ(shell.form->isVisible(), c.windowOpen);
    EXPECT_EQ(shell.quits, c.windowOpen ? 0 : 1);
    EXPECT_EQ(shell.button("BExportar")->isEnabled(), c.buttonsEnabled);
    EXPECT_EQ(shell.button("BImportar")->isEnabled(), c.buttonsEnabled);
    if (c.ini)
        EXPECT_EQ(readFile(shell.ini()), *c.ini);
    else
        EXPECT_FALSE(QFile::exists(shell.ini()));
}

QByteArray iniWith(const char* value) {
    return QByteArray("[Transformadores]\r\nTransformado=") + value + "\r\n";
}

const QString kBadHex = QStringLiteral("'$zz' no es un valor entero válido: Tempolan debe pasar el "
                                       "identificador de su ventana en hexadecimal.");

INSTANTIATE_TEST_SUITE_P(
    Table, RunOutcome,
    testing::Values(
        OutcomeCase{"EmbeddedNoDocument",
                    {"exportar", "1A"},
                    false,
                    Steps::Complete,
                    false,
                    iniWith("-1"),
                    false,
                    true,
                    {"No existe archivo"}},
        OutcomeCase{"StandaloneNoDocument",
                    {"exportar", "zz"},
                    false,
                    Steps::Complete,
                    false,
                    std::nullopt,
                    true,
                    true,
                    {kBadHex, "No existe archivo"}},
        OutcomeCase{"EmbeddedCompleted",
                    {"EXPORTAR", "1A"},
                    true,
                    Steps::Complete,
                    false,
                    iniWith("1"),
                    false,
                    false,
                    {"Proceso finalizado"}},
        OutcomeCase{"StandaloneCompletedStaysOpen",
                    {"exportar", "zz"},
                    true,
                    Steps::Complete,
                    false,
                    std::nullopt,
                    true,
                    false,
                    {kBadHex, "Proceso finalizado"}},
        OutcomeCase{
            "EmbeddedForcedExit",
            {"exportar", "1A"},
            true,
            Steps::ForceExit,
            false,
            iniWith("0"),
            false,
            true,
            {QStringLiteral("Importación interrumpida: no se ha importado nada.\nLas tablas "
                            "de trabajo siguen como estaban antes de la importación; los "
                            "niveles y cursos que ha escrito se han guardado para la "
                            "próxima vez.")}},
        OutcomeCase{"EmbeddedStepError",
                    {"exportar", "1A"},
                    true,
                    Steps::Fail,
                    false,
                    std::nullopt,
                    true,
                    true,
                    {"No se puede crear la tabla AULAT"}},
        OutcomeCase{"EmbeddedStepErrorThenSalir",
                    {"exportar", "1A"},
                    true,
                    Steps::Fail,
                    true,
                    iniWith("0"),
                    false,
                    true,
                    {"No se puede crear la tabla AULAT"}},
        OutcomeCase{"EmbeddedOtherWordSalir",
                    {"otra", "1A"},
                    false,
                    Steps::Complete,
                    true,
                    iniWith("0"),
                    false,
                    true,
                    {}},
        OutcomeCase{"OnlyTheWordSalir",
                    {"exportar"},
                    false,
                    Steps::Complete,
                    true,
                    std::nullopt,
                    false,
                    true,
                    {}},
        OutcomeCase{
            "StandaloneSalir", {}, false, Steps::Complete, true, std::nullopt, false, true, {}}),
    caseName<OutcomeCase>);

TEST(RunOutcome, ButtonCompletesStandaloneRun) {
    Shell shell({}, importWith(Steps::Complete));
    const QString doc = shell.dir.filePath(QStringLiteral("veltra.xml"));
    writeFile(doc, kDocument);
    shell.host.documents.push_back(doc);
    shell.show();
    QTest::mouseClick(shell.button("BExportar"), Qt::LeftButton);
    EXPECT_EQ(shell.runs, QStringList{"import"});
    EXPECT_EQ(shell.form->state().resultValue, 1);
    EXPECT_FALSE(shell.button("BExportar")->isEnabled());
    EXPECT_FALSE(shell.button("BImportar")->isEnabled());
    EXPECT_TRUE(shell.form->isVisible());
    // A disabled button starts nothing.
    QTest::mouseClick(shell.button("BExportar"), Qt::LeftButton);
    QTest::mouseClick(shell.button("BImportar"), Qt::LeftButton);
    EXPECT_EQ(shell.runs, QStringList{"import"});
}

TEST(ResultFileOnClose, KeepsTempolansOtherSettings) {
    Shell shell({"otra", "1A"});
    const QByteArray before = "[Rutas]\r\nTrabajo=C:\\TLTEMP\r\n\r\n[TRANSFORMADORES]\r\n"
                              "; nota\r\nTRANSFORMADO=1\r\n";
    writeFile(shell.ini(), before);
    shell.show();
    shell.form->close();
    EXPECT_EQ(readFile(shell.ini()),
              QByteArray(before).replace("TRANSFORMADO=1", "TRANSFORMADO=0"));
}

TEST(ResultFileOnClose, UnwritableFileKeepsTheWindowOpen) {
    QTemporaryDir scratch;
    const QString blocker = scratch.filePath(QStringLiteral("programa"));
    writeFile(blocker, "un archivo donde debería haber una carpeta");
    const QString ini = blocker + QStringLiteral("/Tempolan.ini");
    Shell shell({"otra", "1A"}, {}, {}, ini);
    shell.show();

    QTest::mouseClick(shell.button("BClose"), Qt::LeftButton);
    EXPECT_EQ(
        shell.host.errors,
        QStringList{QStringLiteral("No se puede escribir en '%1': compruebe que la carpeta del "
                                   "programa admite escritura y vuelva a cerrar la "
                                   "ventana.")
                        .arg(QDir::toNativeSeparators(ini))});
    EXPECT_TRUE(shell.form->isVisible());
    EXPECT_EQ(shell.quits, 0);

    // Once the folder can be written, closing again works.
    ASSERT_TRUE(QFile::remove(blocker));
    ASSERT_TRUE(QDir().mkpath(blocker));
    QTest::mouseClick(shell.button("BClose"), Qt::LeftButton);
    EXPECT_FALSE(shell.form->isVisible());
    EXPECT_EQ(shell.quits, 1);
    EXPECT_EQ(readFile(ini), iniWith("0"));
}

TEST(MainWindowLayout, ControlsAndCaptions) {
    Shell shell({});
    TMForm& form = *shell.form;
    EXPECT_EQ(form.windowTitle(),
              QStringLiteral("Exportar e importar datos entre Tempolan y Veltra"));
    EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "fixed size";
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    const struct {
        const char* name;
        QString caption;
        bool glyph;
    } buttons[] = {{"BExportar", "OK", true},
                   {"BImportar", "OK", true},
                   {"BClose", "&Salir", false},
                   {"Button1", "F1 AYUDA", false}};
    for (const auto& b : buttons) {
        QPushButton* button = shell.button(b.name);
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->text(), b.caption) << b.name;
        EXPECT_EQ(!button->icon().isNull(), b.glyph) << b.name;
        EXPECT_EQ(button->property("helpContext").toInt(), 1) << b.name;
    }

    QStringList captions;
    for (QLabel* label : form.findChildren<QLabel*>())
        captions << label->text();
    EXPECT_TRUE(
        captions.contains(QStringLiteral("Transformar datos desde Veltra hacia Tempolan ")));
    EXPECT_TRUE(captions.contains(QStringLiteral("Transformar datos desde Tempolan hacia Veltra")));
    EXPECT_TRUE(captions.contains(QStringLiteral("VeltraTempolan " VT_VERSION)));

    // The left run sits under the left caption.
    shell.show();
    EXPECT_LT(shell.button("BExportar")->mapTo(&form, QPoint()).x(),
              shell.button("BImportar")->mapTo(&form, QPoint()).x());
}

TEST(Help, F1OpensTheContextOfTheFocusedControl) {
    Shell shell({});
    shell.show();
    QTest::keyClick(shell.button("BImportar"), Qt::Key_F1);
    QTest::keyClick(shell.form.get(), Qt::Key_F1);
    EXPECT_EQ(shell.help.contexts, (QList<int>{1, 1}));

    // A dialog that carries its own context, as the time-frame dialog does.
    QDialog frames;
    frames.setProperty("helpContext", 3);
    auto* edit = new QLineEdit(&frames);
    QTest::keyClick(edit, Qt::Key_F1);
    EXPECT_EQ(shell.help.contexts, (QList<int>{1, 1, 3}));

    // Nothing says which page: the contents.
    QLineEdit loose;
    QTest::keyClick(&loose, Qt::Key_F1);
    EXPECT_EQ(shell.help.contents, 1);
}

TEST(Help, AyudaButtonOpensTheContents) {
    Shell shell({});
    help::setHelpFile(QStringLiteral("OTRO.chm"));
    QTest::mouseClick(shell.button("Button1"), Qt::LeftButton);
    EXPECT_EQ(shell.help.contents, 1);
    EXPECT_TRUE(shell.help.contexts.isEmpty());
    EXPECT_EQ(help::helpFile(), QStringLiteral("VELTRA.chm"));
}

TEST(Help, EveryContextHasAPage) {
    const QDir pages(QStringLiteral(VT_SOURCE_DIR "/help"));
    for (int context : {1, 2, 3, 4, 5, 6})
        EXPECT_TRUE(pages.exists(help::pageForContext(context))) << context;
    EXPECT_TRUE(pages.exists(help::contentsPage()));
    EXPECT_TRUE(help::pageForContext(99).isEmpty());
}

TEST(Help, MissingHelpFileIsReported) {
    QTemporaryDir emptyProgramDir;
    QStringList reports;
    SystemHelpViewer viewer([&](const QString& text) { reports << text; }, nullptr,
                            emptyProgramDir.path());
    viewer.showContext(3);
    viewer.showContents();
    ASSERT_EQ(reports.size(), 2);
    const QString chm =
        QDir::toNativeSeparators(emptyProgramDir.filePath(QStringLiteral("VELTRA.chm")));
    EXPECT_EQ(reports[0], QStringLiteral("No se encuentra el archivo de ayuda %1").arg(chm));
}

// Answers the next modal box or dialog: `act` gets it once it is up.
void whenModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* w = QApplication::activeModalWidget();
        ASSERT_NE(w, nullptr);
        act(w);
    });
}

TEST(QtRunHostTest, ChooserOffersXmlFromTheVeltraFolder) {
    QTemporaryDir work;
    QDir().mkpath(work.filePath(QStringLiteral("veltra")));
    std::unique_ptr<QFileDialog> dialog(createOpenDialogXML(nullptr, work.path()));
    EXPECT_EQ(dialog->objectName(), QStringLiteral("OpenDialogXML"));
    EXPECT_EQ(dialog->windowTitle(),
              QStringLiteral("Seleccione el Archivo XML obtenido de VELTRA"));
    EXPECT_EQ(dialog->nameFilters(), QStringList{"*.xml"});
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("xml"));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile) << "the runs check existence themselves";
    EXPECT_EQ(QDir(dialog->directory()).canonicalPath(),
              QDir(work.filePath(QStringLiteral("veltra"))).canonicalPath());
}

TEST(QtRunHostTest, ChooserTakesATypedNameAndAddsTheExtension) {
    QTemporaryDir work;
    QDir().mkpath(work.filePath(QStringLiteral("veltra")));
    const QByteArray oldTltemp = qgetenv("TLTEMP");
    qputenv("TLTEMP", work.path().toLocal8Bit());
    Shell shell({});
    QtRunHost host(*shell.form);

    whenModal([](QWidget* w) {
        auto* name = w->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        QTest::keyClicks(name, QStringLiteral("centro"));
        QTest::keyClick(name, Qt::Key_Return);
    });
    const std::optional<QString> typed = host.chooseDocument();
    whenModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    const std::optional<QString> cancelled = host.chooseDocument();
    qputenv("TLTEMP", oldTltemp);

    ASSERT_TRUE(typed.has_value());
    EXPECT_EQ(QFileInfo(*typed).fileName(), QStringLiteral("centro.xml"));
    EXPECT_EQ(QFileInfo(QFileInfo(*typed).path()).canonicalFilePath(),
              QFileInfo(work.filePath(QStringLiteral("veltra"))).canonicalFilePath());
    EXPECT_FALSE(cancelled.has_value());
}

TEST(QtRunHostTest, BoxesShowTheirTextAndAnswer) {
    Shell shell({});
    QtRunHost host(*shell.form);
    QStringList seen;
    auto answer = [&seen](QMessageBox::StandardButton which) {
        whenModal([&seen, which](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            seen << box->windowTitle() + QStringLiteral("|") + box->text();
            box->button(which)->click();
        });
    };
    answer(QMessageBox::Ok);
    host.showMessage(QStringLiteral("Proceso finalizado"));
    answer(QMessageBox::Ok);
    host.reportError(QStringLiteral("No se puede abrir la tabla SOLUC"));
    answer(QMessageBox::Ok);
    EXPECT_TRUE(host.askOkCancel(QStringLiteral("Atención"), QStringLiteral("¿Salir?")));
    answer(QMessageBox::Cancel);
    EXPECT_FALSE(host.askOkCancel(QStringLiteral("Atención"), QStringLiteral("¿Salir?")));

    const QString app = QCoreApplication::applicationName();
    EXPECT_EQ(seen,
              (QStringList{app + "|Proceso finalizado", app + "|No se puede abrir la tabla SOLUC",
                           "Atención|¿Salir?", "Atención|¿Salir?"}));
}

TEST(QtRunHostTest, BusyCursorAndWindowOperations) {
    Shell shell({});
    shell.show();
    QtRunHost host(*shell.form);
    {
        BusyCursor busy(host);
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    host.disableRunButtons();
    EXPECT_FALSE(shell.button("BExportar")->isEnabled());
    EXPECT_FALSE(shell.button("BImportar")->isEnabled());
    host.closeMainWindow();
    EXPECT_FALSE(shell.form->isVisible());
}

} // namespace

namespace {

// While a run works every button of the window looks out of use, and comes back after a
// run that did not complete; a screen reader hears which run each "OK" starts.
TEST(MainWindowLook, ButtonsLookDisabledDuringARunAndSayWhichRunTheyStart) {
    Shell* outer = nullptr;
    QStringList enabledDuring;
    Shell shell({}, [&](RunHost&, run::RunState&, const RunFolders&, exchange::Document&) {
        for (const char* name : {"BExportar", "BImportar", "BClose", "Button1"})
            if (outer->button(name)->isEnabled())
                enabledDuring << QLatin1String(name);
    });
    outer = &shell;
    shell.show();
    shell.form->runImport();
    EXPECT_TRUE(enabledDuring.isEmpty()) << enabledDuring.join(' ').toStdString();
    for (const char* name : {"BExportar", "BImportar", "BClose", "Button1"})
        EXPECT_TRUE(shell.button(name)->isEnabled()) << name;
    EXPECT_EQ(shell.button("BExportar")->text(), "OK");
    EXPECT_EQ(shell.button("BExportar")->accessibleName(),
              "OK: Transformar datos desde Veltra hacia Tempolan");
    EXPECT_EQ(shell.button("BImportar")->accessibleName(),
              "OK: Transformar datos desde Tempolan hacia Veltra");
}

} // namespace
