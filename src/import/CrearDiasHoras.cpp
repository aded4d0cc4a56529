#include "import/ImportSteps.h"

#include "text/RunError.h"

void CrearDiasHoras(ImportContext& /*ctx*/) {
    throw RunError(QStringLiteral("CrearDiasHoras: paso aún no disponible"));
}
