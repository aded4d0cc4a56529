#include "import/ImportSteps.h"

#include "import/Materias.h"
#include "tables/Table.h"
#include "text/Clipper.h"

#include <QHash>
#include <QList>
#include <cmath>

using tables::FieldDef;
using tables::FieldType;
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
    const QString asigtName = QStringLiteral("ASIGT");
    tables::DeleteTable(ctx.workDir, asigtName);
    tables::CreateTable(ctx.workDir, asigtName,
                        {
                            {QStringLiteral("CASIG"), FieldType::Text, 10},
                            {QStringLiteral("CPROF"), FieldType::Text, 10},
                            {QStringLiteral("CGRUP"), FieldType::Text, 10},
                            {QStringLiteral("CAULA"), FieldType::Text, 10},
                            {QStringLiteral("TURNO"), FieldType::Text, 1},
                            {QStringLiteral("NIVEL"), FieldType::Text, 5},
                            {QStringLiteral("CURSO"), FieldType::Text, 3},
                            {QStringLiteral("GRUPO"), FieldType::Text, 2},
                            {QStringLiteral("HORAS"), FieldType::Float, 0},
                            {QStringLiteral("SESIONES"), FieldType::Text, 20},
                            {QStringLiteral("NCONEX"), FieldType::Text, 4},
                            {QStringLiteral("CLAVE"), FieldType::Text, 10},
                            {QStringLiteral("CLAVECURSO"), FieldType::Text, 10},
                            {QStringLiteral("CLAVEGRUPO"), FieldType::Text, 10},
                            {QStringLiteral("CTAREA"), FieldType::Text, 10},
                            {QStringLiteral("CORIGEN"), FieldType::Text, 20},
                            {QStringLiteral("X_NIVCONPAGLEG"), FieldType::Integer, 0},
                        });
    tables::Table asigt;
    asigt.open(ctx.workDir, asigtName, OpenMode::Exclusive);
    tables::Table grupost;
    grupost.open(ctx.workDir, QStringLiteral("GRUPOST"), OpenMode::Exclusive);
    tables::Table asignomt;
    asignomt.open(ctx.workDir, QStringLiteral("ASIGNOMT"), OpenMode::Exclusive);

    // Both tables are read once; the maps keep table order and the first row of a name,
    // which is what a scan from the first row would find.
    QList<Grupo> grupos;
    QHash<QString, QList<qsizetype>> gruposPorOferta;
    for (grupost.first(); !grupost.atEnd(); grupost.next()) {
        gruposPorOferta[grupost.text(QStringLiteral("CLAVECURSO"))].append(grupos.size());
        grupos.append({grupost.text(QStringLiteral("ABREV")), grupost.text(QStringLiteral("NIVEL")),
                       grupost.text(QStringLiteral("CURSO")), grupost.text(QStringLiteral("GRUPO")),
                       grupost.text(QStringLiteral("CLAVE"))});
    }
    QHash<QString, QString> codPorNombre;
    for (asignomt.first(); !asignomt.atEnd(); asignomt.next()) {
        const QString nombre = AllTrim(MayusculasAZ(asignomt.text(QStringLiteral("NOMBRE"))));
        if (!codPorNombre.contains(nombre))
            codPorNombre.insert(nombre, asignomt.text(QStringLiteral("COD")));
    }

    double horas = std::ceil(kMinutosSemanales / 60.0);
    if (horas < 1)
        horas = 1;
    const QString sesiones = Sesiones(int(std::ceil(horas)));

    for (const Materia& m : MateriasDelDocumento(ctx)) {
        const QString cod = codPorNombre.value(AllTrim(MayusculasAZ(LeftStr(m.nombre, 80))));
        if (cod.isEmpty()) {
            noteReport(ctx, {run::ReportKind::SubjectWithoutGroup,
                             QStringLiteral("la materia no está en ASIGNOMT: no recibe ninguna "
                                            "fila en ASIGT"),
                             QStringLiteral("MATERIAS"),
                             {},
                             m.registro,
                             {},
                             m.nombre});
            continue;
        }
        if (!gruposPorOferta.contains(m.oferta))
            noteReport(ctx, {run::ReportKind::SubjectWithoutGroup,
                             QStringLiteral("ningún grupo de GRUPOST tiene su oferta de curso "
                                            "%1: no recibe ninguna fila en ASIGT")
                                 .arg(m.oferta),
                             QStringLiteral("MATERIAS"),
                             {},
                             m.registro,
                             {},
                             m.nombre});
        for (const qsizetype i : gruposPorOferta.value(m.oferta)) {
            const Grupo& g = grupos.at(i);
            asigt.append();
            asigt.setText(QStringLiteral("CASIG"), cod);
            asigt.setText(QStringLiteral("CGRUP"), g.abrev);
            asigt.setText(QStringLiteral("CAULA"), QString());
            asigt.setText(QStringLiteral("TURNO"), QString());
            asigt.setText(QStringLiteral("NIVEL"), g.nivel);
            asigt.setText(QStringLiteral("CURSO"), g.curso);
            asigt.setText(QStringLiteral("GRUPO"), g.grupo);
            asigt.setFloat(QStringLiteral("HORAS"), horas);
            asigt.setText(QStringLiteral("SESIONES"), sesiones);
            asigt.setText(QStringLiteral("CLAVE"), m.identificador);
            asigt.setText(QStringLiteral("CLAVECURSO"), m.oferta);
            asigt.setText(QStringLiteral("CLAVEGRUPO"), g.clave);
            asigt.setText(QStringLiteral("CTAREA"), QStringLiteral("1"));
            asigt.post();
        }
    }

    asigt.close();
    grupost.close();
    asignomt.close();
}
