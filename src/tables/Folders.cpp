#include "tables/Folders.h"

#include <QCoreApplication>
#include <QDir>

namespace tables {

QString programFolder() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

QString missingWorkingFolder(const QString& workDir) {
    return QStringLiteral("No existe la carpeta de trabajo %1")
        .arg(QDir::toNativeSeparators(workDir));
}

QString toolFolder(const QString& workDir) {
    return QDir(workDir).filePath(QStringLiteral("VELTRA_RESPALDO"));
}

} // namespace tables
