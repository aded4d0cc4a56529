// Documents made to hurt: deep nesting, very long values, a document that refers to a
// local file, and chosen file names with blanks, accents and quotes.

#include "ReliabilityFixture.h"

namespace {

using namespace reliability;

// Nesting far deeper than any exchange document is refused as a malformed document,
// before any table is touched.
TEST_F(SchoolTest, DeepNestingIsRefusedWithoutTouchingTables) {
    importSchool();
    const auto before = snapshot(work);
    QByteArray deep = "<SERVICIO><BLOQUE_DATOS>";
    for (int i = 0; i < 20000; ++i)
        deep += "<grupo_datos>";
    writeFile(document, deep + "</BLOQUE_DATOS></SERVICIO>");
    expectEndedWith(importRun(document, work),
                    {QStringLiteral("datos.xml"), QStringLiteral("No se ha importado nada")});
    expectEndedWith(exportRun(document, work), {QStringLiteral("datos.xml")});
    EXPECT_EQ(snapshot(work), before);
}

// A document that names a local file in an entity: refused, and the file's text reaches
// no table.
TEST_F(SchoolTest, ExternalEntityIsNeverRead) {
    const QString secret = dir.filePath(QStringLiteral("secreto.txt"));
    writeFile(secret, "CONTRASENA-SECRETA");
    QByteArray doc = schoolDocument();
    doc.replace("<SERVICIO", "<!DOCTYPE SERVICIO [<!ENTITY s SYSTEM \"file://" + secret.toUtf8() +
                                 "\">]>\n<SERVICIO");
    doc.replace("Aula 1", "&s;");
    writeFile(document, doc);
    expectEndedWith(importRun(document, work), {QStringLiteral("DOCTYPE")});
    for (const QByteArray& bytes : snapshot(work))
        EXPECT_FALSE(bytes.contains("CONTRASENA-SECRETA"));
}

// Values of a megabyte are cut to their fields; the run completes and the tables read.
TEST_F(SchoolTest, VeryLongValuesAreCutToTheirFields) {
    QByteArray doc = schoolDocument();
    const QByteArray huge(1 << 20, 'x');
    doc.replace("Gimnasio", huge);
    doc.replace(">Ana<", ">" + huge + "<");
    writeFile(document, doc);
    const Outcome o = importRun(document, work);
    EXPECT_TRUE(o.completed()) << o.shown();
    expectEveryTableReads(work);
    tables::Table aulat;
    aulat.open(work, QStringLiteral("AULAT"));
    ASSERT_TRUE(aulat.locate(QStringLiteral("DEPCENTRO"), {QStringLiteral("GIM")}));
    EXPECT_EQ(aulat.text(QStringLiteral("NOMBRE")), QString(80, u'x'));
}

// The chosen file's name, blanks, accents and quotes included, gives the output's name.
TEST_F(SchoolTest, UnusualFileNamesGiveTheOutputName) {
    importSchool();
    for (const QString& name : {QStringLiteral("horario de 1º 'A' \"bis\".xml"),
                                QStringLiteral("Educación  Física (copia) & más.xml")}) {
        SCOPED_TRACE(name.toStdString());
        const QString chosen = dir.filePath(QStringLiteral("VELTRA/") + name);
        writeFile(chosen, schoolDocument());
        const Outcome imported = importRun(chosen, work);
        EXPECT_TRUE(imported.completed()) << imported.shown();
        importSchool(); // SOLUC again
        const Outcome exported = exportRun(chosen, work);
        EXPECT_TRUE(exported.completed()) << exported.shown();
        const QString out = dir.filePath(QStringLiteral("VELTRA/ResultadoTempolan") + name);
        EXPECT_TRUE(exchange::Document::load(out).ok());
    }
}

} // namespace
