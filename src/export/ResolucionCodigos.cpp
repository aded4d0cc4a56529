#include "export/ExportInternal.h"

#include "text/Clipper.h"
#include "text/RunError.h"
#include "text/WholeNumber.h"

#include <algorithm>
#include <limits>

namespace {

// AllTrim(s).isEmpty(), without making the trimmed copy: asked several times per entry.
bool EnBlanco(const QString& s) {
    return std::all_of(s.cbegin(), s.cend(), [](QChar c) { return c == u' '; });
}

QString DescribirTramo(const Tramo& t) {
    return QStringLiteral("tramo DIHO %1, MARCO «%2»").arg(t.diho, t.marco);
}

// A key of the catalogue lookups, which compare whole numbers.
qint32 ClaveCatalogo(const QString& valor, const QString& tabla, const QString& que,
                     const Entrada& e, const Profesor& p) {
    const auto n = EnteroDecimal(valor);
    if (!n)
        throw RunError(QStringLiteral("%1: %2 «%3» de %4 no es un número entero.")
                           .arg(tabla, que, valor, DescribirEntrada(e, p)));
    return *n;
}

} // namespace

QString DescribirEntrada(const Entrada& e, const Profesor& p) {
    return QStringLiteral("la entrada %1 de SOLUC (profesor %2, X_EMPLEADO %3)")
        .arg(e.registro)
        .arg(p.abrev, p.empleado);
}

std::optional<qint32> EnteroDecimal(const QString& texto) {
    // Numeric fields of other writers may come right-aligned.
    return text::parseWholeNumber(LTrim(texto));
}

std::optional<qint32> MinutosDesdeHora(const QString& hora) {
    QString s = hora;
    if (s.size() < 5)
        s.prepend(QLatin1Char('0'));
    const auto horas = EnteroDecimal(LeftStr(s, 2));
    const auto minutos = EnteroDecimal(RightStr(s, 2));
    if (!horas || !minutos)
        return std::nullopt;
    return *horas * 60 + *minutos;
}

qint32 DiaEntrada(const Entrada& e, const Profesor& p) {
    if (!e.dia.numero)
        throw RunError(QStringLiteral("SOLUC: el DIA «%1» de %2 no es un número entero. "
                                      "Corrija el horario en Tempolan y exporte de nuevo.")
                           .arg(e.dia.texto, DescribirEntrada(e, p)));
    return *e.dia.numero;
}

bool Colocada(const Entrada& e, const Profesor& p) {
    return DiaEntrada(e, p) != 0;
}

const Tramo* BuscarTramo(const Busquedas& b, const Entrada& e, const Profesor& p) {
    if (!e.hora.numero)
        throw RunError(QStringLiteral("SOLUC: la HORA «%1» de %2 no es un número entero. "
                                      "Corrija el horario en Tempolan y exporte de nuevo.")
                           .arg(e.hora.texto, DescribirEntrada(e, p)));
    const QString diho = e.dia.texto + QString::number(*e.hora.numero);
    return b.tramo(diho, LeftStr(e.marco, 1));
}

qint32 MinutosTramo(const Tramo& t, const Entrada& e, const Profesor& p) {
    if (!t.minutos.numero)
        throw RunError(QStringLiteral("DIASHORAST: los MINUTOS «%1» del %2, que ocupa %3, "
                                      "no son un número entero.")
                           .arg(t.minutos.texto, DescribirTramo(t), DescribirEntrada(e, p)));
    return *t.minutos.numero;
}

qint32 MinutosDeHoraTramo(const QString& hora, const QString& campo, const Tramo* t,
                          const Entrada& e, const Profesor& p) {
    const auto m = MinutosDesdeHora(hora);
    if (!m) {
        const QString tramo = t ? DescribirTramo(*t) : QStringLiteral("tramo");
        throw RunError(QStringLiteral("DIASHORAST: %1 «%2» del %3, que ocupa %4, no es una "
                                      "hora hh:mm válida.")
                           .arg(campo, hora, tramo, DescribirEntrada(e, p)));
    }
    return *m;
}

