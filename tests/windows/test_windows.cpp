// What only a Windows build shows: the working folder C:\TLTEMP and the program's folder,
// Tempolan.ini through the system's profile functions, the lock of a run and tables held
// through share modes as Tempolan holds them, and the export's date from the regional
// settings. Runs under Wine as under Windows.

#include "OtherProcess.h"
#include "TestSupport.h"
#include "app/ResultFile.h"
#include "export/ExportInternal.h"
#include "run/Safekeeping.h"
#include "tables/Folders.h"
#include "tables/NativeFile.h"
#include "text/SystemError.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

using testing_support::readFile;
using testing_support::runBatchTool;
using testing_support::ToolRun;
using testing_support::writeFile;

const QString kSample = QStringLiteral(VT_SOURCE_DIR "/samples/escuela");

std::wstring wide(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

// Every file of a folder (subfolders and hidden files too) and its bytes.
QMap<QString, QByteArray> snapshot(const QString& folder) {
    return testing_support::snapshot(folder, {true, false, true});
}

QStringList importArgs(const QString& work) {
    QStringList args{QStringLiteral("import"),   kSample + QStringLiteral("/veltra.xml"),
                     QStringLiteral("--codes"),  kSample + QStringLiteral("/codes.csv"),
                     QStringLiteral("--frames"), QStringLiteral("1101,1102")};
    if (!work.isEmpty())
        args << QStringLiteral("--workdir") << work;
    return args;
}

// ---- Where things are ------------------------------------------------------------------

// Tempolan's folder is C:\TLTEMP whatever the environment says; the catalogue comes from
// the program's own folder.
TEST(WindowsFolders, WorkingFolderIsCTltempAndTheCatalogueIsBesideTheProgram) {
    EXPECT_EQ(QDir::toNativeSeparators(tables::workingFolder()), QStringLiteral("C:\\TLTEMP"));
    EXPECT_EQ(tables::programFolder(), QCoreApplication::applicationDirPath());

    const QString tltemp = QStringLiteral("C:/TLTEMP");
    QDir(tltemp).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(tltemp));
    QTemporaryDir home;
    const ToolRun r = runBatchTool(importArgs({}), home.path());
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_TRUE(QFileInfo::exists(tltemp + QStringLiteral("/CURSOST.DBF")));
    EXPECT_FALSE(QFileInfo::exists(home.path() + QStringLiteral("/TLTEMP/CURSOST.DBF")));
    // Codes from the shipped catalogue, found beside veltra-tempolan.exe.
    const ToolRun subjects = runBatchTool({QStringLiteral("table"), QStringLiteral("ASIGNOMT"),
                                           QStringLiteral("--format"), QStringLiteral("csv")},
                                          home.path());
    EXPECT_EQ(subjects.code, 0) << subjects;
    EXPECT_TRUE(subjects.out.contains(QStringLiteral("\nMAT,"))) << subjects;
    EXPECT_TRUE(subjects.out.contains(QStringLiteral("\nLCL,"))) << subjects;
    QDir(tltemp).removeRecursively();
}

// ---- Tempolan.ini ------------------------------------------------------------------------

// What the run leaves is read by Tempolan with GetPrivateProfileIntW; the rest of its file
// stays as it was.
TEST(WindowsResultFile, TempolanReadsWhatTheProfileFunctionsWrote) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("Tempolan.ini"));
    writeFile(ini, "; Tempolan\r\n[Rutas]\r\nTrabajo=C:\\TLTEMP\r\n\r\n");
    for (const int value : {0, 1, -1}) {
        SCOPED_TRACE(value);
        ASSERT_TRUE(writeProfileString(ini, QStringLiteral("Transformadores"),
                                       QStringLiteral("Transformado"), QString::number(value)));
        const int read = int(
            GetPrivateProfileIntW(L"Transformadores", L"Transformado", 12345, wide(ini).c_str()));
        EXPECT_EQ(read, value);
        // Tempolan's own settings read back as they were; how the system lays the file out
        // is the system's.
        wchar_t trabajo[64] = {};
        GetPrivateProfileStringW(L"Rutas", L"Trabajo", L"", trabajo, 64, wide(ini).c_str());
        EXPECT_EQ(QString::fromWCharArray(trabajo), QStringLiteral("C:\\TLTEMP"));
        EXPECT_TRUE(readFile(ini).startsWith("; Tempolan\r\n")) << readFile(ini).toStdString();
    }
    // A missing file is created.
    const QString fresh = dir.filePath(QStringLiteral("nuevo/Tempolan.ini"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(fresh).path()));
    ASSERT_TRUE(writeProfileString(fresh, QStringLiteral("Transformadores"),
                                   QStringLiteral("Transformado"), QStringLiteral("1")));
    EXPECT_EQ(GetPrivateProfileIntW(L"Transformadores", L"Transformado", 7, wide(fresh).c_str()),
              1u);
}

