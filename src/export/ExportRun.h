#pragma once

#include "exchange/ExchangeDocument.h"
#include "run/RunHost.h"

#include <QString>

// The export run: chooser, the working tables and SOLUC, the new document saved as
// "ResultadoTempolan" + the chosen file's name beside it. `held` receives the documents
// the run loads. Errors end the run through host.reportError.
void BImportarClick(RunHost& host, MainState& state, const RunFolders& folders,
                    exchange::Document& held);

// Where the export writes its document: "ResultadoTempolan" put in front of the chosen
// file's name, in the same folder.
QString RutaResultado(const QString& elegido);
