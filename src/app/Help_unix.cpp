#include "app/HelpNative.h"

#include <QProcess>
#include <QStandardPaths>

namespace help::native {

// The CHM viewers found here open a file, not a page of it.
bool showCompiled(const QString& chm, const QString&, bool, QWidget*) {
    for (const char* viewer : {"xchm", "kchmviewer", "uchmviewer"}) {
        const QString exe = QStandardPaths::findExecutable(QString::fromLatin1(viewer));
        if (!exe.isEmpty() && QProcess::startDetached(exe, {chm}))
            return true;
    }
    return false;
}

bool htmlWithoutCompiled() {
    return true;
}

} // namespace help::native
