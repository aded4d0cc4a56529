#include "cli/CliHost.h"

namespace cli {

int runImport(const QStringList& /*args*/, Streams io) {
    io.err << "La importación desde la línea de órdenes aún no está disponible.\n";
    return RunFailed;
}

} // namespace cli
