#include "cli/Answers.h"
#include "exchange/ExchangeDocument.h"
#include "import/ImportRun.h"
#include "run/RunError.h"
#include "run/RunReport.h"
#include "tables/Cp1252.h"
#include "tables/Folders.h"
#include "tables/Table.h"
#include "text/Clipper.h"
#include "text/WholeNumber.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace cli {

namespace {

using exchange::NodeList;

struct GroupRule {
    const char* seq;
    int minItems; // records with fewer items are passed over
};

const GroupRule kGroups[] = {
    {"CURSOS_DEL_CENTRO", 2}, {"MATERIAS", 2}, {"ACTIVIDADES", 2},        {"EMPLEADOS", 2},
    {"DEPENDENCIAS", 2},      {"UNIDADES", 2}, {"JORNADAS_ESCOLARES", 0}, {"TRAMOS_HORARIOS", 0},
    {"ORIGENES", 2},          {"NIVELES", 2},  {"CURSOS_NIVELES", 2},     {"AUTORIZACIONES", 2},
};

QString notWhole(const QString& seq, int record, int item, const QString& value) {
    return QStringLiteral("%1, registro %2, dato %3: \"%4\" no es un número entero")
        .arg(seq)
        .arg(record)
        .arg(item)
        .arg(value);
}

} // namespace

