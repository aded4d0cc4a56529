#include "tables/WorkingTables.h"

#include <QDir>

namespace tables {

const QList<FieldDef>& VELTMATERIAS::fields() {
    static const QList<FieldDef> list = {
        {VELTMATERIAS::NOMBRE, FieldType::Text, 100},
        {VELTMATERIAS::COD, FieldType::Text, 10},
        {VELTMATERIAS::CODLARGO, FieldType::Text, 10},
    };
    return list;
}

const QList<FieldDef>& PERIODOS::fields() {
    static const QList<FieldDef> list = {
        {PERIODOS::CURSOANNO, FieldType::Text, 4},
        {PERIODOS::F_INICIO, FieldType::Text, 10},
        {PERIODOS::F_FIN, FieldType::Text, 10},
    };
    return list;
}

const QList<FieldDef>& CURSOST::fields() {
    static const QList<FieldDef> list = {
        {CURSOST::ABREV, FieldType::Text, 3},  {CURSOST::TURNO, FieldType::Text, 1},
        {CURSOST::NIVEL, FieldType::Text, 5},  {CURSOST::CURSO, FieldType::Text, 3},
        {CURSOST::CLAVE, FieldType::Text, 10}, {CURSOST::ESTUD, FieldType::Text, 80},
    };
    return list;
}

const QList<FieldDef>& CURSOST2::fields() {
    return CURSOST::fields();
}

const QList<FieldDef>& ASIGNOMT::fields() {
    static const QList<FieldDef> list = {
        {ASIGNOMT::COD, FieldType::Text, kAnchoCod},
        {ASIGNOMT::CODLARGO, FieldType::Text, kAnchoCodLargo},
        {ASIGNOMT::NOMBRE, FieldType::Text, kAnchoNombre},
        {ASIGNOMT::CODTAREA, FieldType::Text, 10},
        {ASIGNOMT::ESTAREA, FieldType::Boolean, 0},
        {ASIGNOMT::R_UNI_MAT, FieldType::Text, 4},
    };
    return list;
}

const QList<FieldDef>& ASIGNOMT2::fields() {
    static const QList<FieldDef> list = {
        {ASIGNOMT2::COD, FieldType::Text, ASIGNOMT::kAnchoCod},
        {ASIGNOMT2::CODLARGO, FieldType::Text, ASIGNOMT::kAnchoCodLargo},
        {ASIGNOMT2::NOMBRE, FieldType::Text, ASIGNOMT::kAnchoNombre},
        {ASIGNOMT2::MATERIA, FieldType::Text, 20},
        {ASIGNOMT2::OFERTAMATRI, FieldType::Text, 20},
        {ASIGNOMT2::CODTAREA, FieldType::Text, 10},
        {ASIGNOMT2::ESTAREA, FieldType::Boolean, 0},
    };
    return list;
}

const QList<FieldDef>& PROFT::fields() {
    static const QList<FieldDef> list = {
        {PROFT::ABREV, FieldType::Text, 10},      {PROFT::NOMBRE, FieldType::Text, 80},
        {PROFT::DEPART, FieldType::Text, 40},     {PROFT::DNI, FieldType::Integer, 0},
        {PROFT::X_EMPLEADO, FieldType::Text, 10}, {PROFT::F_TOMAPOS, FieldType::Text, 10},
        {PROFT::EMAIL, FieldType::Text, 100},
    };
    return list;
}

const QList<FieldDef>& AULAT::fields() {
    static const QList<FieldDef> list = {
        {AULAT::ABREV, FieldType::Text, 10},     {AULAT::NOMBRE, FieldType::Text, 80},
        {AULAT::EDIFICIO, FieldType::Text, 1},   {AULAT::MAXALUM, FieldType::Integer, 0},
        {AULAT::DEPCENTRO, FieldType::Text, 10},
    };
    return list;
}

const QList<FieldDef>& GRUPOST::fields() {
    static const QList<FieldDef> list = {
        {GRUPOST::ABREV, FieldType::Text, 10},      {GRUPOST::TURNO, FieldType::Text, 1},
        {GRUPOST::NIVEL, FieldType::Text, 5},       {GRUPOST::CURSO, FieldType::Text, 3},
        {GRUPOST::GRUPO, FieldType::Text, 2},       {GRUPOST::CLAVE, FieldType::Text, 10},
        {GRUPOST::CLAVECURSO, FieldType::Text, 10}, {GRUPOST::DESCRIP, FieldType::Text, 80},
        {GRUPOST::MARCO, FieldType::Text, 1},
    };
    return list;
}

const QList<FieldDef>& ASIGT::fields() {
    static const QList<FieldDef> list = {
        {ASIGT::CASIG, FieldType::Text, 10},
        {ASIGT::CPROF, FieldType::Text, 10},
        {ASIGT::CGRUP, FieldType::Text, 10},
        {ASIGT::CAULA, FieldType::Text, 10},
        {ASIGT::TURNO, FieldType::Text, 1},
        {ASIGT::NIVEL, FieldType::Text, 5},
        {ASIGT::CURSO, FieldType::Text, 3},
        {ASIGT::GRUPO, FieldType::Text, 2},
        {ASIGT::HORAS, FieldType::Float, 0},
        {ASIGT::SESIONES, FieldType::Text, 20},
        {ASIGT::NCONEX, FieldType::Text, 4},
        {ASIGT::CLAVE, FieldType::Text, 10},
        {ASIGT::CLAVECURSO, FieldType::Text, 10},
        {ASIGT::CLAVEGRUPO, FieldType::Text, 10},
        {ASIGT::CTAREA, FieldType::Text, 10},
        {ASIGT::CORIGEN, FieldType::Text, 20},
        {ASIGT::X_NIVCONPAGLEG, FieldType::Integer, 0},
    };
    return list;
}

const QList<FieldDef>& DIASHORAST::fields() {
    static const QList<FieldDef> list = {
        {DIASHORAST::DIHO, FieldType::Text, 10},     {DIASHORAST::CODDIHO, FieldType::Text, 10},
        {DIASHORAST::DIA, FieldType::Text, 20},      {DIASHORAST::TEXTODIA, FieldType::Text, 20},
        {DIASHORAST::HORA, FieldType::Text, 8},      {DIASHORAST::TEXTOHOR, FieldType::Text, 15},
        {DIASHORAST::HORADESDE, FieldType::Text, 8}, {DIASHORAST::HORAHASTA, FieldType::Text, 8},
        {DIASHORAST::MINUTOS, FieldType::Text, 8},   {DIASHORAST::MARCO, FieldType::Text, 1},
        {DIASHORAST::MARCOXML, FieldType::Text, 10},
    };
    return list;
}

const QList<FieldDef>& ORIGENES_C::fields() {
    static const QList<FieldDef> list = {
        {ORIGENES_C::X_CATORIHOR, FieldType::Integer, 0},
        {ORIGENES_C::C_ORIHOR, FieldType::Text, 20},
        {ORIGENES_C::D_ORIHOR, FieldType::Text, 50},
    };
    return list;
}

const QList<FieldDef>& NIVELES_C::fields() {
    static const QList<FieldDef> list = {
        {NIVELES_C::X_NIVCONPAGLEG, FieldType::Integer, 0},
        {NIVELES_C::C_NIVCON, FieldType::Text, 30},
        {NIVELES_C::D_NIVCON, FieldType::Text, 55},
    };
    return list;
}

const QList<FieldDef>& CUR_NIV_C::fields() {
    static const QList<FieldDef> list = {
        {CUR_NIV_C::X_OFERTAMATRIG, FieldType::Integer, 0},
        {CUR_NIV_C::X_NIVCONPAGLEG, FieldType::Integer, 0},
    };
    return list;
}

const QList<FieldDef>& AUTORIZA_C::fields() {
    static const QList<FieldDef> list = {
        {AUTORIZA_C::X_ORIHORACTETP, FieldType::Integer, 0},
        {AUTORIZA_C::X_ACTIVIDAD, FieldType::Integer, 0},
        {AUTORIZA_C::X_CATORIHOR, FieldType::Integer, 0},
        {AUTORIZA_C::X_NIVCONPAGLEG, FieldType::Integer, 0},
    };
    return list;
}
QList<FieldDef> SOLUC::fields(DayAndSlot dayAndSlot) {
    const bool numeric = dayAndSlot == DayAndSlot::Numeric;
    const FieldDef dia{SOLUC::DIA, numeric ? FieldType::Integer : FieldType::Text, numeric ? 0 : 2};
    const FieldDef hora{SOLUC::HORA, numeric ? FieldType::Integer : FieldType::Text,
                        numeric ? 0 : 2};
    return {
        {SOLUC::PROF, FieldType::Text, 10},
        dia,
        hora,
        {SOLUC::MARCO, FieldType::Text, 1},
        {SOLUC::ASIG, FieldType::Text, 10},
        {SOLUC::TAREA, FieldType::Text, 10},
        {SOLUC::CODGRUPO, FieldType::Text, 10},
        {SOLUC::AULA, FieldType::Text, 10},
        {SOLUC::CCONCIERTO, FieldType::Text, 20},
    };
}

QString tableFile(const QString& folder, const QString& name) {
    return QDir(folder).filePath(name + QLatin1String(".DBF"));
}

int widthOf(const QList<FieldDef>& layout, const QString& field) {
    for (const FieldDef& f : layout)
        if (f.name == field)
            return f.width;
    return 0;
}

} // namespace tables
