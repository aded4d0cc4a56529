#pragma once

// What the fuzz targets do with one input, kept apart from libFuzzer so that the
// regression test replays saved inputs through exactly the same code. Needs the core
// library only.

#include "exchange/ExchangeDocument.h"
#include "export/ExportRun.h"
#include "import/CursosLogic.h"
#include "import/ImportRun.h"
#include "import/PlantillasLogic.h"
#include "tables/Table.h"
#include "tables/TableIo.h"
#include "tables/WorkingTables.h"
#include "text/RunError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QString>
#include <QStringList>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

namespace fuzzing {

// A user who answers everything: every course offering gets a level and a course, the
// first one or two time frames are chosen. A dialog shown a third time is given up, so a
// run can never wait for ever.
class AnsweringHost : public RunHost, public ImportQuestions {
public:
    explicit AnsweringHost(QString document) : document_(std::move(document)) {}

    QStringList errors;
    QStringList messages;
    int cursosShown = 0;
    int plantillasShown = 0;

    std::optional<QString> chooseDocument() override { return document_; }
    void showMessage(const QString& text) override { messages << text; }
    bool askOkCancel(const QString&, const QString&) override { return true; }
    void reportError(const QString& text) override { errors << text; }
    void setBusy(bool) override {}
    void closeMainWindow() override {}
    void disableRunButtons() override {}

    bool recoverSavedCodes() override { return true; }
    void askCourseCodes(CursosLogic& dialog) override {
        if (++cursosShown > 2) {
            dialog.forceExit();
            return;
        }
        dialog.recover(true);
        QHash<QString, CursosLogic::Codes> codes;
        for (int i = 0; i < dialog.rowCount(); ++i)
            codes.insert(dialog.row(i).clave, {QStringLiteral("ESO"), QString::number(i % 4 + 1)});
        dialog.applyCodes(codes);
        if (!dialog.completeOk())
            dialog.forceExit();
    }

