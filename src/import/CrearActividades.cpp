#include "import/ImportSteps.h"

#include "text/RunError.h"

void CrearActividades(ImportContext& /*ctx*/) {
    throw RunError(QStringLiteral("CrearActividades: paso aún no disponible"));
}
