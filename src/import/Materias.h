#pragma once

#include "exchange/ExchangeDocument.h"
#include "import/ImportSteps.h"

#include <QString>

// A record of the MATERIAS group, as both the subjects step and the teaching-assignments
// step read it.
struct Materia {
    QString oferta;        // item 0: the course-offer key
    QString nombre;        // the item named D_MATERIAC
    QString identificador; // the item named X_MATERIAOMG
    int registro = 0;      // position in the MATERIAS group, from 1
};

// Items 1 and 2 may come in either order: item 2 is looked at first, then item 1, each by
// the start of its nombre_dato; item 1 wins when both land on the same role. A missing
// item reads as empty.
Materia LeerMateria(const exchange::NodeList& items);

// Every MATERIAS record of the document that has at least two items, read with
// LeerMateria, in document order. Read once per run: the subjects step and the
// teaching-assignments step both go through them.
const QList<Materia>& MateriasDelDocumento(ImportContext& ctx);

// Upper-cases the letters a to z only; accented letters stay as they are.
QString MayusculasAZ(const QString& s);
