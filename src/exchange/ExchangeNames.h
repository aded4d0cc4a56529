#pragma once

// The names of the exchange document: its envelope, the paths that name what is read of
// it, and the data groups and data items that the runs read or write.
namespace exchange {

// Envelope: SERVICIO / BLOQUE_DATOS / grupo_datos (group) / grupo_datos (record) / dato.
inline constexpr char kRoot[] = "SERVICIO";
inline constexpr char kBlock[] = "BLOQUE_DATOS";
inline constexpr char kGroup[] = "grupo_datos";
inline constexpr char kItem[] = "dato";
inline constexpr char kGroupName[] = "seq"; // a group's name
inline constexpr char kRecordCount[] = "registros";
inline constexpr char kItemName[] = "nombre_dato";

// Paths (XPath 1.0) of what is read: the root, the data block, the data groups, and the
// records of the groups named NAME (recordsPath).
inline constexpr char kRootPath[] = "/SERVICIO";
// A document this system's export wrote, which is not one to import.
inline constexpr char kOwnExportPath[] = "/SERVICIO[@autor='TEMPOLAN' and @modulo='HORARIOS']";
inline constexpr char kBlockPath[] = "/SERVICIO/BLOQUE_DATOS";
inline constexpr char kGroupsPath[] = "/SERVICIO/BLOQUE_DATOS/grupo_datos";
inline constexpr char kRecordsPathStart[] = "/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"";
inline constexpr char kRecordsPathEnd[] = "\"]/grupo_datos";

// Data groups read by the import (and, for the identifiers it checks, the export).
namespace groups {
inline constexpr char kCourses[] = "CURSOS_DEL_CENTRO";
inline constexpr char kSubjects[] = "MATERIAS";
inline constexpr char kActivities[] = "ACTIVIDADES";
inline constexpr char kStaff[] = "EMPLEADOS";
inline constexpr char kRooms[] = "DEPENDENCIAS";
inline constexpr char kUnits[] = "UNIDADES";
inline constexpr char kFrames[] = "JORNADAS_ESCOLARES";
inline constexpr char kSlots[] = "TRAMOS_HORARIOS";
inline constexpr char kOrigins[] = "ORIGENES";
inline constexpr char kLevels[] = "NIVELES";
inline constexpr char kCourseLevels[] = "CURSOS_NIVELES";
inline constexpr char kAuthorisations[] = "AUTORIZACIONES";
// Written by the export.
inline constexpr char kSchoolYear[] = "ANNO_ACADEMICO";
inline constexpr char kNonRegular[] = "HORARIOS_NO_REGULARES";
inline constexpr char kRegular[] = "HORARIOS_REGULARES";
} // namespace groups

// Data items tested by name.
namespace items {
inline constexpr char kSubjectId[] = "X_MATERIAOMG";
inline constexpr char kSubjectName[] = "D_MATERIAC";
} // namespace items

} // namespace exchange
