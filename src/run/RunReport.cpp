#include "run/RunReport.h"

#include "run/RunHost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStringEncoder>

namespace run {

namespace {

const char* const kNames[kReportKinds] = {
    "teacher_without_employee", "entry_rejected_unit",   "entry_rejected_subject",
    "record_skipped",           "entry_without_slot",    "entry_unknown_identifier",
    "unit_without_course",      "subject_without_group",
};

QByteArray jsonString(const QString& s) {
    // A one-element array gives the escaping libraries expect; its brackets go.
    const QByteArray a = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
    return a.mid(1, a.size() - 2);
}

// "  - grupo EMPLEADOS, registro 3, profesor JGP: reason (valor «v»)": where the user
// finds the thing and what happened to it, handed piece by piece to `out`.
template <typename Out> void writeItemLine(Out& out, const ReportItem& i) {
    out(QStringView(u"  - "));
    bool first = true;
    const auto part = [&](QStringView label, QStringView value) {
        if (!first)
            out(QStringView(u", "));
        first = false;
        out(label);
        out(value);
    };
    if (!i.group.isEmpty())
        part(u"grupo ", i.group);
    if (!i.table.isEmpty())
        part(u"tabla ", i.table);
    if (i.record > 0)
        part(u"registro ", QString::number(i.record));
    if (!i.teacher.isEmpty())
        part(u"profesor ", i.teacher);
    out(QStringView(u": "));
    out(i.reason);
    if (!i.value.isEmpty()) {
        out(QStringView(u" (valor «"));
        out(i.value);
        out(QStringView(u"»)"));
    }
}

// A cause's text for `count` items: "%n" takes the count; with a single item the
// bracketed count at its end, " (%n materias)", goes, as there is nothing to count.
QString causeText(const QString& cause, int count) {
    if (count == 1) {
        const qsizetype at = cause.lastIndexOf(QLatin1String(" (%n "));
        if (at >= 0 && cause.endsWith(u')'))
            return cause.left(at);
    }
    QString t = cause;
    return t.replace(QLatin1String("%n"), QString::number(count));
}

// An item without a cause of its own is told by its reason and value.
QString ownCause(const ReportItem& i) {
    QString t = i.reason;
    if (!i.value.isEmpty())
        t += QStringLiteral(" («%1»)").arg(i.value);
    if (!t.isEmpty())
        t[0] = t.at(0).toUpper();
    return t;
}

} // namespace

std::vector<ReportKind> kindsOf(const QString& run) {
    using K = ReportKind;
    if (run == QLatin1String("import"))
        return {K::RecordSkipped, K::UnitWithoutCourse, K::SubjectWithoutGroup};
    return {K::TeacherWithoutEmployee, K::EntryRejectedUnit, K::EntryRejectedSubject,
            K::EntryWithoutSlot, K::EntryUnknownIdentifier};
}

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

std::vector<ReportCause> RunReport::causes() const {
    struct Found {
        ReportCause cause;
        QString raw;   // the cause's text before its count is put in
        QString topic; // its heading's text, likewise
    };
    std::vector<Found> out;
    QHash<QString, size_t> at; // "0"/"1" for left out or not, then the cause
    for (const bool leftOutItems : {true, false}) {
        for (const ReportItem& i : items_) {
            if (isLeftOut(i.kind) != leftOutItems)
                continue;
            const QString cause = i.cause.isEmpty() ? ownCause(i) : i.cause;
            const QString key = (leftOutItems ? QStringLiteral("1") : QStringLiteral("0")) + cause;
            const auto found = at.constFind(key);
            if (found != at.constEnd()) {
                ++out[*found].cause.count;
                continue;
            }
            at.insert(key, out.size());
            out.push_back({{QString(), i.kind, 1}, cause, i.topic});
        }
    }
    // Causes under one heading together, where the heading first comes.
    std::vector<ReportCause> sorted;
    QHash<QString, int> underTopic;
    for (const Found& f : out)
        if (!f.topic.isEmpty())
            ++underTopic[f.topic];
    std::vector<bool> taken(out.size(), false);
    for (size_t k = 0; k < out.size(); ++k) {
        if (taken[k])
            continue;
        for (size_t j = k; j < out.size(); ++j) {
            if (taken[j] ||
                (j != k && (out[k].topic.isEmpty() || out[j].topic != out[k].topic ||
                            isLeftOut(out[j].cause.kind) != isLeftOut(out[k].cause.kind))))
                continue;
            taken[j] = true;
            ReportCause c = out[j].cause;
            c.text = causeText(out[j].raw, c.count);
            if (!out[j].topic.isEmpty())
                c.topic = causeText(out[j].topic, underTopic.value(out[j].topic));
            sorted.push_back(std::move(c));
        }
    }
    return sorted;
}

int RunReport::causesToReview() const {
    int n = 0;
    QString lastTopic;
    for (const ReportCause& c : causes()) {
        if (c.topic.isEmpty() || c.topic != lastTopic)
            ++n;
        lastTopic = c.topic;
    }
    return n;
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
    out += "}, \"causes\": [";
    first = true;
    for (const ReportCause& c : causes()) {
        out += first ? "\n  {" : ",\n  {";
        first = false;
        out += "\"cause\": " + jsonString(c.text);
        if (!c.topic.isEmpty())
            out += ", \"topic\": " + jsonString(c.topic);
        out += ", \"kind\": " + jsonString(kindName(c.kind)) +
               ", \"count\": " + QByteArray::number(c.count) + "}";
    }
    out += first ? "], \"items\": [" : "\n], \"items\": [";
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
    const int causes = report.causesToReview();
    QString t = causes == 1 ? QStringLiteral("1 aviso que conviene revisar")
                            : QStringLiteral("%1 avisos que conviene revisar").arg(causes);
    if (const int n = report.leftOut(); n == 1)
        t += QStringLiteral(" (1 elemento no se ha transferido)");
    else if (n > 1)
        t += QStringLiteral(" (%1 elementos no se han transferido)").arg(n);
    return t;
}

namespace {

// The text report, handed piece by piece to `out` (a callable taking a QStringView): the
// same pieces build the string and go straight to the file, which then never holds the
// whole text at once.
template <typename Out> void writeText(const RunReport& r, Out&& out) {
    const bool import = r.run == QLatin1String("import");
    out(import ? QStringView(u"Informe de la importación del documento de VELTRA\n")
               : QStringView(u"Informe de la exportación de horarios a VELTRA\n"));
    // The name only: the report lies beside the document, wherever the folder is moved.
    out(QStringView(u"Documento: "));
    out(QFileInfo(r.document).fileName());
    out(QStringView(u"\n"));
    out(summarySentence(r));
    out(QStringView(u".\n"));
    // First what the school must look at, one line a cause in its own terms; then every
    // item with its table, field and identifiers, for whoever has to find it.
    const std::vector<ReportCause> all = r.causes();
    const auto causeSection = [&](bool leftOutCauses, QStringView title) {
        bool any = false;
        QString lastTopic;
        for (const ReportCause& c : all) {
            if (isLeftOut(c.kind) != leftOutCauses)
                continue;
            if (!any) {
                out(QStringView(u"\n"));
                out(title);
                out(QStringView(u"\n"));
            }
            any = true;
            if (c.topic.isEmpty()) {
                out(QStringView(u"  - "));
                out(c.text);
                out(QStringView(u"\n"));
                lastTopic.clear();
                continue;
            }
            if (c.topic != lastTopic) {
                out(QStringView(u"  - "));
                out(c.topic);
                out(QStringView(u":\n"));
            }
            lastTopic = c.topic;
            out(QStringView(u"      · "));
            out(c.text);
            out(QStringView(u"\n"));
        }
    };
    causeSection(true, u"No se ha transferido:");
    causeSection(false, u"Conviene revisar:");
    out(QStringView(u"\n\nEn detalle (tablas, campos e identificadores):\n"));
    const auto section = [&](bool leftOutItems, QStringView title) {
        if ((leftOutItems ? r.leftOut() : r.warnings()) == 0)
            return;
        out(QStringView(u"\n"));
        out(title);
        out(QStringView(u"\n"));
        for (const ReportItem& i : r.items()) {
            if (isLeftOut(i.kind) == leftOutItems) {
                writeItemLine(out, i);
                out(QStringView(u"\n"));
            }
        }
    };
    section(true, u"No se han transferido:");
    section(false, u"Avisos (se han transferido, pero revíselos):");
}

} // namespace

QString RunReport::toText() const {
    // Room for every line at once: growing a string this long step by step copies it over
    // and over.
    qsizetype room = 1024;
    for (const ReportItem& i : items_)
        room += 64 + i.reason.size() + i.cause.size() + i.group.size() + i.table.size() +
                i.teacher.size() + i.value.size();
    QString t;
    t.reserve(room);
    writeText(*this, [&t](QStringView piece) { t += piece; });
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
    // Written as it is made, a buffer at a time: a report may run to many megabytes. A line
    // feed is one byte in UTF-8, never part of another character: the line ends are made
    // Windows ones on the bytes.
    QSaveFile f(path);
    bool ok = f.open(QIODevice::WriteOnly);
    QStringEncoder utf8(QStringEncoder::Utf8);
    QByteArray buffer("\xEF\xBB\xBF"); // the byte order mark, then the text
    constexpr qsizetype kFlushAt = 64 * 1024;
    buffer.reserve(kFlushAt + 1024);
    const auto flush = [&] {
        if (ok && !buffer.isEmpty()) {
            buffer.replace('\n', "\r\n");
            ok = f.write(buffer) == buffer.size();
        }
        buffer.truncate(0);
    };
    writeText(report, [&](QStringView piece) {
        const qsizetype at = buffer.size();
        buffer.resize(at + utf8.requiredSpace(piece.size()));
        buffer.truncate(utf8.appendToBuffer(buffer.data() + at, piece) - buffer.data());
        if (buffer.size() >= kFlushAt)
            flush();
    });
    flush();
    if (ok)
        ok = f.commit();
    const QString native = QDir::toNativeSeparators(path);
    if (!ok)
        return summarySentence(report) +
               QStringLiteral(".\nNo se ha podido escribir el informe:\n%1\nCompruebe que se "
                              "puede escribir en esa carpeta.")
                   .arg(native);
    return summarySentence(report) + QStringLiteral(". Detalles en el informe:\n%1").arg(native);
}

QString finishReport(RunHost& host, const RunReport& report, const QString& detail) {
    if (report.run.isEmpty())
        return detail;
    const QString sentence = publishReport(report);
    host.runReported(report, sentence);
    if (sentence.isEmpty())
        return detail;
    return detail.isEmpty() ? sentence : detail + QStringLiteral("\n\n") + sentence;
}

} // namespace run
