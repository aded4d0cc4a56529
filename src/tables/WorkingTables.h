#pragma once

#include "tables/Table.h"

#include <QList>
#include <QString>

// Tempolan's working tables: each one's name, the names of its fields and, for the tables
// the import creates, their layout (fields in order, with types and widths). Whoever
// creates, fills or reads one of these tables takes its names and layout from here.
// Namespaces carry the tables' own names so that a field reads as TABLE::FIELD.
namespace tables {

// The path of table NAME's file in a folder: folder/NAME.DBF, spelt as the name is.
QString tableFile(const QString& folder, const QString& name);

// The width of a text field of a layout; 0 for a field the layout does not hold.
int widthOf(const QList<FieldDef>& layout, const QString& field);

// The school year and the first and last day of the teaching period.
namespace PERIODOS {
inline const QString kName = QStringLiteral("PERIODOS");
inline const QString CURSOANNO = QStringLiteral("CURSOANNO");
inline const QString F_INICIO = QStringLiteral("F_INICIO");
inline const QString F_FIN = QStringLiteral("F_FIN");
const QList<FieldDef>& fields();
} // namespace PERIODOS

// One row per course offering, with the level and course the user gives it.
namespace CURSOST {
inline const QString kName = QStringLiteral("CURSOST");
inline const QString ABREV = QStringLiteral("ABREV");
inline const QString TURNO = QStringLiteral("TURNO");
inline const QString NIVEL = QStringLiteral("NIVEL");
inline const QString CURSO = QStringLiteral("CURSO");
inline const QString CLAVE = QStringLiteral("CLAVE");
inline const QString ESTUD = QStringLiteral("ESTUD");
const QList<FieldDef>& fields();
} // namespace CURSOST

// The levels and courses of the last import, kept from run to run: CURSOST's fields.
namespace CURSOST2 {
inline const QString kName = QStringLiteral("CURSOST2");
const QList<FieldDef>& fields();
} // namespace CURSOST2

// Subjects and activities by Tempolan's code.
namespace ASIGNOMT {
inline const QString kName = QStringLiteral("ASIGNOMT");
// Codes and names are cut to these widths before they are stored.
inline constexpr int kAnchoCod = 10;
inline constexpr int kAnchoCodLargo = 10;
inline constexpr int kAnchoNombre = 80;
inline const QString COD = QStringLiteral("COD");
inline const QString CODLARGO = QStringLiteral("CODLARGO");
inline const QString NOMBRE = QStringLiteral("NOMBRE");
inline const QString CODTAREA = QStringLiteral("CODTAREA");
inline const QString ESTAREA = QStringLiteral("ESTAREA");
inline const QString R_UNI_MAT = QStringLiteral("R_UNI_MAT");
const QList<FieldDef>& fields();
} // namespace ASIGNOMT

// Subjects by code and course offering.
namespace ASIGNOMT2 {
inline const QString kName = QStringLiteral("ASIGNOMT2");
inline const QString COD = QStringLiteral("COD");
inline const QString CODLARGO = QStringLiteral("CODLARGO");
inline const QString NOMBRE = QStringLiteral("NOMBRE");
inline const QString MATERIA = QStringLiteral("MATERIA");
inline const QString OFERTAMATRI = QStringLiteral("OFERTAMATRI");
inline const QString CODTAREA = QStringLiteral("CODTAREA");
inline const QString ESTAREA = QStringLiteral("ESTAREA");
const QList<FieldDef>& fields();
} // namespace ASIGNOMT2

// Teachers.
namespace PROFT {
inline const QString kName = QStringLiteral("PROFT");
inline const QString ABREV = QStringLiteral("ABREV");
inline const QString NOMBRE = QStringLiteral("NOMBRE");
inline const QString DEPART = QStringLiteral("DEPART");
inline const QString DNI = QStringLiteral("DNI");
inline const QString X_EMPLEADO = QStringLiteral("X_EMPLEADO");
inline const QString F_TOMAPOS = QStringLiteral("F_TOMAPOS");
inline const QString EMAIL = QStringLiteral("EMAIL");
const QList<FieldDef>& fields();
} // namespace PROFT

// Rooms.
namespace AULAT {
inline const QString kName = QStringLiteral("AULAT");
inline const QString ABREV = QStringLiteral("ABREV");
inline const QString NOMBRE = QStringLiteral("NOMBRE");
inline const QString EDIFICIO = QStringLiteral("EDIFICIO");
inline const QString MAXALUM = QStringLiteral("MAXALUM");
inline const QString DEPCENTRO = QStringLiteral("DEPCENTRO");
const QList<FieldDef>& fields();
} // namespace AULAT

// Groups (teaching units).
namespace GRUPOST {
inline const QString kName = QStringLiteral("GRUPOST");
inline const QString ABREV = QStringLiteral("ABREV");
inline const QString TURNO = QStringLiteral("TURNO");
inline const QString NIVEL = QStringLiteral("NIVEL");
inline const QString CURSO = QStringLiteral("CURSO");
inline const QString GRUPO = QStringLiteral("GRUPO");
inline const QString CLAVE = QStringLiteral("CLAVE");
inline const QString CLAVECURSO = QStringLiteral("CLAVECURSO");
inline const QString DESCRIP = QStringLiteral("DESCRIP");
inline const QString MARCO = QStringLiteral("MARCO");
const QList<FieldDef>& fields();
} // namespace GRUPOST

// Assignments of a subject to a group.
namespace ASIGT {
inline const QString kName = QStringLiteral("ASIGT");
inline const QString CASIG = QStringLiteral("CASIG");
inline const QString CPROF = QStringLiteral("CPROF");
inline const QString CGRUP = QStringLiteral("CGRUP");
inline const QString CAULA = QStringLiteral("CAULA");
inline const QString TURNO = QStringLiteral("TURNO");
inline const QString NIVEL = QStringLiteral("NIVEL");
inline const QString CURSO = QStringLiteral("CURSO");
inline const QString GRUPO = QStringLiteral("GRUPO");
inline const QString HORAS = QStringLiteral("HORAS");
inline const QString SESIONES = QStringLiteral("SESIONES");
inline const QString NCONEX = QStringLiteral("NCONEX");
inline const QString CLAVE = QStringLiteral("CLAVE");
inline const QString CLAVECURSO = QStringLiteral("CLAVECURSO");
inline const QString CLAVEGRUPO = QStringLiteral("CLAVEGRUPO");
inline const QString CTAREA = QStringLiteral("CTAREA");
inline const QString CORIGEN = QStringLiteral("CORIGEN");
inline const QString X_NIVCONPAGLEG = QStringLiteral("X_NIVCONPAGLEG");
const QList<FieldDef>& fields();
} // namespace ASIGT

// The slots of the week in the chosen time frames.
namespace DIASHORAST {
inline const QString kName = QStringLiteral("DIASHORAST");
inline const QString DIHO = QStringLiteral("DIHO");
inline const QString CODDIHO = QStringLiteral("CODDIHO");
inline const QString DIA = QStringLiteral("DIA");
inline const QString TEXTODIA = QStringLiteral("TEXTODIA");
inline const QString HORA = QStringLiteral("HORA");
inline const QString TEXTOHOR = QStringLiteral("TEXTOHOR");
inline const QString HORADESDE = QStringLiteral("HORADESDE");
inline const QString HORAHASTA = QStringLiteral("HORAHASTA");
inline const QString MINUTOS = QStringLiteral("MINUTOS");
inline const QString MARCO = QStringLiteral("MARCO");
inline const QString MARCOXML = QStringLiteral("MARCOXML");
const QList<FieldDef>& fields();
} // namespace DIASHORAST

// Catalogue of origins of hours.
namespace ORIGENES_C {
inline const QString kName = QStringLiteral("ORIGENES_C");
inline const QString X_CATORIHOR = QStringLiteral("X_CATORIHOR");
inline const QString C_ORIHOR = QStringLiteral("C_ORIHOR");
inline const QString D_ORIHOR = QStringLiteral("D_ORIHOR");
const QList<FieldDef>& fields();
} // namespace ORIGENES_C

// Catalogue of levels.
namespace NIVELES_C {
inline const QString kName = QStringLiteral("NIVELES_C");
inline const QString X_NIVCONPAGLEG = QStringLiteral("X_NIVCONPAGLEG");
inline const QString C_NIVCON = QStringLiteral("C_NIVCON");
inline const QString D_NIVCON = QStringLiteral("D_NIVCON");
const QList<FieldDef>& fields();
} // namespace NIVELES_C

// Catalogue of course offerings by level.
namespace CUR_NIV_C {
inline const QString kName = QStringLiteral("CUR_NIV_C");
inline const QString X_OFERTAMATRIG = QStringLiteral("X_OFERTAMATRIG");
inline const QString X_NIVCONPAGLEG = QStringLiteral("X_NIVCONPAGLEG");
const QList<FieldDef>& fields();
} // namespace CUR_NIV_C

// Catalogue of authorisations.
namespace AUTORIZA_C {
inline const QString kName = QStringLiteral("AUTORIZA_C");
inline const QString X_ORIHORACTETP = QStringLiteral("X_ORIHORACTETP");
inline const QString X_ACTIVIDAD = QStringLiteral("X_ACTIVIDAD");
inline const QString X_CATORIHOR = QStringLiteral("X_CATORIHOR");
inline const QString X_NIVCONPAGLEG = QStringLiteral("X_NIVCONPAGLEG");
const QList<FieldDef>& fields();
} // namespace AUTORIZA_C

// The subject catalogue shipped beside the program (not a working table): a subject's name
// and its short and long codes. The import reads it by field name, whatever else it
// carries; the layout is the one the catalogue builder writes and the tests use.
namespace VELTMATERIAS {
inline const QString kName = QStringLiteral("VELTMATERIAS");
inline const QString kFile = QStringLiteral("VELTMATERIAS.DBF");
inline const QString NOMBRE = QStringLiteral("NOMBRE");
inline const QString COD = QStringLiteral("COD");
inline const QString CODLARGO = QStringLiteral("CODLARGO");
const QList<FieldDef>& fields();
} // namespace VELTMATERIAS

// Tempolan's timetable. Tempolan writes it and decides its layout: the export reads only
// the fields named here, by name, whatever their widths and whatever else the table holds.
// The layout below is the one the school generator and the tests write in its place.
namespace SOLUC {
inline const QString kName = QStringLiteral("SOLUC");
inline const QString PROF = QStringLiteral("PROF");
inline const QString DIA = QStringLiteral("DIA");
inline const QString HORA = QStringLiteral("HORA");
inline const QString MARCO = QStringLiteral("MARCO");
inline const QString ASIG = QStringLiteral("ASIG");
inline const QString TAREA = QStringLiteral("TAREA");
inline const QString CODGRUPO = QStringLiteral("CODGRUPO");
inline const QString AULA = QStringLiteral("AULA");
inline const QString CCONCIERTO = QStringLiteral("CCONCIERTO");
// DIA and HORA as numbers, or as text of two characters; both are read as whole numbers.
enum class DayAndSlot { Numeric, Text };
QList<FieldDef> fields(DayAndSlot dayAndSlot);
} // namespace SOLUC

} // namespace tables
