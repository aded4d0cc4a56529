// gen_school: writes synthetic schools (a Veltra export and its level and course codes)
// and a Tempolan timetable for the working tables an import built from one.
#include "GenSchool.h"

#include "text/RunError.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <cstdio>
#include <optional>

namespace {

const char* const kUsage =
    "Uso:\n"
    "  gen_school doc --scale S --seed N --out CARPETA\n"
    "      Escribe CARPETA/veltra.xml (exportación de Veltra de un centro ficticio) y\n"
    "      CARPETA/codes.csv (CLAVE,NIVEL,CURSO de cada oferta). La escala 1 es el centro\n"
    "      de ejemplo (40 ofertas, 600 materias, 80 profesores); la 10, el centro grande.\n"
    "  gen_school soluc --workdir CARPETA --seed N [--entries E] [--overbook]\n"
    "      Lee las tablas de trabajo que dejó una importación en CARPETA y escribe\n"
    "      CARPETA/SOLUC.DBF con un horario verosímil de E entradas (por omisión, tres\n"
    "      por asignación y como mucho treinta por profesor). Con --overbook, la entrada\n"
    "      que no encuentra hueco se coloca igualmente (choca con otra), para probar la\n"
    "      exportación de un horario muy grande con todas las entradas colocadas.\n";

void out(const QString& s) {
    std::fputs(s.toLocal8Bit().constData(), stdout);
}
void err(const QString& s) {
    std::fputs(s.toLocal8Bit().constData(), stderr);
}

int usage(const QString& problem) {
    err(problem + QLatin1Char('\n') + QString::fromUtf8(kUsage));
    return 2;
}

// --name value pairs after the command; nullopt after reporting a problem.
std::optional<QHash<QString, QString>> options(const QStringList& args, const QStringList& known) {
    QHash<QString, QString> o;
    for (int i = 2; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!a.startsWith(QLatin1String("--")) || !known.contains(a.mid(2))) {
            usage(QStringLiteral("Opción desconocida: %1").arg(a));
            return std::nullopt;
        }
        if (i + 1 >= args.size()) {
            usage(QStringLiteral("Falta el valor de %1").arg(a));
            return std::nullopt;
        }
        o.insert(a.mid(2), args[++i]);
    }
    return o;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || args[1] == QLatin1String("--help") || args[1] == QLatin1String("-h")) {
        out(QString::fromUtf8(kUsage));
        return args.size() < 2 ? 2 : 0;
    }
    const QString command = args[1];
    try {
        if (command == QLatin1String("doc")) {
            const auto o = options(
                args, {QStringLiteral("scale"), QStringLiteral("seed"), QStringLiteral("out")});
            if (!o)
                return 2;
            bool okScale = false, okSeed = false;
            const double scale =
                o->value(QStringLiteral("scale"), QStringLiteral("1")).toDouble(&okScale);
            const quint64 seed =
                o->value(QStringLiteral("seed"), QStringLiteral("1")).toULongLong(&okSeed);
            if (!okScale || !okSeed || !o->contains(QStringLiteral("out")))
                return usage(QStringLiteral("doc necesita --scale, --seed y --out válidos"));
            const genschool::SchoolSummary s =
                genschool::writeSchool(o->value(QStringLiteral("out")), scale, seed);
            out(QStringLiteral("%1: %2 ofertas, %3 materias, %4 actividades, %5 empleados, %6 "
                               "dependencias, %7 unidades, %8 jornadas, %9 tramos\n")
                    .arg(QDir::toNativeSeparators(s.documentPath))
                    .arg(s.counts.offers)
                    .arg(s.counts.materias)
                    .arg(s.counts.activities)
                    .arg(s.counts.teachers)
                    .arg(s.counts.rooms)
                    .arg(s.counts.units)
                    .arg(s.counts.frames)
                    .arg(s.slots));
            out(QStringLiteral(
                    "Catálogos: %1 orígenes, %2 niveles, %3 cursos por nivel, %4 autorizaciones\n")
                    .arg(s.counts.origenes)
                    .arg(s.counts.niveles)
                    .arg(s.counts.cursosNiveles)
                    .arg(s.counts.autorizaciones));
            out(QStringLiteral("Jornadas: %1\n")
                    .arg(s.frameCodes.mid(0, 2).join(QLatin1Char(','))));
            out(QStringLiteral("%1\n").arg(QDir::toNativeSeparators(s.codesPath)));
            return 0;
        }
        if (command == QLatin1String("soluc")) {
            QStringList rest = args;
            const bool overbook = rest.removeAll(QStringLiteral("--overbook")) > 0;
            const auto o = options(rest, {QStringLiteral("workdir"), QStringLiteral("seed"),
                                          QStringLiteral("entries")});
            if (!o)
                return 2;
            bool okSeed = false, okEntries = true;
            const quint64 seed =
                o->value(QStringLiteral("seed"), QStringLiteral("1")).toULongLong(&okSeed);
            const int entries = o->contains(QStringLiteral("entries"))
                                    ? o->value(QStringLiteral("entries")).toInt(&okEntries)
                                    : 0;
            if (!okSeed || !okEntries || entries < 0 || !o->contains(QStringLiteral("workdir")))
                return usage(QStringLiteral("soluc necesita --workdir y --seed válidos (y "
                                            "--entries, si se da, un entero)"));
            const QString dir = o->value(QStringLiteral("workdir"));
            const genschool::SolucSummary s = genschool::writeSoluc(dir, seed, entries, overbook);
            out(QStringLiteral("%1: %2 entradas (%3 regulares, %4 no regulares, %5 sin colocar)\n")
                    .arg(QDir::toNativeSeparators(QDir(dir).filePath(QStringLiteral("SOLUC.DBF"))))
                    .arg(s.entries)
                    .arg(s.regular)
                    .arg(s.nonRegular)
                    .arg(s.unplaced));
            return 0;
        }
        return usage(QStringLiteral("Orden desconocida: %1").arg(command));
    } catch (const RunError& e) {
        err(e.message() + QLatin1Char('\n'));
        return 1;
    }
}
