#include "run/Safekeeping.h"

#include "run/Durable.h"
#include "tables/Folders.h"
#include "tables/LockedFile.h"
#include "text/RunError.h"
#include "text/SystemError.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <filesystem>

namespace run {

namespace {

namespace fs = std::filesystem;

const QString kLockFile = QStringLiteral("BLOQUEO");
const QString kIdentity = QStringLiteral("IDENTIDAD");
const QString kPreparing = QStringLiteral("PREPARANDO");
const QString kInProgress = QStringLiteral("EN_CURSO");
const QString kPrevious = QStringLiteral("ANTERIOR");
const QString kDiscard = QStringLiteral("DESCARTAR");
const QString kManifest = QStringLiteral("MANIFIESTO");
const QString kJournal = QStringLiteral("DIARIO");
const QString kDone = QStringLiteral("HECHO");
const QString kPutBack = QStringLiteral(".reponer");
const QString kNewSuffix = QStringLiteral(".nuevo");

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString join(const QString& folder, const QString& name) {
    return QDir(folder).filePath(name);
}

fs::path fsPath(const QString& path) {
    return fs::path(QDir::toNativeSeparators(path).toStdU16String());
}

[[noreturn]] void fail(const QString& what) {
    throw RunError(what);
}

[[noreturn]] void failSystem(const QString& what, const std::error_code& code) {
    fail(what + QStringLiteral(": ") + text::systemReasonAndAdvice(code) + u'.');
}

[[noreturn]] void failFile(const QString& what, const QString& why) {
    fail(what + QStringLiteral(": ") + why + u'.');
}

// ---- Checked file system calls: a call that fails is an error, never "nothing there" ----
// (The table store's I/O hooks are for the tables a run writes, not for these copies.)

enum class Kind { Missing, File, Folder, Link, Other };

Kind kindOf(const QString& path) {
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(fsPath(path), ec);
    if (ec && st.type() != fs::file_type::not_found)
        failSystem(QStringLiteral("No se puede consultar %1").arg(native(path)), ec);
    switch (st.type()) {
    case fs::file_type::not_found:
        return Kind::Missing;
    case fs::file_type::regular:
        return Kind::File;
    case fs::file_type::directory:
        return Kind::Folder;
    case fs::file_type::symlink:
        return Kind::Link;
    default:
        return Kind::Other;
    }
}

bool exists(const QString& path) {
    return kindOf(path) != Kind::Missing;
}

struct Entry {
    QString name;
    Kind kind;
};

// The entries of a folder (not following links).
QList<Entry> listFolder(const QString& folder) {
    const QString what =
        QStringLiteral("No se puede leer el contenido de la carpeta %1").arg(native(folder));
    std::error_code ec;
    fs::directory_iterator it(fsPath(folder), ec);
    if (ec)
        failSystem(what, ec);
    QList<Entry> out;
    while (it != fs::directory_iterator()) {
        const QString name = QString::fromStdU16String(it->path().filename().u16string());
        out.append({name, kindOf(join(folder, name))});
        it.increment(ec);
        if (ec)
            failSystem(what, ec);
    }
    return out;
}

void makeFolder(const QString& path) {
    std::error_code ec;
    fs::create_directories(fsPath(path), ec);
    if (ec)
        failSystem(QStringLiteral("No se puede crear la carpeta %1").arg(native(path)), ec);
}

void removeFile(const QString& path, const QString& what) {
    std::error_code ec;
    fs::remove(fsPath(path), ec);
    if (ec)
        failSystem(what, ec);
}

void renamePath(const QString& from, const QString& to) {
    std::error_code ec;
    fs::rename(fsPath(from), fsPath(to), ec);
    if (ec)
        failSystem(QStringLiteral("No se puede cambiar el nombre de %1 a %2")
                       .arg(native(from), native(to)),
                   ec);
}

QByteArray readWhole(const QString& path) {
    using tables::LockedFile;
    LockedFile f;
    QString why;
    QByteArray bytes;
    if (f.open(path, LockedFile::Lock::Shared, false, &why) != LockedFile::OpenResult::Ok ||
        !f.readAll(&bytes, &why))
        failFile(QStringLiteral("No se puede leer %1").arg(native(path)), why);
    return bytes;
}

QString checksumOf(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
}

// Read a block at a time: a large table is not held whole for its checksum.
QString checksum(const QString& path) {
    using tables::LockedFile;
    LockedFile f;
    QString why;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (f.open(path, LockedFile::Lock::Shared, false, &why) != LockedFile::OpenResult::Ok)
        failFile(QStringLiteral("No se puede leer %1").arg(native(path)), why);
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qint64 at = 0;;) {
        qint64 got = 0;
        if (!f.readAt(at, block.data(), block.size(), &got, &why))
            failFile(QStringLiteral("No se puede leer %1").arg(native(path)), why);
        hash.addData(QByteArrayView(block.constData(), got));
        at += got;
        if (got < block.size())
            break;
    }
    return QString::fromLatin1(hash.result().toHex());
}

// Writes the bytes as the whole file and pushes them to the disk.
void writeWhole(const QString& path, const QByteArray& bytes) {
    using tables::LockedFile;
    LockedFile f;
    QString why;
    const QString what = QStringLiteral("No se puede escribir %1").arg(native(path));
    if (f.open(path, LockedFile::Lock::Exclusive, true, &why) != LockedFile::OpenResult::Ok ||
        !f.replaceAll(bytes, &why)) {
        f.close();
        std::error_code ignored;
        fs::remove(fsPath(path), ignored);
        failFile(what, why);
    }
    const qint64 size = f.size(&why);
    f.close();
    if (size != bytes.size() || !syncFile(path, &why))
        failFile(what,
                 size != bytes.size() ? QStringLiteral("el archivo no ha quedado entero") : why);
}

// A bookkeeping file ends with a line holding the checksum of what comes before it: a file
// cut short, emptied or mixed with another is told from a whole one.
const QString kSeal = QStringLiteral("FIN\t");

void writeSealed(const QString& path, const QString& text) {
    const QByteArray body = text.toUtf8();
    const QByteArray bytes = body + (kSeal + checksumOf(body) + u'\n').toUtf8();
    // Under another name, read back and renamed: the name never shows a partial file.
    const QString temp = path + kNewSuffix;
    writeWhole(temp, bytes);
    if (readWhole(temp) != bytes)
        fail(QStringLiteral("No se puede escribir %1: lo que se lee no es lo que se ha escrito. "
                            "Compruebe el disco.")
                 .arg(native(path)));
    renamePath(temp, path);
    syncFolder(QFileInfo(path).path());
}

QStringList readSealed(const QString& path) {
    const QByteArray bytes = readWhole(path);
    const qsizetype seal = bytes.lastIndexOf(kSeal.toUtf8());
    const bool whole = seal >= 0 && (seal == 0 || bytes.at(seal - 1) == '\n') &&
                       bytes.mid(seal) == (kSeal + checksumOf(bytes.left(seal)) + u'\n').toUtf8();
    if (!whole)
        fail(QStringLiteral("El archivo %1 de las copias de seguridad está incompleto o dañado.")
                 .arg(native(path)));
    return QString::fromUtf8(bytes.left(seal)).split(u'\n', Qt::SkipEmptyParts);
}

// Removes a folder of the bookkeeping, renamed first: a folder half removed must not look
// like a set of copies.
void removeFolder(const QString& backup, const QString& name) {
    const QString path = join(backup, name);
    if (!exists(path))
        return;
    const QString discard = join(backup, kDiscard);
    QString doomed = path;
    if (name != kDiscard) {
        removeFolder(backup, kDiscard);
        renamePath(path, discard);
        doomed = discard;
    }
    std::error_code ec;
    fs::remove_all(fsPath(doomed), ec);
    if (ec)
        failSystem(QStringLiteral("No se puede borrar %1").arg(native(doomed)), ec);
}

// ---- The files of a table -------------------------------------------------------------

// NAME.DBF and NAME.MDX under any letter case (a case-sensitive file system may hold more
// than one spelling), out of a listing of the folder.
QList<Entry> filesOfTable(const QList<Entry>& all, const QString& table) {
    QList<Entry> found;
    for (const Entry& e : all) {
        for (const char* ext : {".DBF", ".MDX"}) {
            if (e.name.compare(table + QLatin1String(ext), Qt::CaseInsensitive) == 0)
                found << e;
        }
    }
    return found;
}

// file name -> checksum, of the files a table has now.
QMap<QString, QString> checksumsOfTable(const QString& workDir, const QList<Entry>& all,
                                        const QString& table) {
    QMap<QString, QString> sums;
    for (const Entry& e : filesOfTable(all, table))
        sums.insert(e.name, e.kind == Kind::File ? checksum(join(workDir, e.name))
                                                 : QStringLiteral("(no es un archivo)"));
    return sums;
}

// ---- What the bookkeeping records ---------------------------------------------------------

// A table of a set, its files and their checksums when the copies were taken. A table
// kept only when missing (CURSOST2) is put back only where it is missing: what the user
// typed since stays.
struct KeptTable {
    QString name;
    bool onlyIfMissing = false;
    QMap<QString, QString> files; // file name -> checksum
};

struct Manifest {
    QString folder; // the working folder as the run was given it
    QString token;  // what IDENTIDAD held
    QList<KeptTable> tables;
};

QString manifestText(const Manifest& m) {
    QString text = QStringLiteral("CARPETA\t%1\nFICHA\t%2\n").arg(m.folder, m.token);
    for (const KeptTable& t : m.tables) {
        text += QStringLiteral("TABLA\t%1\t%2\n")
                    .arg(t.name,
                         t.onlyIfMissing ? QStringLiteral("SI_FALTA") : QStringLiteral("SIEMPRE"));
        for (auto it = t.files.cbegin(); it != t.files.cend(); ++it)
            text += QStringLiteral("ARCHIVO\t%1\t%2\n").arg(it.key(), it.value());
    }
    return text;
}

Manifest readManifest(const QString& folder) {
    const QString path = join(folder, kManifest);
    Manifest m;
    for (const QString& line : readSealed(path)) {
        const QStringList p = line.split(u'\t');
        if (p.size() == 2 && p[0] == QLatin1String("CARPETA"))
            m.folder = p[1];
        else if (p.size() == 2 && p[0] == QLatin1String("FICHA"))
            m.token = p[1];
        else if (p.size() == 3 && p[0] == QLatin1String("TABLA"))
            m.tables.append({p[1], p[2] == QLatin1String("SI_FALTA"), {}});
        else if (p.size() == 3 && p[0] == QLatin1String("ARCHIVO") && !m.tables.isEmpty())
            m.tables.last().files.insert(p[1], p[2]);
        else
            fail(QStringLiteral("El archivo %1 de las copias de seguridad está dañado.")
                     .arg(native(path)));
    }
    return m;
}

// file name -> checksum, in the "ARCHIVO" lines of a sealed file.
QMap<QString, QString> fileSums(const QStringList& lines) {
    QMap<QString, QString> sums;
    for (const QString& line : lines) {
        const QStringList p = line.split(u'\t');
        if (p.size() == 3 && p[0] == QLatin1String("ARCHIVO"))
            sums.insert(p[1], p[2]);
    }
    return sums;
}

// What the tables of a set hold now, for HECHO and the journal.
QString checksumLines(const QString& workDir, const QList<Entry>& all, const QStringList& tables) {
    QString text;
    for (const QString& table : tables) {
        const QMap<QString, QString> sums = checksumsOfTable(workDir, all, table);
        for (auto it = sums.cbegin(); it != sums.cend(); ++it)
            text += QStringLiteral("ARCHIVO\t%1\t%2\n").arg(it.key(), it.value());
    }
    return text;
}

// The journal of a run: which tables it has started to rewrite ("ABIERTA") and what those
// it has finished hold ("CERRADA" followed by their files). Recovery tells by it the
// changes the run made from those made by someone else afterwards.
struct Journal {
    QSet<QString> open;
    QHash<QString, QMap<QString, QString>> closed;
};

Journal readJournal(const QString& folder) {
    Journal j;
    QString current;
    for (const QString& line : readSealed(join(folder, kJournal))) {
        const QStringList p = line.split(u'\t');
        if (p.size() == 2 && p[0] == QLatin1String("ABIERTA")) {
            j.open.insert(p[1].toUpper());
            j.closed.remove(p[1].toUpper());
        } else if (p.size() == 2 && p[0] == QLatin1String("CERRADA")) {
            current = p[1].toUpper();
            j.open.remove(current);
            j.closed[current] = {};
        } else if (p.size() == 3 && p[0] == QLatin1String("ARCHIVO") && !current.isEmpty()) {
            j.closed[current].insert(p[1], p[2]);
        }
    }
    return j;
}

// The working folder's own token, made once: copies taken in another folder (or brought in
// from one) carry another.
QString folderToken(const QString& backup, bool create) {
    const QString path = join(backup, kIdentity);
    if (exists(path)) {
        const QStringList lines = readSealed(path);
        if (!lines.isEmpty())
            return lines.first();
    }
    if (!create)
        return {};
    const QString token = QString::number(QRandomGenerator::system()->generate64(), 16) +
                          QString::number(QRandomGenerator::system()->generate64(), 16);
    writeSealed(path, token + u'\n');
    return token;
}

bool sameFolder(const QString& recorded, const QString& workDir) {
    if (recorded == workDir)
        return true;
    const QString a = QFileInfo(recorded).canonicalFilePath();
    return !a.isEmpty() && a == QFileInfo(workDir).canonicalFilePath();
}

// ---- Putting back ----------------------------------------------------------------------

enum class PutBack {
    Move, // the copies are renamed into place: no free space needed; `from` is used up
    Copy, // the copies are copied: `from` stays as it is
};

// The bytes of a file copied to another path, on the disk when it returns; their checksum.
QString copyDurably(const QString& from, const QString& to) {
    const QByteArray bytes = readWhole(from);
    writeWhole(to, bytes);
    return checksumOf(bytes);
}

// Makes the working folder's files of every table of the set those recorded in the
// manifest, then checks that they are. Can be repeated after an interruption.
void putBack(const QString& workDir, const QString& from, const Manifest& m, PutBack how) {
    const QString backup = backupFolder(workDir);
    const QList<Entry> all = listFolder(workDir);
    for (const KeptTable& t : m.tables) {
        const QList<Entry> now = filesOfTable(all, t.name);
        if (t.onlyIfMissing && !now.isEmpty())
            continue;
        for (const Entry& e : now) {
            if (!t.files.contains(e.name))
                removeFile(join(workDir, e.name),
                           QStringLiteral("No se puede borrar %1 para reponer la tabla %2")
                               .arg(native(join(workDir, e.name)), t.name));
        }
        for (auto it = t.files.cbegin(); it != t.files.cend(); ++it) {
            const QString copy = join(from, it.key());
            const QString target = join(workDir, it.key());
            if (how == PutBack::Move) {
                // Renamed over what is there: on the same disk this needs no free space.
                // A copy no longer there was moved by an attempt that was interrupted; the
                // check below tells.
                if (exists(copy))
                    renamePath(copy, target);
                continue;
            }
            const QString temp = join(backup, it.key() + kPutBack);
            copyDurably(copy, temp);
            renamePath(temp, target);
        }
    }
    syncFolder(workDir);

    // What is there now must be what was kept, byte for byte.
    const QList<Entry> after = listFolder(workDir);
    QStringList wrong;
    for (const KeptTable& t : m.tables) {
        if (t.onlyIfMissing && !filesOfTable(all, t.name).isEmpty())
            continue; // there before the put-back: kept as the user left it
        if (checksumsOfTable(workDir, after, t.name) != t.files)
            wrong << t.name;
    }
    if (!wrong.isEmpty())
        fail(QStringLiteral("Las tablas %1 no han quedado como estaban: la copia de seguridad de "
                            "%2 no coincide con lo repuesto. Las copias que quedan siguen en %2.")
                 .arg(wrong.join(QStringLiteral(", ")), native(from)));
}

// The run that wrote EN_CURSO/HECHO finished: its copies become the set to restore. The set
// they replace is only put aside until they are in place.
void promote(const QString& backup) {
    const QString previous = join(backup, kPrevious);
    if (exists(previous)) {
        removeFolder(backup, kDiscard);
        renamePath(previous, join(backup, kDiscard));
    }
    renamePath(join(backup, kInProgress), previous);
    syncFolder(backup);
    removeFolder(backup, kDiscard);
}

// The tables recovery would undo changes to that the interrupted run did not make.
QStringList changedSince(const QString& workDir, const Manifest& m, const Journal& j) {
    const QList<Entry> all = listFolder(workDir);
    QStringList changed;
    for (const KeptTable& t : m.tables) {
        if (t.onlyIfMissing)
            continue;
        const QString key = t.name.toUpper();
        if (j.open.contains(key))
            continue; // being rewritten when the run stopped: anything goes
        const QMap<QString, QString> now = checksumsOfTable(workDir, all, t.name);
        if (now.isEmpty())
            continue; // nothing there that putting it back could lose
        const bool asCopied = now == t.files;
        const bool asRunLeftIt = j.closed.contains(key) && now == j.closed.value(key);
        if (!asCopied && !asRunLeftIt)
            changed << t.name;
    }
    return changed;
}

} // namespace

