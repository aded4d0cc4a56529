#include "tables/Folders.h"

#include <QDir>

namespace tables {

QString workingFolder() {
    const QString fromEnv = qEnvironmentVariable("TLTEMP");
    if (!fromEnv.isEmpty())
        return QDir::cleanPath(fromEnv);
    return QDir::home().filePath(QStringLiteral("TLTEMP"));
}

} // namespace tables
