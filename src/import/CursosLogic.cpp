#include "import/CursosLogic.h"

#include "tables/Table.h"
#include "tables/WorkingTables.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <algorithm>
#include <utility>

using tables::FieldDef;
using tables::Table;

namespace {

const QString& kCursos = tables::CURSOST::kName;
const QString& kCursos2 = tables::CURSOST2::kName;
const QString& kClave = tables::CURSOST::CLAVE;
const QString& kEstud = tables::CURSOST::ESTUD;
const QString& kNivel = tables::CURSOST::NIVEL;
const QString& kCurso = tables::CURSOST::CURSO;

QString cursos2Path(const QString& folder) {
    return tables::tableFile(folder, kCursos2);
}

// Removes the characters U+0000 to U+0020 at both ends.
QString trimControls(const QString& s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s.at(b).unicode() <= 0x20)
        ++b;
    while (e > b && s.at(e - 1).unicode() <= 0x20)
        --e;
    return s.mid(b, e - b);
}

} // namespace

const QString CursosLogic::kRecoveryCaption =
    QStringLiteral("Recuperación de Niveles y Cursos importados anteriormente");
// Line feed, then carriage return: the order the message has always had.
const QString CursosLogic::kRecoveryText =
    QStringLiteral("Existen Niveles y Cursos ya definidos de una Importación anterior.\n\r"
                   "¿Quiere recuperar las codificaciones introducidas anteriormente?");
const QString CursosLogic::kRecoverButton = QStringLiteral("&Recuperar");
const QString CursosLogic::kNoRecoverButton =
    QStringLiteral("&No recuperar (borrar los códigos guardados)");
const QString CursosLogic::kMissingMessage = QStringLiteral("¡Atención! Falta algún Dato");

CursosLogic::CursosLogic(RunHost& host, ImportQuestions& questions, QString workDir, bool repeated)
    : host_(host), questions_(questions), workDir_(std::move(workDir)), repeated_(repeated) {}

CursosLogic::~CursosLogic() {
    // Only releases the table. Every way out of the dialog posts, where a failure is
    // reported; a row still in edit here was confirmed by nobody, and a post that failed
    // now could not be told to anyone.
    if (isEditing())
        cursos_.cancel();
}

QList<FieldDef> CursosLogic::fields() {
    return tables::CURSOST::fields();
}

bool CursosLogic::isMissing(const QString& code) {
    return trimControls(code).isEmpty();
}

bool CursosLogic::isOpen() const {
    return cursos_.isOpen();
}

void CursosLogic::notify() {
    if (changed)
        changed();
}

// ---- Showing ----

void CursosLogic::show() {
    openAndRecover([this] { return questions_.recoverSavedCodes(); });
}

void CursosLogic::recover(bool accept) {
    openAndRecover([accept] { return accept; });
}

void CursosLogic::openAndRecover(const std::function<bool()>& askRecovery) {
    if (shown_)
        return;
    shown_ = true;
    cursos_.open(workDir_, kCursos, tables::OpenMode::Shared);
    cursor_ = -1;

    if (tables::FileExists(cursos2Path(workDir_))) {
        if (askRecovery()) {
            Table saved;
            saved.open(workDir_, kCursos2, tables::OpenMode::Shared);
            for (cursos_.first(); !cursos_.atEnd(); cursos_.next()) {
                if (saved.locate(kClave, {cursos_.text(kClave)})) {
                    cursos_.edit();
                    cursos_.setText(kNivel, saved.text(kNivel));
                    cursos_.setText(kCurso, saved.text(kCurso));
                    cursos_.post();
                }
            }
            saved.close();
        } else {
            // Declining throws the saved codes away at once; the next complete OK makes
            // a new CURSOST2. The import kept a copy before its first step, which a run
            // that does not finish puts back and `restore` gives back after one that
            // does. The index file, if any, is left as it always was.
            tables::DeleteTableFile(cursos2Path(workDir_));
        }
    }
    if (repeated_)
        showForzar_ = true;
    loadRows();
    notify();
}

