#include "import/ImportRun.h"

#include "text/RunError.h"

void BExportarClick(RunHost& host, MainState& /*state*/, const RunFolders& /*folders*/,
                    exchange::Document& /*held*/) {
    host.reportError(QStringLiteral("La importación aún no está disponible"));
}
