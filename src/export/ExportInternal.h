#pragma once

// Pieces of the export run shared by its files (and reachable from the tests): the
// working tables read once into memory, the code resolution, the two timetable groups
// and the final correction pass.

#include "exchange/ExchangeDocument.h"
#include "export/ExportRun.h"
#include "run/RunReport.h"
#include "tables/Table.h"
#include "text/RunError.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

// ---- Header date -----------------------------------------------------------------

// The user's short date, a blank, the long time, as the operating system's regional
// settings give them (never a time zone); dd/MM/yyyy HH:mm:ss where none are set.
// One implementation per system.
QString FechaDocumento(const QDateTime& ahora);

// ---- Small conversions -------------------------------------------------------------

// A whole number in decimal: blanks before it, an optional sign, digits, nothing after;
// within 32 bits. nullopt otherwise.
std::optional<qint32> EnteroDecimal(const QString& texto);

// A slot time hh:mm as minutes after midnight: "08:30" and "8:30" give 510, "" gives 0.
// nullopt when the hours or the minutes are not a whole number.
std::optional<qint32> MinutosDesdeHora(const QString& hora);

// The school year: the first 4 characters of the first data group's text, white space
// at its start skipped.
QString AnnoEscolar(const QString& textoPrimerGrupo);

// ---- Working tables in memory ----------------------------------------------------------

// A field read as text and, where it holds one, as a whole number. Numeric fields give
// their number in decimal as text; an empty numeric field reads as "" and 0.
struct Valor {
    QString texto;
    std::optional<qint32> numero;
};

// One SOLUC record: one class or activity of one teacher at one day and slot.
struct Entrada {
    int registro = 0; // position in SOLUC, from 1, for messages
    QString prof;
    Valor dia;
    Valor hora;
    QString marco;
    QString asig;
    QString tarea;
    QString codgrupo;
    QString aula;
    QString cconcierto;
};

// One exported teacher (X_EMPLEADO not blank), in PROFT order.
struct Profesor {
    QString abrev;
    QString empleado; // X_EMPLEADO as stored
    QString tomapos;  // F_TOMAPOS as stored
    QString nombre{}; // NOMBRE, for the report
};

// How the report names a teacher: by name, the initials after it.
QString NombreProfesor(const Profesor& p);

// A DIASHORAST record as the export uses it.
struct Tramo {
    QString diho;
    QString marco;
    QString dia;
    QString coddiho;
    QString horadesde;
    QString horahasta;
    Valor minutos;
};

// The open working tables of the run, in the order they are opened. The nine working
// tables are held for exclusive use until the run ends; every table closes with this
// object, whichever way the run ends.
struct TablasExport {
    tables::Table soluc, grupost, cursost, proft, aulat, asignomt, asignomt2, diashorast, asigt;
    tables::Table origenes, curniv, autoriza; // only with catalogues available

    // Opens the nine working tables; returns whether the catalogues are available (then
    // ORIGENES_C, CUR_NIV_C and AUTORIZA_C are open too).
    bool abrir(const QString& carpeta);
};

// Every lookup the export makes, keyed as the lookups of the resolution compare and
// keeping the first record in table order, so that each entry costs a few hash look-ups
// instead of scans of the tables.
class Busquedas {
public:
    // Reads SOLUC, PROFT, GRUPOST, ASIGNOMT, ASIGNOMT2, DIASHORAST and ASIGT (and the
    // three catalogues when `catalogos`). Teachers left out go to `informe`, if given.
    void cargar(TablasExport& t, bool catalogos, run::RunReport* informe = nullptr);

    QList<Profesor> profesores;

    // A teacher's entries, those whose PROF equals the abbreviation exactly, in order.
    QList<Entrada> entradasDe(const QString& abrev) const;

    const Tramo* tramo(const QString& diho, const QString& marco) const;

    struct Asignacion {
        QString clave, claveCurso;
    };
    const Asignacion* asignacion(const QString& casig, const QString& cgrup) const;

    struct Grupo {
        QString clave, claveCurso;
    };
    const Grupo* grupo(const QString& abrev) const;

    // ASIGNOMT: CODTAREA of the first row with COD; R_UNI_MAT of the first with CODTAREA.
    const QString* tareaDeCodigo(const QString& cod) const;
    const QString* requisitoDeTarea(const QString& codtarea) const;

    // ASIGNOMT2: MATERIA of the first row with COD and OFERTAMATRI.
    const QString* materia(const QString& cod, const QString& oferta) const;

    // Catalogues: X_NIVCONPAGLEG by X_OFERTAMATRIG, X_CATORIHOR by C_ORIHOR,
    // X_ORIHORACTETP by X_ACTIVIDAD, X_CATORIHOR, X_NIVCONPAGLEG (all as text).
    const QString* nivelDeOferta(qint32 oferta) const;
    const QString* categoriaDeOrigen(const QString& origen) const;
    const QString* autorizacion(qint32 actividad, qint32 categoria, qint32 nivel) const;

private:
    // SOLUC as read: a timetable of a million entries repeats a few hundred values, so each
    // record keeps the positions of its values in valores_, and an Entrada is made only for
    // the teacher being written.
    struct FilaSoluc {
        quint32 prof, dia, hora, marco, asig, tarea, codgrupo, aula, cconcierto;
    };
    std::vector<FilaSoluc> soluc_;
    QList<Valor> valores_;
    QHash<QString, QList<int>> porProfesor_;
    QList<Tramo> tramos_;
    QHash<std::pair<QString, QString>, int> tramoPorClave_;
    QHash<std::pair<QString, QString>, Asignacion> asignaciones_;
    QHash<QString, Grupo> grupos_;
    QHash<QString, QString> tareaPorCodigo_;
    QHash<QString, QString> requisitoPorTarea_;
    QHash<std::pair<QString, QString>, QString> materias_;
    QHash<qint32, QString> nivelPorOferta_;
    QHash<QString, QString> categoriaPorOrigen_;
    QHash<std::pair<qint32, std::pair<qint32, qint32>>, QString> autorizaciones_;
};