    void askFrames(PlantillasLogic& dialog) override {
        if (++plantillasShown > 2)
            throw RunError(QStringLiteral("Diálogo de marcos horarios mostrado de nuevo."));
        // Through the handlers, as the window's dialog calls them.
        dialog.activate();
        dialog.showFocusedFrame();
        for (int row = 0; row < 2 && row < dialog.marcos().size(); ++row) {
            dialog.setSelected(row, true);
            dialog.focusFrame(row);
        }
        dialog.proceed();
    }

private:
    QString document_;
};

// Removes every file of a folder (not the folder).
inline void emptyFolder(const QString& folder) {
    QDir dir(folder);
    for (const QString& f : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        dir.remove(f);
}

// Reads every field of the current row: each as its own kind, or (everyWay) in every way
// the store offers. A value read as another kind is refused with a RunError, which is an
// answer too. A refusal costs more than the rest of a row, so a field refused once
// (refused, one flag a field) is not read as its kind again: later rows take the same path.
inline void readRow(const tables::Table& t, const QList<tables::FieldDef>& fields, bool everyWay,
                    std::vector<char>& refused) {
    using tables::FieldType;
    refused.resize(size_t(fields.size()), 0);
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const tables::FieldDef& f = fields[i];
        (void)t.text(f.name);
        const bool null = t.isNull(f.name);
        if (!everyWay && refused[size_t(i)])
            continue;
        try {
            if (everyWay || f.type == FieldType::Boolean)
                (void)t.boolean(f.name);
        } catch (const RunError&) {
            refused[size_t(i)] |= f.type == FieldType::Boolean;
        }
        try {
            if (everyWay || f.type == FieldType::Float || f.type == FieldType::Integer)
                (void)std::isnan(t.real(f.name));
        } catch (const RunError&) {
            refused[size_t(i)] |= f.type == FieldType::Float || f.type == FieldType::Integer;
        }
        try {
            if (everyWay || (f.type == FieldType::Integer && !null))
                (void)t.integer(f.name);
        } catch (const RunError&) {
            refused[size_t(i)] |= f.type == FieldType::Integer;
        }
    }
}

// Opens a table, steps through every row and reads every field of the first rows and of
// the last one, the first row in every way (readRow). Rows in between take the same paths
// as the first ones, whose bytes the fuzzer changes as readily, and reading all of them
// would make a long table cost a hundred times more. A RunError from the opening is the
// store refusing the file, which is fine; anything else is a fault. Returns the number of
// rows walked, or -1 when the store refused the file.
inline int walkTable(const QString& folder, const QString& name, QString* refusal = nullptr) {
    constexpr int kRowsRead = 8;
    try {
        tables::Table t;
        t.open(folder, name);
        const QList<tables::FieldDef> fields = t.fields();
        const int count = t.rowCount();
        std::vector<char> refused;
        int rows = 0;
        for (t.first(); !t.atEnd(); t.next()) {
            if (rows < kRowsRead || rows == count - 1)
                readRow(t, fields, rows == 0, refused);
            ++rows;
        }
        if (rows != count)
            abort(); // walking and counting disagree
        return rows;
    } catch (const RunError& e) {
        if (refusal)
            *refusal = e.message();
        return -1;
    }
}

// Every .DBF of the folder opens and walks; otherwise the name of the first that does not,
// with the store's reason.
inline QString unreadableTable(const QString& folder) {
    const QStringList files =
        QDir(folder).entryList({QStringLiteral("*.DBF"), QStringLiteral("*.dbf")}, QDir::Files);
    for (const QString& f : files) {
        QString why;
        if (walkTable(folder, f, &why) < 0)
            return f + QStringLiteral(": ") + why;
    }
    return {};
}

// One table's bytes kept in memory while the store reads and writes it: the I/O hooks send
// that file's reads, writes and cuts to a buffer, every other file's to the disk. The file
// on disk, empty, still gives the name and the lock. Puts the previous hooks back when it
// goes.
class MemoryTable {
public:
    MemoryTable(QString path, QByteArray bytes) : path_(std::move(path)), bytes_(std::move(bytes)) {
        using tables::detail::NativeFile;
        tables::detail::IoHooks hooks;
        hooks.read = [this](const NativeFile& f, QByteArray* out, QString* error) {
            if (f.path() != path_)
                return f.nativeReadAll(out, error);
            *out = bytes_;
            return true;
        };
        hooks.write = [this](NativeFile& f, qint64 offset, const char* data, qint64 size,
                             QString* error) {
            if (f.path() != path_)
                return f.nativeWriteAt(offset, data, size, error);
            if (offset + size > bytes_.size())
                bytes_.resize(offset + size, '\0'); // a gap reads as zeros, as in a file
            std::memcpy(bytes_.data() + offset, data, size_t(size));
            return true;
        };
        hooks.truncate = [this](NativeFile& f, qint64 size, QString* error) {
            if (f.path() != path_)
                return f.nativeTruncate(size, error);
            bytes_.resize(size, '\0');
            return true;
        };
        installed_.emplace(std::move(hooks));
    }
    MemoryTable(const MemoryTable&) = delete;
    MemoryTable& operator=(const MemoryTable&) = delete;

private:
    QString path_;
    QByteArray bytes_;
    std::optional<tables::detail::ScopedIoHooks> installed_;
};

// Sets *wrote when the table store writes or cuts a file while it lives, and passes the
// work on to the hooks it found.
class WriteWatch {
public:
    explicit WriteWatch(bool* wrote) : saved_(tables::detail::ioHooks()) {
        using tables::detail::NativeFile;
        tables::detail::IoHooks hooks = saved_;
        hooks.write = [wrote, this](NativeFile& f, qint64 offset, const char* data, qint64 size,
                                    QString* error) {
            *wrote = true;
            return saved_.write ? saved_.write(f, offset, data, size, error)
                                : f.nativeWriteAt(offset, data, size, error);
        };
        hooks.truncate = [wrote, this](NativeFile& f, qint64 size, QString* error) {
            *wrote = true;
            return saved_.truncate ? saved_.truncate(f, size, error)
                                   : f.nativeTruncate(size, error);
        };
        installed_.emplace(std::move(hooks));
    }
    WriteWatch(const WriteWatch&) = delete;
    WriteWatch& operator=(const WriteWatch&) = delete;

private:
    tables::detail::IoHooks saved_;
    std::optional<tables::detail::ScopedIoHooks> installed_;
};

// (b) A table of any level from bytes: read it all, then append one row and read again.
// The bytes stay in memory: no input is written to or read from a file.
inline void readTableBytes(const QByteArray& bytes, const QString& scratch) {
    // Built as the store builds the path it finds, so that the hooks know the file.
    const QString path = QDir(scratch).filePath(QStringLiteral("FUZZ.DBF"));
    if (!QFileInfo::exists(path)) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) {
            qWarning("no se puede crear %s", qPrintable(path));
            abort();
        }
    }
    MemoryTable memory(path, bytes);
    const int rows = walkTable(scratch, QStringLiteral("FUZZ"));
    if (rows < 0)
        return;
    try {
        tables::Table t;
        t.open(scratch, QStringLiteral("FUZZ"), tables::OpenMode::Exclusive);
        const QList<tables::FieldDef> fields = t.fields();
        t.append();
        for (const tables::FieldDef& f : fields) {
            try {
                t.setText(f.name, QStringLiteral("1"));
            } catch (const RunError&) {
                // a field that takes no text, such as an autoincrement
            }
        }
        t.post();
        t.close();
    } catch (const RunError&) {
        return; // read-only file and the like
    }
    // What the store itself wrote must read back: one row more, the new one last. The
    // rows before it are the bytes just walked.
    try {
        tables::Table t;
        t.open(scratch, QStringLiteral("FUZZ"));
        if (t.rowCount() != rows + 1) {
            qWarning("%d filas tras añadir una a %d", t.rowCount(), rows);
            abort();
        }
        t.first();
        for (int i = 0; i < rows; ++i)
            t.next();
        std::vector<char> refused;
        readRow(t, t.fields(), false, refused);
    } catch (const RunError& e) {
        qWarning("tabla ilegible tras añadir una fila: %s", qPrintable(e.message()));
        abort();
    }
}

