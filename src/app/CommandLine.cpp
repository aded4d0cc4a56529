#include "app/CommandLine.h"

QString lowerAsciiLetters(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return out;
}

std::optional<quint32> hexHandle(const QString& dollarText) {
    if (!dollarText.startsWith(u'$') || dollarText.size() < 2)
        return std::nullopt;
    quint64 value = 0;
    for (qsizetype i = 1; i < dollarText.size(); ++i) {
        const char16_t c = dollarText.at(i).unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return std::nullopt;
        value = value * 16 + quint64(digit);
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return quint32(value);
}

CommandLine parseCommandLine(const QStringList& parameters) {
    CommandLine cl;
    if (parameters.size() != 2)
        return cl;
    cl.twoParameters = true;

    const QString word = lowerAsciiLetters(parameters.at(0));
    if (word == QLatin1String("importar"))
        cl.action = CommandLine::Action::Export;
    else if (word == QLatin1String("exportar"))
        cl.action = CommandLine::Action::Import;

    const QString handle = u'$' + parameters.at(1);
    cl.hostWindow = hexHandle(handle);
    if (!cl.hostWindow)
        cl.conversionError =
            QStringLiteral("'%1' no es un valor entero válido: Tempolan debe pasar el "
                           "identificador de su ventana en hexadecimal.")
                .arg(handle);
    return cl;
}
