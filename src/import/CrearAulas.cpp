#include "import/ImportSteps.h"

#include "text/RunError.h"

void CrearAulas(ImportContext& /*ctx*/) {
    throw RunError(QStringLiteral("CrearAulas: paso aún no disponible"));
}
