#include "exchange/ExchangeNames.h"
#include "import/ImportSteps.h"

#include "import/Materias.h"
#include "tables/Cp1252.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"
#include "text/Clipper.h"

#include <QHash>
#include <QList>
#include <cmath>
#include <utility>

using tables::OpenMode;

namespace {

// Every assignment gets the same weekly time.
constexpr int kMinutosSemanales = 240;

struct Grupo {
    QString abrev;
    QString nivel;
    QString curso;
    QString grupo;
    QString clave;
};

// One digit per lesson; from 14 lessons on, the first digit carries the lessons beyond 13.
QString Sesiones(int n) {
    if (n <= 13)
        return QString(n, QChar(u'1'));
    return QString::number(n - 13) + QString(13, QChar(u'1'));
}

} // namespace

void CrearAsignaciones(ImportContext& ctx) {
    const QString& asigtName = tables::ASIGT::kName;
    tables::DeleteTable(ctx.workDir, asigtName);
    tables::CreateTable(ctx.workDir, asigtName, tables::ASIGT::fields());
    tables::Table asigt;
    asigt.open(ctx.workDir, asigtName, OpenMode::Exclusive);
    // ASIGT is only filled here, and at the largest schools it is the largest table the
    // import writes: its rows go to the file as they are made instead of being held.
    asigt.writeThrough();
    tables::Table grupost;
    grupost.open(ctx.workDir, tables::GRUPOST::kName, OpenMode::Exclusive);
    tables::Table asignomt;
    asignomt.open(ctx.workDir, tables::ASIGNOMT::kName, OpenMode::Exclusive);

    // Both tables are read once; the maps keep table order and the first row of a name,
    // which is what a scan from the first row would find.
    QList<Grupo> grupos;
    QHash<QString, QList<qsizetype>> gruposPorOferta;
    for (grupost.first(); !grupost.atEnd(); grupost.next()) {
        gruposPorOferta[grupost.text(tables::GRUPOST::CLAVECURSO)].append(grupos.size());
        grupos.append({grupost.text(tables::GRUPOST::ABREV), grupost.text(tables::GRUPOST::NIVEL),
                       grupost.text(tables::GRUPOST::CURSO), grupost.text(tables::GRUPOST::GRUPO),
                       grupost.text(tables::GRUPOST::CLAVE)});
    }
    QHash<QString, QString> codPorNombre;
    for (asignomt.first(); !asignomt.atEnd(); asignomt.next()) {
        const QString nombre = AllTrim(MayusculasAZ(asignomt.text(tables::ASIGNOMT::NOMBRE)));
        if (!codPorNombre.contains(nombre))
            codPorNombre.insert(nombre, asignomt.text(tables::ASIGNOMT::COD));
    }

    double horas = std::ceil(kMinutosSemanales / 60.0);
    if (horas < 1)
        horas = 1;
    const QString sesiones = Sesiones(int(std::ceil(horas)));

    // The offerings' names, for the report; read when first needed.
    QHash<QString, QString> nombresOferta;
    bool nombresLeidos = false;
    const auto nombreOferta = [&](const QString& oferta) {
        if (!nombresLeidos) {
            nombresLeidos = true;
            for (const exchange::Node& r :
                 ctx.doc.recordsOf(QString::fromLatin1(exchange::groups::kCourses))) {
                const exchange::NodeList items = exchange::dataItems(r);
                if (items.size() >= 2 && !nombresOferta.contains(exchange::itemValue(items, 0)))
                    nombresOferta.insert(exchange::itemValue(items, 0),
                                         exchange::itemValue(items, 1));
            }
        }
        const QString nombre = nombresOferta.value(oferta);
        return nombre.isEmpty() ? QStringLiteral("Oferta de curso %1").arg(oferta)
                                : QStringLiteral("«%1» (oferta %2)").arg(nombre, oferta);
    };

    // An offering's reason and cause are made once: the items of its subjects share them,
    // and a large document has thousands of such subjects.
    QHash<QString, std::pair<QString, QString>> sinGrupos;
    const QString grupoMaterias = QString::fromLatin1(exchange::groups::kSubjects);

    // The document's values are looked up in the form the tables hold them.
    using tables::cp1252::asStored;
    for (const Materia& m : MateriasDelDocumento(ctx)) {
        const QString cod =
            codPorNombre.value(AllTrim(MayusculasAZ(LeftStr(asStored(m.nombre), 80))));
        if (cod.isEmpty()) {
            noteReport(ctx, {run::ReportKind::SubjectWithoutGroup,
                             QStringLiteral("la materia no está en ASIGNOMT: no recibe ninguna "
                                            "fila en ASIGT"),
                             grupoMaterias,
                             {},
                             m.registro,
                             {},
                             m.nombre,
                             QStringLiteral("Materia «%1»: no está entre las asignaturas; no "
                                            "recibe ninguna fila en ASIGT (%n registros)")
                                 .arg(m.nombre),
                             QStringLiteral("Materias que no están entre las asignaturas, sin "
                                            "asignaciones (%n materias)")});
            continue;
        }
        if (!gruposPorOferta.contains(asStored(m.oferta))) {
            auto textos = sinGrupos.constFind(m.oferta);
            if (textos == sinGrupos.constEnd())
                textos = sinGrupos.insert(
                    m.oferta, {QStringLiteral("ningún grupo de GRUPOST tiene su oferta de curso "
                                              "%1: no recibe ninguna fila en ASIGT")
                                   .arg(m.oferta),
                               nombreOferta(m.oferta) +
                                   QStringLiteral(": sin grupos; sus materias no pasan a ASIGT "
                                                  "(%n materias)")});
            noteReport(ctx, {run::ReportKind::SubjectWithoutGroup,
                             textos->first,
                             grupoMaterias,
                             {},
                             m.registro,
                             {},
                             m.nombre,
                             textos->second,
                             QStringLiteral("Ofertas de curso sin grupos en el documento, cuyas "
                                            "materias no reciben asignaciones (%n ofertas)")});
        }
        for (const qsizetype i : gruposPorOferta.value(asStored(m.oferta))) {
            const Grupo& g = grupos.at(i);
            asigt.append();
            asigt.setText(tables::ASIGT::CASIG, cod);
            asigt.setText(tables::ASIGT::CGRUP, g.abrev);
            asigt.setText(tables::ASIGT::CAULA, QString());
            asigt.setText(tables::ASIGT::TURNO, QString());
            asigt.setText(tables::ASIGT::NIVEL, g.nivel);
            asigt.setText(tables::ASIGT::CURSO, g.curso);
            asigt.setText(tables::ASIGT::GRUPO, g.grupo);
            asigt.setFloat(tables::ASIGT::HORAS, horas);
            asigt.setText(tables::ASIGT::SESIONES, sesiones);
            asigt.setText(tables::ASIGT::CLAVE, m.identificador);
            asigt.setText(tables::ASIGT::CLAVECURSO, m.oferta);
            asigt.setText(tables::ASIGT::CLAVEGRUPO, g.clave);
            asigt.setText(tables::ASIGT::CTAREA, QStringLiteral("1"));
            asigt.post();
        }
    }

    asigt.close();
    grupost.close();
    asignomt.close();
}
