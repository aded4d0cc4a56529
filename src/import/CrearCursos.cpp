#include "import/ImportSteps.h"

#include "text/RunError.h"

bool CrearCursos(ImportContext& /*ctx*/) {
    throw RunError(QStringLiteral("CrearCursos: paso aún no disponible"));
}