QString backupFolder(const QString& workDir) {
    return tables::toolFolder(workDir);
}

// ---- The lock ----------------------------------------------------------------------

struct FolderLock::Impl {
    tables::LockedFile file;
};

FolderLock::FolderLock(const QString& workDir, Need need) : d(std::make_unique<Impl>()) {
    const QString backup = backupFolder(workDir);
    // Without the lock only where the folder cannot be written at all, which no import
    // can do either, and never over an import that did not finish. why: a sentence.
    const auto withoutLock = [&](const QString& why) {
        const bool readOnly =
            !QFileInfo(exists(backup) ? backup : workDir).isWritable() ||
            (exists(join(backup, kLockFile)) && !QFileInfo(join(backup, kLockFile)).isWritable());
        if (need == Need::IfWritable && readOnly) {
            if (exists(join(backup, kInProgress)))
                fail(QStringLiteral("La última importación en %1 no terminó y la carpeta de "
                                    "trabajo no se puede escribir, así que no se pueden reponer "
                                    "sus tablas. Dé permiso para escribir en ella y vuelva a "
                                    "empezar; no se ha hecho nada.")
                         .arg(native(workDir)));
            return;
        }
        fail(QStringLiteral("No se puede escribir en la carpeta de trabajo %1: %2 No se ha hecho "
                            "nada.")
                 .arg(native(workDir), why));
    };
    try {
        makeFolder(backup);
    } catch (const RunError& e) {
        withoutLock(e.message());
        return;
    }
    QString why;
    using tables::LockedFile;
    switch (d->file.open(join(backup, kLockFile), LockedFile::Lock::Exclusive, true, &why)) {
    case LockedFile::OpenResult::Ok:
        return;
    case LockedFile::OpenResult::Locked:
        fail(QStringLiteral("Otra transformación está usando la carpeta de trabajo %1; espere a "
                            "que termine.")
                 .arg(native(workDir)));
    case LockedFile::OpenResult::Missing:
    case LockedFile::OpenResult::Failed:
        withoutLock(
            QStringLiteral("no se puede abrir %1: %2.").arg(native(join(backup, kLockFile)), why));
        return;
    }
}

