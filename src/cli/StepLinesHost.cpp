#include "cli/StepLinesHost.h"

#include "import/ImportRun.h"
#include "tables/Folders.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"

namespace cli {

namespace {

// Rows of a working table, or -1 when its file does not exist.
int rowsOf(const QString& workDir, const QString& name) {
    if (!tables::FileExists(tables::tableFile(workDir, name)))
        return -1;
    // Counted a block at a time: the largest tables are not read whole after each step.
    return tables::CountRows(workDir, name);
}

QString rows(int n) {
    return n == 1 ? QStringLiteral("1 fila") : QStringLiteral("%1 filas").arg(n);
}

} // namespace

void StepLinesHost::stepFinished(int index) {
    const ImportStepInfo& s = importSteps().at(size_t(index));
    QStringList parts;
    if (s.name == QLatin1String("CrearActividades")) {
        // The activities step appends to the subjects' table: it is credited with what
        // it added.
        parts << QStringLiteral("ASIGNOMT +%1")
                     .arg(rows(rowsOf(workDir_, QStringLiteral("ASIGNOMT")) - subjectRows_));
    } else if (s.name == QLatin1String("CrearCatalogos") &&
               rowsOf(workDir_, QStringLiteral("ORIGENES_C")) < 0) {
        parts << QStringLiteral("el documento no trae ORIGENES: ORIGENES_C borrada, "
                                "NIVELES_C, CUR_NIV_C y AUTORIZA_C sin tocar");
    } else {
        for (const QString& name : s.writes) {
            const int n = rowsOf(workDir_, name);
            if (name == QLatin1String("ASIGNOMT"))
                subjectRows_ = n;
            if (n >= 0)
                parts << name + u' ' + rows(n);
        }
    }
    out_ << QStringLiteral("%1. %2: %3\n").arg(index + 1).arg(s.name, parts.join(u", "))
         << Qt::flush;
}

} // namespace cli