// (a) A document through the whole import run into an empty working folder. Whatever the
// document, the run ends (completed or with an error) and every table it left reads.
inline void importDocument(const QByteArray& bytes, const QString& scratch,
                           const QString& catalogPath) {
    const QString work = QDir(scratch).filePath(QStringLiteral("TLTEMP"));
    QDir().mkpath(work);
    emptyFolder(work);
    const QString doc = QDir(scratch).filePath(QStringLiteral("veltra.xml"));
    {
        QFile f(doc);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            return;
    }
    AnsweringHost host(doc);
    run::RunState state;
    exchange::Document held;
    runImport(host, host, state, RunFolders{work, catalogPath}, held);
    const bool completed = state.resultValue == 1;
    if (completed != host.messages.contains(QStringLiteral("Proceso finalizado")))
        abort(); // a run that says it finished must have finished, and the reverse
    if (completed && !host.errors.isEmpty())
        abort();
    const QString bad = unreadableTable(work);
    if (!bad.isEmpty()) {
        qWarning("tabla ilegible tras la importación: %s", qPrintable(bad));
        abort();
    }
}

// A fixed small working folder as the import leaves it, for the export target.
inline void writeExportFolder(const QString& work);

// (c) The export over the fixed working folder with SOLUC from bytes.
inline void exportWithSoluc(const QByteArray& soluc, const QString& scratch) {
    const QString work = QDir(scratch).filePath(QStringLiteral("TLTEMP"));
    const QString doc = QDir(scratch).filePath(QStringLiteral("VELTRA/datos.xml"));
    const QString out = QDir(scratch).filePath(QStringLiteral("VELTRA/ResultadoTempolandatos.xml"));
    const bool fresh = !QFileInfo::exists(doc);
    if (fresh)
        writeExportFolder(scratch);
    QFile::remove(out);
    {
        QFile f(QDir(work).filePath(QStringLiteral("SOLUC.DBF")));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(soluc) != soluc.size())
            return;
    }
    AnsweringHost host(doc);
    run::RunState state;
    exchange::Document held;
    bool wroteTables = false;
    {
        const WriteWatch watch(&wroteTables);
        runExport(host, state, RunFolders{work, {}}, held);
    }
    if (state.resultValue == 1) {
        // A completed export leaves a document that loads.
        const exchange::Document result = exchange::Document::load(out);
        if (!result.ok() || !host.errors.isEmpty()) {
            qWarning("exportación terminada con un resultado ilegible: %s",
                     qPrintable(result.errorString()));
            abort();
        }
    } else if (QFileInfo::exists(out) && host.errors.isEmpty()) {
        abort(); // an output without completion must come with an error
    }
    // Tables the run wrote nothing to are as the last walk found them: walking the fixed
    // folder after every input would cost several times the export itself.
    if (!fresh && !wroteTables)
        return;
    const QString bad = unreadableTable(work);
    // SOLUC may be unreadable from the start; every other table must still read.
    if (!bad.isEmpty() && !bad.startsWith(QStringLiteral("SOLUC"), Qt::CaseInsensitive)) {
        qWarning("tabla ilegible tras la exportación: %s", qPrintable(bad));
        abort();
    }
}