void CursosLogic::loadRows() {
    rows_.clear();
    if (!cursos_.isOpen())
        return;
    for (cursos_.first(); !cursos_.atEnd(); cursos_.next())
        rows_.append({cursos_.text(kClave), cursos_.text(kEstud), cursos_.text(kNivel),
                      cursos_.text(kCurso)});
    cursor_ = -1;
    if (current_ >= rows_.size())
        current_ = rows_.isEmpty() ? 0 : int(rows_.size()) - 1;
}

// ---- Moving and editing, as the grid and the navigator do ----

void CursosLogic::postPending() {
    if (cursos_.isOpen() && cursos_.isEditing())
        cursos_.post();
    editRow_ = -1;
}

void CursosLogic::goTo(int i) {
    if (cursor_ == i)
        return;
    if (editRow_ >= 0 && editRow_ != i)
        postPending();
    int from = cursor_;
    if (from < 0 || from > i) {
        cursos_.first();
        from = 0;
    }
    for (; from < i; ++from)
        cursos_.next();
    cursor_ = i;
}

bool CursosLogic::isEditing() const {
    return cursos_.isOpen() && cursos_.isEditing();
}

void CursosLogic::setCurrentRow(int i) {
    if (rows_.isEmpty()) {
        current_ = 0;
        return;
    }
    i = std::clamp(i, 0, int(rows_.size()) - 1);
    if (i != current_ && editRow_ >= 0 && editRow_ != i)
        postPending();
    current_ = i;
}

void CursosLogic::edit() {
    if (!cursos_.isOpen() || rows_.isEmpty() || isEditing())
        return;
    goTo(current_);
    cursos_.edit();
    editRow_ = current_;
}

void CursosLogic::post() {
    postPending();
}

void CursosLogic::cancel() {
    if (!isEditing())
        return;
    const int r = editRow_;
    cursos_.cancel();
    editRow_ = -1;
    if (r >= 0 && r < rows_.size()) {
        rows_[r].nivel = cursos_.text(kNivel);
        rows_[r].curso = cursos_.text(kCurso);
    }
    notify();
}

void CursosLogic::refresh() {
    if (!cursos_.isOpen())
        return;
    postPending();
    loadRows();
    notify();
}

void CursosLogic::setCode(int i, const QString& field, const QString& value) {
    if (!cursos_.isOpen() || i < 0 || i >= rows_.size())
        return;
    setCurrentRow(i);
    goTo(i);
    if (!cursos_.isEditing()) {
        cursos_.edit();
        editRow_ = i;
    }
    cursos_.setText(field, value);
    // What the table holds now (cut to the field's width).
    const QString stored = cursos_.text(field);
    if (field == kNivel)
        rows_[i].nivel = stored;
    else
        rows_[i].curso = stored;
}

void CursosLogic::setNivel(int i, const QString& value) {
    setCode(i, kNivel, value);
}

void CursosLogic::setCurso(int i, const QString& value) {
    setCode(i, kCurso, value);
}

void CursosLogic::enterGrid() {
    // An empty table has no row to edit; nothing is appended.
    if (!cursos_.isOpen() || rows_.isEmpty() || cursos_.isEditing())
        return;
    edit();
}

void CursosLogic::leaveGrid() {
    if (isEditing())
        postPending();
}

void CursosLogic::enterColumn() {
    if (!showForzar_)
        return;
    showForzar_ = false;
    notify();
}

// ---- OK and forced exit ----

bool CursosLogic::findGap() {
    bool gap = false;
    for (cursos_.first(); !cursos_.atEnd(); cursos_.next()) {
        if (isMissing(cursos_.text(kNivel)) || isMissing(cursos_.text(kCurso))) {
            gap = true;
            break;
        }
    }
    cursor_ = -1;
    return gap;
}

namespace {

// Saves the codes of CURSOST's rows into CURSOST2: a key already there gets the row's
// level and course, a new key a copy of the row.
void saveRows(const QString& workDir, Table& cursos) {
    if (!tables::FileExists(cursos2Path(workDir)))
        tables::CreateTable(workDir, kCursos2, CursosLogic::fields());
    Table saved;
    saved.open(workDir, kCursos2, tables::OpenMode::Shared);
    saved.holdWrites();
    const QList<FieldDef> all = CursosLogic::fields();
    for (cursos.first(); !cursos.atEnd(); cursos.next()) {
        if (saved.locate(kClave, {cursos.text(kClave)})) {
            saved.edit();
            saved.setText(kNivel, cursos.text(kNivel));
            saved.setText(kCurso, cursos.text(kCurso));
        } else {
            saved.append();
            for (const FieldDef& f : all)
                saved.setText(f.name, cursos.text(f.name));
        }
        saved.post();
    }
    saved.close();
}

} // namespace

