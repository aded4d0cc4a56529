#include "import/ImportSteps.h"

#include "import/Materias.h"
#include "tables/Cp1252.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"
#include "text/Clipper.h"
#include "text/RunError.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <utility>

namespace {

const QString& kAsignomt = tables::ASIGNOMT::kName;
const QString& kAsignomt2 = tables::ASIGNOMT2::kName;

constexpr int kAnchoCod = tables::ASIGNOMT::kAnchoCod;
constexpr int kAnchoCodLargo = tables::ASIGNOMT::kAnchoCodLargo;
constexpr int kAnchoNombre = tables::ASIGNOMT::kAnchoNombre;

struct CodigosCatalogo {
    QString cod;
    QString codLargo;
};

// The catalogue is small and read once; the first row of a name wins, as a locate would.
QHash<QString, CodigosCatalogo> LeerCatalogo(const QString& path) {
    const QFileInfo info(path);
    if (!tables::FileExists(path))
        throw RunError(QStringLiteral("No se encuentra el catálogo de materias %1")
                           .arg(QDir::toNativeSeparators(path)));
    tables::Table catalogo;
    catalogo.open(info.absolutePath(), info.fileName());
    QHash<QString, CodigosCatalogo> porNombre;
    for (catalogo.first(); !catalogo.atEnd(); catalogo.next()) {
        const QString nombre = catalogo.text(tables::VELTMATERIAS::NOMBRE);
        if (!porNombre.contains(nombre))
            porNombre.insert(nombre, {catalogo.text(tables::VELTMATERIAS::COD),
                                      catalogo.text(tables::VELTMATERIAS::CODLARGO)});
    }
    catalogo.close();
    return porNombre;
}

// First character of the name and the capitals A to Z of the rest; a name that gives a
// single character falls back to six letters of one word or the initials of several.
QString CodigoDesdeNombre(const QString& nombre) {
    if (nombre.isEmpty())
        return QString();
    QString cod = nombre.left(1) + Capitals(nombre.mid(1));
    if (cod.size() == 1) {
        if (!nombre.contains(QChar(u' ')))
            cod = LeftStr(nombre, 6);
        else
            cod = nombre.left(1) + WordInitials(nombre);
    }
    return cod;
}

// The base followed by the number, keeping as much of the base as leaves room for the whole
// number within the 10 characters of a code.
QString CodigoNumerado(const QString& base, int n) {
    const QString numero = QString::number(n);
    if (base.size() + numero.size() <= kAnchoCod)
        return base + numero;
    return base.left(qMax(0, kAnchoCod - int(numero.size()))) + numero;
}

// Hands out codes that no other subject has. The counter of each base remembers where the
// last search ended: every candidate below it was in use then and still is, so starting
// there gives the same code as counting from 1 again.
class Numeracion {
public:
    QString asignar(const QString& cod) {
        QString libre = cod;
        if (enUso_.contains(cod)) {
            const QString base = cod.left(cod.size() - 1);
            int& n = siguiente_[base];
            if (n < 1)
                n = 1;
            for (;; ++n) {
                libre = CodigoNumerado(base, n);
                if (!enUso_.contains(libre))
                    break;
            }
            ++n;
        }
        enUso_.insert(libre);
        return libre;
    }

private:
    QSet<QString> enUso_;
    QHash<QString, int> siguiente_;
};

using Par = std::pair<QString, QString>;

} // namespace

