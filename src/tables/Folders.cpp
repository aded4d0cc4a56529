#include "tables/Folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString workingFolder() {
#ifdef Q_OS_WIN
    return QStringLiteral("C:/TLTEMP");
#else
    const QString fromEnv = qEnvironmentVariable("TLTEMP");
    if (!fromEnv.isEmpty())
        return QDir::cleanPath(fromEnv);
    return QDir::home().filePath(QStringLiteral("TLTEMP"));
#endif
}

QString programFolder() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}
