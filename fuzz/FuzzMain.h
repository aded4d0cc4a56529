#pragma once

// Set-up shared by the fuzz targets: a Qt core application and one scratch folder per
// process, on a memory file system where there is one.

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>

namespace fuzzing {

inline QString scratchFolder() {
    static const QString base =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    static QTemporaryDir dir(QDir(base).filePath(QStringLiteral("vt-fuzz-XXXXXX")));
    if (!dir.isValid())
        std::abort();
    return dir.path();
}

inline void initQt(int* argc, char*** argv) {
    static QCoreApplication* app = new QCoreApplication(*argc, *argv);
    (void)app;
}

} // namespace fuzzing
