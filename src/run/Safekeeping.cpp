#include "run/Safekeeping.h"

#include "run/Durable.h"
#include "run/RunError.h"
#include "tables/Folders.h"
#include "tables/NativeFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace run {

namespace {

const QString kLockFile = QStringLiteral("BLOQUEO");
const QString kPreparing = QStringLiteral("PREPARANDO");
const QString kInProgress = QStringLiteral("EN_CURSO");
const QString kPrevious = QStringLiteral("ANTERIOR");
const QString kDiscard = QStringLiteral("DESCARTAR");
const QString kManifest = QStringLiteral("MANIFIESTO");
const QString kDone = QStringLiteral("HECHO");

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

[[noreturn]] void fail(const QString& what) {
    throw RunError(what);
}

// The files of a table in the folder: NAME.DBF and NAME.MDX under any letter case (a
// case-sensitive file system may hold more than one spelling).
QStringList filesInFolder(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden);
}

// The same, out of a listing of the folder taken once for several tables.
QStringList filesOfTable(const QStringList& all, const QString& table) {
    QStringList found;
    for (const QString& f : all) {
        for (const char* ext : {".DBF", ".MDX"}) {
            if (f.compare(table + QLatin1String(ext), Qt::CaseInsensitive) == 0)
                found << f;
        }
    }
    return found;
}

QStringList filesOfTable(const QString& folder, const QString& table) {
    return filesOfTable(filesInFolder(folder), table);
}

QString checksum(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(&f);
    return QString::fromLatin1(hash.result().toHex());
}

void writeSmallFile(const QString& path, const QString& text) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text.toUtf8()) < 0 || !f.commit())
        fail(QStringLiteral("No se puede escribir %1: %2. Compruebe que queda espacio en el "
                            "disco.")
                 .arg(native(path), f.errorString()));
    syncFile(path);
}

QStringList readLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

// A copy that is on the disk when it returns, or an error naming both files.
void copyDurably(const QString& from, const QString& to) {
    QFile::remove(to);
    if (!QFile::copy(from, to))
        fail(QStringLiteral("No se puede copiar %1 en %2. Compruebe que queda espacio en el "
                            "disco y que la carpeta se puede escribir.")
                 .arg(native(from), native(to)));
    QString why;
    if (!syncFile(to, &why))
        fail(QStringLiteral("No se puede guardar en el disco %1: %2.").arg(native(to), why));
}

void removeFolder(const QString& backup, const QString& name) {
    QDir dir(QDir(backup).filePath(name));
    if (!dir.exists())
        return;
    // Renamed first: a folder half removed must not look like a set of copies.
    const QString discard = QDir(backup).filePath(kDiscard);
    if (name != kDiscard) {
        QDir(discard).removeRecursively();
        if (QDir().rename(dir.path(), discard))
            dir.setPath(discard);
    }
    dir.removeRecursively();
}

struct Manifest {
    QList<std::pair<QString, QStringList>> tables; // table -> its files that existed
};

Manifest readManifest(const QString& folder) {
    Manifest m;
    for (const QString& line : readLines(QDir(folder).filePath(kManifest))) {
        QStringList parts = line.split(u'\t');
        const QString table = parts.takeFirst();
        m.tables.append({table, parts});
    }
    return m;
}

// Makes the working folder's files of every table of the set those kept in `from`.
// Can be repeated after an interruption: `from` stays as it is.
void putBack(const QString& workDir, const QString& from) {
    const QString backup = backupFolder(workDir);
    const Manifest m = readManifest(from);
    for (const auto& [table, kept] : m.tables) {
        for (const QString& f : filesOfTable(workDir, table)) {
            if (!kept.contains(f) && !QFile::remove(QDir(workDir).filePath(f)))
                fail(QStringLiteral("No se puede borrar %1 para reponer la tabla %2: quizá otro "
                                    "programa la tiene abierta. Ciérrelo y vuelva a empezar.")
                         .arg(native(QDir(workDir).filePath(f)), table));
        }
        for (const QString& f : kept) {
            const QString temp = QDir(backup).filePath(f + QStringLiteral(".reponer"));
            const QString target = QDir(workDir).filePath(f);
            copyDurably(QDir(from).filePath(f), temp);
            QFile::remove(target);
            if (!QFile::rename(temp, target))
                fail(QStringLiteral("No se puede reponer %1: quizá otro programa la tiene "
                                    "abierta. Ciérrelo y vuelva a empezar.")
                         .arg(native(target)));
        }
    }
    syncFolder(workDir);
}

