#include "export/ExportRun.h"

#include "exchange/ExchangeNames.h"
#include "export/ExportInternal.h"
#include "run/RunFrame.h"
#include "tables/Folders.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"
#include "text/RunError.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

const QStringList& exportPhases() {
    static const QStringList phases = {QStringLiteral("lectura de datos"),
                                       QStringLiteral("horarios no regulares"),
                                       QStringLiteral("horarios regulares")};
    return phases;
}

namespace {

// Whether NAME.DBF is in the folder, found as the table store opens it.
bool ExisteTabla(const QString& carpeta, const QString& nombre) {
    return tables::FileExists(tables::tableFile(carpeta, nombre));
}

bool EsEspacioXml(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

// Everything between the chooser and the completion message; false when it stopped at
// the PERIODOS.DBF message.
bool Exportar(run::Run& r, const QString& elegido, const QString& carpeta, exchange::Document& held,
              const OpcionesExport& opciones) {
    // What the window shows while the run works: the export's three phases.
    const auto fase = [&r](int i) {
        if (i > 0)
            r.host.stepFinished(i - 1);
        r.host.stepStarted(i, int(exportPhases().size()), exportPhases().at(i));
    };
    fase(0);
    TablasExport tablas;
    EstadoExport estado;
    estado.informe = &r.report;
    estado.catalogos = tablas.abrir(carpeta);

    held = exchange::Document::load(elegido);
    if (!held.ok())
        throw RunError(held.errorString());
    if (!held.selectSingle(QString::fromLatin1(exchange::kBlockPath)))
        throw RunError(QStringLiteral("El documento %1 no tiene el bloque SERVICIO/BLOQUE_DATOS "
                                      "de un documento de VELTRA.")
                           .arg(QDir::toNativeSeparators(elegido)));
    // Indentation between elements is not content: the first child is the first element
    // or the first text that is more than blanks.
    const std::optional<QString> primerGrupo = held.firstDataText();
    if (!primerGrupo)
        throw RunError(QStringLiteral("El bloque de datos del documento %1 está vacío: falta el "
                                      "año académico.")
                           .arg(QDir::toNativeSeparators(elegido)));
    estado.anno = AnnoEscolar(*primerGrupo);

    if (!ExisteTabla(carpeta, tables::PERIODOS::kName)) {
        r.hideBusy();
        r.host.showMessage(QStringLiteral(
            "ATENCIÓN - PERIODOS.DBF No encontrado - Importe de nuevo XML de VELTRA."));
        return false;
    }
    {
        tables::Table periodos;
        periodos.open(carpeta, tables::PERIODOS::kName, tables::OpenMode::Shared);
        periodos.first();
        if (periodos.atEnd()) {
            // Every activity would carry empty dates, which Veltra does not take.
            r.hideBusy();
            r.host.showMessage(QStringLiteral(
                "ATENCIÓN - PERIODOS.DBF está vacío - Importe de nuevo XML de VELTRA."));
            return false;
        }
        estado.fInicio = periodos.text(tables::PERIODOS::F_INICIO);
        estado.fFin = periodos.text(tables::PERIODOS::F_FIN);
        periodos.close();
    }

    Busquedas busquedas;
    busquedas.cargar(tablas, estado.catalogos, estado.informe);
    estado.conocidos = Conocidos::Leer(held);

    // The input's content goes; its declaration and top-level comments stay, and the new
    // root follows them.
    held = held.prolog();

    exchange::Node servicio = held.createElement(QStringLiteral("SERVICIO"));
    servicio.setAttribute(QStringLiteral("modulo"), QStringLiteral("HORARIOS"));
    servicio.setAttribute(QStringLiteral("tipo"), QStringLiteral("I"));
    servicio.setAttribute(QStringLiteral("autor"), QStringLiteral("TEMPOLAN"));
    servicio.setAttribute(
        QStringLiteral("fecha"),
        FechaDocumento(opciones.reloj ? opciones.reloj() : QDateTime::currentDateTime()));
    held.appendChild(servicio);

    exchange::Node bloque = held.createElement(QString::fromLatin1(exchange::kBlock));
    servicio.appendChild(bloque);

    exchange::Node anno = held.createElement(QString::fromLatin1(exchange::kGroup));
    anno.setAttribute(QString::fromLatin1(exchange::kGroupName),
                      QString::fromLatin1(exchange::groups::kSchoolYear));
    anno.appendChild(NuevoDato(held, QStringLiteral("C_ANNO"), estado.anno,
                               QStringLiteral("el primer grupo de datos del documento %1")
                                   .arg(QDir::toNativeSeparators(elegido))));
    bloque.appendChild(anno);

    estado.numProfesores = int(busquedas.profesores.size());
    const exchange::Node noRegulares = GrupoDeHorarios(
        held, bloque, QString::fromLatin1(exchange::groups::kNonRegular), estado.numProfesores);
    const exchange::Node regulares = GrupoDeHorarios(
        held, bloque, QString::fromLatin1(exchange::groups::kRegular), estado.numProfesores);

    // Each teacher group is written as soon as it is made, then freed: the memory a run
    // needs does not grow with the document it writes.
    const QString ruta = RutaResultado(elegido);
    exchange::StreamedSave salida(ruta, {noRegulares, regulares});
    fase(1);
    EscribirHorariosNoRegulares(held, salida, busquedas, estado);
    salida.nextHole();
    fase(2);
    EscribirHorariosRegulares(held, salida, busquedas, estado);
    salida.commit();
    r.host.stepFinished(int(exportPhases().size()) - 1);
    return true;
}

} // namespace

QString AnnoEscolar(const QString& textoPrimerGrupo) {
    qsizetype i = 0;
    while (i < textoPrimerGrupo.size() && EsEspacioXml(textoPrimerGrupo.at(i)))
        ++i;
    return textoPrimerGrupo.mid(i, 4);
}

Conocidos Conocidos::Leer(const exchange::Document& doc) {
    Conocidos c;
    const auto leer = [&](const char* grupo, const QString& item) {
        const exchange::NodeList registros = doc.recordsOf(QString::fromLatin1(grupo));
        std::optional<QSet<QString>> valores;
        if (registros.isEmpty())
            return valores;
        valores.emplace();
        for (const exchange::Node& registro : registros) {
            const exchange::NodeList items = exchange::dataItems(registro);
            for (int k = 0; k < items.size(); ++k) {
                if (item.isEmpty() ? k == 0 : exchange::itemNameIs(items, k, item)) {
                    valores->insert(exchange::itemValue(items, k));
                    break;
                }
            }
        }
        return valores;
    };
    using namespace exchange::groups;
    c.tramos = leer(kSlots, {});
    c.dependencias = leer(kRooms, {});
    c.unidades = leer(kUnits, {});
    c.ofertas = leer(kCourses, {});
    c.materias = leer(kSubjects, QString::fromLatin1(exchange::items::kSubjectId));
    return c;
}

bool TablasExport::abrir(const QString& carpeta) {
    using tables::OpenMode;
    if (!QFileInfo(carpeta).isDir())
        throw RunError(tables::missingWorkingFolder(carpeta) + u'.');
    soluc.open(carpeta, tables::SOLUC::kName, OpenMode::Exclusive);
    grupost.open(carpeta, tables::GRUPOST::kName, OpenMode::Exclusive);
    cursost.open(carpeta, tables::CURSOST::kName, OpenMode::Exclusive);
    proft.open(carpeta, tables::PROFT::kName, OpenMode::Exclusive);
    aulat.open(carpeta, tables::AULAT::kName, OpenMode::Exclusive);
    asignomt.open(carpeta, tables::ASIGNOMT::kName, OpenMode::Exclusive);
    asignomt2.open(carpeta, tables::ASIGNOMT2::kName, OpenMode::Exclusive);
    diashorast.open(carpeta, tables::DIASHORAST::kName, OpenMode::Exclusive);
    asigt.open(carpeta, tables::ASIGT::kName, OpenMode::Exclusive);

    if (!ExisteTabla(carpeta, tables::ORIGENES_C::kName))
        return false;
    origenes.open(carpeta, tables::ORIGENES_C::kName, OpenMode::Shared);
    if (origenes.rowCount() < 1)
        return false;
    curniv.open(carpeta, tables::CUR_NIV_C::kName, OpenMode::Shared);
    autoriza.open(carpeta, tables::AUTORIZA_C::kName, OpenMode::Shared);
    return true;
}

void runExport(RunHost& host, run::RunState& state, const RunFolders& folders,
               exchange::Document& held) {
    runExportWith(host, state, folders, held, {});
}

void runExportWith(RunHost& host, run::RunState& state, const RunFolders& folders,
                   exchange::Document& held, const OpcionesExport& opciones) {
    run::runInFrame(host, state, folders, held, run::FolderUse::ReadsOnly, [&](run::Run& r) {
        r.report.run = QStringLiteral("export");
        r.report.document = state.filenameXML;
        r.showBusy();
        if (!Exportar(r, state.filenameXML, folders.workDir, held, opciones))
            return run::Ending::Stopped;
        r.hideBusy();
        r.detail = QStringLiteral("Documento escrito: %1")
                       .arg(QDir::toNativeSeparators(RutaResultado(state.filenameXML)));
        return run::Ending::Completed;
    });
}
