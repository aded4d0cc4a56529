// Golden run folders: every folder under tests/golden with a case.ini is one whole run of
// the batch front end (the real executable, in a scratch folder) whose resulting tables and
// documents are compared with the folder's expected/ files. tests/golden/README.md says how
// a folder is laid out and how its expectations are regenerated.

#include "TestSupport.h"
#include "tables/Table.h"
#include "text/RunError.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <iostream>

namespace {

using testing_support::readFile;
using testing_support::writeFile;

QString goldenRoot() {
    return QStringLiteral(VT_SOURCE_DIR) + QStringLiteral("/tests/golden");
}

// Set by tests/golden/regenerate.sh: write what the run gives into expected/ instead of
// comparing. The test never sets it itself.
bool regenerating() {
    return qEnvironmentVariableIntValue("VT_GOLDEN_REGENERATE") == 1;
}

std::vector<std::string> caseNames() {
    std::vector<std::string> names;
    const QDir root(goldenRoot());
    for (const QString& d : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (QFileInfo::exists(root.filePath(d + QStringLiteral("/case.ini"))))
            names.push_back(d.toStdString());
    }
    return names;
}

// ---------------------------------------------------------------------------------------
// case.ini: "key = value" lines, '#' starts a comment line; "run" may repeat.

struct CaseConfig {
    QString document = QStringLiteral("veltra.xml"); // relative to the case folder
    QStringList tables;                              // extra files for the working folder
    QList<QStringList> runs;                         // front-end arguments, in order
};

CaseConfig readConfig(const QString& caseDir) {
    CaseConfig c;
    const QString text = QString::fromUtf8(readFile(caseDir + QStringLiteral("/case.ini")));
    for (QString line : text.split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) {
            ADD_FAILURE() << "case.ini: línea sin '=': " << line.toStdString();
            continue;
        }
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        const QStringList words = value.split(u' ', Qt::SkipEmptyParts);
        if (key == QLatin1String("document"))
            c.document = value;
        else if (key == QLatin1String("tables"))
            c.tables += words;
        else if (key == QLatin1String("run"))
            c.runs << words;
        else
            ADD_FAILURE() << "case.ini: clave desconocida " << key.toStdString();
    }
    return c;
}

// ---------------------------------------------------------------------------------------
// Tables the run starts from: before/NAME.csv in the form `table NAME --format csv`
// prints (its second comment line gives the fields), or any file copied as it is.

tables::FieldDef fieldFromDescription(const QString& d) {
    // "PROF C 10", "DIA I 4", "HORAS O 8", "ESTAREA L 1"
    const QStringList p = d.trimmed().split(u' ', Qt::SkipEmptyParts);
    if (p.size() != 3)
        throw RunError(QStringLiteral("descripción de campo ilegible: ") + d);
    tables::FieldDef f;
    f.name = p.at(0);
    const QString type = p.at(1);
    if (type == QLatin1String("C")) {
        f.type = tables::FieldType::Text;
        f.width = p.at(2).toInt();
    } else if (type == QLatin1String("I")) {
        f.type = tables::FieldType::Integer;
    } else if (type == QLatin1String("L")) {
        f.type = tables::FieldType::Boolean;
    } else if (type == QLatin1String("N") || type == QLatin1String("F") ||
               type == QLatin1String("O")) {
        f.type = tables::FieldType::Float;
    } else {
        throw RunError(QStringLiteral("tipo de campo no admitido: ") + d);
    }
    return f;
}

QStringList splitCsv(const QString& line) {
    QStringList out;
    QString cur;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted && c == u'"' && i + 1 < line.size() && line.at(i + 1) == u'"') {
            cur += c;
            ++i;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (c == u',' && !quoted) {
            out << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    out << cur;
    return out;
}

void tableFromCsv(const QString& csvPath, const QString& workDir) {
    QStringList lines = QString::fromUtf8(readFile(csvPath)).split(u'\n');
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() < 3 || !lines.at(1).startsWith(QLatin1String("# ")))
        throw RunError(csvPath + QStringLiteral(": se esperan las líneas de `table --format csv`"));
    QList<tables::FieldDef> fields;
    for (const QString& d : lines.at(1).mid(2).split(QStringLiteral(", ")))
        fields << fieldFromDescription(d);
    const QString name = QFileInfo(csvPath).completeBaseName().toUpper();
    tables::DeleteTable(workDir, name);
    tables::CreateTable(workDir, name, fields);
    tables::Table t;
    t.open(workDir, name, tables::OpenMode::Exclusive);
    for (qsizetype n = 3; n < lines.size(); ++n) {
        const QStringList values = splitCsv(lines.at(n));
        if (values.size() != fields.size())
            throw RunError(QStringLiteral("%1, línea %2: %3 valores para %4 campos")
                               .arg(csvPath)
                               .arg(n + 1)
                               .arg(values.size())
                               .arg(fields.size()));
        t.append();
        for (qsizetype i = 0; i < fields.size(); ++i) {
            const tables::FieldDef& f = fields.at(i);
            const QString& v = values.at(i);
            if (f.type == tables::FieldType::Text)
                t.setText(f.name, v);
            else if (v.isEmpty())
                continue;
            else if (f.type == tables::FieldType::Integer)
                t.setInt(f.name, v.toInt());
            else if (f.type == tables::FieldType::Float)
                t.setFloat(f.name, v.toDouble());
            else
                t.setBool(f.name, v == QLatin1String("T") || v == QLatin1String("true"));
        }
        t.post();
    }
    t.close();
}

