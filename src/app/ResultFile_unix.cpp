#include "app/ResultFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

bool writeProfileString(const QString& path, const QString& section, const QString& key,
                        const QString& value) {
    QByteArray contents;
    if (QFileInfo::exists(path)) {
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly))
            return false;
        contents = in.readAll();
    }
    const QByteArray updated = withProfileString(contents, section, key, value);
    // Written beside and renamed, so a failed write never leaves half a file. Where the
    // folder takes no new file but the file itself may be written, it is written in
    // place, as the system's own settings functions do.
    QSaveFile out(path);
    out.setDirectWriteFallback(true);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(updated) != updated.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}
