#include "import/ImportSteps.h"

#include "text/RunError.h"

void CrearCatalogos(ImportContext& /*ctx*/) {
    throw RunError(QStringLiteral("CrearCatalogos: paso aún no disponible"));
}