// What the tables of a set hold now, file by file, to tell later whether they changed.
QString checksumsOf(const QString& workDir, const Manifest& m) {
    QString text;
    const QStringList all = filesInFolder(workDir);
    for (const auto& entry : m.tables) {
        for (const QString& f : filesOfTable(all, entry.first))
            text += f + u'\t' + checksum(QDir(workDir).filePath(f)) + u'\n';
    }
    return text;
}

// The run that wrote EN_CURSO/HECHO finished: its copies become the set to restore.
void promote(const QString& backup) {
    removeFolder(backup, kPrevious);
    if (!QDir().rename(QDir(backup).filePath(kInProgress), QDir(backup).filePath(kPrevious)))
        fail(QStringLiteral("No se puede renombrar %1.")
                 .arg(native(QDir(backup).filePath(kInProgress))));
    syncFolder(backup);
}

} // namespace

QString backupFolder(const QString& workDir) {
    return toolFolder(workDir);
}

// ---- The lock ----------------------------------------------------------------------

struct FolderLock::Impl {
    tables::detail::NativeFile file;
};

FolderLock::FolderLock(const QString& workDir, Need need) : d(std::make_unique<Impl>()) {
    const QString backup = backupFolder(workDir);
    const auto cannotWrite = [&](const QString& why) {
        if (need == Need::IfWritable)
            return;
        fail(QStringLiteral("No se puede escribir en la carpeta de trabajo %1 (%2). Compruebe "
                            "que existe y que tiene permiso para escribir en ella.")
                 .arg(native(workDir), why));
    };
    if (!QDir().mkpath(backup)) {
        cannotWrite(QStringLiteral("no se puede crear %1").arg(QDir::toNativeSeparators(backup)));
        return;
    }
    QString why;
    using tables::detail::NativeFile;
    switch (d->file.open(QDir(backup).filePath(kLockFile), tables::detail::LockKind::Exclusive,
                         true, &why)) {
    case NativeFile::OpenResult::Ok:
        return;
    case NativeFile::OpenResult::Locked:
        fail(QStringLiteral("Otra transformación está usando la carpeta de trabajo %1; espere a "
                            "que termine.")
                 .arg(native(workDir)));
    case NativeFile::OpenResult::Missing:
    case NativeFile::OpenResult::Failed:
        cannotWrite(why);
        return;
    }
}

FolderLock::~FolderLock() = default;

bool FolderLock::ownsLock() const {
    return d->file.isOpen();
}

// ---- After a kill --------------------------------------------------------------------

QString finishInterrupted(const QString& workDir) {
    const QString backup = backupFolder(workDir);
    if (!QDir(backup).exists())
        return {};
    removeFolder(backup, kDiscard);
    removeFolder(backup, kPreparing); // copies being taken: nothing was touched yet
    const QString inProgress = QDir(backup).filePath(kInProgress);
    if (!QDir(inProgress).exists())
        return {};
    if (QFileInfo::exists(QDir(inProgress).filePath(kDone))) {
        promote(backup);
        return QStringLiteral("La última transformación terminó, pero no llegó a ordenar sus "
                              "copias de seguridad; ya están en orden.");
    }
    putBack(workDir, inProgress);
    removeFolder(backup, kInProgress);
    return QStringLiteral("La última transformación no terminó: las tablas de trabajo de %1 se "
                          "han repuesto como estaban antes de ella.")
        .arg(native(workDir));
}

// ---- Keeping a set of tables -----------------------------------------------------------