FolderLock::~FolderLock() = default;

bool FolderLock::ownsLock() const {
    return d->file.isOpen();
}

// ---- After a kill --------------------------------------------------------------------

QString finishInterrupted(const QString& workDir, bool force, bool* undone) {
    if (undone)
        *undone = false;
    const QString backup = backupFolder(workDir);
    if (!exists(backup))
        return {};
    removeFolder(backup, kDiscard);
    removeFolder(backup, kPreparing); // copies being taken: nothing was touched yet
    const QString inProgress = join(backup, kInProgress);
    if (!exists(inProgress))
        return {};
    if (exists(join(inProgress, kDone))) {
        readSealed(join(inProgress, kDone)); // whole, or the run's end is in doubt
        promote(backup);
        return QStringLiteral("La última transformación terminó, pero no llegó a ordenar sus "
                              "copias de seguridad; ya están en orden.");
    }
    const QString cannot =
        QStringLiteral("La última transformación no terminó, y sus copias de seguridad (en %1) no "
                       "se pueden usar para reponer las tablas de trabajo: %2 No se ha tocado "
                       "nada.")
            .arg(native(inProgress));
    Manifest m;
    Journal j;
    try {
        m = readManifest(inProgress);
        j = readJournal(inProgress);
    } catch (const RunError& e) {
        fail(cannot.arg(e.message()));
    }
    if (!force) {
        const QString token = folderToken(backup, false);
        if (m.token.isEmpty() || m.token != token || !sameFolder(m.folder, workDir))
            fail(QStringLiteral("La última transformación no terminó, pero sus copias de seguridad "
                                "(en %1) son de otra carpeta de trabajo (%2): no se han repuesto. "
                                "Si aun así quiere reponerlas, use «veltra-tempolan restore "
                                "--force»; si no, borre esa carpeta.")
                     .arg(native(inProgress), native(m.folder)));
        const QStringList changed = changedSince(workDir, m, j);
        if (!changed.isEmpty())
            fail(QStringLiteral("La última transformación no terminó, pero %1 ha(n) cambiado "
                                "después (quizá se ha trabajado en Tempolan): no se ha repuesto "
                                "nada. Para reponer las tablas como estaban antes de aquella "
                                "transformación, use «veltra-tempolan restore --force».")
                     .arg(changed.join(QStringLiteral(", "))));
    }
    putBack(workDir, inProgress, m, PutBack::Move);
    removeFolder(backup, kInProgress);
    if (undone)
        *undone = true;
    return QStringLiteral("La última transformación no terminó: las tablas de trabajo de %1 se "
                          "han repuesto como estaban antes de ella.")
        .arg(native(workDir));
}

