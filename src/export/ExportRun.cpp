#include "export/ExportRun.h"

void BImportarClick(RunHost& host, MainState& /*state*/, const RunFolders& /*folders*/,
                    exchange::Document& /*held*/) {
    host.reportError(QStringLiteral("La exportación aún no está disponible"));
}
