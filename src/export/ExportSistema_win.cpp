// What the export asks of the operating system, on Windows.

#include "export/ExportInternal.h"

#include <algorithm>
#include <iterator>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

// One of the user's formats applied to the moment; empty when the system refuses.
template <class Formatear> QString Formato(Formatear formatear) {
    wchar_t texto[128];
    const int n = formatear(texto, int(std::size(texto)));
    return n > 1 ? QString::fromWCharArray(texto, n - 1) : QString();
}

} // namespace

// The user's short date and long time from the regional settings.
QString FechaDocumento(const QDateTime& ahora) {
    SYSTEMTIME st{};
    const QDate d = ahora.date();
    const QTime t = ahora.time();
    st.wYear = WORD(d.year());
    st.wMonth = WORD(d.month());
    st.wDay = WORD(d.day());
    st.wDayOfWeek = WORD(d.dayOfWeek() % 7);
    st.wHour = WORD(t.hour());
    st.wMinute = WORD(t.minute());
    st.wSecond = WORD(t.second());
    const QString fecha = Formato([&](wchar_t* texto, int tam) {
        return GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, texto, tam,
                               nullptr);
    });
    const QString hora = Formato([&](wchar_t* texto, int tam) {
        return GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &st, nullptr, texto, tam);
    });
    if (fecha.isEmpty() || hora.isEmpty())
        return d.toString(QStringLiteral("dd/MM/yyyy")) + QLatin1Char(' ') +
               t.toString(QStringLiteral("HH:mm:ss"));
    return fecha + QLatin1Char(' ') + hora;
}

QString RutaResultado(const QString& elegido) {
    // The folder part keeps its last separator: "/", "\" or a drive's ":".
    const qsizetype corte =
        std::max({elegido.lastIndexOf(QLatin1Char('/')), elegido.lastIndexOf(QLatin1Char('\\')),
                  elegido.lastIndexOf(QLatin1Char(':'))});
    return elegido.left(corte + 1) + QStringLiteral("ResultadoTempolan") + elegido.mid(corte + 1);
}
