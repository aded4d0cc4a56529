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
        "\n"
        "Órdenes:\n"
        "  import DOC [--workdir DIR] [--catalog FICHERO] [--recover | --no-recover]\n"
        "             [--codes FICHERO.csv] [--frames COD[,COD]]\n"
        "      Importa el documento DOC de Veltra: borra y reconstruye las tablas de\n"
        "      trabajo de Tempolan en los diez pasos de la importación.\n"
        "      --workdir   carpeta de trabajo (por defecto la misma que la ventana)\n"
        "      --catalog   catálogo de materias (por defecto VELTMATERIAS.DBF junto al\n"
        "                  programa)\n"
        "      --recover   recupera los niveles y cursos guardados en CURSOST2 (por\n"
        "                  defecto); --no-recover borra CURSOST2.DBF\n"
        "      --codes     CSV en UTF-8 con la cabecera CLAVE,NIVEL,CURSO que da el nivel y\n"
        "                  el curso de cada oferta de curso\n"
        "      --frames    uno o dos códigos de marco horario, separados por comas,\n"
        "                  cuando el documento tiene más de uno\n"
        "  export DOC [--workdir DIR]\n"
        "      Exporta el horario de Tempolan (SOLUC) a un documento para Veltra junto a\n"
        "      DOC, y muestra su ruta.\n"
        "  check DOC [--workdir DIR]\n"
        "      Lee DOC sin escribir nada e informa de lo que encontraría la importación.\n"
        "  table FICHERO_O_NOMBRE [--workdir DIR] [--format csv|json]\n"
        "      Muestra una tabla dBase: sus campos y sus filas.\n"
        "\n"
        "Códigos de salida: 0 hecho; 1 la ejecución terminó por un error; 2 uso\n"
        "incorrecto; 3 la ejecución necesita una respuesta que no se dio.\n");
}

} // namespace cli