EntradaResuelta ResolverEntrada(const Busquedas& b, const Entrada& e, const Profesor& p,
                                bool catalogos) {
    EntradaResuelta r;

    // Assignment: Veltra's subject and course offer of the subject in that group.
    if (const auto* a = b.asignacion(e.asig, e.codgrupo)) {
        r.materia = a->clave;
        r.oferta = a->claveCurso;
        r.deMateria = QStringLiteral("ASIGT.CLAVE");
        r.deOferta = QStringLiteral("ASIGT.CLAVECURSO");
    }

    // Activity: the entry's own, or that of its subject or activity row.
    r.actividad = e.tarea;
    r.deActividad = QStringLiteral("SOLUC.TAREA");
    if (EnBlanco(r.actividad)) {
        if (const auto* t = b.tareaDeCodigo(e.asig)) {
            r.actividad = *t;
            r.deActividad = QStringLiteral("ASIGNOMT.CODTAREA");
        }
    }

    if (const Tramo* t = BuscarTramo(b, e, p)) {
        r.tramo = t;
        r.diaTramo = t->dia;
        r.idTramo = t->coddiho;
        r.inicio = t->horadesde;
        r.fin = t->horahasta;
    }

    if (!EnBlanco(e.aula))
        r.aula = e.aula;

    // Unit, and the course offer of the group when the assignment gave none.
    if (const auto* g = b.grupo(e.codgrupo)) {
        r.unidad = g->clave;
        if (EnBlanco(r.oferta)) {
            r.oferta = g->claveCurso;
            r.deOferta = QStringLiteral("GRUPOST.CLAVECURSO");
        }
    }

    if (EnBlanco(r.materia)) {
        if (const auto* m = b.materia(e.asig, r.oferta)) {
            r.materia = *m;
            r.deMateria = QStringLiteral("ASIGNOMT2.MATERIA");
        }
    }

    // Requirement of the activity: unit and subject letters "S" or "N".
    if (const auto* req = b.requisitoDeTarea(e.tarea)) {
        const QChar unidad = req->size() > 0 ? req->at(0) : QChar();
        const QChar materia = req->size() > 1 ? req->at(1) : QChar();
        if (unidad == QLatin1Char('S') && EnBlanco(r.unidad)) {
            r.rechazada = true;
            r.faltaUnidad = true;
            return r;
        }
        if (materia == QLatin1Char('S') && EnBlanco(r.materia)) {
            r.rechazada = true;
            return r;
        }
        if (materia == QLatin1Char('N') && !EnBlanco(r.materia))
            r.materia.clear();
    }

    if (EnBlanco(r.actividad))
        r.actividad = QStringLiteral("1");

    // Origin authorisation, through the three catalogues; the first lookup that finds
    // nothing leaves it empty.
    if (!catalogos || EnBlanco(e.cconcierto) || EnBlanco(r.oferta))
        return r;
    const qint32 oferta = ClaveCatalogo(r.oferta, QStringLiteral("CUR_NIV_C"),
                                        QStringLiteral("la oferta de matrícula"), e, p);
    const QString* nivel = b.nivelDeOferta(oferta);
    if (!nivel || EnBlanco(*nivel))
        return r;
    const QString* categoria = b.categoriaDeOrigen(e.cconcierto);
    if (!categoria || EnBlanco(*categoria))
        return r;
    const qint32 actividad = ClaveCatalogo(r.actividad, QStringLiteral("AUTORIZA_C"),
                                           QStringLiteral("la actividad"), e, p);
    const qint32 cat = ClaveCatalogo(*categoria, QStringLiteral("AUTORIZA_C"),
                                     QStringLiteral("la categoría de origen"), e, p);
    const qint32 niv =
        ClaveCatalogo(*nivel, QStringLiteral("AUTORIZA_C"), QStringLiteral("el nivel"), e, p);
    if (const QString* a = b.autorizacion(actividad, cat, niv); a && !EnBlanco(*a))
        r.autorizacion = *a;
    return r;
}
