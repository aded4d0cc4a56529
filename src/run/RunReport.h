#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <vector>

class RunHost;

// What a completed run left out or filled with a default, noted as the run goes, so that
// a school can tell why something is missing in the other program. The tables and the
// documents a run writes never depend on it.
namespace run {

enum class ReportKind {
    // left out: not transferred
    TeacherWithoutEmployee,
    EntryRejectedUnit,
    EntryRejectedSubject,
    RecordSkipped,
    // written, with a warning
    EntryWithoutSlot,
    EntryUnknownIdentifier,
    UnitWithoutCourse,
    SubjectWithoutGroup,
};
inline constexpr int kReportKinds = 8;

// "teacher_without_employee", ...: the kind's name in the JSON report.
QString kindName(ReportKind kind);
// Whether the kind counts as left out (otherwise it is a warning).
bool isLeftOut(ReportKind kind);

// The kinds a run ("import" or "export") can report, in the order its counts are written.
std::vector<ReportKind> kindsOf(const QString& run);

struct ReportItem {
    ReportKind kind = ReportKind::RecordSkipped;
    QString reason;  // in Spanish, for the user
    QString group;   // data group of the document, or
    QString table;   // working table
    int record = 0;  // from 1 in the group's or table's order; 0 when it does not apply
    QString teacher; // the teacher's ABREV, export only
    QString value;   // the value concerned, if any
    // What a school must look at, in its own terms and naming the thing by name, shared by
    // every item it explains (a course offering without groups explains each of its
    // subjects); "%n" stands for how many items it explains. Empty: the item is a
    // cause of its own, told by its reason.
    QString cause{};
    // What several causes have in common, as a heading over them ("Ofertas de curso sin
    // grupos"), "%n" standing for how many causes; such causes count as one.
    QString topic{};
};

// Items that share a cause, in the order the causes first appear.
struct ReportCause {
    QString text;                                // the cause with its count in place
    ReportKind kind = ReportKind::RecordSkipped; // of its first item
    int count = 0;
    QString topic{}; // its heading, when it shares one, with the number of its causes
};

class RunReport {
public:
    // Which run, and the document it started from; a run that never sets `run` keeps
    // no report (the frame leaves it alone).
    QString run;      // "import" or "export"
    QString document; // the chosen document

    void add(ReportItem item);

    int count(ReportKind kind) const { return counts_[size_t(kind)]; }
    int leftOut() const;
    int warnings() const;
    bool empty() const { return items_.empty(); }
    // The causes, left out first, then warnings, those under one heading together.
    std::vector<ReportCause> causes() const;
    // What the completion message counts: the headings and the causes under none.
    int causesToReview() const;
    const std::vector<ReportItem>& items() const { return items_; }

    // The report as JSON: run, document, counts of the run's kinds, items.
    QByteArray toJson() const;
    // The report as readable Spanish text, lines ended by "\n".
    QString toText() const;
    // Where the text report goes: beside the chosen document, "InformeImportacion" or
    // "ResultadoTempolan" before the document's name without ".xml", then ".txt".
    QString textPath() const;

private:
    std::vector<ReportItem> items_;
    std::array<int, kReportKinds> counts_{};
};

// The sentence of the completion box: "3 avisos que conviene revisar (2 elementos no se
// han transferido)", counting causes, with the items left out in brackets when any.
QString summarySentence(const RunReport& report);

// Writes the text report beside the document (UTF-8 with a byte order mark, CRLF line
// ends), or deletes an older one when there is nothing to report. Returns the sentence
// for the completion box, with the report's path on a line of its own, empty when there
// is nothing to report. Never throws: a report that cannot be written is said in the
// sentence.
QString publishReport(const RunReport& report);

// What the frame does with the report of a completed run: publishes it, appends the
// sentence to the completion detail and hands the report to the host. Gives the detail.
QString finishReport(RunHost& host, const RunReport& report, const QString& detail);

} // namespace run
