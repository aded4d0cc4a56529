#include "TestSupport.h"
#include "app/ResultFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

template <class Case> std::string caseName(const testing::TestParamInfo<Case>& p) {
    return p.param.name;
}

using testing_support::readFile;
using testing_support::writeFile;

const QString kSection = QStringLiteral("Transformadores");
const QString kKey = QStringLiteral("Transformado");

struct IniCase {
    const char* name;
    QByteArray before;
    QString value;
    QByteArray after;
};

class ResultFileWriter : public testing::TestWithParam<IniCase> {};

TEST_P(ResultFileWriter, ChangesOnlyTheKey) {
    const IniCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tempolan.ini"));
    if (!c.before.isNull())
        writeFile(path, c.before);
    ASSERT_TRUE(writeProfileString(path, kSection, kKey, c.value));
    EXPECT_EQ(readFile(path), c.after);
}

const QByteArray kTempolanIni = "; Tempolan\r\n"
                                "[Rutas]\r\n"
                                "Trabajo=C:\\TLTEMP\r\n"
                                "  Espacios = con blancos  \r\n"
                                "\r\n"
                                "[Transformadores]\r\n"
                                "; ultimo resultado\r\n"
                                "Transformado=1\r\n"
                                "Otro=x\r\n"
                                "\r\n"
                                "[Ventana]\r\n"
                                "Ancho=800\r\n";

INSTANTIATE_TEST_SUITE_P(
    Table, ResultFileWriter,
    testing::Values(
        IniCase{"CreatesFile", QByteArray(), "-1", "[Transformadores]\r\nTransformado=-1\r\n"},
        IniCase{"EmptyFile", QByteArray(""), "0", "[Transformadores]\r\nTransformado=0\r\n"},
        IniCase{"ReplacesAndKeepsEverythingElse", kTempolanIni, "-1",
                QByteArray(kTempolanIni).replace("Transformado=1\r\n", "Transformado=-1\r\n")},
        IniCase{"CaseInsensitiveNames", "[TRANSFORMADORES]\r\ntransformado=1\r\n", "0",
                "[TRANSFORMADORES]\r\ntransformado=0\r\n"},
        IniCase{"BlanksAroundNames", "[ Transformadores ]\r\n  Transformado = 1\r\n", "-1",
                "[ Transformadores ]\r\nTransformado=-1\r\n"},
        IniCase{"AddsSectionAtEnd", "[Rutas]\r\nTrabajo=C:\\TLTEMP", "1",
                "[Rutas]\r\nTrabajo=C:\\TLTEMP\r\n[Transformadores]\r\nTransformado=1\r\n"},
        IniCase{"AddsKeyAfterLastLineOfItsSection",
                "[Transformadores]\r\nOtro=x\r\n\r\n[Ventana]\r\nAncho=800\r\n", "1",
                "[Transformadores]\r\nOtro=x\r\nTransformado=1\r\n\r\n[Ventana]\r\nAncho=800\r\n"},
        IniCase{"KeyOfAnotherSectionUntouched", "[Ventana]\r\nTransformado=7\r\n", "1",
                "[Ventana]\r\nTransformado=7\r\n[Transformadores]\r\nTransformado=1\r\n"},
        IniCase{"KeepsUnixLineEndings", "[Transformadores]\nTransformado=0\n[B]\nc=d\n", "1",
                "[Transformadores]\nTransformado=1\n[B]\nc=d\n"},
        IniCase{"KeepsAnsiBytes", "[Centro]\r\nNombre=I.E.S. Mar\xEDtimo\r\n", "1",
                "[Centro]\r\nNombre=I.E.S. Mar\xEDtimo\r\n[Transformadores]\r\nTransformado=1\r\n"},
        IniCase{"KeepsUtf8Mark", "\xEF\xBB\xBF[Transformadores]\r\nTransformado=0\r\n", "1",
                "\xEF\xBB\xBF[Transformadores]\r\nTransformado=1\r\n"}),
    caseName<IniCase>);

TEST(ResultFileWriterUnicode, Utf16FileStaysUtf16) {
    const QString text = QStringLiteral("[Transformadores]\r\nTransformado=1\r\n[Año]\r\nA=ñ\r\n");
    QByteArray before("\xFF\xFE", 2);
    before.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    const QByteArray after = withProfileString(before, kSection, kKey, QStringLiteral("-1"));
    ASSERT_TRUE(after.startsWith("\xFF\xFE"));
    const QString decoded = QString::fromUtf16(
        reinterpret_cast<const char16_t*>(after.constData() + 2), (after.size() - 2) / 2);
    EXPECT_EQ(decoded, QStringLiteral("[Transformadores]\r\nTransformado=-1\r\n[Año]\r\nA=ñ\r\n"));
}

TEST(ResultFileWriterFailure, UnwritablePathLeavesNothing) {
    QTemporaryDir dir;
    // A file where the folder should be: no user, root included, can write there.
    const QString blocker = dir.filePath(QStringLiteral("programa"));
    writeFile(blocker, "no soy una carpeta");
    EXPECT_FALSE(writeProfileString(blocker + QStringLiteral("/Tempolan.ini"), kSection, kKey,
                                    QStringLiteral("1")));
    EXPECT_EQ(readFile(blocker), QByteArray("no soy una carpeta"));
}

TEST(ResultFileWriterFailure, FolderInPlaceOfTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tempolan.ini"));
    ASSERT_TRUE(QDir().mkpath(path));
    EXPECT_FALSE(writeProfileString(path, kSection, kKey, QStringLiteral("1")));
}

} // namespace
