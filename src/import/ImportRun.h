#pragma once

#include "exchange/ExchangeDocument.h"
#include "import/RunHost.h"

#include <functional>
#include <vector>

// Folders a run works with.
struct RunFolders {
    QString workDir;     // Tempolan's working tables
    QString catalogPath; // VELTMATERIAS.DBF (import only)
};

// The import run: chooser, load, the ten steps, completion. `held` receives the loaded
// document and keeps it until the next run. Errors end the run through host.reportError.
void BExportarClick(RunHost& host, MainState& state, const RunFolders& folders,
                    exchange::Document& held);

struct ImportContext;

// One step of the run; true when the user forced the exit and the run must stop.
using ImportStep = std::function<bool(ImportContext&)>;

// The same run over another sequence of steps, so that its frame (messages, cursor,
// result value, closing) can be exercised on its own.
void BExportarClick(RunHost& host, MainState& state, const RunFolders& folders,
                    exchange::Document& held, const std::vector<ImportStep>& steps);
