#include "TestSupport.h"
#include "import/ImportRun.h"
#include "import/ImportSteps.h"
#include "text/RunError.h"

#include <QDir>
#include <QDirIterator>
#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

template <class Case> std::string caseName(const testing::TestParamInfo<Case>& p) {
    return p.param.name;
}

using testing_support::readFile;
using testing_support::snapshot;
// Everything in the working folder, the tool's bookkeeping and empty folders included.
constexpr testing_support::SnapshotScope kEverything{true, true, false};
using testing_support::writeFile;

const QByteArray kDocument = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                             "<SERVICIO><BLOQUE_DATOS>"
                             "<grupo_datos seq=\"ANNO_ACADEMICO\"><dato nombre_dato=\"C_ANNO\">"
                             "2024</dato></grupo_datos>"
                             "</BLOQUE_DATOS></SERVICIO>\n";

// The scripted user, also noting whether the hourglass was up at each thing it saw.
class FrameHost : public ScriptedHost {
public:
    QList<int> busyAtMessage;
    QList<int> busyAtClose;
    void showMessage(const QString& text) override {
        busyAtMessage << busyDepth;
        ScriptedHost::showMessage(text);
    }
    void reportError(const QString& text) override {
        busyAtMessage << busyDepth;
        ScriptedHost::reportError(text);
    }
    void closeMainWindow() override {
        busyAtClose << busyDepth;
        ScriptedHost::closeMainWindow();
    }
};

class ImportFrame : public testing::Test {
protected:
    QTemporaryDir dir;
    FrameHost host;
    run::RunState state;
    exchange::Document held;
    RunFolders folders{dir.filePath(QStringLiteral("tltemp")),
                       dir.filePath(QStringLiteral("VELTMATERIAS.DBF"))};
    QStringList called;
    QString document = dir.filePath(QStringLiteral("veltra.xml"));

    void SetUp() override {
        writeFile(document, kDocument);
        writeFile(folders.workDir + QStringLiteral("/PERIODOS.DBF"), "tabla anterior");
    }

    // Ten stand-in steps that record their call; `special` may change one of them.
    std::vector<ImportStep> steps(int specialAt = -1,
                                  std::function<bool(ImportContext&)> special = {}) {
        std::vector<ImportStep> list;
        for (int i = 1; i <= 10; ++i) {
            list.push_back([this, i, specialAt, special](ImportContext& ctx) {
                called << QString::number(i);
                EXPECT_EQ(&ctx.doc, &held) << "every step reads the held document";
                EXPECT_EQ(ctx.workDir, folders.workDir);
                EXPECT_EQ(ctx.catalogPath, folders.catalogPath);
                EXPECT_EQ(host.busyDepth, 1) << "the hourglass shows during the steps";
                return i == specialAt ? special(ctx) : false;
            });
        }
        return list;
    }

    void run(const std::vector<ImportStep>& s) { runImport(host, host, state, folders, held, s); }
};

const QStringList kAllSteps{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};

struct MissingCase {
    const char* name;
    bool embedded;
    int pathKind; // 0: chooser cancelled on the first run, 1: no such file, 2: a folder
};

class MissingDocument : public ImportFrame, public testing::WithParamInterface<MissingCase> {};

TEST_P(MissingDocument, SaysSoAndClosesOnlyWhenEmbedded) {
    const MissingCase& c = GetParam();
    state.embedded = c.embedded;
    if (c.pathKind == 1)
        host.documents.push_back(dir.filePath(QStringLiteral("no-existe.xml")));
    else if (c.pathKind == 2)
        host.documents.push_back(folders.workDir);
    else
        host.documents.push_back(std::nullopt);

    run(steps());
    EXPECT_EQ(host.messages, QStringList{"No existe archivo"});
    EXPECT_TRUE(called.isEmpty());
    EXPECT_EQ(state.resultValue, c.embedded ? -1 : 0);
    EXPECT_EQ(host.closed, c.embedded ? 1 : 0);
    EXPECT_EQ(host.buttonsDisabled, 0);
    EXPECT_EQ(host.busyDepth, 0);
}

INSTANTIATE_TEST_SUITE_P(Table, MissingDocument,
                         testing::Values(MissingCase{"CancelledStandalone", false, 0},
                                         MissingCase{"CancelledEmbedded", true, 0},
                                         MissingCase{"NoSuchFileStandalone", false, 1},
                                         MissingCase{"NoSuchFileEmbedded", true, 1},
                                         MissingCase{"FolderEmbedded", true, 2}),
                         caseName<MissingCase>);

TEST_F(ImportFrame, CancelledChooserKeepsTheLastDocument) {
    state.filenameXML = document;
    host.documents.push_back(std::nullopt);
    run(steps());
    EXPECT_EQ(state.filenameXML, document);
    EXPECT_EQ(called, kAllSteps);
}

struct MalformedCase {
    const char* name;
    QByteArray bytes;
};

class MalformedDocument : public ImportFrame, public testing::WithParamInterface<MalformedCase> {};

