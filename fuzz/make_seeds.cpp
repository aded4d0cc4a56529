// Writes the generated seeds of the fuzz corpora: tables this store writes (every field
// type, empty and filled) for the table target, and SOLUC tables for the export target.
// Usage: fuzz_seeds <corpus folder>; writes <folder>/dbf and <folder>/export.

#include "Harness.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>

namespace {

using fuzzing::detail::Row;

void copyTable(const QString& from, const QString& to) {
    QFile::remove(to);
    QFile::copy(from, to);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "uso: fuzz_seeds <carpeta del corpus>\n");
        return 2;
    }
    const QDir corpus(QString::fromLocal8Bit(argv[1]));
    const QString dbf = corpus.filePath(QStringLiteral("dbf"));
    const QString exp = corpus.filePath(QStringLiteral("export"));
    QDir().mkpath(dbf);
    QDir().mkpath(exp);
    QTemporaryDir tmp;
    const QString work = tmp.filePath(QStringLiteral("w"));
    try {
        using namespace fuzzing::detail;
        QDir().mkpath(work);
        writeTable(work, "TIPOS", {T("TEXTO", 12), I("ENTERO"), F("REAL"), B("LOGICO")},
                   {{{"TEXTO", "Matemáticas"}, {"ENTERO", "42"}, {"REAL", "1.5"}, {"LOGICO", "T"}},
                    {{"TEXTO", ""}, {"ENTERO", "-7"}, {"REAL", ""}, {"LOGICO", "F"}},
                    {{"TEXTO", "ÑANDÚ 'x'"}}});
        copyTable(QDir(work).filePath("TIPOS.DBF"), QDir(dbf).filePath("store_types.dbf"));
        writeTable(work, "VACIA", {T("A", 1)}, {});
        copyTable(QDir(work).filePath("VACIA.DBF"), QDir(dbf).filePath("store_empty.dbf"));

        const struct {
            const char* name;
            bool numeric;
            QList<Row> rows;
        } solucs[] = {
            {"soluc_text.dbf", false, fuzzing::sampleTimetable()},
            {"soluc_numeric.dbf", true, fuzzing::sampleTimetable()},
            {"soluc_empty.dbf", false, {}},
        };
        for (const auto& s : solucs) {
            fuzzing::writeSchoolTables(work, s.numeric, s.rows);
            copyTable(QDir(work).filePath("SOLUC.DBF"), QDir(exp).filePath(s.name));
        }
    } catch (const RunError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
