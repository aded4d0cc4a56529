#include "import/ImportChecks.h"

#include "exchange/ExchangeNames.h"
#include "import/ImportRun.h"
#include "import/ImportSteps.h"
#include "tables/NativeFile.h"
#include "tables/Table.h"
#include "tables/TableFiles.h"
#include "tables/WorkingTables.h"
#include "text/RunError.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

QString envelopeProblem(const exchange::Document& doc, const QString& documentPath) {
    if (doc.selectSingle(QString::fromLatin1(exchange::kOwnExportPath)))
        return QStringLiteral("Este documento lo ha escrito la exportación hacia Veltra; para "
                              "importar, elija el documento exportado por Veltra.");
    if (!doc.selectSingle(QString::fromLatin1(exchange::kBlockPath)))
        return QStringLiteral("El documento %1 no es un documento exportado por VELTRA: le falta "
                              "SERVICIO/BLOQUE_DATOS. Elija el documento XML que exportó VELTRA.")
            .arg(native(documentPath));
    return {};
}

QString catalogueProblem(const QString& catalogPath) {
    if (!tables::FileExists(catalogPath))
        return QStringLiteral("No se encuentra el catálogo de materias %1. Colóquelo junto al "
                              "programa y vuelva a empezar.")
            .arg(native(catalogPath));
    // The file the existence test found, in whatever letter case it is spelt.
    const QFileInfo info(tables::detail::findFile(catalogPath));
    if (!info.isFile())
        return QStringLiteral("El catálogo de materias %1 no es un archivo normal. Sustitúyalo "
                              "por el catálogo que acompaña al programa.")
            .arg(native(catalogPath));
    try {
        tables::Table t;
        t.open(info.absolutePath(), info.fileName(), tables::OpenMode::Shared);
        for (const QString& field : {tables::VELTMATERIAS::NOMBRE, tables::VELTMATERIAS::COD,
                                     tables::VELTMATERIAS::CODLARGO})
            for (t.first(); !t.atEnd(); t.next())
                (void)t.text(field);
    } catch (const RunError& e) {
        return QStringLiteral("No se puede leer el catálogo de materias %1: %2 Sustitúyalo por el "
                              "catálogo que acompaña al programa.")
            .arg(native(catalogPath), e.message());
    }
    return {};
}

QStringList valueProblems(const exchange::Document& doc) {
    return CatalogosProblemas(doc);
}

QStringList tableProblems(const QString& workDir) {
    QStringList problems;
    QSet<QString> names;
    for (const ImportStepInfo& step : importSteps())
        for (const QString& t : step.writes)
            names.insert(t.toUpper());
    const QStringList files = QDir(workDir).entryList(
        QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& f : files) {
        const QFileInfo info(QDir(workDir).filePath(f));
        const QString upper = f.toUpper();
        if (!upper.endsWith(QLatin1String(".DBF")) && !upper.endsWith(QLatin1String(".MDX")))
            continue;
        if (!names.contains(upper.left(upper.size() - 4)))
            continue;
        if (info.isSymLink()) {
            problems << QStringLiteral("%1 es un enlace simbólico y la importación tiene que "
                                       "reemplazarlo por la tabla misma: ponga la tabla en su "
                                       "lugar y vuelva a empezar.")
                            .arg(native(info.filePath()));
            continue;
        }
        if (!info.isFile()) {
            problems << QStringLiteral("%1 no es un archivo normal y la importación tiene que "
                                       "reemplazarlo: quítelo de la carpeta de trabajo y vuelva "
                                       "a empezar.")
                            .arg(native(info.filePath()));
            continue;
        }
        if (tables::detail::heldByOther(info.filePath()))
            problems << QStringLiteral("La tabla %1 está abierta en otro programa (quizá "
                                       "Tempolan). Ciérrelo y vuelva a empezar.")
                            .arg(native(info.filePath()));
    }
    return problems;
}

QStringList problemsBeforeImport(const exchange::Document& doc, const QString& documentPath,
                                 const RunFolders& folders) {
    if (const QString p = envelopeProblem(doc, documentPath); !p.isEmpty())
        return {p};
    QStringList problems;
    if (const QString p = catalogueProblem(folders.catalogPath); !p.isEmpty())
        problems << p;
    problems << valueProblems(doc);
    problems << tableProblems(folders.workDir);
    return problems;
}
