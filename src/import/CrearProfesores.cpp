#include "import/ImportSteps.h"

#include "text/RunError.h"

void CrearProfesores(ImportContext& /*ctx*/) {
    throw RunError(QStringLiteral("CrearProfesores: paso aún no disponible"));
}
