#include "run/RunReport.h"

#include "run/RunHost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStringEncoder>
#include <cstring>

namespace run {

namespace {

const char* const kNames[kReportKinds] = {
    "teacher_without_employee", "entry_rejected_unit",   "entry_rejected_subject",
    "record_skipped",           "entry_without_slot",    "entry_unknown_identifier",
    "unit_without_course",      "subject_without_group",
};

// The kinds each run can report, in the order the counts are written.
std::vector<ReportKind> kindsOf(const QString& run) {
    using K = ReportKind;
    if (run == QLatin1String("import"))
        return {K::RecordSkipped, K::UnitWithoutCourse, K::SubjectWithoutGroup};
    return {K::TeacherWithoutEmployee, K::EntryRejectedUnit, K::EntryRejectedSubject,
            K::EntryWithoutSlot, K::EntryUnknownIdentifier};
}

QByteArray jsonString(const QString& s) {
    // A one-element array gives the escaping libraries expect; its brackets go.
    const QByteArray a = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
    return a.mid(1, a.size() - 2);
}

// "  - grupo EMPLEADOS, registro 3, profesor JGP: reason (valor «v»)": where the user
// finds the thing and what happened to it. Appended piece by piece: a report may have
// thousands of lines.
void appendItemLine(QString& t, const ReportItem& i) {
    t += QStringView(u"  - ");
    bool first = true;
    const auto part = [&](QStringView label, QStringView value) {
        if (!first)
            t += QStringView(u", ");
        first = false;
        t += label;
        t += value;
    };
    if (!i.group.isEmpty())
        part(u"grupo ", i.group);
    if (!i.table.isEmpty())
        part(u"tabla ", i.table);
    if (i.record > 0)
        part(u"registro ", QString::number(i.record));
    if (!i.teacher.isEmpty())
        part(u"profesor ", i.teacher);
    t += QStringView(u": ");
    t += i.reason;
    if (!i.value.isEmpty()) {
        t += QStringView(u" (valor «");
        t += i.value;
        t += QStringView(u"»)");
    }
}

} // namespace

QString kindName(ReportKind kind) {
    return QString::fromLatin1(kNames[int(kind)]);
}

bool isLeftOut(ReportKind kind) {
    return int(kind) <= int(ReportKind::RecordSkipped);
}

void RunReport::add(ReportItem item) {
    ++counts_[size_t(item.kind)];
    items_.push_back(std::move(item));
}

int RunReport::leftOut() const {
    int n = 0;
    for (int k = 0; k < kReportKinds; ++k)
        n += isLeftOut(ReportKind(k)) ? counts_[size_t(k)] : 0;
    return n;
}

int RunReport::warnings() const {
    return int(items_.size()) - leftOut();
}

QByteArray RunReport::toJson() const {
    QByteArray out = "{\"run\": " + jsonString(run) +
                     ", \"document\": " + jsonString(QDir::toNativeSeparators(document)) +
                     ", \"counts\": {";
    bool first = true;
    for (ReportKind k : kindsOf(run)) {
        out += (first ? "" : ", ") + jsonString(kindName(k)) + ": " + QByteArray::number(count(k));
        first = false;
    }
    out += "}, \"items\": [";
    first = true;
    for (const ReportItem& i : items_) {
        out += first ? "\n  {" : ",\n  {";
        first = false;
        out += "\"kind\": " + jsonString(kindName(i.kind));
        out += ", \"reason\": " + jsonString(i.reason);
        if (!i.group.isEmpty())
            out += ", \"group\": " + jsonString(i.group);
        if (!i.table.isEmpty())
            out += ", \"table\": " + jsonString(i.table);
        if (i.record > 0)
            out += ", \"record\": " + QByteArray::number(i.record);
        if (!i.teacher.isEmpty())
            out += ", \"teacher\": " + jsonString(i.teacher);
        if (!i.value.isEmpty())
            out += ", \"value\": " + jsonString(i.value);
        out += "}";
    }
    out += items_.empty() ? "]}\n" : "\n]}\n";
    return out;
}

QString summarySentence(const RunReport& report) {
    return QStringLiteral("%1 elementos no se han transferido y %2 avisos")
        .arg(report.leftOut())
        .arg(report.warnings());
}

QString RunReport::toText() const {
    const bool import = run == QLatin1String("import");
    QString t = import ? QStringLiteral("Informe de la importación del documento de VELTRA\n")
                       : QStringLiteral("Informe de la exportación de horarios a VELTRA\n");
    // The name only: the report lies beside the document, wherever the folder is moved.
    t += QStringLiteral("Documento: %1\n").arg(QFileInfo(document).fileName());
    t += summarySentence(*this) + QStringLiteral(".\n");
    // Room for every line at once: growing a string this long step by step copies it over
    // and over.
    qsizetype room = t.size() + 200;
    for (const ReportItem& i : items_)
        room += 64 + i.reason.size() + i.group.size() + i.table.size() + i.teacher.size() +
                i.value.size();
    t.reserve(room);
    const auto section = [&](bool leftOutItems, const QString& title) {
        if ((leftOutItems ? leftOut() : warnings()) == 0)
            return;
        t += QStringLiteral("\n") + title + QStringLiteral("\n");
        for (const ReportItem& i : items_) {
            if (isLeftOut(i.kind) == leftOutItems) {
                appendItemLine(t, i);
                t += u'\n';
            }
        }
    };
    section(true, QStringLiteral("No se han transferido:"));
    section(false, QStringLiteral("Avisos (se han transferido, pero revíselos):"));
    return t;
}

QString RunReport::textPath() const {
    const QFileInfo fi(document);
    QString base = fi.fileName();
    if (base.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
        base.chop(4);
    const QString prefix = run == QLatin1String("import") ? QStringLiteral("InformeImportacion")
                                                          : QStringLiteral("ResultadoTempolan");
    return fi.dir().filePath(prefix + base + QStringLiteral(".txt"));
}

QString publishReport(const RunReport& report) {
    const QString path = report.textPath();
    if (report.empty()) {
        // An older report would describe another run.
        QFile::remove(path);
        return {};
    }
    // A line feed is one byte in UTF-8, never part of another character: the line ends are
    // made Windows ones on the bytes.
    const QString text = report.toText();
    QStringEncoder utf8(QStringEncoder::Utf8);
    QByteArray bytes(3 + utf8.requiredSpace(text.size()), Qt::Uninitialized);
    std::memcpy(bytes.data(), "\xEF\xBB\xBF", 3); // the byte order mark, then the text
    bytes.truncate(utf8.appendToBuffer(bytes.data() + 3, text) - bytes.data());
    bytes.replace('\n', "\r\n");
    QSaveFile f(path);
    bool ok = f.open(QIODevice::WriteOnly);
    if (ok)
        ok = f.write(bytes) == bytes.size() && f.commit();
    const QString native = QDir::toNativeSeparators(path);
    if (!ok)
        return summarySentence(report) +
               QStringLiteral("; no se ha podido escribir el informe %1: compruebe que se "
                              "puede escribir en esa carpeta")
                   .arg(native);
    return summarySentence(report) + QStringLiteral("; detalles en %1").arg(native);
}

QString finishReport(RunHost& host, const RunReport& report, const QString& detail) {
    if (report.run.isEmpty())
        return detail;
    const QString sentence = publishReport(report);
    host.runReported(report, sentence);
    if (sentence.isEmpty())
        return detail;
    return detail.isEmpty() ? sentence : detail + QStringLiteral("\n") + sentence;
}

} // namespace run
