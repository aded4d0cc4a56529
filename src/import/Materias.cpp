#include "import/Materias.h"
#include "exchange/ExchangeNames.h"

namespace {
const QString kIdentificador = QString::fromLatin1(exchange::items::kSubjectId);
const QString kNombre = QString::fromLatin1(exchange::items::kSubjectName);
} // namespace

Materia LeerMateria(const exchange::NodeList& items) {
    Materia m;
    m.oferta = exchange::itemValue(items, 0);
    if (exchange::itemNameIs(items, 2, kIdentificador))
        m.identificador = exchange::itemValue(items, 2);
    else
        m.nombre = exchange::itemValue(items, 2);
    if (exchange::itemNameIs(items, 1, kNombre))
        m.nombre = exchange::itemValue(items, 1);
    else
        m.identificador = exchange::itemValue(items, 1);
    return m;
}

const QList<Materia>& MateriasDelDocumento(ImportContext& ctx) {
    if (!ctx.materias) {
        auto materias = std::make_shared<QList<Materia>>();
        const exchange::NodeList registros =
            ctx.doc.recordsOf(QString::fromLatin1(exchange::groups::kSubjects));
        materias->reserve(registros.size());
        int numero = 0;
        for (const exchange::Node& registro : registros) {
            ++numero;
            const exchange::NodeList items = exchange::dataItems(registro);
            if (items.size() < 2) {
                noteShortRecord(ctx, QString::fromLatin1(exchange::groups::kSubjects), numero);
                continue;
            }
            materias->append(LeerMateria(items));
            materias->last().registro = numero;
        }
        ctx.materias = std::move(materias);
    }
    return *ctx.materias;
}

QString MayusculasAZ(const QString& s) {
    QString out = s;
    for (QChar& c : out) {
        if (c.unicode() >= u'a' && c.unicode() <= u'z')
            c = QChar(c.unicode() - (u'a' - u'A'));
    }
    return out;
}
