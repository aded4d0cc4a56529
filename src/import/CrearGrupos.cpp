#include "import/ImportSteps.h"

#include "text/RunError.h"

void CrearGrupos(ImportContext& /*ctx*/) {
    throw RunError(QStringLiteral("CrearGrupos: paso aún no disponible"));
}
