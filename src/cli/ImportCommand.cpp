#include "cli/CliHost.h"
#include "import/CursosLogic.h"
#include "import/ImportRun.h"
#include "import/PlantillasLogic.h"
#include "tables/Folders.h"
#include "tables/Table.h"
#include "text/RunError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace cli {

namespace {

// Splits one CSV line, honouring double quotes.
QStringList splitCsvLine(const QString& line) {
    QStringList fields;
    QString cur;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line.at(i + 1) == u'"') {
                cur += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                cur += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            fields << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    fields << cur;
    return fields;
}

// The codes file: UTF-8, header CLAVE,NIVEL,CURSO, one row per course-offer key.
bool readCodes(const QString& path, QHash<QString, CursosLogic::Codes>& codes, QString& error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("No se puede leer el archivo de códigos %1").arg(path);
        return false;
    }
    QString text = QString::fromUtf8(f.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    const QStringList lines = text.split(u'\n');
    bool header = true;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString line = lines.at(n);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        const QStringList fields = splitCsvLine(line);
        if (header) {
            QStringList names;
            for (const QString& h : fields)
                names << h.trimmed().toUpper();
            if (names != QStringList{QStringLiteral("CLAVE"), QStringLiteral("NIVEL"),
                                     QStringLiteral("CURSO")}) {
                error = QStringLiteral("%1: la primera línea debe ser CLAVE,NIVEL,CURSO").arg(path);
                return false;
            }
            header = false;
            continue;
        }
        if (fields.size() != 3) {
            error = QStringLiteral("%1, línea %2: se esperan tres campos (CLAVE,NIVEL,CURSO)")
                        .arg(path)
                        .arg(n + 1);
            return false;
        }
        codes.insert(fields.at(0).trimmed(), {fields.at(1).trimmed(), fields.at(2).trimmed()});
    }
    if (header) {
        error = QStringLiteral("%1: falta la cabecera CLAVE,NIVEL,CURSO").arg(path);
        return false;
    }
    return true;
}

QString frameList(const PlantillasLogic& dialog) {
    QString list;
    for (const auto& f : dialog.frames())
        list += QStringLiteral("  %1  %2\n").arg(f.code, f.name);
    return list;
}

struct StepTables {
    const char* step;
    QStringList tables;
};

// The tables each step writes, for the summary printed after a completed run.
const StepTables kSteps[] = {
    {"CrearPeriodos", {"PERIODOS"}},
    {"CrearCursos", {"CURSOST", "CURSOST2"}},
    {"CrearAsignaturas", {"ASIGNOMT2"}},
    {"CrearActividades", {"ASIGNOMT"}},
    {"CrearProfesores", {"PROFT"}},
    {"CrearAulas", {"AULAT"}},
    {"CrearGrupos", {"GRUPOST"}},
    {"CrearAsignaciones", {"ASIGT"}},
    {"CrearDiasHoras", {"DIASHORAST"}},
    {"CrearCatalogos", {"ORIGENES_C", "NIVELES_C", "CUR_NIV_C", "AUTORIZA_C"}},
};

void printSummary(const QString& workDir, QTextStream& out) {
    int n = 0;
    for (const StepTables& s : kSteps) {
        QStringList parts;
        for (const QString& name : s.tables) {
            if (!QFileInfo::exists(QDir(workDir).filePath(name + QStringLiteral(".DBF"))))
                continue;
            tables::Table t;
            t.open(workDir, name);
            parts << QStringLiteral("%1 %2 filas").arg(name).arg(t.rowCount());
        }
        out << QStringLiteral("%1. %2: %3\n")
                   .arg(++n)
                   .arg(QString::fromLatin1(s.step), parts.join(QStringLiteral(", ")));
    }
}

} // namespace

int runImport(const QStringList& args, Streams io) {
    const Options opts(args,
                       {QStringLiteral("workdir"), QStringLiteral("catalog"),
                        QStringLiteral("codes"), QStringLiteral("frames")},
                       {QStringLiteral("recover"), QStringLiteral("no-recover")});
    if (!opts.ok() || opts.positional().size() != 1 ||
        (opts.has(QStringLiteral("recover")) && opts.has(QStringLiteral("no-recover")))) {
        io.err << (!opts.ok() ? opts.error()
                   : opts.positional().size() != 1
                       ? QStringLiteral("Indique un documento.")
                       : QStringLiteral("--recover y --no-recover se excluyen."))
               << '\n'
               << usageText();
        return Usage;
    }
    const QString doc = QFileInfo(opts.positional().first()).absoluteFilePath();
    if (!QFileInfo(doc).isFile()) {
        io.err << "No existe archivo: " << doc << '\n';
        return RunFailed;
    }
    RunFolders folders;
    folders.workDir = opts.value(QStringLiteral("workdir"), workingFolder());
    folders.catalogPath =
        opts.value(QStringLiteral("catalog"),
                   QDir(programFolder()).filePath(QStringLiteral("VELTMATERIAS.DBF")));
    if (!QFileInfo(folders.workDir).isDir()) {
        io.err << "No existe la carpeta de trabajo " << folders.workDir << '\n';
        return RunFailed;
    }

    QHash<QString, CursosLogic::Codes> codes;
    if (opts.has(QStringLiteral("codes"))) {
        QString error;
        if (!readCodes(opts.value(QStringLiteral("codes")), codes, error)) {
            io.err << error << '\n';
            return Usage;
        }
    }
    QStringList frames;
    if (opts.has(QStringLiteral("frames")))
        frames = opts.value(QStringLiteral("frames")).split(u',');

    CliHost host(io, doc);
    const bool recover = !opts.has(QStringLiteral("no-recover"));
    host.recoverAnswer = recover;
    host.onCursos = [&](CursosLogic& dialog) {
        dialog.recover(recover);
        dialog.applyCodes(codes);
        const QStringList lacking = dialog.keysLackingCodes();
        if (!lacking.isEmpty()) {
            host.needsAnswer = true;
            io.err << "Ofertas de curso sin NIVEL o CURSO (dé sus códigos con --codes): "
                   << lacking.join(QStringLiteral(", ")) << '\n';
            dialog.BitBtn2Click();
            return;
        }
        dialog.completeOk();
    };
    host.onPlantillas = [&](PlantillasLogic& dialog) {
        const auto outcome = dialog.chooseByCodes(frames);
        if (outcome.status == PlantillasLogic::Choice::Ok)
            return;
        host.needsAnswer = true;
        QString why;
        switch (outcome.status) {
        case PlantillasLogic::Choice::None:
            why = QStringLiteral("El documento tiene varios marcos horarios: elija uno o dos con "
                                 "--frames.");
            break;
        case PlantillasLogic::Choice::Unknown:
            why = QStringLiteral("Marcos horarios desconocidos: %1.")
                      .arg(outcome.unknown.join(QStringLiteral(", ")));
            break;
        case PlantillasLogic::Choice::TooMany:
            why = QStringLiteral("Se pueden elegir como máximo dos marcos horarios.");
            break;
        case PlantillasLogic::Choice::Ok:
            break;
        }
        io.err << why << "\nMarcos horarios del documento:\n" << frameList(dialog) << Qt::flush;
        throw RunError(why);
    };

    MainState state;
    exchange::Document held;
    BExportarClick(host, state, folders, held);
    const int code = host.exitCode(state);
    if (code == Done) {
        try {
            printSummary(folders.workDir, io.out);
        } catch (const RunError& e) {
            io.err << e.message() << '\n';
            return RunFailed;
        }
    }
    return code;
}

} // namespace cli
