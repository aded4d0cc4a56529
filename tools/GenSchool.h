#pragma once

#include <QString>
#include <QStringList>

// Synthetic schools for demos, tests and benchmarks: a Veltra export of a fictional
// secondary school of any size, the level and course codes its course offerings need,
// and a Tempolan timetable (SOLUC) for the working tables an import built from it.
// Everything is deterministic for a given size and seed.
namespace genschool {

// How many records of each kind a school of the given scale holds. Scale 1 is the
// sample school (40 course offerings, 600 subjects, 80 teachers ...); scale 10 the
// large school of the benchmarks (400 offerings, 15,000 subjects, 1,500 teachers ...).
struct Counts {
    int offers = 0;     // CURSOS_DEL_CENTRO
    int materias = 0;   // MATERIAS
    int activities = 0; // ACTIVIDADES
    int teachers = 0;   // EMPLEADOS
    int rooms = 0;      // DEPENDENCIAS
    int units = 0;      // UNIDADES
    int frames = 0;     // JORNADAS_ESCOLARES
    int slotsPerFrame = 0;
    int origenes = 0;       // ORIGENES
    int niveles = 0;        // NIVELES
    int cursosNiveles = 0;  // CURSOS_NIVELES
    int autorizaciones = 0; // AUTORIZACIONES
};
Counts countsFor(double scale);

// What writeSchool wrote.
struct SchoolSummary {
    Counts counts;
    int slots = 0;              // TRAMOS_HORARIOS records
    QStringList frameCodes;     // item 0 of every time frame, in document order
    QStringList offerKeys;      // item 0 of every course offering, in document order
    int teachersWithoutKey = 0; // EMPLEADOS records whose employee key is empty
    QString documentPath;
    QString codesPath;
};

// Writes DIR/veltra.xml (ISO-8859-1, with its declaration) and DIR/codes.csv (UTF-8,
// CLAVE,NIVEL,CURSO). The folder is created when missing. Throws RunError.
SchoolSummary writeSchool(const QString& outDir, double scale, quint64 seed);

// What writeSoluc wrote.
struct SolucSummary {
    int entries = 0;
    int unplaced = 0;   // DIA 0
    int nonRegular = 0; // placed, ASIG beginning with "#"
    int regular = 0;    // placed, the rest (classes and regular activities)
    int clashes = 0;    // placed where the teacher or group already had an entry
};

// Entries written when none are asked for: three per teaching assignment, at most
// thirty per teacher.
int defaultEntries(int assignments, int teachers);

// Reads the working tables an import left in workDir (PROFT, ASIGT, GRUPOST, AULAT,
// ASIGNOMT, DIASHORAST, and ORIGENES_C when present) and writes workDir/SOLUC.DBF, a
// plausible timetable over them. entries <= 0 asks for defaultEntries. With overbook, an
// entry that finds no free time is placed all the same (a clash), so that a very large
// timetable has every entry placed, as a stress for the export. Throws RunError.
SolucSummary writeSoluc(const QString& workDir, quint64 seed, int entries = 0,
                        bool overbook = false);

} // namespace genschool
