// Stands in for Tempolan in the window script: writes a timetable (SOLUC.DBF) for the
// tables the import left in the working folder given as the only argument.

#include "SchoolTimetable.h"
#include "text/RunError.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        err << "Uso: vt_write_soluc CARPETA_DE_TRABAJO\n";
        return 2;
    }
    try {
        const int n = school_timetable::writeSoluc(args.at(1));
        if (n == 0) {
            err << "Las tablas de " << args.at(1) << " no dan ningún horario para SOLUC\n";
            return 1;
        }
        QTextStream(stdout) << "SOLUC: " << n << " entradas\n";
        return 0;
    } catch (const RunError& e) {
        err << e.message() << '\n';
        return 1;
    }
}
