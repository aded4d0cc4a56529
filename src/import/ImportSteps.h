#pragma once

#include "exchange/ExchangeDocument.h"
#include "run/RunHost.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

struct Materia;

// What every import step works with: the loaded document, the user, the main window's
// state and the folders. Steps throw RunError to end the run.
struct ImportContext {
    const exchange::Document& doc;
    RunHost& host;
    MainState& state;
    QString workDir;     // Tempolan's working tables
    QString catalogPath; // VELTMATERIAS.DBF
    // The MATERIAS records, read from the document by the first step that needs them and
    // kept for the next (see MateriasDelDocumento).
    std::shared_ptr<const QList<Materia>> materias = {};
};

// The ten steps, in the order the import run calls them.
void CrearPeriodos(ImportContext& ctx);
bool CrearCursos(ImportContext& ctx); // true when the user forced the exit
void CrearAsignaturas(ImportContext& ctx);
void CrearActividades(ImportContext& ctx);
void CrearProfesores(ImportContext& ctx);
void CrearAulas(ImportContext& ctx);
void CrearGrupos(ImportContext& ctx);
void CrearAsignaciones(ImportContext& ctx);
void CrearDiasHoras(ImportContext& ctx);
void CrearCatalogos(ImportContext& ctx);

// The values of the catalogue groups that CrearCatalogos would refuse, one line each,
// found without writing anything.
QStringList CatalogosProblemas(const exchange::Document& doc);
