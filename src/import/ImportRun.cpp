#include "import/ImportRun.h"

#include "import/ImportSteps.h"
#include "text/RunError.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

namespace {

template <void (*Step)(ImportContext&)> bool plain(ImportContext& ctx) {
    Step(ctx);
    return false;
}

// Every step deletes its tables before it writes them: without the working folder the
// first one would fail on a file it cannot create, so say what is missing instead.
bool workingFolderExists(ImportContext& ctx) {
    if (!QFileInfo(ctx.workDir).isDir())
        throw RunError(
            QStringLiteral("No existe la carpeta de trabajo %1.\nNo se ha importado nada.")
                .arg(QDir::toNativeSeparators(ctx.workDir)));
    return false;
}

// The ten steps in their fixed order, after that check; the order carries data from one
// to the next.
const std::vector<ImportStep>& tenSteps() {
    static const std::vector<ImportStep> steps{
        workingFolderExists,     plain<CrearPeriodos>,    CrearCursos,
        plain<CrearAsignaturas>, plain<CrearActividades>, plain<CrearProfesores>,
        plain<CrearAulas>,       plain<CrearGrupos>,      plain<CrearAsignaciones>,
        plain<CrearDiasHoras>,   plain<CrearCatalogos>,
    };
    return steps;
}

bool namesAFile(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

} // namespace

void BExportarClick(RunHost& host, MainState& state, const RunFolders& folders,
                    exchange::Document& held) {
    BExportarClick(host, state, folders, held, tenSteps());
}

void BExportarClick(RunHost& host, MainState& state, const RunFolders& folders,
                    exchange::Document& held, const std::vector<ImportStep>& steps) {
    try {
        if (std::optional<QString> chosen = host.chooseDocument())
            state.filenameXML = *chosen;

        if (!namesAFile(state.filenameXML)) {
            host.showMessage(QStringLiteral("No existe archivo"));
            if (state.embedded) {
                state.resultValue = -1;
                host.closeMainWindow();
            }
            return;
        }

        exchange::Document doc = exchange::Document::load(state.filenameXML);
        // An unreadable document would leave every step with nothing to read, and each
        // step deletes its tables before reading: refuse it while nothing is touched.
        if (!doc.ok()) {
            QString why = doc.errorString();
            if (why.isEmpty())
                why = QStringLiteral("El archivo XML '%1' no es un documento XML bien formado")
                          .arg(QDir::toNativeSeparators(state.filenameXML));
            throw RunError(why + QStringLiteral("\nNo se ha importado nada: las tablas de trabajo "
                                                "siguen como estaban."));
        }
        held = std::move(doc);

        std::optional<BusyCursor> busy;
        busy.emplace(host);
        ImportContext ctx{held, host, state, folders.workDir, folders.catalogPath};
        for (const ImportStep& step : steps) {
            if (step(ctx)) {
                busy.reset();
                host.closeMainWindow();
                return;
            }
        }
        busy.reset();

        state.resultValue = 1;
        host.showMessage(QStringLiteral("Proceso finalizado"));
        host.disableRunButtons();
        if (state.embedded)
            host.closeMainWindow();
    } catch (const RunError& e) {
        host.reportError(e.message());
    } catch (const std::exception& e) {
        host.reportError(QString::fromLocal8Bit(e.what()));
    }
}
