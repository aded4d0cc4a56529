#include "export/ExportInternal.h"

#include "text/Clipper.h"

namespace exportacion {

void EscribirHorariosRegulares(exchange::Document& doc, exchange::Node bloque, const Busquedas& b,
                               const EstadoExport& estado) {
    exchange::Node grupo = doc.createElement(QStringLiteral("grupo_datos"));
    bloque.appendChild(grupo);
    grupo.setAttribute(QStringLiteral("seq"), QStringLiteral("HORARIOS_REGULARES"));
    grupo.setAttribute(QStringLiteral("registros"), qint64(estado.numProfesores));

    int n = 1;
    for (const Profesor& p : b.profesores) {
        exchange::Node profesor = doc.createElement(QStringLiteral("grupo_datos"));
        profesor.setAttribute(QStringLiteral("seq"),
                              QStringLiteral("HORARIO_REGULAR_PROFESOR_%1").arg(n++));
        // registros must stay the second attribute: the correction pass after saving
        // sets it by position. Its final value is the number of activity groups.
        profesor.setAttribute(QStringLiteral("registros"), qint64(0));
        grupo.appendChild(profesor);
        profesor.appendChild(NuevoDato(doc, QStringLiteral("X_EMPLEADO"), p.empleado,
                                       DeProfesor(QStringLiteral("X_EMPLEADO"), p)));
        profesor.appendChild(NuevoDato(doc, QStringLiteral("F_TOMAPOS"), p.tomapos,
                                       DeProfesor(QStringLiteral("F_TOMAPOS"), p)));

        // Only accepted entries take a number, so the numbers have no gaps. An entry is
        // resolved before its group is made: a rejected one leaves nothing behind.
        int k = 1;
        for (const Entrada* e : b.entradasDe(p.abrev)) {
            if (!Colocada(*e, p) || e->asig.startsWith(QLatin1Char('#')))
                continue;
            const EntradaResuelta r = ResolverEntrada(b, *e, p, estado.catalogos);
            if (r.rechazada)
                continue;
            const qint32 inicio =
                MinutosDeHoraTramo(r.inicio, QStringLiteral("la HORADESDE"), r.tramo, *e, p);
            const qint32 fin =
                MinutosDeHoraTramo(r.fin, QStringLiteral("la HORAHASTA"), r.tramo, *e, p);

            exchange::Node actividad = doc.createElement(QStringLiteral("grupo_datos"));
            actividad.setAttribute(QStringLiteral("seq"), QStringLiteral("ACTIVIDAD_%1").arg(k++));
            profesor.appendChild(actividad);
            const QString entrada = DescribirEntrada(*e, p);
            const auto dato = [&](const char* nombre, const QString& valor, const QString& de) {
                actividad.appendChild(NuevoDato(doc, QString::fromLatin1(nombre), valor,
                                                de + QStringLiteral(" para ") + entrada));
            };
            const QString tramo =
                r.tramo
                    ? QStringLiteral(" (DIHO %1, MARCO «%2»)").arg(r.tramo->diho, r.tramo->marco)
                    : QString();
            dato("N_DIASEMANA", r.diaTramo, QStringLiteral("DIASHORAST.DIA") + tramo);
            dato("X_TRAMO", r.idTramo, QStringLiteral("DIASHORAST.CODDIHO") + tramo);
            dato("X_DEPENDENCIA", r.aula, QStringLiteral("SOLUC.AULA"));
            dato("X_UNIDAD", r.unidad, QStringLiteral("GRUPOST.CLAVE"));
            dato("X_OFERTAMATRIG", r.oferta, r.deOferta);
            dato("X_MATERIAOMG", r.materia, r.deMateria);
            dato("F_INICIO", estado.fInicio, QStringLiteral("PERIODOS.F_INICIO"));
            dato("F_FIN", estado.fFin, QStringLiteral("PERIODOS.F_FIN"));
            dato("N_HORINI", QString::number(inicio), QString());
            dato("N_HORFIN", QString::number(fin), QString());
            dato("X_ACTIVIDAD", r.actividad, r.deActividad);
            if (!AllTrim(r.autorizacion).isEmpty())
                dato("X_ORIHORACTETP", r.autorizacion, QStringLiteral("AUTORIZA_C.X_ORIHORACTETP"));
        }
        profesor.setAttributeValue(1, QString::number(k - 1));
    }
}

} // namespace exportacion
