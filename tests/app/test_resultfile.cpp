#include "TestSupport.h"
#include "app/ResultFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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
        IniCase{"BareKeyLineIsTheKey",
                "[Transformadores]\r\nOtro=x\r\nTransformado\r\n[B]\r\nc=d\r\n", "-1",
                "[Transformadores]\r\nOtro=x\r\nTransformado=-1\r\n[B]\r\nc=d\r\n"},
        IniCase{"BareKeyLineWithBlanksAndCase", "[Transformadores]\n  transformado \t\n", "1",
                "[Transformadores]\ntransformado=1\n"},
        IniCase{"BareLineOfAnotherNameKept", "[Transformadores]\r\nTransformados\r\n", "1",
                "[Transformadores]\r\nTransformados\r\nTransformado=1\r\n"},
        IniCase{"KeepsUtf8Mark", "\xEF\xBB\xBF[Transformadores]\r\nTransformado=0\r\n", "1",
                "\xEF\xBB\xBF[Transformadores]\r\nTransformado=1\r\n"}),
    caseName<IniCase>);

QByteArray utf16(const QString& text, bool bigEndian) {
    QByteArray bytes(bigEndian ? "\xFE\xFF" : "\xFF\xFE", 2);
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        bytes.append(bigEndian ? hi : lo).append(bigEndian ? lo : hi);
    }
    return bytes;
}

// A file with a UTF-16 byte-order mark stays UTF-16 in the same byte order.
TEST(ResultFileWriterUnicode, Utf16FileStaysUtf16) {
    const QString before =
        QStringLiteral("[Transformadores]\r\nTransformado=1\r\n[Año]\r\nA=ñ€\r\n");
    const QString after =
        QStringLiteral("[Transformadores]\r\nTransformado=-1\r\n[Año]\r\nA=ñ€\r\n");
    for (const bool bigEndian : {false, true}) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Tempolan.ini"));
        writeFile(path, utf16(before, bigEndian));
        ASSERT_TRUE(writeProfileString(path, kSection, kKey, QStringLiteral("-1")));
        EXPECT_EQ(readFile(path), utf16(after, bigEndian)) << (bigEndian ? "BE" : "LE");
    }
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

#ifndef Q_OS_WIN
// The file may be written but its folder takes no new file (the safe save's temporary
// file): the file is written in place. Run as an unprivileged user, as root may write
// anywhere.
TEST(ResultFileWriterFailure, WritableFileInReadOnlyFolder) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("programa"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/Tempolan.ini");
    writeFile(path, "[Transformadores]\r\nTransformado=0\r\n");
    const bool root = geteuid() == 0;
    constexpr uid_t kNobody = 65534;
    if (root) {
        ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        ASSERT_EQ(chown(QFile::encodeName(path).constData(), kNobody, kNobody), 0);
    }
    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0555), 0);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && (setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(2);
        _exit(writeProfileString(path, kSection, kKey, QStringLiteral("1")) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    chmod(QFile::encodeName(folder).constData(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFile(path), QByteArray("[Transformadores]\r\nTransformado=1\r\n"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"Tempolan.ini"});
}
#else
// A Tempolan.ini marked read-only is refused by the system's profile functions and left as
// it was; the run then says it could not leave its result.
TEST(ResultFileWriterFailure, ReadOnlyFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tempolan.ini"));
    writeFile(path, "[Transformadores]\r\nTransformado=0\r\n");
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    ASSERT_TRUE(SetFileAttributesW(native.c_str(), FILE_ATTRIBUTE_READONLY));
    const bool written = writeProfileString(path, kSection, kKey, QStringLiteral("1"));
    SetFileAttributesW(native.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(written);
    EXPECT_EQ(readFile(path), QByteArray("[Transformadores]\r\nTransformado=0\r\n"));
}
#endif

} // namespace
