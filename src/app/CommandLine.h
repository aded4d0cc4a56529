#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// How Tempolan starts the tool: the action word and the handle of the host window, in
// hexadecimal without prefix. Any other number of parameters means standalone.
struct CommandLine {
    // Import: the import run ("exportar"); Export: the export run ("importar").
    enum class Action { None, Import, Export };

    bool twoParameters = false; // exactly two: the action starts when the window shows
    Action action = Action::None;
    std::optional<quint32> hostWindow; // set when the handle converted
    QString conversionError;           // "'$...' no es un valor entero válido…" otherwise
};

// `parameters` are the arguments after the program's name.
CommandLine parseCommandLine(const QStringList& parameters);

// Lower case for the letters A to Z only; nothing else changes.
QString lowerAsciiLetters(const QString& text);

// "$" followed by hexadecimal digits, as a 32-bit value; nothing when it is not one.
std::optional<quint32> hexHandle(const QString& dollarText);
