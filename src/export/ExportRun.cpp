#include "export/ExportRun.h"

#include "export/ExportInternal.h"
#include "tables/Table.h"
#include "text/RunError.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace exportacion {

namespace {

struct RelojExport {
    Reloj reloj;
    std::optional<QLocale> locale;
};

RelojExport& RelojActual() {
    static RelojExport r;
    return r;
}

// Whether NAME.DBF is in the folder, found as the table store opens it.
bool ExisteTabla(const QString& carpeta, const QString& nombre) {
    return tables::FileExists(QDir(carpeta).filePath(nombre + QStringLiteral(".DBF")));
}

bool EsEspacioXml(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

// The first child of a node as a document model that drops white-space-only text
// would give it: indentation between elements is not content.
exchange::Node PrimerHijo(const exchange::Node& nodo) {
    const auto hijos = nodo.children();
    for (const exchange::Node& h : hijos) {
        if (h.isElement())
            return h;
        const QString t = h.text();
        if (!std::all_of(t.begin(), t.end(), EsEspacioXml))
            return h;
    }
    return {};
}

// Steps 3 to 16 of the run; false when it stopped at the PERIODOS.DBF message.
bool Exportar(RunHost& host, const QString& elegido, const QString& carpeta,
              exchange::Document& held) {
    TablasExport tablas;
    EstadoExport estado;
    estado.catalogos = tablas.abrir(carpeta);

    held = exchange::Document::load(elegido);
    if (!held.ok())
        throw RunError(held.errorString());
    const exchange::Node bloqueEntrada =
        held.selectSingle(QStringLiteral("/SERVICIO/BLOQUE_DATOS"));
    if (!bloqueEntrada)
        throw RunError(QStringLiteral("El documento %1 no tiene el bloque SERVICIO/BLOQUE_DATOS "
                                      "de un documento de VELTRA.")
                           .arg(QDir::toNativeSeparators(elegido)));
    const exchange::Node primerGrupo = PrimerHijo(bloqueEntrada);
    if (!primerGrupo)
        throw RunError(QStringLiteral("El bloque de datos del documento %1 está vacío: falta el "
                                      "año académico.")
                           .arg(QDir::toNativeSeparators(elegido)));
    estado.anno = AnnoEscolar(primerGrupo.text());

    if (!ExisteTabla(carpeta, QStringLiteral("PERIODOS"))) {
        host.showMessage(QStringLiteral(
            "ATENCIÓN - PERIODOS.DBF No encontrado - Importe de nuevo XML de VELTRA."));
        return false;
    }
    {
        tables::Table periodos;
        periodos.open(carpeta, QStringLiteral("PERIODOS"), tables::OpenMode::Shared);
        periodos.first();
        if (!periodos.atEnd()) {
            estado.fInicio = periodos.text(QStringLiteral("F_INICIO"));
            estado.fFin = periodos.text(QStringLiteral("F_FIN"));
        }
        periodos.close();
    }

    Busquedas busquedas;
    busquedas.cargar(tablas, estado.catalogos);

    // The input's content goes, freed at once (nothing refers to it any more); its
    // declaration and top-level comments stay.
    exchange::Node raiz = held.root();
    raiz.deleteChild(held.selectSingle(QStringLiteral("/SERVICIO/BLOQUE_DATOS")));
    held.deleteChild(held.selectSingle(QStringLiteral("/SERVICIO")));

    exchange::Node servicio = held.createElement(QStringLiteral("SERVICIO"));
    servicio.setAttribute(QStringLiteral("modulo"), QStringLiteral("HORARIOS"));
    servicio.setAttribute(QStringLiteral("tipo"), QStringLiteral("I"));
    servicio.setAttribute(QStringLiteral("autor"), QStringLiteral("TEMPOLAN"));
    const RelojExport& reloj = RelojActual();
    servicio.setAttribute(QStringLiteral("fecha"),
                          FechaDocumento(reloj.reloj ? reloj.reloj() : QDateTime::currentDateTime(),
                                         reloj.locale.value_or(QLocale::system())));
    held.appendChild(servicio);

    exchange::Node bloque = held.createElement(QStringLiteral("BLOQUE_DATOS"));
    held.selectSingle(QStringLiteral("/SERVICIO")).appendChild(bloque);

    exchange::Node anno = held.createElement(QStringLiteral("grupo_datos"));
    anno.setAttribute(QStringLiteral("seq"), QStringLiteral("ANNO_ACADEMICO"));
    anno.appendChild(NuevoDato(held, QStringLiteral("C_ANNO"), estado.anno));
    bloque.appendChild(anno);

    EscribirHorariosNoRegulares(held, bloque, busquedas, estado);
    EscribirHorariosRegulares(held, bloque, busquedas, estado);

    const QString salida = RutaResultado(elegido);
    held.save(salida);
    // The document built goes before the saved one is read back: never two in memory.
    held = exchange::Document();
    held = AjustarRegistros(salida);
    return true;
}

} // namespace

void FijarReloj(Reloj reloj, const QLocale& locale) {
    RelojActual() = {std::move(reloj), locale};
}

void RestaurarReloj() {
    RelojActual() = {};
}

QString FechaDocumento(const QDateTime& ahora, const QLocale& locale) {
    return locale.toString(ahora.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(ahora, locale.timeFormat(QLocale::LongFormat));
}

QString AnnoEscolar(const QString& textoPrimerGrupo) {
    qsizetype i = 0;
    while (i < textoPrimerGrupo.size() && EsEspacioXml(textoPrimerGrupo.at(i)))
        ++i;
    return textoPrimerGrupo.mid(i, 4);
}

QString RutaResultado(const QString& elegido) {
    // The folder part keeps its last separator; Windows also takes "\" and a drive's ":".
#ifdef Q_OS_WIN
    const qsizetype corte =
        std::max({elegido.lastIndexOf(QLatin1Char('/')), elegido.lastIndexOf(QLatin1Char('\\')),
                  elegido.lastIndexOf(QLatin1Char(':'))});
#else
    const qsizetype corte = elegido.lastIndexOf(QLatin1Char('/'));
#endif
    return elegido.left(corte + 1) + QStringLiteral("ResultadoTempolan") + elegido.mid(corte + 1);
}

bool TablasExport::abrir(const QString& carpeta) {
    using tables::OpenMode;
    if (!QFileInfo(carpeta).isDir())
        throw RunError(QStringLiteral("No existe la carpeta de trabajo %1.")
                           .arg(QDir::toNativeSeparators(carpeta)));
    soluc.open(carpeta, QStringLiteral("SOLUC"), OpenMode::Exclusive);
    grupost.open(carpeta, QStringLiteral("GRUPOST"), OpenMode::Exclusive);
    cursost.open(carpeta, QStringLiteral("CursosT"), OpenMode::Exclusive);
    proft.open(carpeta, QStringLiteral("PROFT"), OpenMode::Exclusive);
    aulat.open(carpeta, QStringLiteral("AULAT"), OpenMode::Exclusive);
    asignomt.open(carpeta, QStringLiteral("ASIGNOMT"), OpenMode::Exclusive);
    asignomt2.open(carpeta, QStringLiteral("ASIGNOMT2"), OpenMode::Exclusive);
    diashorast.open(carpeta, QStringLiteral("DIASHORAST"), OpenMode::Exclusive);
    asigt.open(carpeta, QStringLiteral("ASIGT"), OpenMode::Exclusive);

    if (!ExisteTabla(carpeta, QStringLiteral("ORIGENES_C")))
        return false;
    origenes.open(carpeta, QStringLiteral("ORIGENES_C.DBF"), OpenMode::Shared);
    if (origenes.rowCount() < 1)
        return false;
    curniv.open(carpeta, QStringLiteral("CUR_NIV_C.DBF"), OpenMode::Shared);
    autoriza.open(carpeta, QStringLiteral("AUTORIZA_C.DBF"), OpenMode::Shared);
    return true;
}

} // namespace exportacion

void BImportarClick(RunHost& host, MainState& state, const RunFolders& folders,
                    exchange::Document& held) {
    if (auto elegido = host.chooseDocument())
        state.filenameXML = *elegido;
    if (state.filenameXML.isEmpty() || !QFileInfo(state.filenameXML).isFile()) {
        host.showMessage(QStringLiteral("No existe archivo"));
        if (state.embedded) {
            state.resultValue = -1;
            host.closeMainWindow();
        }
        return;
    }

    try {
        // The busy cursor and every table end with this block, whichever way it ends.
        BusyCursor busy(host);
        if (!exportacion::Exportar(host, state.filenameXML, folders.workDir, held))
            return;
    } catch (const RunError& e) {
        host.reportError(e.message());
        return;
    } catch (const std::exception& e) {
        host.reportError(QString::fromLocal8Bit(e.what()));
        return;
    }

    state.resultValue = 1;
    host.showMessage(QStringLiteral("Proceso finalizado"));
    host.disableRunButtons();
    if (state.embedded)
        host.closeMainWindow();
}
