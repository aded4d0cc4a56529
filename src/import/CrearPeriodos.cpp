#include "import/ImportSteps.h"

#include "text/RunError.h"

void CrearPeriodos(ImportContext& /*ctx*/) {
    throw RunError(QStringLiteral("CrearPeriodos: paso aún no disponible"));
}