// ---- Run state -----------------------------------------------------------------------

// The identifiers the input document knows, read before its content is replaced: the
// other program refuses what it does not know. A kind whose group the input lacks is not
// checked (nullopt).
struct Conocidos {
    std::optional<QSet<QString>> tramos, dependencias, unidades, ofertas, materias;
    static Conocidos Leer(const exchange::Document& doc);
};

struct EstadoExport {
    run::RunReport* informe = nullptr; // where what is left out or warned about goes
    Conocidos conocidos;
    QString anno;
    QString fInicio;
    QString fFin;
    bool catalogos = false;
    int numProfesores = 0; // set by the non-regular timetables, read by the regular ones
};

// ---- Code resolution -------------------------------------------------------------------

// The entry's DIA as a whole number; a value that is not one ends the run with a
// message naming the teacher, the entry and the value.
qint32 DiaEntrada(const Entrada& e, const Profesor& p);
bool Colocada(const Entrada& e, const Profesor& p); // DIA is not 0

// The entry's time slot (DIHO = DIA as text + HORA, and the first character of MARCO),
// or nullptr.
const Tramo* BuscarTramo(const Busquedas& b, const Entrada& e, const Profesor& p);

// The slot's MINUTOS as a whole number, or the run ends naming slot, teacher and entry.
qint32 MinutosTramo(const Tramo& t, const Entrada& e, const Profesor& p);

// A slot time in minutes (MinutosDesdeHora), or the run ends naming what it came from.
qint32 MinutosDeHoraTramo(const QString& hora, const QString& campo, const Tramo* t,
                          const Entrada& e, const Profesor& p);

struct EntradaResuelta {
    const Tramo* tramo = nullptr;
    QString diaTramo, idTramo, inicio, fin; // empty without a time slot
    QString aula, unidad, oferta, materia, actividad, autorizacion;
    bool rechazada = false;
    // "TABLA.CAMPO" each of the three came from, for messages.
    QString deOferta, deMateria, deActividad;
    bool faltaUnidad = false; // rejected for want of a unit (otherwise of a subject)
};

// "la entrada 17 de SOLUC (profesor JGP, X_EMPLEADO 4711)": what the user looks for in
// Tempolan to mend the timetable.
QString DescribirEntrada(const Entrada& e, const Profesor& p);

EntradaResuelta ResolverEntrada(const Busquedas& b, const Entrada& e, const Profesor& p,
                                bool catalogos);

// ---- The document ------------------------------------------------------------------

// A data item <dato nombre_dato="nombre">valor</dato>. origen() says where the value comes
// from ("PROFT.X_EMPLEADO del profesor ANA"), asked only when the value cannot go into the
// document: a value XML cannot carry ends the run naming it, so that the user can mend it
// in Tempolan.
QString DatoNoEscrito(const QString& nombre, const QString& origen, const RunError& e);
template <typename Origen>
requires std::is_invocable_r_v<QString, Origen> exchange::Node
NuevoDato(exchange::Document& doc, const QString& nombre, const QString& valor, Origen&& origen) {
    exchange::Node dato = doc.createElement(QStringLiteral("dato"));
    dato.setAttribute(QStringLiteral("nombre_dato"), nombre);
    try {
        dato.setText(valor);
    } catch (const RunError& e) {
        throw RunError(DatoNoEscrito(nombre, origen(), e));
    }
    return dato;
}
// The same item written into a piece of the document (exchange::Piece).
template <typename Origen>
requires std::is_invocable_r_v<QString, Origen>
void DatoEn(exchange::Piece& pieza, const char* nombre, const QString& valor, Origen&& origen) {
    pieza.open("dato");
    pieza.attribute("nombre_dato", nombre);
    try {
        pieza.text(valor);
    } catch (const RunError& e) {
        throw RunError(DatoNoEscrito(QString::fromLatin1(nombre), origen(), e));
    }
    pieza.close();
}
inline exchange::Node NuevoDato(exchange::Document& doc, const QString& nombre,
                                const QString& valor, const QString& origen) {
    return NuevoDato(doc, nombre, valor, [&] { return origen; });
}
// "PROFT.campo del profesor ABREV", an origin for NuevoDato.
QString DeProfesor(const QString& campo, const Profesor& p);

// A timetable group (HORARIOS_NO_REGULARES, HORARIOS_REGULARES) added to the data block,
// with an empty element inside where its teacher groups are written: the hole given back.
exchange::Node GrupoDeHorarios(exchange::Document& doc, exchange::Node bloque, const QString& seq,
                               int registros);

// The teacher groups of each timetable group, one at a time, into the current hole of
// `salida`: the document is never held whole.
void EscribirHorariosNoRegulares(exchange::Document& doc, exchange::StreamedSave& salida,
                                 const Busquedas& b, EstadoExport& estado);
void EscribirHorariosRegulares(exchange::Document& doc, exchange::StreamedSave& salida,
                               const Busquedas& b, const EstadoExport& estado);