// ---- Two programs on one folder --------------------------------------------------------

class WindowsLocks : public ::testing::Test {
protected:
    QTemporaryDir home;
    QString work;
    void SetUp() override {
        work = home.filePath(QStringLiteral("TLTEMP"));
        ASSERT_TRUE(QDir().mkpath(work));
        const ToolRun r = runBatchTool(importArgs(work), home.path());
        ASSERT_EQ(r.code, 0) << r;
        QDir(work).removeRecursively(); // the next import starts from this school's tables
        ASSERT_TRUE(QDir().mkpath(work));
        ASSERT_EQ(runBatchTool(importArgs(work), home.path()).code, 0);
    }
};

// The lock file of a run is held without sharing: a second run is refused at once, and the
// folder stays as it was.
TEST_F(WindowsLocks, ASecondRunOnTheFolderIsRefused) {
    const QString lockPath = tables::toolFolder(work) + QStringLiteral("/BLOQUEO");
    tables::detail::NativeFile lock;
    QString why;
    ASSERT_EQ(lock.open(lockPath, tables::detail::LockKind::Exclusive, true, &why),
              tables::detail::NativeFile::OpenResult::Ok)
        << why.toStdString();
    const auto before = snapshot(work);
    for (const char* command : {"import", "export", "restore"}) {
        SCOPED_TRACE(command);
        QStringList args =
            QString::fromLatin1(command) == QStringLiteral("import")
                ? importArgs(work)
                : QStringList{QString::fromLatin1(command), QStringLiteral("--workdir"), work};
        if (QString::fromLatin1(command) == QStringLiteral("export"))
            args.insert(1, kSample + QStringLiteral("/veltra.xml"));
        const ToolRun r = runBatchTool(args, home.path());
        EXPECT_EQ(r.code, 1) << r;
        EXPECT_TRUE(r.err.contains(QStringLiteral("Otra transformación está usando la carpeta")))
            << r;
        EXPECT_TRUE(r.err.contains(QDir::toNativeSeparators(work))) << r;
    }
    lock.close();
    EXPECT_EQ(snapshot(work), before);
}