void CursosLogic::saveCodes() {
    saveRows(workDir_, cursos_);
    cursor_ = -1;
}

void CursosLogic::saveTypedCodes(const QString& workDir) {
    saveTypedRows(workDir, typedRows(workDir));
}

QList<CursosLogic::Row> CursosLogic::typedRows(const QString& workDir) {
    QList<Row> rows;
    if (!tables::FileExists(tables::tableFile(workDir, kCursos)))
        return rows;
    Table cursos;
    cursos.open(workDir, kCursos, tables::OpenMode::Shared);
    for (cursos.first(); !cursos.atEnd(); cursos.next()) {
        if (!isMissing(cursos.text(kNivel)) && !isMissing(cursos.text(kCurso)))
            rows.append({cursos.text(kClave), cursos.text(kEstud), cursos.text(kNivel),
                         cursos.text(kCurso)});
    }
    cursos.close();
    return rows;
}

void CursosLogic::saveTypedRows(const QString& workDir, const QList<Row>& rows) {
    if (rows.isEmpty())
        return;
    if (!tables::FileExists(cursos2Path(workDir)))
        tables::CreateTable(workDir, kCursos2, fields());
    Table saved;
    saved.open(workDir, kCursos2, tables::OpenMode::Shared);
    saved.holdWrites();
    for (const Row& r : rows) {
        if (saved.locate(kClave, {r.clave})) {
            saved.edit();
        } else {
            saved.append();
            saved.setText(kClave, r.clave);
            saved.setText(kEstud, r.estud);
        }
        saved.setText(kNivel, r.nivel);
        saved.setText(kCurso, r.curso);
        saved.post();
    }
    saved.close();
}

void CursosLogic::confirm() {
    if (!cursos_.isOpen())
        return;
    postPending();
    if (findGap()) {
        ending = Ending::Incomplete;
        showIncidencias_ = true;
        notify();
        host_.showMessage(kMissingMessage);
        showForzar_ = true;
        notify();
    } else {
        saveCodes();
        ending = Ending::Saved;
    }
    close();
}

void CursosLogic::forceExit() {
    close();
    ending = Ending::ForcedExit;
}

void CursosLogic::close() {
    if (cursos_.isOpen()) {
        editRow_ = -1;
        cursor_ = -1;
        cursos_.close(); // posts a row left in edit
    }
}

// ---- Without a screen ----

void CursosLogic::applyCodes(const QHash<QString, Codes>& codes) {
    if (!cursos_.isOpen())
        return;
    postPending();
    for (int i = 0; i < rows_.size(); ++i) {
        const auto it = codes.constFind(rows_.at(i).clave);
        if (it == codes.constEnd())
            continue;
        setNivel(i, it->nivel);
        setCurso(i, it->curso);
        postPending();
    }
    notify();
}

QStringList CursosLogic::keysLackingCodes() const {
    QStringList keys;
    QSet<QString> seen;
    for (const Row& r : rows_) {
        if ((isMissing(r.nivel) || isMissing(r.curso)) && !seen.contains(r.clave)) {
            seen.insert(r.clave);
            keys << r.clave;
        }
    }
    return keys;
}

bool CursosLogic::completeOk() {
    if (!cursos_.isOpen())
        return false;
    postPending();
    if (findGap())
        return false;
    confirm();
    return true;
}

QHash<QString, CursosLogic::Codes> CursosLogic::savedCodes(const QString& folder) {
    QHash<QString, Codes> codes;
    if (!tables::FileExists(cursos2Path(folder)))
        return codes;
    Table saved;
    saved.open(folder, kCursos2, tables::OpenMode::Shared);
    for (saved.first(); !saved.atEnd(); saved.next()) {
        const QString key = saved.text(kClave);
        if (!codes.contains(key))
            codes.insert(key, {saved.text(kNivel), saved.text(kCurso)});
    }
    saved.close();
    return codes;
}
