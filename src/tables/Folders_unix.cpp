#include "tables/Folders.h"

#include <QDir>

QString workingFolder() {
    const QString fromEnv = qEnvironmentVariable("TLTEMP");
    if (!fromEnv.isEmpty())
        return QDir::cleanPath(fromEnv);
    return QDir::home().filePath(QStringLiteral("TLTEMP"));
}