// ---------------------------------------------------------------------------------------
// Running the front end

using Outcome = testing_support::ToolRun;

Outcome runFrontEnd(const QStringList& args, const QString& cwd, const QString& home) {
    return testing_support::runBatchTool(args, home, cwd, 300000);
}

// The export stamps its root with the moment of the run; everything else must repeat.
QByteArray withoutFecha(const QByteArray& doc) {
    // Only the root's: a comment kept from the input may hold the same text.
    static const QRegularExpression fecha(QStringLiteral(R"((<SERVICIO\b[^>]*?) fecha="[^"]*")"));
    // Latin-1 maps every byte to one character and back, whatever the encoding.
    QString s = QString::fromLatin1(doc);
    const QRegularExpressionMatch m = fecha.match(s);
    if (m.hasMatch())
        s.replace(m.capturedStart(), m.capturedLength(), m.captured(1));
    return s.toLatin1();
}

// What one case leaves: file name in expected/ -> contents.
using Results = QMap<QString, QByteArray>;

// Where two files part: line and column, with some text either side (an exported
// document is one long line).
QString firstDifference(const QByteArray& want, const QByteArray& got) {
    const QList<QByteArray> a = want.split('\n');
    const QList<QByteArray> b = got.split('\n');
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const QByteArray x = i < a.size() ? a.at(i) : QByteArray("<fin>");
        const QByteArray y = i < b.size() ? b.at(i) : QByteArray("<fin>");
        if (x == y)
            continue;
        qsizetype col = 0;
        while (col < x.size() && col < y.size() && x.at(col) == y.at(col))
            ++col;
        const qsizetype from = std::max<qsizetype>(0, col - 80);
        return QStringLiteral("línea %1, columna %2\n  esperado: %3\n  obtenido: %4")
            .arg(i + 1)
            .arg(col + 1)
            .arg(QString::fromUtf8(x.mid(from, 200)), QString::fromUtf8(y.mid(from, 200)));
    }
    return QStringLiteral("(sin diferencias)");
}

// Every file under a folder but the bookkeeping of the runs, by relative name.
QMap<QString, QByteArray> folderContents(const QString& dir) {
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = QDir(dir).relativeFilePath(it.next());
        if (!name.startsWith(QLatin1String("VELTRA_RESPALDO/")))
            files.insert(name, readFile(it.filePath()));
    }
    return files;
}

class Golden : public testing::TestWithParam<std::string> {};

