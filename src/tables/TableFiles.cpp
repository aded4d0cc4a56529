#include "tables/Table.h"

#include "tables/DbfFormat.h"
#include "tables/Folders.h"
#include "tables/NativeFile.h"
#include "tables/TableFiles.h"
#include "text/RunError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace tables {

using detail::DbfField;
using detail::LockKind;
using detail::NativeFile;

namespace detail {

QString findFile(const QString& folder, const QString& fileName) {
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    const QString exact = dir.filePath(fileName);
    if (QFileInfo(exact).isFile())
        return exact;
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& e : entries) {
        if (e.compare(fileName, Qt::CaseInsensitive) == 0)
            return dir.filePath(e);
    }
    return {};
}

QString findFile(const QString& path) {
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    return findFile(info.path(), info.fileName());
}

QString baseName(const QString& name) {
    if (name.endsWith(QLatin1String(".DBF"), Qt::CaseInsensitive))
        return name.chopped(4);
    return name;
}

} // namespace detail

bool FileExists(const QString& path) {
    return !detail::findFile(path).isEmpty();
}

void DeleteTableFile(const QString& path) {
    const QString found = detail::findFile(path);
    // A file another program holds cannot be deleted on Windows; leave it here too
    // rather than pull it from under that program.
    if (!found.isEmpty() && !detail::heldByOther(found))
        QFile::remove(found);
}

void DeleteTable(const QString& folder, const QString& name) {
    const QString base = detail::baseName(name);
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    for (const char* ext : {".DBF", ".MDX"})
        DeleteTableFile(dir.filePath(base + QLatin1String(ext)));
}

void CreateTable(const QString& folder, const QString& name, const QList<FieldDef>& fields) {
    const QString base = detail::baseName(name);
    auto fail = [&](const QString& why) {
        throw RunError(QStringLiteral("No se puede crear la tabla %1: %2.").arg(base, why));
    };
    if (base.isEmpty())
        fail(QStringLiteral("falta el nombre"));
    if (fields.isEmpty())
        fail(QStringLiteral("no tiene campos"));
    std::vector<DbfField> defs;
    QStringList seen;
    for (const FieldDef& fd : fields) {
        DbfField f;
        f.name = fd.name;
        const bool validName = !fd.name.isEmpty() && fd.name.size() <= detail::kMaxFieldName &&
                               std::all_of(fd.name.begin(), fd.name.end(), [](QChar c) {
                                   return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                                          (c >= u'0' && c <= u'9') || c == u'_';
                               });
        if (!validName)
            fail(QStringLiteral("el nombre de campo '%1' no es válido").arg(fd.name));
        if (seen.contains(fd.name, Qt::CaseInsensitive))
            fail(QStringLiteral("el campo %1 está repetido").arg(fd.name));
        seen << fd.name;
        switch (fd.type) {
        case FieldType::Text:
            if (fd.width < 1 || fd.width > detail::kMaxTextWidth)
                fail(QStringLiteral("el ancho del campo %1 (%2) no es válido")
                         .arg(fd.name)
                         .arg(fd.width));
            f.type = 'C';
            f.length = fd.width;
            break;
        case FieldType::Integer:
            f.type = 'I';
            f.length = 4;
            break;
        case FieldType::Float:
            f.type = 'O';
            f.length = 8;
            break;
        case FieldType::Boolean:
            f.type = 'L';
            f.length = 1;
            break;
        }
        defs.push_back(f);
    }
    QByteArray bytes = detail::level7Header(defs, QDate::currentDate(), 0);
    bytes.append(detail::kFileEnd);
    if (bytes.size() > 0xFFFF + 1)
        fail(QStringLiteral("demasiados campos"));
    int recordLength = 1;
    for (const DbfField& f : defs)
        recordLength += f.length;
    if (recordLength > 0xFFFF)
        fail(QStringLiteral("el registro es demasiado largo"));

    QString path = detail::findFile(folder, base + QLatin1String(".DBF"));
    const bool replacing = !path.isEmpty();
    if (!replacing)
        path = QDir(folder).filePath(base + QLatin1String(".DBF"));
    // A new table is written under another name and renamed into place once its header is
    // whole, so that whatever moment the process dies, no header-less table is left. The
    // other name lives in the tool's own folder when there is one.
    QString writeTo = path;
    if (!replacing) {
        const QString own = tables::toolFolder(folder);
        writeTo = QFileInfo(own).isDir() ? QDir(own).filePath(base + QLatin1String(".nuevo"))
                                         : path + QLatin1String(".nuevo");
        QFile::remove(writeTo);
    }
    NativeFile file;
    QString error;
    switch (file.open(writeTo, LockKind::Exclusive, true, &error)) {
    case NativeFile::OpenResult::Ok:
        break;
    case NativeFile::OpenResult::Locked:
        fail(QStringLiteral("otro programa la tiene abierta"));
    default:
        fail(error);
    }
    if (!file.truncate(0, &error) || !file.writeAt(0, bytes.constData(), bytes.size(), &error)) {
        // A file without its whole header is no table: every later open would fail on it.
        file.close();
        QFile::remove(writeTo);
        fail(error);
    }
    file.close();
    if (writeTo != path && !QFile::rename(writeTo, path)) {
        QFile::remove(writeTo);
        fail(
            QStringLiteral("no se puede poner en su sitio %1").arg(QDir::toNativeSeparators(path)));
    }
}

} // namespace tables
