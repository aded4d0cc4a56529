#pragma once

#include "exchange/ExchangeDocument.h"
#include "import/RunHost.h"

// Folders a run works with.
struct RunFolders {
    QString workDir;     // Tempolan's working tables
    QString catalogPath; // VELTMATERIAS.DBF (import only)
};

// The import run: chooser, load, the ten steps, completion. `held` receives the loaded
// document and keeps it until the next run. Errors end the run through host.reportError.
void BExportarClick(RunHost& host, MainState& state, const RunFolders& folders,
                    exchange::Document& held);