TEST_P(Golden, RunMatchesExpectations) {
    const QString name = QString::fromStdString(GetParam());
    const QString caseDir = goldenRoot() + u'/' + name;
    const CaseConfig config = readConfig(caseDir);
    ASSERT_FALSE(config.runs.isEmpty()) << "case.ini sin ninguna línea run";

    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString top = QDir(tmp.path()).canonicalPath();
    const QString work = top + QStringLiteral("/TLTEMP");
    ASSERT_TRUE(QDir().mkpath(work));

    const QFileInfo source(QDir(caseDir).filePath(config.document));
    ASSERT_TRUE(source.isFile()) << source.filePath().toStdString();
    const QString doc = top + u'/' + source.fileName();
    ASSERT_TRUE(QFile::copy(source.filePath(), doc));

    QStringList starting = config.tables;
    const QDir before(caseDir + QStringLiteral("/before"));
    for (const QString& f : before.entryList(QDir::Files, QDir::Name))
        starting << QStringLiteral("before/") + f;
    try {
        for (const QString& f : starting) {
            const QFileInfo fi(QDir(caseDir).filePath(f));
            if (fi.suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0)
                tableFromCsv(fi.filePath(), work);
            else
                ASSERT_TRUE(QFile::copy(fi.filePath(), work + u'/' + fi.fileName()))
                    << f.toStdString();
        }
    } catch (const RunError& e) {
        FAIL() << e.message().toStdString();
    }

    // Runs: their exit codes and what they print, with the scratch paths made fixed.
    Results got;
    QByteArray log;
    auto fixPaths = [&](QString s) {
        s.replace(QDir::toNativeSeparators(top), QStringLiteral("$TMP"));
        s.replace(top, QStringLiteral("$TMP"));
#ifdef Q_OS_WIN
        // Paths are said with the system's separators; the expectations use "/".
        static const QRegularExpression native(QStringLiteral("\\$TMP[^\\s]*"));
        for (qsizetype at = s.indexOf(native); at >= 0; at = s.indexOf(native, at + 1)) {
            const QRegularExpressionMatch m = native.match(s, at);
            s.replace(m.capturedStart(), m.capturedLength(),
                      QDir::fromNativeSeparators(m.captured()));
        }
#endif
        return s;
    };
    QTemporaryDir reports; // the imports' JSON reports, outside what the case compares
    ASSERT_TRUE(reports.isValid());
    for (const QStringList& run : config.runs) {
        QStringList args = run;
        args.insert(1, doc);
        args << QStringLiteral("--workdir") << work;
        const bool importing = run.first() == QLatin1String("import");
        Outcome foretold;
        if (importing) {
            // `check` with the same answers first: it must leave the folder as it was and
            // foretell what the import then does.
            const QMap<QString, QByteArray> untouched = folderContents(work);
            QStringList checkArgs = args;
            checkArgs[0] = QStringLiteral("check");
            foretold = runFrontEnd(checkArgs, caseDir, top);
            EXPECT_EQ(folderContents(work), untouched) << "check ha cambiado la carpeta de trabajo";
        }
        const QString json = reports.filePath(QStringLiteral("informe.json"));
        const Outcome o = runFrontEnd(
            importing ? args + QStringList{QStringLiteral("--report"), json} : args, caseDir, top);
        if (importing)
            testing_support::expectCheckAgreesWithImport(foretold, o, json);
        log += "$ veltra-tempolan " + fixPaths(args.join(u' ')).toUtf8() + '\n';
        log += "salida " + QByteArray::number(o.code) + '\n';
        log += fixPaths(o.out).toUtf8();
        if (o.code != 0) {
            // The front end's own messages; Qt's notes about the machine vary with it.
            QStringList err = o.err.split(u'\n');
            err.removeIf(
                [](const QString& l) { return l.startsWith(QLatin1String("QStandardPaths:")); });
            log += "--- stderr\n" + fixPaths(err.join(u'\n')).toUtf8();
        }
    }
    got.insert(QStringLiteral("runs.txt"), log);

    // Every table the folder holds afterwards, as the front end shows it.
    const QStringList dbfs =
        QDir(work).entryList({QStringLiteral("*.DBF"), QStringLiteral("*.dbf")}, QDir::Files);
    for (const QString& f : dbfs) {
        const QString table = QFileInfo(f).completeBaseName().toUpper();
        const Outcome o = runFrontEnd({QStringLiteral("table"), table, QStringLiteral("--workdir"),
                                       work, QStringLiteral("--format"), QStringLiteral("csv")},
                                      caseDir, top);
        ASSERT_EQ(o.code, 0) << table.toStdString() << ": " << o.err.toStdString();
        got.insert(table + QStringLiteral(".csv"), o.out.toUtf8());
    }
    // Every document written beside the input.
    for (const QString& f : QDir(top).entryList(QDir::Files, QDir::Name)) {
        if (f != source.fileName())
            got.insert(f, withoutFecha(readFile(top + u'/' + f)));
    }

    const QString expectedDir = caseDir + QStringLiteral("/expected");
    if (regenerating()) {
        QDir(expectedDir).removeRecursively();
        for (auto it = got.cbegin(); it != got.cend(); ++it)
            writeFile(expectedDir + u'/' + it.key(), it.value());
        std::cout << "expected/ de " << name.toStdString() << " reescrito: revíselo con git diff\n";
        return;
    }

    QStringList wantNames = QDir(expectedDir).entryList(QDir::Files);
    std::sort(wantNames.begin(), wantNames.end());
    EXPECT_EQ(wantNames, QStringList(got.keys()))
        << "los archivos esperados y los que deja la ejecución difieren";
    for (const QString& f : wantNames) {
        if (!got.contains(f))
            continue;
        const QByteArray want = readFile(expectedDir + u'/' + f);
        EXPECT_TRUE(want == got.value(f))
            << name.toStdString() << "/expected/" << f.toStdString() << ": "
            << firstDifference(want, got.value(f)).toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, testing::ValuesIn(caseNames()),
                         [](const testing::TestParamInfo<std::string>& p) { return p.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Golden);

} // namespace
