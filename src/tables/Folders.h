#pragma once

#include <QString>

// Where Tempolan's working tables live: C:\TLTEMP on Windows; elsewhere the folder
// named by TLTEMP, or TLTEMP in the home folder.
QString workingFolder();

// The folder of the running executable (Tempolan.ini, VELTMATERIAS.DBF, VELTRA.chm).
QString programFolder();