// ---- Keeping a set of tables -----------------------------------------------------------

TableSafekeeping::TableSafekeeping(const QString& workDir, const QStringList& tables,
                                   const QStringList& keptIfMissing)
    : workDir_(workDir) {
    const QString backup = backupFolder(workDir_);
    makeFolder(backup);
    Manifest m;
    m.folder = workDir_;
    m.token = folderToken(backup, true);
    removeFolder(backup, kPreparing);
    const QString preparing = join(backup, kPreparing);
    makeFolder(preparing);

    const QList<Entry> all = listFolder(workDir_);
    for (const QString& table : tables + keptIfMissing) {
        KeptTable kept{table, keptIfMissing.contains(table), {}};
        for (const Entry& e : filesOfTable(all, table)) {
            const QString path = join(workDir_, e.name);
            if (e.kind == Kind::Link)
                fail(QStringLiteral("%1 es un enlace simbólico: la importación lo cambiaría por "
                                    "un archivo normal. Ponga en su lugar la tabla misma y vuelva "
                                    "a empezar; no se ha tocado nada.")
                         .arg(native(path)));
            if (e.kind != Kind::File)
                fail(QStringLiteral("%1 no es un archivo normal: no se puede usar como tabla. "
                                    "Quítelo de la carpeta de trabajo y vuelva a empezar.")
                         .arg(native(path)));
            kept.files.insert(e.name, copyDurably(path, join(preparing, e.name)));
        }
        m.tables.append(kept);
        tables_ << table;
    }
    writeSealed(join(preparing, kManifest), manifestText(m));
    writeSealed(join(preparing, kJournal), {});
    syncFolder(preparing);
    // From here on a kill leaves the marker: the next run puts these copies back.
    renamePath(preparing, join(backup, kInProgress));
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

void TableSafekeeping::beforeStep(const QStringList& tables) {
    const QString inProgress = join(backupFolder(workDir_), kInProgress);
    if (!open_.isEmpty()) {
        const QList<Entry> all = listFolder(workDir_);
        for (const QString& t : std::as_const(open_))
            journal_ += QStringLiteral("CERRADA\t%1\n").arg(t) + checksumLines(workDir_, all, {t});
    }
    open_.clear();
    for (const QString& t : tables) {
        if (tables_.contains(t, Qt::CaseInsensitive)) {
            open_ << t;
            journal_ += QStringLiteral("ABIERTA\t%1\n").arg(t);
        }
    }
    writeSealed(join(inProgress, kJournal), journal_);
}

QString TableSafekeeping::commit() {
    const QString backup = backupFolder(workDir_);
    const QString inProgress = join(backup, kInProgress);
    const Manifest m = readManifest(inProgress);
    const QList<Entry> all = listFolder(workDir_);
    QStringList always;
    for (const KeptTable& t : m.tables) {
        if (!t.onlyIfMissing)
            always << t.name;
        for (const Entry& e : filesOfTable(all, t.name)) {
            QString why;
            if (!syncFile(join(workDir_, e.name), &why))
                failFile(QStringLiteral("No se puede guardar en el disco la tabla %1")
                             .arg(native(join(workDir_, e.name))),
                         why);
        }
    }
    syncFolder(workDir_);
    writeSealed(join(inProgress, kDone), checksumLines(workDir_, all, always));
    // The run has completed: whatever fails from here on is only the tidying of copies,
    // which the next run finishes.
    done_ = true;
    try {
        promote(backup);
    } catch (const RunError& e) {
        return QStringLiteral("Las tablas de trabajo se han escrito enteras, pero no se han podido "
                              "ordenar las copias de seguridad: %1 La próxima transformación lo "
                              "terminará.")
            .arg(e.message());
    }
    return {};
}

void TableSafekeeping::rollback() {
    if (done_)
        return;
    const QString backup = backupFolder(workDir_);
    const QString inProgress = join(backup, kInProgress);
    Manifest m;
    try {
        m = readManifest(inProgress);
    } catch (const RunError& e) {
        fail(QStringLiteral("No se han repuesto las tablas de trabajo: %1 No se ha tocado nada; "
                            "las copias siguen en %2.")
                 .arg(e.message(), native(inProgress)));
    }
    putBack(workDir_, inProgress, m, PutBack::Move);
    done_ = true;
    removeFolder(backup, kInProgress);
}

// ---- restore ---------------------------------------------------------------------------

RestoreResult restoreLastImport(const QString& workDir, bool force) {
    RestoreResult r;
    const QString backup = backupFolder(workDir);
    const QString previous = join(backup, kPrevious);
    if (!exists(join(previous, kDone))) {
        r.message = QStringLiteral("No hay nada que reponer en %1: ninguna importación ha "
                                   "terminado allí desde que se guardan copias.")
                        .arg(native(workDir));
        return r;
    }
    const Manifest m = readManifest(previous);
    const QMap<QString, QString> written = fileSums(readSealed(join(previous, kDone)));
    const QList<Entry> all = listFolder(workDir);
    QStringList always;
    QStringList onlyIfMissing;
    for (const KeptTable& t : m.tables) {
        (t.onlyIfMissing ? onlyIfMissing : always) << t.name;
        r.tables << t.name;
        if (t.onlyIfMissing)
            continue;
        QMap<QString, QString> expected;
        for (auto it = written.cbegin(); it != written.cend(); ++it) {
            if (QFileInfo(it.key()).completeBaseName().compare(t.name, Qt::CaseInsensitive) == 0)
                expected.insert(it.key(), it.value());
        }
        if (checksumsOfTable(workDir, all, t.name) != expected)
            r.changed << t.name;
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
        TableSafekeeping keep(workDir, always, onlyIfMissing);
        keep.beforeStep(always + onlyIfMissing); // every table of the set is rewritten now
        putBack(workDir, previous, m, PutBack::Copy);
        if (const QString warning = keep.commit(); !warning.isEmpty())
            r.warning = warning;
    }
    r.restored = true;
    r.message = QStringLiteral("Repuestas las tablas de %1 como estaban antes de la última "
                               "importación: %2.")
                    .arg(native(workDir), r.tables.join(QStringLiteral(", ")));
    return r;
}

} // namespace run
