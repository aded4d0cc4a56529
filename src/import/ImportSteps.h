#pragma once

#include "exchange/ExchangeDocument.h"
#include "import/ImportQuestions.h"
#include "run/RunHost.h"
#include "run/RunReport.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

struct Materia;

// What every import step works with: the loaded document, the user and the answers to
// the import's questions, and the folders. Steps throw RunError to end the run.
struct ImportContext {
    const exchange::Document& doc;
    RunHost& host;
    ImportQuestions& questions;
    QString workDir;     // Tempolan's working tables
    QString catalogPath; // VELTMATERIAS.DBF
    // The MATERIAS records, read from the document by the first step that needs them and
    // kept for the next (see MateriasDelDocumento).
    std::shared_ptr<const QList<Materia>> materias = {};
    // Where the steps note what they leave out or fill with a default; none in runs that
    // keep no report.
    run::RunReport* report = nullptr;
    // A dialog of this run had to be shown again: the course dialog then offers the
    // forced exit from its first showing.
    bool dialogRepeated = false;
};

// Notes a report item, when the run keeps a report.
inline void noteReport(ImportContext& ctx, run::ReportItem item) {
    if (ctx.report)
        ctx.report->add(std::move(item));
}

// Notes record `record` (from 1) of a data group, passed over for having fewer than two
// data items.
inline void noteShortRecord(ImportContext& ctx, const QString& group, int record) {
    noteReport(ctx, {run::ReportKind::RecordSkipped,
                     QStringLiteral("el registro tiene menos de dos datos: no se importa"),
                     group,
                     {},
                     record,
                     {},
                     {},
                     QStringLiteral("Datos incompletos en el documento de VELTRA (grupo %1): "
                                    "no se han importado (%n registros)")
                         .arg(group)});
}

// The ten steps, in the order the import run calls them.
void CrearPeriodos(ImportContext& ctx);
bool CrearCursos(ImportContext& ctx); // true when the user forced the exit
void CrearAsignaturas(ImportContext& ctx);
void CrearActividades(ImportContext& ctx);
void CrearProfesores(ImportContext& ctx);
void CrearAulas(ImportContext& ctx);
void CrearGrupos(ImportContext& ctx);
void CrearAsignaciones(ImportContext& ctx);
bool CrearDiasHoras(ImportContext& ctx); // true when the user left the frame dialog
void CrearCatalogos(ImportContext& ctx);

// The values of the catalogue groups that CrearCatalogos would refuse, one line each,
// found without writing anything.
QStringList CatalogosProblemas(const exchange::Document& doc);