// Tempolan reading a table while refusing writers (share mode read only), or another
// program holding it for exclusive use: the import refuses before it deletes anything.
TEST_F(WindowsLocks, ATableHeldByAnotherProgramStopsTheImportBeforeAnyChange) {
    const QString grupos = work + QStringLiteral("/GRUPOST.DBF");
    const auto before = snapshot(work);
    {
        HANDLE reader = CreateFileW(wide(grupos).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(reader, INVALID_HANDLE_VALUE);
        const ToolRun r = runBatchTool(importArgs(work), home.path());
        CloseHandle(reader);
        EXPECT_EQ(r.code, 1) << r;
        EXPECT_TRUE(r.err.contains(QStringLiteral("GRUPOST.DBF está abierta en otro programa")))
            << r;
        EXPECT_EQ(snapshot(work), before);
    }
    {
        testing_support::OtherProcess tempolan(work, QStringLiteral("CURSOST"), "exclusive",
                                               "hold");
        ASSERT_EQ(tempolan.report(), QStringLiteral("held"));
        const ToolRun r = runBatchTool(importArgs(work), home.path());
        tempolan.release();
        EXPECT_EQ(r.code, 1) << r;
        EXPECT_TRUE(r.err.contains(QStringLiteral("CURSOST.DBF"))) << r;
        EXPECT_EQ(snapshot(work), before);
    }
    // Free again: the import goes through.
    EXPECT_EQ(runBatchTool(importArgs(work), home.path()).code, 0);
}

// ---- The system's errors in our words ---------------------------------------------------

// Windows' own codes get the same Spanish reason and advice as their POSIX counterparts,
// and Qt's wording of them (the system's text) is recognised too.
TEST(WindowsErrors, TheSystemCodesInSpanish) {
    struct Case {
        DWORD code;
        const char* reason;
        const char* advice; // empty: none
    };
    const Case cases[] = {
        {ERROR_DISK_FULL, "no queda espacio en el disco", "espacio"},
        {ERROR_HANDLE_DISK_FULL, "no queda espacio en el disco", "espacio"},
        {ERROR_SHARING_VIOLATION, "en uso", "Cierre"},
        {ERROR_LOCK_VIOLATION, "bloqueado por otro programa", "Cierre"},
        {ERROR_ACCESS_DENIED, "permiso denegado", "permiso"},
        {ERROR_WRITE_PROTECT, "solo lectura", "permiso"},
        {ERROR_CRC, "entrada/salida", "unidad de red"},
        {ERROR_NETNAME_DELETED, "no responde", "unidad de red"},
        {ERROR_FILE_NOT_FOUND, "no existe", ""},
        {ERROR_FILENAME_EXCED_RANGE, "demasiado largo", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const std::error_code code(int(c.code), std::system_category());
        EXPECT_TRUE(text::systemReason(code).contains(QString::fromUtf8(c.reason)))
            << text::systemReason(code).toStdString();
        const QString advice = text::systemAdvice(code);
        if (*c.advice)
            EXPECT_TRUE(advice.contains(QString::fromUtf8(c.advice))) << advice.toStdString();
        else
            EXPECT_TRUE(advice.isEmpty()) << advice.toStdString();
        EXPECT_FALSE(text::systemReason(code).contains(u'['));
    }
    // A file that is not there, as Qt words it on this system.
    QFile missing(QStringLiteral("C:/no-existe-esta-carpeta/archivo.xml"));
    ASSERT_FALSE(missing.open(QIODevice::ReadOnly));
    EXPECT_TRUE(text::inOurWords(missing.errorString()).startsWith(QStringLiteral("no existe")))
        << missing.errorString().toStdString();
}

// ---- The export's date -----------------------------------------------------------------

// `fecha` is the user's short date and long time from the regional settings (Spanish here,
// as the Wine stage runs with es_ES), with no time zone.
TEST(WindowsExportDate, ShortDateAndLongTimeOfTheRegionalSettings) {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    ASSERT_GT(GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH), 0);
    if (QString::fromWCharArray(name) != QStringLiteral("es-ES"))
        GTEST_SKIP() << "regional settings are not es-ES: "
                     << QString::fromWCharArray(name).toStdString();
    const QDateTime morning(QDate(2024, 3, 7), QTime(9, 5, 3), Qt::LocalTime);
    const QDateTime afternoon(QDate(2026, 12, 10), QTime(17, 15, 57), Qt::LocalTime);
    // Spanish short date (day first; with or without leading zeros, as the system's data
    // says) and long time, no zone.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^0?7/0?3/2024 9:05:03$"))
                    .match(FechaDocumento(morning))
                    .hasMatch())
        << FechaDocumento(morning).toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^10/12/2026 17:15:57$"))
                    .match(FechaDocumento(afternoon))
                    .hasMatch())
        << FechaDocumento(afternoon).toStdString();

    // The same in a document the export writes.
    QTemporaryDir home;
    const QString work = home.filePath(QStringLiteral("TLTEMP"));
    ASSERT_TRUE(QDir().mkpath(work + QStringLiteral("/veltra")));
    const QString doc = work + QStringLiteral("/veltra/veltra.xml");
    ASSERT_TRUE(QFile::copy(kSample + QStringLiteral("/veltra.xml"), doc));
    ASSERT_EQ(runBatchTool(importArgs(work), home.path()).code, 0);
    ASSERT_TRUE(
        QFile::copy(kSample + QStringLiteral("/SOLUC.DBF"), work + QStringLiteral("/SOLUC.DBF")));
    const ToolRun r = runBatchTool(
        {QStringLiteral("export"), doc, QStringLiteral("--workdir"), work}, home.path());
    ASSERT_EQ(r.code, 0) << r;
    const QString written =
        QString::fromLatin1(readFile(work + QStringLiteral("/veltra/ResultadoTempolanveltra.xml")));
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("fecha=\"([^\"]*)\"")).match(written);
    ASSERT_TRUE(m.hasMatch()) << written.left(400).toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d{1,2}:\\d\\d:\\d\\d$"))
                    .match(m.captured(1))
                    .hasMatch())
        << m.captured(1).toStdString();
}

} // namespace
