// What the export asks of the operating system, on Unix-like systems.

#include "export/ExportInternal.h"

#include <clocale>
#include <cstring>
#include <ctime>
#include <langinfo.h>
#include <locale.h>

namespace {

// The locale that formats times: the first of LC_ALL, LC_TIME and LANG that is set, as
// setlocale(LC_TIME, "") would choose it.
QByteArray NombreLocaleHoras() {
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const QByteArray nombre = qgetenv(variable);
        if (!nombre.isEmpty())
            return nombre;
    }
    return QByteArray();
}

bool EsLocaleC(const QByteArray& nombre) {
    return nombre.isEmpty() || nombre == "C" || nombre == "POSIX" || nombre.startsWith("C.");
}

QString SinRegional(const QDateTime& ahora) {
    return ahora.date().toString(QStringLiteral("dd/MM/yyyy")) + QLatin1Char(' ') +
           ahora.time().toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

// The C library's formats, not Qt's: Qt's own locale data differ from the system's (and
// add the time zone to the long time). A locale of its own, so the process's stays as it
// is; a locale that is not installed falls back to C, as setlocale() would.
QString FechaDocumento(const QDateTime& ahora) {
    const QByteArray nombre = NombreLocaleHoras();
    if (EsLocaleC(nombre))
        return SinRegional(ahora);
    const locale_t loc = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, nombre.constData(), locale_t(0));
    if (loc == locale_t(0))
        return SinRegional(ahora);

    const QByteArray formato =
        QByteArray(nl_langinfo_l(D_FMT, loc)) + ' ' + QByteArray(nl_langinfo_l(T_FMT, loc));
    const bool utf8 = std::strcmp(nl_langinfo_l(CODESET, loc), "UTF-8") == 0;
    std::tm tm{};
    const QDate d = ahora.date();
    const QTime t = ahora.time();
    tm.tm_year = d.year() - 1900;
    tm.tm_mon = d.month() - 1;
    tm.tm_mday = d.day();
    tm.tm_wday = d.dayOfWeek() % 7;
    tm.tm_yday = d.dayOfYear() - 1;
    tm.tm_hour = t.hour();
    tm.tm_min = t.minute();
    tm.tm_sec = t.second();
    tm.tm_isdst = -1;
    char texto[256];
    const size_t n = strftime_l(texto, sizeof texto, formato.constData(), &tm, loc);
    freelocale(loc);
    if (n == 0)
        return SinRegional(ahora);
    return utf8 ? QString::fromUtf8(texto, qsizetype(n))
                : QString::fromLocal8Bit(texto, qsizetype(n));
}

QString RutaResultado(const QString& elegido) {
    // The folder part keeps its last separator.
    const qsizetype corte = elegido.lastIndexOf(QLatin1Char('/'));
    return elegido.left(corte + 1) + QStringLiteral("ResultadoTempolan") + elegido.mid(corte + 1);
}