void CrearAsignaturas(ImportContext& ctx) {
    tables::DeleteTable(ctx.workDir, kAsignomt);
    tables::CreateTable(ctx.workDir, kAsignomt, tables::ASIGNOMT::fields());
    tables::DeleteTable(ctx.workDir, kAsignomt2);
    tables::CreateTable(ctx.workDir, kAsignomt2, tables::ASIGNOMT2::fields());
    const QHash<QString, CodigosCatalogo> catalogo = LeerCatalogo(ctx.catalogPath);

    const QList<Materia>& materias = MateriasDelDocumento(ctx);
    tables::Table asignomt;
    asignomt.open(ctx.workDir, kAsignomt);
    asignomt.holdWrites();
    tables::Table asignomt2;
    asignomt2.open(ctx.workDir, kAsignomt2);
    // Only filled here (the offers already linked are remembered in materiasPorOferta),
    // and it grows with the document: its rows go to the file as they are made.
    asignomt2.writeThrough();

    QSet<QString> nombresVistos; // upper-cased names
    QSet<QString> largosVistos;  // long codes
    QSet<QString> paresVistos;   // long code followed by the name
    Numeracion numeracion;
    // Both lookups stand for locates in the tables written so far: keys in the form the
    // table gives them back (what the code page cannot hold reads "?"), on both sides.
    using tables::cp1252::asStored;
    // ASIGNOMT rows by (CODLARGO, NOMBRE) as stored; the first row wins, as a locate would.
    QHash<Par, QString> codPorFila;
    const auto claveFila = [](const QString& codLargo, const QString& nombre) {
        return Par{asStored(LeftStr(codLargo, kAnchoCodLargo)),
                   asStored(LeftStr(nombre, kAnchoNombre))};
    };
    // (MATERIA, OFERTAMATRI) of every ASIGNOMT2 row, as stored.
    QSet<Par> materiasPorOferta;
    const auto claveOferta = [](const Materia& m) {
        return Par{asStored(m.identificador), asStored(m.oferta)};
    };

    const auto anadirAsignomt2 = [&](const QString& cod, const QString& codLargo,
                                     const Materia& m) {
        asignomt2.append();
        asignomt2.setText(tables::ASIGNOMT2::COD, cod);
        asignomt2.setText(tables::ASIGNOMT2::CODLARGO, codLargo);
        asignomt2.setText(tables::ASIGNOMT2::NOMBRE, m.nombre);
        asignomt2.setText(tables::ASIGNOMT2::MATERIA, m.identificador);
        asignomt2.setText(tables::ASIGNOMT2::OFERTAMATRI, m.oferta);
        asignomt2.setBool(tables::ASIGNOMT2::ESTAREA, false);
        asignomt2.post();
        materiasPorOferta.insert(claveOferta(m));
    };

    for (const Materia& m : materias) {
        QString cod;
        QString codLargo;
        if (const auto hit = catalogo.constFind(tables::cp1252::asStored(m.nombre));
            hit != catalogo.cend()) {
            cod = hit->cod;
            codLargo = hit->codLargo;
        }
        if (AllTrim(cod).isEmpty())
            cod = CodigoDesdeNombre(m.nombre);
        if (AllTrim(codLargo).isEmpty())
            codLargo = cod.size() > 4 ? cod : LeftStr(m.nombre, 10);
        cod = LeftStr(cod, kAnchoCod);

        const QString nombreMayus = MayusculasAZ(m.nombre);
        const QString par = codLargo + m.nombre;
        if (nombresVistos.contains(nombreMayus) && largosVistos.contains(codLargo) &&
            paresVistos.contains(par)) {
            // Already a subject: only its link to this course offer may be missing.
            if (materiasPorOferta.contains(claveOferta(m)))
                continue;
            const auto fila = codPorFila.constFind(claveFila(codLargo, m.nombre));
            if (fila != codPorFila.cend())
                anadirAsignomt2(*fila, codLargo, m);
            continue;
        }

        nombresVistos.insert(nombreMayus);
        largosVistos.insert(codLargo);
        paresVistos.insert(par);
        cod = numeracion.asignar(cod);

        asignomt.append();
        asignomt.setText(tables::ASIGNOMT::COD, cod);
        asignomt.setText(tables::ASIGNOMT::CODLARGO, codLargo);
        asignomt.setText(tables::ASIGNOMT::NOMBRE, m.nombre);
        asignomt.setBool(tables::ASIGNOMT::ESTAREA, false);
        asignomt.setText(tables::ASIGNOMT::R_UNI_MAT, QString());
        asignomt.post();
        const Par fila = claveFila(codLargo, m.nombre);
        if (!codPorFila.contains(fila))
            codPorFila.insert(fila, cod);
        anadirAsignomt2(cod, codLargo, m);
    }

    asignomt.close();
    asignomt2.close();
}
