#include "tables/Table.h"

#include "tables/FieldCodec.h"
#include "tables/TablePrivate.h"
#include "text/RunError.h"

namespace tables {

bool Table::locate(const QString& fields, const QStringList& values) {
    VT_REQUIRE_OPEN();
    d->post();
    const QStringList names = fields.split(u';');
    if (names.size() != values.size())
        throw RunError(QStringLiteral("Búsqueda en la tabla %1: %2 campos (%3) y %4 valores.")
                           .arg(d->name)
                           .arg(names.size())
                           .arg(fields)
                           .arg(values.size()));
    std::vector<int> fis;
    std::string key;
    bool possible = true;
    for (int i = 0; i < names.size(); ++i) {
        fis.push_back(d->field(names[i]));
        possible = detail::appendValueKey(key, values[i], d->def(fis.back()), d->name) && possible;
    }
    if (!possible)
        return false;
    const std::vector<int>* found = d->index.find(fis, key);
    if (!found)
        return false;
    for (int ordinal : *found) {
        if (d->index.visible(ordinal)) {
            d->pos = ordinal;
            d->eof = false;
            return true;
        }
    }
    return false;
}

void Table::setFilter(const QString& field, const QString& value) {
    VT_REQUIRE_OPEN();
    d->post();
    const int fi = d->field(field);
    std::string key;
    const bool possible = detail::appendValueKey(key, value, d->def(fi), d->name);
    // A value no row can hold gets a key no row has.
    d->index.setFilter(fi, possible ? key : std::string("\xff\xff impossible"));
    d->first();
}

void Table::clearFilter() {
    VT_REQUIRE_OPEN();
    d->post();
    d->index.clearFilter();
    d->first();
}

int Table::rowCount() const {
    VT_REQUIRE_OPEN();
    return d->index.count();
}

} // namespace tables
