#include "text/SystemError.h"

#include <cstring>

namespace text {

namespace {

#ifdef _WIN32
// Windows reports its own codes (GetLastError, and std::filesystem's system_category): the
// ones a run meets on a disk or a network drive, as the condition our phrases name.
struct WindowsCode {
    int code;
    std::errc meaning;
};
constexpr WindowsCode kWindowsCodes[] = {
    {2, std::errc::no_such_file_or_directory}, // ERROR_FILE_NOT_FOUND
    {3, std::errc::no_such_file_or_directory}, // ERROR_PATH_NOT_FOUND
    {4, std::errc::too_many_files_open},       // ERROR_TOO_MANY_OPEN_FILES
    {5, std::errc::permission_denied},         // ERROR_ACCESS_DENIED
    {6, std::errc::bad_file_descriptor},       // ERROR_INVALID_HANDLE
    {8, std::errc::not_enough_memory},         // ERROR_NOT_ENOUGH_MEMORY
    {14, std::errc::not_enough_memory},        // ERROR_OUTOFMEMORY
    {17, std::errc::cross_device_link},        // ERROR_NOT_SAME_DEVICE
    {19, std::errc::read_only_file_system},    // ERROR_WRITE_PROTECT
    {21, std::errc::no_such_device},           // ERROR_NOT_READY
    {23, std::errc::io_error},                 // ERROR_CRC
    {25, std::errc::io_error},                 // ERROR_SEEK
    {29, std::errc::io_error},                 // ERROR_WRITE_FAULT
    {30, std::errc::io_error},                 // ERROR_READ_FAULT
    {31, std::errc::io_error},                 // ERROR_GEN_FAILURE
    {32, std::errc::device_or_resource_busy},  // ERROR_SHARING_VIOLATION
    {33, std::errc::no_lock_available},        // ERROR_LOCK_VIOLATION
    {39, std::errc::no_space_on_device},       // ERROR_HANDLE_DISK_FULL
    {53, std::errc::timed_out},                // ERROR_BAD_NETPATH
    {59, std::errc::io_error},                 // ERROR_UNEXP_NET_ERR
    {64, std::errc::timed_out},                // ERROR_NETNAME_DELETED
    {80, std::errc::file_exists},              // ERROR_FILE_EXISTS
    {112, std::errc::no_space_on_device},      // ERROR_DISK_FULL
    {121, std::errc::timed_out},               // ERROR_SEM_TIMEOUT
    {145, std::errc::directory_not_empty},     // ERROR_DIR_NOT_EMPTY
    {183, std::errc::file_exists},             // ERROR_ALREADY_EXISTS
    {206, std::errc::filename_too_long},       // ERROR_FILENAME_EXCED_RANGE
    {1117, std::errc::io_error},               // ERROR_IO_DEVICE
    {1392, std::errc::io_error},               // ERROR_FILE_CORRUPT
};
#endif

// The condition a code stands for, whichever system gave it.
std::error_condition meaning(const std::error_code& code) {
#ifdef _WIN32
    if (code.category() == std::system_category()) {
        for (const WindowsCode& w : kWindowsCodes) {
            if (w.code == code.value())
                return std::make_error_condition(w.meaning);
        }
    }
#endif
    return code.default_error_condition();
}

bool is(const std::error_code& code, std::errc e) {
    return meaning(code) == std::make_error_condition(e);
}

} // namespace

QString systemReason(const std::error_code& code) {
    using E = std::errc;
    struct Phrase {
        E code;
        const char* text;
    };
    static const Phrase phrases[] = {
        {E::no_such_file_or_directory, "no existe el archivo o la carpeta"},
        {E::not_a_directory, "una parte de la ruta no es una carpeta"},
        {E::permission_denied, "permiso denegado"},
        {E::operation_not_permitted, "operación no permitida"},
        {E::read_only_file_system, "el sistema de archivos es de solo lectura"},
        {E::no_space_on_device, "no queda espacio en el disco"},
        {E::file_too_large, "el archivo es demasiado grande"},
        {E::is_a_directory, "es una carpeta"},
        {E::io_error, "error de entrada/salida del disco"},
        {E::too_many_files_open, "hay demasiados archivos abiertos"},
        {E::too_many_files_open_in_system, "hay demasiados archivos abiertos en el sistema"},
        {E::filename_too_long, "el nombre del archivo es demasiado largo"},
        {E::file_exists, "ya existe un archivo con ese nombre"},
        {E::device_or_resource_busy, "el archivo está en uso"},
        {E::text_file_busy, "el archivo está en uso"},
        {E::resource_unavailable_try_again, "el archivo está bloqueado por otro programa"},
        {E::no_lock_available, "el archivo está bloqueado por otro programa"},
        {E::directory_not_empty, "la carpeta no está vacía"},
        {E::cross_device_link, "está en otra unidad"},
        {E::too_many_symbolic_link_levels, "demasiados enlaces simbólicos en la ruta"},
        {E::not_enough_memory, "no hay memoria suficiente"},
        {E::invalid_argument, "argumento no válido"},
        {E::bad_file_descriptor, "el archivo no está abierto"},
        {E::no_such_device_or_address, "el dispositivo no existe"},
        {E::no_such_device, "el dispositivo no existe"},
        {E::timed_out, "el disco o la unidad de red no responde"},
        {E::interrupted, "la operación se interrumpió"},
        {E::operation_not_supported, "el sistema de archivos no admite la operación"},
    };
    if (!code)
        return QStringLiteral("error desconocido");
    for (const Phrase& p : phrases) {
        if (is(code, p.code))
            return QString::fromUtf8(p.text);
    }
#ifdef EDQUOT
    if (code.category() == std::generic_category() && code.value() == EDQUOT)
        return QStringLiteral("se ha superado la cuota de disco");
#endif
    return QStringLiteral("error del sistema %1 [%2]")
        .arg(code.value())
        .arg(QString::fromLocal8Bit(code.message()));
}

QString systemReason(int errnoValue) {
    return systemReason(std::error_code(errnoValue, std::generic_category()));
}

QString systemAdvice(const std::error_code& code) {
    using E = std::errc;
    bool space = is(code, E::no_space_on_device) || is(code, E::file_too_large);
#ifdef EDQUOT
    space = space || (code.category() == std::generic_category() && code.value() == EDQUOT);
#endif
    if (space)
        return QStringLiteral("Compruebe que queda espacio en el disco");
    if (is(code, E::io_error) || is(code, E::timed_out) || is(code, E::no_such_device) ||
        is(code, E::no_such_device_or_address))
        return QStringLiteral("Compruebe el disco o, si la carpeta está en la red, la conexión "
                              "con la unidad de red");
    if (is(code, E::permission_denied) || is(code, E::operation_not_permitted) ||
        is(code, E::read_only_file_system))
        return QStringLiteral("Compruebe que tiene permiso para escribir en la carpeta de trabajo");
    if (is(code, E::too_many_files_open) || is(code, E::too_many_files_open_in_system) ||
        is(code, E::device_or_resource_busy) || is(code, E::text_file_busy) ||
        is(code, E::resource_unavailable_try_again) || is(code, E::no_lock_available))
        return QStringLiteral("Cierre los demás programas (quizá Tempolan) y vuelva a empezar");
    if (is(code, E::not_enough_memory))
        return QStringLiteral("Cierre los demás programas y vuelva a empezar");
    return {};
}

QString systemReasonAndAdvice(const std::error_code& code) {
    const QString advice = systemAdvice(code);
    return advice.isEmpty() ? systemReason(code)
                            : systemReason(code) + QStringLiteral(". ") + advice;
}

QString inOurWords(const QString& systemText) {
    // Qt words a file's error with the C library's text for errno: find which it was.
    for (int code = 1; code < 200; ++code) {
        if (systemText == QString::fromLocal8Bit(std::strerror(code)))
            return systemReasonAndAdvice(std::error_code(code, std::generic_category()));
    }
#ifdef _WIN32
    // On Windows Qt words it with the system's text for its code, in the system's language.
    for (const WindowsCode& w : kWindowsCodes) {
        if (systemText.trimmed() == qt_error_string(w.code).trimmed())
            return systemReasonAndAdvice(std::error_code(w.code, std::system_category()));
    }
#endif
    return systemText;
}

} // namespace text
