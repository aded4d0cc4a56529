#pragma once

#include "exchange/ExchangeDocument.h"
#include "run/RunHost.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

// Where the header's `fecha` takes the current moment from: the system clock when empty.
using Reloj = std::function<QDateTime()>;

struct OpcionesExport {
    Reloj reloj;
};

// The export run: chooser, the working tables and SOLUC, the new document saved as
// "ResultadoTempolan" + the chosen file's name beside it. `held` receives the documents
// the run loads. Errors end the run through host.reportError.
void runExport(RunHost& host, run::RunState& state, const RunFolders& folders,
               exchange::Document& held);
// The same with options other than the defaults.
void runExportWith(RunHost& host, run::RunState& state, const RunFolders& folders,
                   exchange::Document& held, const OpcionesExport& opciones);

// What the window's lower strip says during the export's three phases, in order: short,
// as the import's step labels, so that "Paso N de 3: …" fits the strip.
const QStringList& exportPhases();

// Where the export writes its document: "ResultadoTempolan" put in front of the chosen
// file's name, in the same folder.
QString RutaResultado(const QString& elegido);
