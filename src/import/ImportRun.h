#pragma once

// The import run as the front ends see it: the run, its step table and the widget-free
// logic of its two dialogs, which the front ends answer.

#include "exchange/ExchangeDocument.h"
#include "import/CursosLogic.h"
#include "import/ImportChecks.h"
#include "import/ImportQuestions.h"
#include "import/PlantillasLogic.h"
#include "run/RunHost.h"

#include <QStringList>
#include <functional>
#include <vector>

struct ImportContext;

// One step of the run; true when the user forced the exit and the run must stop.
using ImportStep = std::function<bool(ImportContext&)>;

// One row of the step table.
struct ImportStepInfo {
    QString name;       // the step's function, e.g. "CrearProfesores"
    QString label;      // what it builds, for progress: "profesores"
    ImportStep run;     //
    QStringList writes; // working tables it deletes and writes, or appends to
    QStringList reads;  // data groups of the document it reads
};

// The ten steps in their fixed order; the order carries data from one to the next.
const std::vector<ImportStepInfo>& importSteps();

// A check of the loaded document before the first step touches a table; it throws
// RunError to end the run there.
using DocumentCheck = std::function<void(const exchange::Document&)>;

// The import run: chooser, load, the ten steps, completion; `questions` answers what the
// steps ask. `held` receives the loaded document and keeps it until the next run. Errors
// end the run through host.reportError.
void runImport(RunHost& host, ImportQuestions& questions, run::RunState& state,
               const RunFolders& folders, exchange::Document& held,
               const DocumentCheck& beforeSteps = {});

// The same run over another sequence of steps, so that its frame (messages, cursor,
// result value, closing) can be exercised on its own.
void runImport(RunHost& host, ImportQuestions& questions, run::RunState& state,
               const RunFolders& folders, exchange::Document& held,
               const std::vector<ImportStep>& steps);
