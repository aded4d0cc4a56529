#include "exchange/ExchangeNames.h"
#include "export/ExportInternal.h"

#include "text/Clipper.h"

namespace {

run::ReportItem Aviso(run::ReportKind kind, const Entrada& e, const Profesor& p, QString motivo,
                      QString valor = {}) {
    return {kind,    std::move(motivo), {}, QStringLiteral("SOLUC"), e.registro,
            p.abrev, std::move(valor)};
}

// An identifier the input document does not know: the other program would refuse it.
void ComprobarConocido(run::RunReport& informe, const std::optional<QSet<QString>>& conocidos,
                       const char* dato, const char* grupo, const QString& valor, const Entrada& e,
                       const Profesor& p) {
    if (!conocidos)
        return;
    const QString recortado = AllTrim(valor);
    if (recortado.isEmpty() || conocidos->contains(recortado))
        return;
    run::ReportItem item = Aviso(run::ReportKind::EntryUnknownIdentifier, e, p,
                                 QStringLiteral("%1 no está en %2 del documento de partida")
                                     .arg(QLatin1String(dato), QLatin1String(grupo)),
                                 valor);
    item.cause = QStringLiteral("%1 «%2» no figura en el documento de VELTRA de partida: VELTRA "
                                "puede rechazar esas clases (%n clases)")
                     .arg(QLatin1String(dato), recortado);
    informe.add(std::move(item));
}

} // namespace

void EscribirHorariosRegulares(exchange::Document& doc, exchange::StreamedSave& salida,
                               const Busquedas& b, const EstadoExport& estado) {
    int n = 1;
    for (const Profesor& p : b.profesores) {
        exchange::Piece profesor(doc, salida, "grupo_datos");
        profesor.attribute("seq", QStringLiteral("HORARIO_REGULAR_PROFESOR_%1").arg(n++));
        // registros is the second attribute, as the former correction pass set it by
        // position; its value, the number of activity groups, is known at the end.
        profesor.attribute("registros", QStringLiteral("0"));
        DatoEn(profesor, "X_EMPLEADO", p.empleado,
               [&] { return DeProfesor(QStringLiteral("X_EMPLEADO"), p); });
        DatoEn(profesor, "F_TOMAPOS", p.tomapos,
               [&] { return DeProfesor(QStringLiteral("F_TOMAPOS"), p); });

        // Only accepted entries take a number, so the numbers have no gaps. An entry is
        // resolved before its group is made: a rejected one leaves nothing behind.
        int k = 1;
        const QList<Entrada> entradas = b.entradasDe(p.abrev);
        for (const Entrada& entrada : entradas) {
            const Entrada* e = &entrada;
            if (!Colocada(*e, p) || e->asig.startsWith(QLatin1Char('#')))
                continue;
            const EntradaResuelta r = ResolverEntrada(b, *e, p, estado.catalogos);
            if (r.rechazada) {
                if (estado.informe) {
                    run::ReportItem item =
                        r.faltaUnidad
                            ? Aviso(run::ReportKind::EntryRejectedUnit, *e, p,
                                    QStringLiteral("la actividad exige unidad y no se ha "
                                                   "encontrado el grupo en GRUPOST"),
                                    e->codgrupo)
                            : Aviso(run::ReportKind::EntryRejectedSubject, *e, p,
                                    QStringLiteral("la actividad exige materia y no se ha "
                                                   "encontrado en ASIGT ni en ASIGNOMT2"),
                                    e->asig);
                    item.cause =
                        r.faltaUnidad
                            ? QStringLiteral("Grupo «%1»: no está entre los grupos importados; "
                                             "sus clases no se exportan (%n clases)")
                                  .arg(AllTrim(e->codgrupo))
                            : QStringLiteral("Materia «%1»: no está entre las materias "
                                             "importadas; sus clases no se exportan (%n clases)")
                                  .arg(AllTrim(e->asig));
                    estado.informe->add(std::move(item));
                }
                continue;
            }
            const qint32 inicio =
                MinutosDeHoraTramo(r.inicio, QStringLiteral("la HORADESDE"), r.tramo, *e, p);
            const qint32 fin =
                MinutosDeHoraTramo(r.fin, QStringLiteral("la HORAHASTA"), r.tramo, *e, p);

            if (run::RunReport* informe = estado.informe) {
                if (!r.tramo) {
                    run::ReportItem item =
                        Aviso(run::ReportKind::EntryWithoutSlot, *e, p,
                              QStringLiteral("sin tramo en DIASHORAST: se escribe con "
                                             "el día y el tramo vacíos"),
                              e->dia.texto + QStringLiteral("/") + e->hora.texto);
                    item.cause = QStringLiteral("%1: clases en horas que no están entre las del "
                                                "horario importado; se exportan sin día ni hora "
                                                "(%n clases)")
                                     .arg(NombreProfesor(p));
                    informe->add(std::move(item));
                }
                const Conocidos& c = estado.conocidos;
                ComprobarConocido(*informe, c.tramos, "X_TRAMO", exchange::groups::kSlots,
                                  r.idTramo, *e, p);
                ComprobarConocido(*informe, c.dependencias, "X_DEPENDENCIA",
                                  exchange::groups::kRooms, r.aula, *e, p);
                ComprobarConocido(*informe, c.unidades, "X_UNIDAD", exchange::groups::kUnits,
                                  r.unidad, *e, p);
                ComprobarConocido(*informe, c.ofertas, "X_OFERTAMATRIG", exchange::groups::kCourses,
                                  r.oferta, *e, p);
                ComprobarConocido(*informe, c.materias, exchange::items::kSubjectId,
                                  exchange::groups::kSubjects, r.materia, *e, p);
            }

            profesor.open("grupo_datos");
            profesor.attribute("seq", QStringLiteral("ACTIVIDAD_%1").arg(k++));
            // Where each value came from, put into words only for a message.
            const auto dato = [&](const char* nombre, const QString& valor, const QString& de,
                                  bool delTramo = false) {
                DatoEn(profesor, nombre, valor, [&] {
                    const QString tramo = delTramo && r.tramo
                                              ? QStringLiteral(" (DIHO %1, MARCO «%2»)")
                                                    .arg(r.tramo->diho, r.tramo->marco)
                                              : QString();
                    return de + tramo + QStringLiteral(" para ") + DescribirEntrada(*e, p);
                });
            };
            dato("N_DIASEMANA", r.diaTramo, QStringLiteral("DIASHORAST.DIA"), true);
            dato("X_TRAMO", r.idTramo, QStringLiteral("DIASHORAST.CODDIHO"), true);
            dato("X_DEPENDENCIA", r.aula, QStringLiteral("SOLUC.AULA"));
            dato("X_UNIDAD", r.unidad, QStringLiteral("GRUPOST.CLAVE"));
            dato("X_OFERTAMATRIG", r.oferta, r.deOferta);
            dato(exchange::items::kSubjectId, r.materia, r.deMateria);
            dato("F_INICIO", estado.fInicio, QStringLiteral("PERIODOS.F_INICIO"));
            dato("F_FIN", estado.fFin, QStringLiteral("PERIODOS.F_FIN"));
            dato("N_HORINI", QString::number(inicio), QString());
            dato("N_HORFIN", QString::number(fin), QString());
            dato("X_ACTIVIDAD", r.actividad, r.deActividad);
            if (!AllTrim(r.autorizacion).isEmpty())
                dato("X_ORIHORACTETP", r.autorizacion, QStringLiteral("AUTORIZA_C.X_ORIHORACTETP"));
            profesor.close();
        }
        profesor.attribute("registros", QString::number(k - 1));
        profesor.write();
    }
}