// ---------------------------------------------------------------------------------------

namespace detail {

using tables::FieldDef;
using tables::FieldType;
using Row = QHash<QString, QString>;

inline FieldDef T(const char* name, int width) {
    return {QString::fromLatin1(name), FieldType::Text, width};
}
inline FieldDef I(const char* name) {
    return {QString::fromLatin1(name), FieldType::Integer, 0};
}
inline FieldDef F(const char* name) {
    return {QString::fromLatin1(name), FieldType::Float, 0};
}
inline FieldDef B(const char* name) {
    return {QString::fromLatin1(name), FieldType::Boolean, 0};
}

inline void writeTable(const QString& folder, const QString& name, const QList<FieldDef>& fields,
                       const QList<Row>& rows) {
    tables::DeleteTable(folder, name);
    tables::CreateTable(folder, name, fields);
    tables::Table t;
    t.open(folder, name, tables::OpenMode::Exclusive);
    for (const Row& row : rows) {
        t.append();
        for (auto it = row.cbegin(); it != row.cend(); ++it)
            t.setText(it.key(), it.value());
        t.post();
    }
    t.close();
}

} // namespace detail

// The working tables of a small school, SOLUC with DIA and HORA as text or as integers.
inline void writeSchoolTables(const QString& work, bool numericSoluc,
                              const QList<detail::Row>& soluc) {
    using namespace detail;
    QDir().mkpath(work);
    writeTable(work, tables::PERIODOS::kName, tables::PERIODOS::fields(),
               {{{"CURSOANNO", "2018"}, {"F_INICIO", "01/09/2018"}, {"F_FIN", "30/06/2019"}}});
    writeTable(work, tables::CURSOST::kName, tables::CURSOST::fields(),
               {{{"CLAVE", "500"}, {"NIVEL", "ESO"}, {"CURSO", "1"}, {"ESTUD", "ESO 1"}}});
    writeTable(work, tables::ASIGNOMT::kName, tables::ASIGNOMT::fields(),
               {{{"COD", "MAT"}, {"NOMBRE", "Matemáticas"}, {"ESTAREA", "F"}},
                {{"COD", "#GUA"}, {"CODTAREA", "#GUA"}, {"ESTAREA", "T"}, {"R_UNI_MAT", "NN"}}});
    writeTable(work, tables::ASIGNOMT2::kName, tables::ASIGNOMT2::fields(),
               {{{"COD", "MAT"}, {"OFERTAMATRI", "500"}, {"MATERIA", "M999"}}});
    writeTable(work, tables::PROFT::kName, tables::PROFT::fields(),
               {{{"ABREV", "ANA"}, {"X_EMPLEADO", "1001"}, {"F_TOMAPOS", "01/09/2015"}},
                {{"ABREV", "LUI"}, {"X_EMPLEADO", "1002"}, {"F_TOMAPOS", "15/10/2016"}}});
    writeTable(work, tables::AULAT::kName, tables::AULAT::fields(),
               {{{"ABREV", "A1"}, {"NOMBRE", "Aula 1"}, {"DEPCENTRO", "A1"}}});
    writeTable(work, tables::GRUPOST::kName, tables::GRUPOST::fields(),
               {{{"ABREV", "ESO1A"}, {"CLAVE", "U1"}, {"CLAVECURSO", "500"}, {"MARCO", "0"}}});
    writeTable(work, tables::ASIGT::kName, tables::ASIGT::fields(),
               {{{"CASIG", "MAT"}, {"CGRUP", "ESO1A"}, {"CLAVE", "M100"}, {"CLAVECURSO", "500"}}});
    QList<Row> slots;
    for (int dia = 1; dia <= 5; ++dia)
        for (int hora = 1; hora <= 2; ++hora)
            slots.append({{"DIHO", QString::number(dia * 10 + hora)},
                          {"CODDIHO", QStringLiteral("T%1").arg(hora)},
                          {"DIA", QString::number(dia)},
                          {"HORA", QString::number(hora)},
                          {"HORADESDE", hora == 1 ? "08:30" : "09:25"},
                          {"HORAHASTA", hora == 1 ? "09:25" : "10:20"},
                          {"MINUTOS", "55"},
                          {"MARCO", "0"},
                          {"MARCOXML", "M1"}});
    writeTable(work, tables::DIASHORAST::kName, tables::DIASHORAST::fields(), slots);
    writeTable(work, tables::ORIGENES_C::kName, tables::ORIGENES_C::fields(),
               {{{"X_CATORIHOR", "7"}, {"C_ORIHOR", "CONC"}}});
    writeTable(work, tables::CUR_NIV_C::kName, tables::CUR_NIV_C::fields(),
               {{{"X_OFERTAMATRIG", "500"}, {"X_NIVCONPAGLEG", "40"}}});
    writeTable(work, tables::AUTORIZA_C::kName, tables::AUTORIZA_C::fields(),
               {{{"X_ORIHORACTETP", "9001"},
                 {"X_ACTIVIDAD", "1"},
                 {"X_CATORIHOR", "7"},
                 {"X_NIVCONPAGLEG", "40"}}});
    using tables::SOLUC::DayAndSlot;
    writeTable(work, tables::SOLUC::kName,
               tables::SOLUC::fields(numericSoluc ? DayAndSlot::Numeric : DayAndSlot::Text), soluc);
}

