#include "import/ImportSteps.h"

#include "text/RunError.h"

void CrearAsignaturas(ImportContext& /*ctx*/) {
    throw RunError(QStringLiteral("CrearAsignaturas: paso aún no disponible"));
}
