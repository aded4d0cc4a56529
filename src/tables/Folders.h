#pragma once

#include <QString>

namespace tables {

// Where Tempolan's working tables live: C:\TLTEMP on Windows; elsewhere the folder
// named by TLTEMP, or TLTEMP in the home folder.
QString workingFolder();

// What every run and command says of a working folder that is not there, without a
// full stop: "No existe la carpeta de trabajo" and the folder.
QString missingWorkingFolder(const QString& workDir);

// The folder of the running executable (Tempolan.ini, VELTMATERIAS.DBF, VELTRA.chm).
QString programFolder();

// The one subfolder of the working folder that holds the tool's own bookkeeping (the
// lock of a run, copies of the tables, tables being written): VELTRA_RESPALDO.
QString toolFolder(const QString& workDir);

} // namespace tables
