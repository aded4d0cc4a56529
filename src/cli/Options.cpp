#include "cli/Cli.h"

namespace cli {

Options::Options(const QStringList& args, const QStringList& valueOptions,
                 const QStringList& flagOptions) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (!a.startsWith(QLatin1String("--"))) {
            positional_ << a;
            continue;
        }
        QString name = a.mid(2);
        QString inlineValue;
        const qsizetype eq = name.indexOf(u'=');
        const bool hasInline = eq >= 0;
        if (hasInline) {
            inlineValue = name.mid(eq + 1);
            name = name.left(eq);
        }
        if (valueOptions.contains(name)) {
            if (hasInline) {
                values_.append({name, inlineValue});
            } else if (i + 1 < args.size()) {
                values_.append({name, args.at(++i)});
            } else {
                error_ = QStringLiteral("Falta el valor de la opción --%1").arg(name);
                return;
            }
        } else if (flagOptions.contains(name) && !hasInline) {
            values_.append({name, QString()});
        } else {
            error_ = QStringLiteral("Opción desconocida: %1").arg(a);
            return;
        }
    }
}

bool Options::has(const QString& name) const {
    for (const auto& [n, v] : values_)
        if (n == name)
            return true;
    return false;
}

QString Options::emptyPath(const QStringList& names) const {
    for (const auto& [n, v] : values_)
        if (v.isEmpty() && names.contains(n))
            return QStringLiteral("La opción --%1 necesita un valor.").arg(n);
    return QString();
}

QString Options::value(const QString& name, const QString& fallback) const {
    QString found = fallback;
    for (const auto& [n, v] : values_)
        if (n == name)
            found = v; // the last one given wins
    return found;
}

QString usageText() {
    return QStringLiteral(
        "Uso: veltra-tempolan ORDEN [opciones]\n"
        "     veltra-tempolan --help\n"
        "\n"
        "Órdenes:\n"
        "\n"
        "  import DOC [--workdir DIR] [--catalog FICHERO] [--recover | --no-recover]\n"
        "             [--codes FICHERO.csv] [--frames COD[,COD]] [--report FICH]\n"
        "      Importa el documento DOC exportado por Veltra: borra y reconstruye las\n"
        "      tablas de trabajo de Tempolan en los diez pasos de la importación y\n"
        "      muestra una línea por paso con las filas escritas.\n"
        "      --workdir DIR    carpeta de trabajo (por defecto la de la ventana:\n"
        "                       C:\\TLTEMP en Windows; en otros sistemas la de la\n"
        "                       variable TLTEMP, o TLTEMP en la carpeta personal)\n"
        "      --catalog FICH   catálogo de materias (por defecto VELTMATERIAS.DBF\n"
        "                       junto al programa)\n"
        "      --recover        toma los niveles y cursos guardados en CURSOST2 por la\n"
        "                       importación anterior (por defecto)\n"
        "      --no-recover     borra CURSOST2.DBF y no toma nada de él\n"
        "      --codes FICH     CSV con la cabecera CLAVE,NIVEL,CURSO (o separado por\n"
        "                       punto y coma, en UTF-8 o Windows-1252) y una\n"
        "                       fila por clave de oferta de curso; sus códigos se\n"
        "                       ponen sobre los recuperados. Si alguna oferta se queda\n"
        "                       sin nivel o curso, la importación se detiene en CURSOST\n"
        "                       (como al forzar la salida), lista sus claves y sale\n"
        "                       con el código 3.\n"
        "      --frames COD[,COD]\n"
        "                       uno o dos códigos de marco horario, en cualquier orden,\n"
        "                       cuando el documento trae más de uno; sin ellos, con uno\n"
        "                       desconocido o con más de dos, no se importa nada, se\n"
        "                       listan los marcos y se sale con el código 3.\n"
        "      --report FICH    escribe en FICH, en JSON, lo que la importación ha\n"
        "                       dejado fuera o rellenado con un valor por defecto\n"
        "\n"
        "  export DOC [--workdir DIR] [--report FICH]\n"
        "      Exporta el horario calculado por Tempolan (SOLUC) y las tablas de la\n"
        "      última importación a un documento para Veltra, ResultadoTempolan seguido\n"
        "      del nombre de DOC, junto a DOC, y muestra su ruta.\n"
        "      --report FICH    escribe en FICH, en JSON, lo que no se ha transferido\n"
        "                       y los avisos\n"
        "  Cuando una importación o una exportación deja algo fuera o da avisos, lo dice\n"
        "  en una línea por la salida de errores (el código de salida no cambia) y deja\n"
        "  el informe en texto junto a DOC: InformeImportacion o ResultadoTempolan\n"
        "  seguido del nombre de DOC sin \".xml\", con la extensión .txt.\n"
        "\n"
        "  check DOC [--workdir DIR] [--catalog FICHERO] [--recover | --no-recover]\n"
        "            [--codes FICHERO.csv] [--frames COD[,COD]]\n"
        "      Hace la importación con las mismas opciones sobre una copia de las\n"
        "      tablas de trabajo, sin escribir nada en la carpeta de trabajo, e informa\n"
        "      de lo que encontraría: si DOC es XML bien formado y su codificación, los\n"
        "      registros de cada grupo de datos, los marcos horarios y sus tramos, lo\n"
        "      que escribiría cada paso, las ofertas de curso que quedarían sin nivel o\n"
        "      curso, lo que dejaría fuera o con un valor por defecto, y el error o la\n"
        "      respuesta que la detendría. Sale con 0 si la importación llegaría a su\n"
        "      fin y con 1 si no.\n"
        "\n"
        "  restore [--workdir DIR] [--force]\n"
        "      Repone las tablas de trabajo como estaban antes de la última importación\n"
        "      que terminó (o deshace el último restore). Se niega, nombrando las tablas,\n"
        "      si han cambiado desde esa importación (por ejemplo, en Tempolan), salvo\n"
        "      con --force. Sale con 1 si no hay nada que reponer.\n"
        "\n"
        "  table FICHERO_O_NOMBRE [--workdir DIR] [--format csv|json]\n"
        "      Muestra una tabla dBase de cualquier nivel que se pueda leer: sus campos\n"
        "      con tipo, ancho y decimales, y luego sus filas. Un nombre sin carpeta es\n"
        "      una tabla de la carpeta de trabajo (PROFT o PROFT.DBF). Formato csv por\n"
        "      defecto.\n"
        "\n"
        "Códigos de salida:\n"
        "  0  hecho\n"
        "  1  la ejecución terminó por un error (su texto sale por la salida de errores)\n"
        "  2  uso incorrecto\n"
        "  3  la ejecución necesita una respuesta que no se dio (--codes, --frames)\n");
}

int usageError(Streams io, const QString& why) {
    io.err << why << QStringLiteral("\nEscriba «veltra-tempolan --help» para ver las órdenes.\n")
           << Qt::flush;
    return Usage;
}

} // namespace cli
