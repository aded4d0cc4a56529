// Every input that once made a fuzz target fail (tests/fixtures/fuzz/<target>/), and the
// seed corpora, replayed through the same code the fuzz targets run. The harness aborts on
// anything unsound (a table left unreadable, a run that completed with an error), and the
// sanitizer build catches memory faults.

#include "ReliabilityFixture.h"

#include <QDirIterator>

namespace {

struct Input {
    QString target; // import, dbf or export
    QString path;
    std::string name;
};

std::vector<Input> inputs() {
    std::vector<Input> all;
    const QStringList roots{QStringLiteral(VT_SOURCE_DIR "/tests/fixtures/fuzz"),
                            QStringLiteral(VT_SOURCE_DIR "/fuzz/corpus")};
    for (const QString& root : roots) {
        const bool regression = root.endsWith(QLatin1String("fixtures/fuzz"));
        for (const QString& target :
             {QStringLiteral("import"), QStringLiteral("dbf"), QStringLiteral("export")}) {
            QDirIterator it(QDir(root).filePath(target), QDir::Files);
            QStringList files;
            while (it.hasNext())
                files << it.next();
            files.sort();
            for (const QString& f : files) {
                const QString base = QFileInfo(f).fileName();
                if (base.startsWith(u'.'))
                    continue;
                QString name =
                    (regression ? QStringLiteral("fallo_") : QStringLiteral("semilla_")) + target +
                    u'_' + base;
                for (QChar& c : name)
                    if (!c.isLetterOrNumber() || c.unicode() > 127)
                        c = u'_';
                all.push_back({target, f, name.toStdString()});
            }
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
