#include "tables/Table.h"

#include "tables/FieldCodec.h"
#include "tables/TableFiles.h"
#include "tables/TableIo.h"
#include "tables/TablePrivate.h"
#include "text/RunError.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <limits>
#include <mutex>

namespace tables {

using detail::DbfField;
using detail::LockKind;
using detail::NativeFile;

namespace {

// How many bytes of streamed records are written at once (writeThrough).
constexpr std::size_t kStreamBlock = 256 * 1024;

FieldType publicType(const DbfField& f) {
    switch (f.type) {
    case 'I':
    case '+':
        return FieldType::Integer;
    case 'O':
    case 'F':
        return FieldType::Float;
    case 'N':
        return f.decimals == 0 ? FieldType::Integer : FieldType::Float;
    case 'L':
        return FieldType::Boolean;
    default:
        return FieldType::Text;
    }
}

// The open tables holding rows back (holdWrites), so that opening the same file again in
// this program first writes them: whatever opens a file reads it whole.
class Holders {
public:
    static Holders& instance() {
        static Holders holders;
        return holders;
    }
    void add(TablePrivate* t) {
        const std::lock_guard lock(mutex_);
        if (std::find(list_.begin(), list_.end(), t) == list_.end())
            list_.push_back(t);
    }
    void remove(TablePrivate* t) {
        const std::lock_guard lock(mutex_);
        list_.erase(std::remove(list_.begin(), list_.end(), t), list_.end());
    }
    void writeRowsOf(const QString& path) {
        const std::lock_guard lock(mutex_);
        if (list_.empty())
            return;
        const QString wanted = QFileInfo(path).canonicalFilePath();
        for (TablePrivate* t : list_) {
            if (t->isOpen() && QFileInfo(t->file.path()).canonicalFilePath() == wanted)
                t->writeHeld();
        }
    }

private:
    std::mutex mutex_;
    std::vector<TablePrivate*> list_;
};

} // namespace

// ---------------------------------------------------------------------------------------
// TablePrivate: the file and the cursor

TablePrivate::~TablePrivate() {
    Holders::instance().remove(this);
}

void notOpen(const TablePrivate* d) {
    const QString name = d ? d->name : QString();
    throw RunError(name.isEmpty() ? QStringLiteral("La tabla no está abierta.")
                                  : QStringLiteral("La tabla %1 no está abierta.").arg(name));
}

void TablePrivate::reset() {
    if (holding)
        Holders::instance().remove(this);
    holding = false;
    written = 0;
    streaming = false;
    onDisk = 0;
    pending = {};
    file.close();
    layout = {};
    store = {};
    index.clear();
    byName.clear();
    plainNames.clear();
    foreignField = -1;
    pos = -1;
    eof = true;
    state = State::Browse;
    buffer.clear();
    postFailed = false;
}

int TablePrivate::lookUp(const QString& fieldName) const {
    const auto it = byName.constFind(fieldName.trimmed().toUpper());
    if (it == byName.constEnd())
        throw RunError(QStringLiteral("La tabla %1 no tiene el campo %2.").arg(name, fieldName));
    return it.value();
}

void TablePrivate::notEditing() const {
    throw RunError(QStringLiteral("Dataset not in edit or insert mode"));
}

void TablePrivate::autoNumbered(const DbfField& f) const {
    detail::wrongKind(f, name, QStringLiteral("valores: se numera solo"));
}

void TablePrivate::requireWritable() const {
    if (foreignField < 0)
        return;
    const DbfField& f = layout.fields[foreignField];
    throw RunError(QStringLiteral("No se pueden añadir ni modificar filas de la tabla %1: su campo "
                                  "%2 es de un tipo que este programa no maneja (%3); la tabla "
                                  "solo se puede leer.")
                       .arg(name, f.name, QString(QChar::fromLatin1(f.type))));
}

QString TablePrivate::openFile(const QString& folder, const QString& tableName, OpenMode mode) {
    name = detail::baseName(tableName);
    const QString path = detail::findFile(folder, name + QLatin1String(".DBF"));
    if (path.isEmpty())
        throw RunError(QStringLiteral("No existe la tabla %1 en la carpeta %2.")
                           .arg(name, QDir::toNativeSeparators(folder)));
    Holders::instance().writeRowsOf(path);
    QString error;
    const bool exclusive = mode == OpenMode::Exclusive;
    switch (file.open(path, exclusive ? LockKind::Exclusive : LockKind::Shared, false, &error)) {
    case NativeFile::OpenResult::Ok:
        break;
    case NativeFile::OpenResult::Locked:
        throw RunError(exclusive
                           ? QStringLiteral("No se puede abrir la tabla %1 en exclusiva: otro "
                                            "programa la está usando.")
                                 .arg(name)
                           : QStringLiteral("No se puede abrir la tabla %1: otro programa la "
                                            "tiene abierta en exclusiva.")
                                 .arg(name));
    case NativeFile::OpenResult::Missing:
        throw RunError(QStringLiteral("No existe la tabla %1 en la carpeta %2.")
                           .arg(name, QDir::toNativeSeparators(folder)));
    case NativeFile::OpenResult::Failed:
        throw RunError(QStringLiteral("No se puede abrir la tabla %1 (%2): %3.")
                           .arg(name, QDir::toNativeSeparators(path), error));
    }
    return path;
}

void TablePrivate::load(const QString& folder, const QString& tableName, OpenMode mode) {
    reset();
    const QString path = openFile(folder, tableName, mode);
    try {
        QString error;
        QByteArray bytes;
        if (!file.readAll(&bytes, &error))
            throw RunError(QStringLiteral("No se puede leer la tabla %1 (%2): %3.")
                               .arg(name, QDir::toNativeSeparators(path), error));
        layout = detail::parseHeader(bytes, QDir::toNativeSeparators(path));
        written = layout.recordCount;
        const int n = recLen();
        store.recordLength = n;
        bytes.truncate(qint64(layout.headerLength) + qint64(layout.recordCount) * n);
        store.bytes = std::move(bytes);
        store.start = layout.headerLength;
        store.rows.reserve(layout.recordCount);
        for (quint32 r = 0; r < layout.recordCount; ++r) {
            if (*store.recordAt(r) != detail::kDeletedFlag)
                store.rows.push_back(r);
        }
        for (int i = 0; i < int(layout.fields.size()); ++i) {
            byName.insert(layout.fields[i].name.toUpper(), i);
            if (foreignField < 0 && !detail::knownType(layout.fields[i].type))
                foreignField = i;
        }
        for (auto it = byName.cbegin(); it != byName.cend(); ++it) {
            if (it.key() == it.key().trimmed())
                plainNames.emplace_back(it.key(), it.value());
        }
        // In field order, so the fields a row is filled with are met first.
        std::sort(plainNames.begin(), plainNames.end(),
                  [](const auto& a, const auto& b) { return a.second < b.second; });
        detail::putDate(headerStamp, QDate::currentDate());
        first();
    } catch (...) {
        reset();
        throw;
    }
}

void TablePrivate::first() {
    pos = index.first();
    eof = pos < 0;
}

void TablePrivate::writeFailed(const QString& why) const {
    throw RunError(
        QStringLiteral("No se pudo escribir en la tabla %1 (%2): %3.").arg(name, file.path(), why));
}

void TablePrivate::write(qint64 offset, const char* data, qint64 size) {
    QString error;
    if (!file.writeAt(offset, data, size, &error)) {
        postFailed = true;
        writeFailed(error);
    }
}

void TablePrivate::post() {
    if (state == State::Browse)
        return;
    const int n = recLen();
    if (state == State::Insert) {
        const quint32 recNo = layout.recordCount;
        if (recNo == std::numeric_limits<quint32>::max() ||
            store.rows.size() >= std::size_t(std::numeric_limits<int>::max()))
            throw RunError(QStringLiteral("La tabla %1 está llena.").arg(name));
        for (DbfField& f : layout.fields) {
            if (f.type == '+')
                detail::encodeLong(buffer.data() + f.offset,
                                   qint32(qMax<quint32>(f.nextAutoinc, 1)));
        }
        if (!holding) {
            // The record and the end byte first, then the count: a program that dies in
            // between leaves a readable table that simply lacks the last row.
            scratch.assign(buffer.begin(), buffer.end());
            scratch.push_back(detail::kFileEnd);
            write(qint64(layout.headerLength) + qint64(recNo) * n, scratch.data(),
                  qint64(scratch.size()));
            detail::putLe32(headerStamp + 3, recNo + 1);
            write(1, headerStamp, sizeof headerStamp);
        }
        for (DbfField& f : layout.fields) {
            if (f.type != '+')
                continue;
            f.nextAutoinc = qMax<quint32>(f.nextAutoinc, 1) + 1;
            if (holding)
                continue;
            char b[4];
            detail::putLe32(b, f.nextAutoinc);
            write(f.descriptorPos + 40, b, 4);
        }
        if (!holding)
            written = recNo + 1;
        layout.recordCount = recNo + 1;
        if (streaming) {
            pending.insert(pending.end(), buffer.begin(), buffer.end());
            state = State::Browse;
            if (pending.size() >= kStreamBlock)
                writePending();
            postFailed = false;
            return;
        }
        store.bytes.append(buffer.data(), n);
        store.rows.push_back(recNo);
        const int ordinal = store.count() - 1;
        index.appended(ordinal);
        pos = ordinal;
        eof = false;
    } else {
        const quint32 recNo = store.rows[pos];
        if (recNo < written) // a held row is written with the others
            write(qint64(layout.headerLength) + qint64(recNo) * n, buffer.data(), n);
        char* stored = store.record(pos);
        index.changing(pos, stored, buffer.data());
        std::memcpy(stored, buffer.data(), n);
    }
    state = State::Browse;
    postFailed = false;
}

// The held records and the end byte first, then the count: a program that dies in between
// leaves a readable table that simply lacks the held rows.
void TablePrivate::writeHeld() {
    const quint32 count = layout.recordCount;
    if (count == written)
        return;
    const int n = recLen();
    if (streaming) {
        writePending();
    } else {
        const qint64 from = qint64(written) * n;
        write(qint64(layout.headerLength) + from, store.recordAt(written),
              qint64(count - written) * n);
    }
    const char end = detail::kFileEnd;
    write(qint64(layout.headerLength) + qint64(count) * n, &end, 1);
    detail::putLe32(headerStamp + 3, count);
    write(1, headerStamp, sizeof headerStamp);
    for (const DbfField& f : layout.fields) {
        if (f.type != '+')
            continue;
        char b[4];
        detail::putLe32(b, f.nextAutoinc);
        write(f.descriptorPos + 40, b, 4);
    }
    written = count;
    postFailed = false;
}

// The streamed records not yet in the file, after those that are; the header still
// counts only the ones it counted.
void TablePrivate::writePending() {
    if (pending.empty())
        return;
    const int n = recLen();
    write(qint64(layout.headerLength) + qint64(onDisk) * n, pending.data(), qint64(pending.size()));
    onDisk += quint32(pending.size() / std::size_t(n));
    pending.clear();
}

void TablePrivate::blankRow() {
    buffer.assign(recLen(), ' ');
    for (const DbfField& f : layout.fields) {
        if (f.type == 'I' || f.type == '+' || f.type == 'O')
            std::memset(buffer.data() + f.offset, 0, f.length);
    }
}

// ---------------------------------------------------------------------------------------
// Counting rows

int CountRows(const QString& folder, const QString& name) {
    if (detail::ioHooks().read) { // a test keeps the tables' bytes: read as open reads
        Table t;
        t.open(folder, name, OpenMode::Shared);
        return t.rowCount();
    }
    TablePrivate d;
    const QString shown = QDir::toNativeSeparators(d.openFile(folder, name, OpenMode::Shared));
    QString error;
    const auto failed = [&] {
        throw RunError(
            QStringLiteral("No se puede leer la tabla %1 (%2): %3.").arg(d.name, shown, error));
    };
    const qint64 size = d.file.size(&error);
    if (size < 0)
        failed();
    // The header is at most 64 KB; the records follow, a block of about a megabyte at a time.
    QByteArray block(qMin<qint64>(size, 0x10000), '\0');
    qint64 got = 0;
    if (!d.file.nativeReadAt(0, block.data(), block.size(), &got, &error))
        failed();
    block.truncate(got);
    const detail::DbfLayout layout = detail::parseHeader(block, size, shown);
    const qint64 n = layout.recordLength;
    const qint64 perBlock = qMax<qint64>(1, (qint64(1) << 20) / n);
    block.resize(perBlock * n);
    int rows = 0;
    for (quint32 r = 0; r < layout.recordCount;) {
        const qint64 want = qMin<qint64>(perBlock, layout.recordCount - r);
        if (!d.file.nativeReadAt(layout.headerLength + qint64(r) * n, block.data(), want * n, &got,
                                 &error))
            failed();
        if (got < want * n) {
            error = QStringLiteral("el archivo terminó antes que sus registros");
            failed();
        }
        for (qint64 i = 0; i < want; ++i) {
            if (block.at(i * n) != detail::kDeletedFlag)
                ++rows;
        }
        r += quint32(want);
    }
    return rows;
}

// ---------------------------------------------------------------------------------------
// Table

Table::Table() : d(std::make_unique<TablePrivate>()) {}

Table::~Table() {
    // Rows whose writing already failed are not tried again while unwinding from that
    // error.
    if (d && d->postFailed) {
        d->reset();
        return;
    }
    try {
        close();
    } catch (...) {
        // A row that cannot be written at this point is lost; the error was the caller's
        // to see had it closed the table itself.
    }
}

Table::Table(Table&&) noexcept = default;

Table& Table::operator=(Table&& other) noexcept {
    if (this != &other) {
        try {
            close();
        } catch (...) {
        }
        d = std::move(other.d);
    }
    return *this;
}

void Table::open(const QString& folder, const QString& name, OpenMode mode) {
    close();
    if (!d)
        d = std::make_unique<TablePrivate>();
    d->load(folder, name, mode);
}

void Table::close() {
    if (!d || !d->isOpen())
        return;
    try {
        d->post();
        d->writeHeld();
    } catch (...) {
        d->reset();
        throw;
    }
    d->reset();
}

void Table::holdWrites() {
    VT_REQUIRE_OPEN();
    if (d->holding)
        return;
    d->holding = true;
    Holders::instance().add(d.get());
}

void Table::writeThrough() {
    VT_REQUIRE_OPEN();
    d->post();
    if (d->streaming)
        return;
    holdWrites();
    // Rows held so far go first, so the file's records stay in table order.
    d->writeHeld();
    d->onDisk = d->written;
    d->streaming = true;
}

void Table::writeHeld() {
    VT_REQUIRE_OPEN();
    d->post();
    d->writeHeld();
}

bool Table::isOpen() const {
    return d && d->isOpen();
}

QString Table::name() const {
    return d ? d->name : QString();
}

QList<FieldDef> Table::fields() const {
    VT_REQUIRE_OPEN();
    QList<FieldDef> out;
    for (const DbfField& f : d->layout.fields) {
        const FieldType t = publicType(f);
        out.append(FieldDef{f.name, t, t == FieldType::Text ? f.length : 0});
    }
    return out;
}

QList<StoredField> Table::storedFields() const {
    VT_REQUIRE_OPEN();
    QList<StoredField> out;
    for (const DbfField& f : d->layout.fields)
        out.append(StoredField{f.name, f.type, f.length, f.decimals});
    return out;
}

int Table::versionByte() const {
    VT_REQUIRE_OPEN();
    return d->layout.version;
}

void Table::append() {
    VT_REQUIRE_OPEN();
    d->post();
    d->requireWritable();
    d->blankRow();
    d->state = TablePrivate::State::Insert;
    d->postFailed = false;
}

void Table::edit() {
    VT_REQUIRE_OPEN();
    if (d->state != TablePrivate::State::Browse)
        return;
    if (d->pos < 0) {
        append(); // nothing to edit in an empty table: the engine appends instead
        return;
    }
    d->requireWritable();
    const char* row = d->store.record(d->pos);
    d->buffer.assign(row, row + d->recLen());
    d->state = TablePrivate::State::Edit;
}

void Table::post() {
    VT_REQUIRE_OPEN();
    d->post();
}

void Table::cancel() {
    VT_REQUIRE_OPEN();
    d->state = TablePrivate::State::Browse;
    d->buffer.clear();
    d->postFailed = false;
}

bool Table::isEditing() const {
    return isOpen() && d->state != TablePrivate::State::Browse;
}

void Table::first() {
    VT_REQUIRE_OPEN();
    d->post();
    d->first();
}

void Table::next() {
    VT_REQUIRE_OPEN();
    d->post();
    if (d->eof)
        return;
    const int n = d->index.next(d->pos);
    if (n < 0)
        d->eof = true; // the last row stays current, as the engine keeps it
    else
        d->pos = n;
}

bool Table::atEnd() const {
    VT_REQUIRE_OPEN();
    return d->eof;
}

} // namespace tables
