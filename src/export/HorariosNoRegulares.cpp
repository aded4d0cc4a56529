#include "export/ExportInternal.h"

#include "text/RunError.h"

namespace {

bool NoRegular(const Entrada& e) {
    return e.asig.startsWith(QLatin1Char('#'));
}

} // namespace

QString DatoNoEscrito(const QString& nombre, const QString& origen, const RunError& e) {
    return QStringLiteral("No se puede escribir el dato %1, tomado de %2: %3 Corrija el valor en "
                          "Tempolan y exporte de nuevo.")
        .arg(nombre, origen, e.message());
}

QString DeProfesor(const QString& campo, const Profesor& p) {
    return QStringLiteral("PROFT.%1 del profesor %2").arg(campo, p.abrev);
}

exchange::Node GrupoDeHorarios(exchange::Document& doc, exchange::Node bloque, const QString& seq,
                               int registros) {
    exchange::Node grupo = doc.createElement(QStringLiteral("grupo_datos"));
    bloque.appendChild(grupo);
    grupo.setAttribute(QStringLiteral("seq"), seq);
    grupo.setAttribute(QStringLiteral("registros"), qint64(registros));
    exchange::Node hueco = doc.createElement(QStringLiteral("hueco"));
    grupo.appendChild(hueco);
    return hueco;
}

void EscribirHorariosNoRegulares(exchange::Document& doc, exchange::StreamedSave& salida,
                                 const Busquedas& b, EstadoExport& estado) {
    int n = 1;
    for (const Profesor& p : b.profesores) {
        exchange::Piece profesor(doc, salida, "grupo_datos");
        profesor.attribute("seq", QStringLiteral("HORARIO_NO_REGULAR_PROFESOR_%1").arg(n++));

        // The teacher's placed non-regular entries, in SOLUC order.
        const QList<Entrada> entradas = b.entradasDe(p.abrev);
        QList<const Entrada*> actividades;
        for (const Entrada& e : entradas) {
            if (Colocada(e, p) && NoRegular(e))
                actividades.append(&e);
        }
        profesor.attribute("registros", QString::number(actividades.size()));

        DatoEn(profesor, "X_EMPLEADO", p.empleado,
               [&] { return DeProfesor(QStringLiteral("X_EMPLEADO"), p); });
        DatoEn(profesor, "F_TOMAPOS", p.tomapos,
               [&] { return DeProfesor(QStringLiteral("F_TOMAPOS"), p); });

        int k = 1;
        for (const Entrada* e : actividades) {
            profesor.open("grupo_datos");
            profesor.attribute("seq", QStringLiteral("ACTIVIDAD_%1").arg(k++));

            QString codigo = e->tarea;
            if (codigo.startsWith(QLatin1Char('#')))
                codigo.remove(0, 1);
            const Tramo* tramo = BuscarTramo(b, *e, p);
            const qint32 minutos = tramo ? MinutosTramo(*tramo, *e, p) : 0;
            if (!tramo && estado.informe)
                estado.informe->add({run::ReportKind::EntryWithoutSlot,
                                     QStringLiteral("actividad no regular sin tramo en DIASHORAST: "
                                                    "se escribe con N_MINSEN 0"),
                                     {},
                                     QStringLiteral("SOLUC"),
                                     e->registro,
                                     p.abrev,
                                     e->dia.texto + QStringLiteral("/") + e->hora.texto,
                                     QStringLiteral("%1: actividades no lectivas en horas que no "
                                                    "están entre las del horario importado; se "
                                                    "exportan con 0 minutos (%n actividades)")
                                         .arg(NombreProfesor(p))});

            DatoEn(profesor, "X_ACTIVIDAD", codigo,
                   [&] { return QStringLiteral("SOLUC.TAREA de ") + DescribirEntrada(*e, p); });
            DatoEn(profesor, "N_MINSEN", QString::number(minutos), [] { return QString(); });
            profesor.close();
        }
        profesor.write();
    }
}
