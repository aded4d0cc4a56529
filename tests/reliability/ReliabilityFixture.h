#pragma once

// A school's working folder built by a real import, runs of both directions through the
// same entry points the window uses, the batch tool as another process, and the check
// that every table left in a folder still reads.

#include "TestSupport.h"

#include "../../fuzz/Harness.h"
#include "export/ExportRun.h"
#include "import/CursosLogic.h"
#include "import/ImportRun.h"
#include "import/PlantillasLogic.h"
#include "tables/Table.h"
#include "tables/TableIo.h"
#include "tables/WorkingTables.h"

#include <QDir>
#include <QDirIterator>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace reliability {

using testing_support::readFile;
using testing_support::writeFile;

inline QByteArray schoolDocument() {
    return readFile(QStringLiteral(VT_SOURCE_DIR "/fuzz/corpus/import/school.xml"));
}

inline QString catalogPath() {
    return QStringLiteral(VT_PROGRAMS_DIR "/VELTMATERIAS.DBF");
}

using testing_support::batchTool;

// What a run showed and left.
struct Outcome {
    QStringList errors;
    QStringList messages;
    qint32 resultValue = 0;
    bool completed() const {
        return resultValue == 1 && errors.isEmpty() &&
               messages.contains(QStringLiteral("Proceso finalizado"));
    }
    std::string shown() const { return messages.join(QStringLiteral(" | ")).toStdString(); }
};

// The user of the school document: levels and courses for both offers, the morning frame.
inline void answerSchool(ScriptedHost& host) {
    host.answers = {true, true, true};
    host.onCursos = [](CursosLogic& dialog) {
        dialog.recover(true);
        dialog.applyCodes({{QStringLiteral("500"), {QStringLiteral("ESO"), QStringLiteral("1")}},
                           {QStringLiteral("600"), {QStringLiteral("ESO"), QStringLiteral("2")}}});
        dialog.completeOk();
    };
    host.onPlantillas = [](PlantillasLogic& dialog) {
        dialog.chooseByCodes({QStringLiteral("M1")});
    };
}

inline Outcome importRun(const QString& document, const QString& workDir,
                         const QString& catalog = catalogPath(),
                         const std::function<void(ScriptedHost&)>& tweak = {}) {
    ScriptedHost host;
    answerSchool(host);
    if (tweak)
        tweak(host);
    host.documents.push_back(document);
    run::RunState state;
    exchange::Document held;
    runImport(host, host, state, RunFolders{workDir, catalog}, held);
    EXPECT_EQ(host.busyDepth, 0);
    return {host.errors, host.messages, state.resultValue};
}

inline Outcome exportRun(const QString& document, const QString& workDir) {
    ScriptedHost host;
    host.documents.push_back(document);
    run::RunState state;
    exchange::Document held;
    runExport(host, state, RunFolders{workDir, {}}, held);
    EXPECT_EQ(host.busyDepth, 0);
    return {host.errors, host.messages, state.resultValue};
}

// The run ended through one error report that says every given thing.
inline void expectEndedWith(const Outcome& o, const QStringList& said) {
    EXPECT_EQ(o.errors.size(), 1) << o.shown();
    EXPECT_EQ(o.resultValue, 0);
    EXPECT_FALSE(o.messages.contains(QStringLiteral("Proceso finalizado"))) << o.shown();
    for (const QString& s : said)
        EXPECT_TRUE(o.errors.value(0).contains(s, Qt::CaseInsensitive))
            << "'" << s.toStdString() << "' not in: " << o.shown();
}

// Every table of the folder opens in the table store and walks all its rows.
inline void expectEveryTableReads(const QString& folder) {
    const QString bad = fuzzing::unreadableTable(folder);
    EXPECT_TRUE(bad.isEmpty()) << bad.toStdString();
}

using testing_support::snapshot;

// The same without CURSOST2: the codes a user typed outlive a run that does not finish.
inline QMap<QString, QByteArray> snapshotButCodes(const QString& dir) {
    QMap<QString, QByteArray> files = snapshot(dir);
    files.remove(QStringLiteral("CURSOST2.DBF"));
    return files;
}

// A scratch school: the document in VELTRA/, the working folder TLTEMP/ and, once built,
// the tables of a completed import with a small SOLUC beside them.
class SchoolTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString work;
    QString document;
    QString output;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        work = dir.filePath(QStringLiteral("TLTEMP"));
        document = dir.filePath(QStringLiteral("VELTRA/datos.xml"));
        output = dir.filePath(QStringLiteral("VELTRA/ResultadoTempolandatos.xml"));
        QDir().mkpath(work);
        writeFile(document, schoolDocument());
        ASSERT_TRUE(QFileInfo(catalogPath()).isFile())
            << "build the veltmaterias target first: " << catalogPath().toStdString();
    }

    // A completed import followed by the timetable Tempolan would compute.
    void importSchool() {
        const Outcome o = importRun(document, work);
        ASSERT_TRUE(o.completed()) << o.shown();
        fuzzing::detail::writeTable(work, tables::SOLUC::kName,
                                    tables::SOLUC::fields(tables::SOLUC::DayAndSlot::Text),
                                    {{{"PROF", "AGL"},
                                      {"DIA", "1"},
                                      {"HORA", "1"},
                                      {"MARCO", "0"},
                                      {"ASIG", "MAT"},
                                      {"CODGRUPO", "ESO1A"}}});
    }
};

} // namespace reliability