// A file that is not a well-formed document is refused before any table is touched.
TEST_P(MalformedDocument, RefusedBeforeAnyStep) {
    const QString path = dir.filePath(QStringLiteral("roto.xml"));
    writeFile(path, GetParam().bytes);
    const QString parserSays = exchange::Document::load(path).errorString();
    ASSERT_FALSE(parserSays.isEmpty());
    const auto before = snapshot(folders.workDir, kEverything);

    for (bool embedded : {false, true}) {
        state.embedded = embedded;
        host.documents.push_back(path);
        run(steps());
    }
    EXPECT_TRUE(called.isEmpty());
    ASSERT_EQ(host.errors.size(), 2);
    EXPECT_EQ(host.messages, host.errors);
    EXPECT_TRUE(host.errors[0].contains(QDir::toNativeSeparators(path)))
        << host.errors[0].toStdString();
    EXPECT_TRUE(host.errors[0].contains(parserSays)) << host.errors[0].toStdString();
    EXPECT_TRUE(host.errors[0].contains(QStringLiteral("línea"))) << host.errors[0].toStdString();
    EXPECT_EQ(state.resultValue, 0);
    EXPECT_EQ(host.closed, 0);
    EXPECT_EQ(host.buttonsDisabled, 0);
    EXPECT_EQ(host.busyDepth, 0);
    EXPECT_EQ(snapshot(folders.workDir, kEverything), before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MalformedDocument,
    testing::Values(
        MalformedCase{"Truncated", "<SERVICIO>\n<BLOQUE_DATOS>\n<grupo_datos seq=\"A\">\n"},
        MalformedCase{"NotXml", "C_ANNO;2024\n"}, MalformedCase{"Empty", ""},
        MalformedCase{"WithDoctype",
                      "<?xml version=\"1.0\"?>\n<!DOCTYPE SERVICIO [<!ENTITY e \"x\">]>\n"
                      "<SERVICIO><BLOQUE_DATOS/></SERVICIO>\n"}),
    caseName<MalformedCase>);

TEST_F(ImportFrame, CompletionInEmbeddedMode) {
    state.embedded = true;
    host.documents.push_back(document);
    run(steps());
    EXPECT_EQ(called, kAllSteps);
    EXPECT_EQ(state.filenameXML, document);
    EXPECT_EQ(state.resultValue, 1);
    EXPECT_EQ(host.messages, QStringList{"Proceso finalizado"});
    EXPECT_EQ(host.busyAtMessage, QList<int>{0}) << "the cursor is back before the message";
    EXPECT_EQ(host.buttonsDisabled, 1);
    EXPECT_EQ(host.closed, 1);
    EXPECT_FALSE(held.root().isNull()) << "the document stays loaded after the run";
}

TEST_F(ImportFrame, CompletionStandaloneKeepsTheWindow) {
    host.documents.push_back(document);
    run(steps());
    EXPECT_EQ(state.resultValue, 1);
    EXPECT_EQ(host.messages, QStringList{"Proceso finalizado"});
    EXPECT_EQ(host.buttonsDisabled, 1);
    EXPECT_EQ(host.closed, 0);
}

// The user chose to leave: one short message says that nothing changed, then the window
// closes.
TEST_F(ImportFrame, ForcedExitSaysNothingChangedAndCloses) {
    state.embedded = true;
    host.documents.push_back(document);
    run(steps(2, [](ImportContext&) { return true; }));
    EXPECT_EQ(called, (QStringList{"1", "2"}));
    ASSERT_EQ(host.messages.size(), 1);
    EXPECT_TRUE(host.messages[0].startsWith("Importación interrumpida: no se ha importado nada."));
    EXPECT_EQ(state.resultValue, 0);
    EXPECT_EQ(host.closed, 1);
    EXPECT_EQ(host.busyAtClose, QList<int>{0}) << "the cursor is back before closing";
    EXPECT_EQ(host.buttonsDisabled, 0);
}

struct StepErrorCase {
    const char* name;
    std::function<bool(ImportContext&)> fail;
    QString shown;
};

class StepError : public ImportFrame, public testing::WithParamInterface<StepErrorCase> {};

// An error ends the run where it happens; the window stays and the run can start again.
TEST_P(StepError, EndsTheRunAndCanBeRepeated) {
    state.embedded = true;
    host.documents.push_back(document);
    run(steps(6, GetParam().fail));
    EXPECT_EQ(called, (QStringList{"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(host.errors, QStringList{GetParam().shown});
    EXPECT_EQ(host.messages, host.errors);
    EXPECT_EQ(host.busyAtMessage, QList<int>{0});
    EXPECT_EQ(state.resultValue, 0);
    EXPECT_EQ(host.closed, 0);
    EXPECT_EQ(host.buttonsDisabled, 0);

    called.clear();
    host.documents.push_back(std::nullopt); // the same document again
    run(steps());
    EXPECT_EQ(called, kAllSteps);
    EXPECT_EQ(state.resultValue, 1);
}

INSTANTIATE_TEST_SUITE_P(Table, StepError,
                         testing::Values(StepErrorCase{"RunError",
                                                       [](ImportContext&) -> bool {
                                                           throw RunError(QStringLiteral(
                                                               "No se puede abrir la tabla AULAT"));
                                                       },
                                                       "No se puede abrir la tabla AULAT"},
                                         StepErrorCase{"OtherException",
                                                       [](ImportContext&) -> bool {
                                                           throw std::runtime_error("disco lleno");
                                                       },
                                                       "disco lleno"}),
                         caseName<StepErrorCase>);

// The real steps, with a working folder that cannot exist: the run stops at the first
// table with one error and nothing else.
TEST_F(ImportFrame, RealStepsStopAtTheFirstFailure) {
    writeFile(dir.filePath(QStringLiteral("bloqueo")), "un archivo, no una carpeta");
    folders.workDir = dir.filePath(QStringLiteral("bloqueo/tltemp"));
    state.embedded = true;
    host.documents.push_back(document);
    runImport(host, host, state, folders, held);
    EXPECT_EQ(host.errors.size(), 1);
    EXPECT_FALSE(host.messages.contains(QStringLiteral("Proceso finalizado")));
    EXPECT_EQ(state.resultValue, 0);
    EXPECT_EQ(host.closed, 0);
    EXPECT_EQ(host.buttonsDisabled, 0);
    EXPECT_EQ(host.busyDepth, 0);
}

} // namespace