int runCheck(const QStringList& args, Streams io) {
    ImportOptions o;
    if (const auto failed = readImportOptions(args, io, o))
        return *failed;
    const QString& path = o.document;
    const QString& workDir = o.workDir;
    const QString& catalog = o.catalogPath;
    const bool recover = o.recover;
    const CodesByKey& given = o.codes;

    QStringList errors;  // what would end the run with an error
    QStringList missing; // answers the run would stop for
    QTextStream& out = io.out;
    try {
        const exchange::Document doc = exchange::Document::load(path);
        out << "Documento: " << QDir::toNativeSeparators(path) << '\n';
        if (!doc.ok()) {
            out << "  no es un documento XML que se pueda importar: " << doc.errorString()
                << "\nLa importación no se haría: el documento no se puede leer.\n";
            return RunFailed;
        }
        const QString enc = doc.encoding();
        out << "  XML bien formado, codificación "
            << (enc.isEmpty() ? QStringLiteral("UTF-8 (sin declaración)") : enc) << '\n';

        // School year: one of the first two groups must carry more than one item.
        const NodeList top = doc.topLevelGroups();
        bool yearFound = false;
        for (int i = 0; i < 2 && i < top.size(); ++i)
            yearFound = yearFound || exchange::dataItems(top.at(i)).size() > 1;
        if (!yearFound)
            errors << QStringLiteral("Ninguno de los dos primeros grupos de datos trae el año "
                                     "académico: la importación terminaría en PERIODOS.");

        out << "Grupos de datos:\n";
        QHash<QString, NodeList> records;
        QStringList skippedAll; // "EMPLEADOS 3": record_skipped of the import's report
        for (const GroupRule& g : kGroups) {
            const QString seq = QString::fromLatin1(g.seq);
            const NodeList recs = doc.recordsOf(seq);
            records.insert(seq, recs);
            QStringList skipped;
            for (int i = 0; i < recs.size(); ++i)
                if (exchange::dataItems(recs.at(i)).size() < g.minItems) {
                    skipped << QString::number(i + 1);
                    skippedAll << seq + u' ' + QString::number(i + 1);
                }
            out << QStringLiteral("  %1: %2 registros").arg(seq).arg(recs.size());
            if (!skipped.isEmpty())
                out << QStringLiteral(", se pasarían por alto los registros %1")
                           .arg(skipped.join(QStringLiteral(", ")));
            out << '\n';
        }

        // What would end the import on the way, as the import itself checks it before
        // its first step.
        errors << problemsBeforeImport(doc, path, RunFolders{workDir, catalog});
        if (catalogueProblem(catalog).isEmpty()) {
            const QFileInfo ci(catalog);
            tables::Table t;
            t.open(ci.absolutePath(), ci.fileName(), tables::OpenMode::Shared);
            out << "Catálogo de materias: " << QDir::toNativeSeparators(catalog) << ", "
                << t.rowCount() << " materias\n";
        }

        // Course offerings that the saved and the given codes leave without level or course.
        const CodesByKey saved = recover ? CursosLogic::savedCodes(workDir) : CodesByKey();
        QStringList lacking;
        int offerings = 0;
        for (const auto& r : records.value(QStringLiteral("CURSOS_DEL_CENTRO"))) {
            const NodeList items = exchange::dataItems(r);
            if (items.size() < 2)
                continue;
            ++offerings;
            // As CURSOST holds the key, which is how the codes are keyed.
            const QString key =
                tables::cp1252::asStored(RTrim(LeftStr(exchange::itemValue(items, 0), 10)));
            const CursosLogic::Codes codes = given.value(key, saved.value(key));
            if ((CursosLogic::isMissing(codes.nivel) || CursosLogic::isMissing(codes.curso)) &&
                !lacking.contains(key))
                lacking << key;
        }
        const QString source = given.isEmpty() ? QStringLiteral("CURSOST2")
                               : recover       ? QStringLiteral("CURSOST2 y --codes")
                                               : QStringLiteral("--codes");
        if (lacking.isEmpty()) {
            out << "Ofertas de curso: las " << offerings << " tienen nivel y curso (" << source
                << ").\n";
        } else {
            out << "Ofertas de curso sin nivel o curso tras " << source << " (" << lacking.size()
                << "): " << lacking.join(QStringLiteral(", ")) << '\n';
            missing << QStringLiteral("nivel y curso de %1 ofertas de curso (--codes)")
                           .arg(lacking.size());
        }

        // What the import's report would list (the run's own kinds), worked out from the
        // document and the codes the run would apply.
        {
            // Without ORIGENES the last step reads no catalogue group at all.
            if (records.value(QStringLiteral("ORIGENES")).isEmpty())
                skippedAll.removeIf([](const QString& s) {
                    for (const ImportStepInfo& step : importSteps())
                        if (step.name == QLatin1String("CrearCatalogos"))
                            for (const QString& group : step.reads)
                                if (s.startsWith(group + u' '))
                                    return true;
                    return false;
                });
            QHash<QString, bool> levelOf; // course-offer key -> has a level
            for (const auto& r : records.value(QStringLiteral("CURSOS_DEL_CENTRO"))) {
                const NodeList items = exchange::dataItems(r);
                if (items.size() < 2)
                    continue;
                const QString key = LeftStr(exchange::itemValue(items, 0), 10);
                if (!levelOf.contains(key))
                    levelOf.insert(
                        key, !CursosLogic::isMissing(given.value(key, saved.value(key)).nivel));
            }
            QStringList unitsWithout;
            QSet<QString> offersWithUnits;
            const NodeList units = records.value(QStringLiteral("UNIDADES"));
            for (int i = 0; i < units.size(); ++i) {
                const NodeList items = exchange::dataItems(units.at(i));
                if (items.size() < 2)
                    continue;
                const QString key = exchange::itemValue(items, 2);
                offersWithUnits.insert(key);
                if (!levelOf.value(LeftStr(key, 10), false))
                    unitsWithout << QStringLiteral("UNIDADES %1").arg(i + 1);
            }
            QStringList subjectsWithout;
            const NodeList subjects = records.value(QStringLiteral("MATERIAS"));
            for (int i = 0; i < subjects.size(); ++i) {
                const NodeList items = exchange::dataItems(subjects.at(i));
                if (items.size() >= 2 && !offersWithUnits.contains(exchange::itemValue(items, 0)))
                    subjectsWithout << QStringLiteral("MATERIAS %1").arg(i + 1);
            }
            out << "Informe de la importación (lo que dejaría fuera o con un valor por "
                   "defecto):\n";
            const auto kind = [&](run::ReportKind k, const QStringList& where) {
                out << "  " << run::kindName(k) << ": " << where.size();
                if (!where.isEmpty())
                    out << " (" << where.join(QStringLiteral(", ")) << ')';
                out << '\n';
            };
            kind(run::ReportKind::RecordSkipped, skippedAll);
            kind(run::ReportKind::UnitWithoutCourse, unitsWithout);
            kind(run::ReportKind::SubjectWithoutGroup, subjectsWithout);
        }

        // Time frames and their slots; the frames the import would use decide which slots
        // it reads.
        const NodeList frames = records.value(QStringLiteral("JORNADAS_ESCOLARES"));
        const NodeList slots = records.value(QStringLiteral("TRAMOS_HORARIOS"));
        QHash<QString, int> slotCount;
        for (const auto& s : slots)
            slotCount[PlantillasLogic::frameCode(exchange::itemValue(exchange::dataItems(s), 4))]++;
        out << "Marcos horarios:\n";
        for (const auto& f : frames) {
            const NodeList items = exchange::dataItems(f);
            const QString code = exchange::itemValue(items, 0);
            out << QStringLiteral("  %1 \"%2\": %3 tramos\n")
                       .arg(code, exchange::itemValue(items, 1))
                       .arg(slotCount.value(PlantillasLogic::frameCode(code)));
        }
        const QStringList& frameOption = o.frames;
        const FrameChoice choice = chooseFrames(doc, frameOption);
        if (frames.isEmpty())
            out << "  Ninguno: DIASHORAST quedaría vacía.\n";
        if (choice.asked && !choice.answered) {
            out << "  " << choice.problem << '\n';
            missing << QStringLiteral("los marcos horarios (--frames)");
        }
        const SlotFrames chosen = slotFrames(doc, choice);
        if (choice.answered)
            out << "  Se aplicarían: "
                << (chosen.two ? chosen.code1 + QStringLiteral(", ") + chosen.code2 : chosen.code1)
                << '\n';

        // Begin and end of the slots the import would read: those of the chosen frames, or
        // of every frame while the choice is still open.
        for (int i = 0; i < slots.size() && !frames.isEmpty(); ++i) {
            const NodeList items = exchange::dataItems(slots.at(i));
            const QString code = PlantillasLogic::frameCode(exchange::itemValue(items, 4));
            const bool read = (choice.asked && !choice.answered) || code == chosen.code1 ||
                              (chosen.two && code == chosen.code2);
            if (!read)
                continue;
            for (int k : {2, 3}) {
                const QString v = exchange::itemValue(items, k);
                if (!MinutosDeTramo(v))
                    errors << notWhole(QStringLiteral("TRAMOS_HORARIOS"), i + 1, k, v) +
                                  QStringLiteral(" (marco %1)").arg(code);
            }
        }

    } catch (const RunError& e) {
        io.err << e.message() << '\n';
        return RunFailed;
    }

    for (const QString& e : errors)
        out << "ERROR  " << e << '\n';
    for (const QString& m : missing)
        out << "FALTA  " << m << '\n';
    if (errors.isEmpty() && missing.isEmpty()) {
        out << "La importación llegaría a su fin.\n";
        return Done;
    }
    if (errors.isEmpty())
        out << "La importación se detendría por falta de respuesta: dé "
            << missing.join(QStringLiteral(" y ")) << ".\n";
    else
        out << "La importación no llegaría a su fin.\n";
    return RunFailed;
}

} // namespace cli