// A timetable for the small school: regular classes, a task and a non-regular entry.
inline QList<detail::Row> sampleTimetable() {
    return {
        {{"PROF", "ANA"},
         {"DIA", "1"},
         {"HORA", "1"},
         {"MARCO", "0"},
         {"ASIG", "MAT"},
         {"CODGRUPO", "ESO1A"},
         {"AULA", "A1"}},
        {{"PROF", "ANA"},
         {"DIA", "1"},
         {"HORA", "2"},
         {"MARCO", "0"},
         {"ASIG", "#GUA"},
         {"TAREA", "#GUA"},
         {"CCONCIERTO", "CONC"}},
        {{"PROF", "LUI"},
         {"DIA", "3"},
         {"HORA", "1"},
         {"MARCO", "0"},
         {"ASIG", "MAT"},
         {"CODGRUPO", "ESO1A"}},
    };
}

inline void writeExportFolder(const QString& scratch) {
    writeSchoolTables(QDir(scratch).filePath(QStringLiteral("TLTEMP")), false, sampleTimetable());
    const QString veltra = QDir(scratch).filePath(QStringLiteral("VELTRA"));
    QDir().mkpath(veltra);
    QFile f(QDir(veltra).filePath(QStringLiteral("datos.xml")));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                "<SERVICIO modulo=\"EXPORTACION\" tipo=\"E\" autor=\"VELTRA\"><BLOQUE_DATOS>"
                "<grupo_datos seq=\"ANNO\"><dato nombre_dato=\"C_ANNO\">2018</dato>"
                "<dato nombre_dato=\"F_INICIO\">01/09/2018</dato>"
                "<dato nombre_dato=\"F_FIN\">30/06/2019</dato></grupo_datos>"
                "</BLOQUE_DATOS></SERVICIO>\n");
}

} // namespace fuzzing
