// Every input that once made a fuzz target fail (tests/fixtures/fuzz/<target>/), and the
// seed corpora (fuzz/corpus/<target>/, the engine-written tables for dbf), replayed through the
// same code the fuzz targets run. The harness aborts on anything unsound (a table left unreadable,
// a run that completed with an error), and the sanitizer build catches memory faults.

#include "ReliabilityFixture.h"

#include <QDirIterator>

namespace {

struct Input {
    QString target; // import, dbf or export
    QString path;
    std::string name;
};

std::vector<Input> inputs() {
    struct Source {
        QString folder;
        QString target;
        QString prefix; // fallo_ for a past failure, semilla_ for a seed
        QStringList patterns;
    };
    std::vector<Source> sources;
    for (const QString& target :
         {QStringLiteral("import"), QStringLiteral("dbf"), QStringLiteral("export")})
        sources.push_back({QStringLiteral(VT_SOURCE_DIR "/tests/fixtures/fuzz/") + target,
                           target,
                           QStringLiteral("fallo_"),
                           {}});
    for (const QString& target :
         {QStringLiteral("import"), QStringLiteral("dbf"), QStringLiteral("export")})
        sources.push_back({QStringLiteral(VT_SOURCE_DIR "/fuzz/corpus/") + target,
                           target,
                           QStringLiteral("semilla_"),
                           {}});
    sources.push_back({testing_support::fixturesDir() + QStringLiteral("/dbase"),
                       QStringLiteral("dbf"),
                       QStringLiteral("semilla_"),
                       {QStringLiteral("*.dbf")}});

    std::vector<Input> all;
    for (const Source& source : sources) {
        QStringList files;
        QDirIterator it(source.folder, source.patterns, QDir::Files);
        while (it.hasNext())
            files << it.next();
        files.sort();
        for (const QString& f : files) {
            const QString base = QFileInfo(f).fileName();
            if (base.startsWith(u'.'))
                continue;
            QString name = source.prefix + source.target + u'_' + base;
            for (QChar& c : name)
                if (!c.isLetterOrNumber() || c.unicode() > 127)
                    c = u'_';
            all.push_back({source.target, f, name.toStdString()});
        }
    }
    return all;
}

class FuzzInput : public ::testing::TestWithParam<Input> {};

TEST_P(FuzzInput, ReplaysWithoutFault) {
    const Input& in = GetParam();
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QByteArray bytes = testing_support::readFile(in.path);
    if (in.target == QLatin1String("import"))
        fuzzing::importDocument(bytes, scratch.path(), reliability::catalogPath());
    else if (in.target == QLatin1String("dbf"))
        fuzzing::readTableBytes(bytes, scratch.path());
    else
        fuzzing::exportWithSoluc(bytes, scratch.path());
    SUCCEED();
}

INSTANTIATE_TEST_SUITE_P(Fuzz, FuzzInput, ::testing::ValuesIn(inputs()),
                         [](const auto& p) { return p.param.name; });

} // namespace
