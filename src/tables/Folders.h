#pragma once

#include <QString>

namespace tables {

// Where Tempolan's working tables live: C:\TLTEMP on Windows; elsewhere the folder
// named by TLTEMP, or TLTEMP in the home folder.
QString workingFolder();

// The folder of the running executable (Tempolan.ini, VELTMATERIAS.DBF, VELTRA.chm).
QString programFolder();

// The one subfolder of the working folder that holds the tool's own bookkeeping (the
// lock of a run, copies of the tables, tables being written): VELTRA_RESPALDO.
QString toolFolder(const QString& workDir);

} // namespace tables
