#include "import/ImportSteps.h"

#include "text/RunError.h"

void CrearAsignaciones(ImportContext& /*ctx*/) {
    throw RunError(QStringLiteral("CrearAsignaciones: paso aún no disponible"));
}
