#include "export/ExportInternal.h"

#include "run/RunError.h"

exchange::Document AjustarRegistros(const QString& ruta) {
    exchange::Document doc = exchange::Document::load(ruta);
    if (!doc.ok())
        throw RunError(QStringLiteral("No se puede volver a leer el documento guardado %1: %2")
                           .arg(ruta, doc.errorString()));
    const auto profesores = doc.select(QStringLiteral(
        "/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=\"HORARIOS_REGULARES\"]/grupo_datos"));
    for (exchange::Node profesor : profesores) {
        // The teacher's activity groups: every child but the two leading data items.
        const int actividades = profesor.elementChildren(QStringLiteral("grupo_datos")).size();
        if (profesor.attributeCount() >= 2)
            profesor.setAttributeValue(1, QString::number(actividades));
        else
            profesor.setAttribute(QStringLiteral("registros"), qint64(actividades));
    }
    doc.save(ruta);
    return doc;
}