TableSafekeeping::TableSafekeeping(const QString& workDir, const QStringList& tables)
    : workDir_(workDir), tables_(tables) {
    const QString backup = backupFolder(workDir_);
    if (!QDir().mkpath(backup))
        fail(QStringLiteral("No se puede crear la carpeta %1: compruebe que puede escribir en la "
                            "carpeta de trabajo.")
                 .arg(native(backup)));
    removeFolder(backup, kPreparing);
    const QString preparing = QDir(backup).filePath(kPreparing);
    if (!QDir().mkpath(preparing))
        fail(QStringLiteral("No se puede crear la carpeta %1.").arg(native(preparing)));

    QString manifest;
    const QStringList all = filesInFolder(workDir_);
    for (const QString& table : tables_) {
        const QStringList files = filesOfTable(all, table);
        for (const QString& f : files) {
            const QString path = QDir(workDir_).filePath(f);
            if (!QFileInfo(path).isFile())
                fail(QStringLiteral("%1 no es un archivo normal: no se puede usar como tabla. "
                                    "Quítelo de la carpeta de trabajo y vuelva a empezar.")
                         .arg(native(path)));
            copyDurably(path, QDir(preparing).filePath(f));
        }
        manifest += (QStringList{table} + files).join(u'\t') + u'\n';
    }
    writeSmallFile(QDir(preparing).filePath(kManifest), manifest);
    syncFolder(preparing);
    // From here on a kill leaves the marker: the next run puts these copies back.
    if (!QDir().rename(preparing, QDir(backup).filePath(kInProgress)))
        fail(QStringLiteral("No se puede preparar la copia de seguridad en %1.")
                 .arg(native(backup)));
    syncFolder(backup);
}

TableSafekeeping::~TableSafekeeping() {
    if (done_)
        return;
    try {
        rollback();
    } catch (...) {
        // The marker stays: the next run puts the tables back before anything else.
    }
}

void TableSafekeeping::commit() {
    const QString backup = backupFolder(workDir_);
    const QString inProgress = QDir(backup).filePath(kInProgress);
    const Manifest m = readManifest(inProgress);
    const QStringList all = filesInFolder(workDir_);
    for (const auto& entry : m.tables) {
        for (const QString& f : filesOfTable(all, entry.first)) {
            QString why;
            if (!syncFile(QDir(workDir_).filePath(f), &why))
                fail(QStringLiteral("No se puede guardar en el disco la tabla %1: %2.")
                         .arg(native(QDir(workDir_).filePath(f)), why));
        }
    }
    syncFolder(workDir_);
    writeSmallFile(QDir(inProgress).filePath(kDone), checksumsOf(workDir_, m));
    done_ = true;
    promote(backup);
}

void TableSafekeeping::rollback() {
    if (done_)
        return;
    const QString backup = backupFolder(workDir_);
    const QString inProgress = QDir(backup).filePath(kInProgress);
    putBack(workDir_, inProgress);
    done_ = true;
    removeFolder(backup, kInProgress);
}

// ---- restore ---------------------------------------------------------------------------

RestoreResult restoreLastImport(const QString& workDir, bool force) {
    RestoreResult r;
    const QString backup = backupFolder(workDir);
    const QString previous = QDir(backup).filePath(kPrevious);
    if (!QFileInfo::exists(QDir(previous).filePath(kDone))) {
        r.message = QStringLiteral("No hay nada que reponer en %1: ninguna importación ha "
                                   "terminado allí desde que se guardan copias.")
                        .arg(native(workDir));
        return r;
    }
    const Manifest m = readManifest(previous);
    QHash<QString, QString> written;
    for (const QString& line : readLines(QDir(previous).filePath(kDone))) {
        const QStringList parts = line.split(u'\t');
        if (parts.size() == 2)
            written.insert(parts.at(0), parts.at(1));
    }
    QStringList& tables = r.tables;
    for (const auto& [table, kept] : m.tables) {
        tables << table;
        const QStringList now = filesOfTable(workDir, table);
        bool changed = false;
        for (const QString& f : now)
            changed = changed || written.value(f) != checksum(QDir(workDir).filePath(f));
        for (auto it = written.cbegin(); it != written.cend(); ++it) {
            const QString base = QFileInfo(it.key()).completeBaseName();
            if (base.compare(table, Qt::CaseInsensitive) == 0 && !now.contains(it.key()))
                changed = true;
        }
        if (changed)
            r.changed << table;
    }
    if (!r.changed.isEmpty() && !force) {
        r.message = QStringLiteral("No se ha repuesto nada: %1 ha(n) cambiado desde la última "
                                   "importación (quizá se ha trabajado en Tempolan). Para "
                                   "reponer de todos modos, use --force.")
                        .arg(r.changed.join(QStringLiteral(", ")));
        return r;
    }
    {
        // The set being replaced becomes the one a second restore puts back.
        TableSafekeeping keep(workDir, tables);
        putBack(workDir, previous);
        keep.commit();
    }
    r.restored = true;
    r.message = QStringLiteral("Repuestas las tablas de %1 como estaban antes de la última "
                               "importación: %2.")
                    .arg(native(workDir), r.tables.join(QStringLiteral(", ")));
    return r;
}

} // namespace run
