#include "export/ExportInternal.h"
#include "tables/WorkingTables.h"

#include "text/Clipper.h"
#include "text/RunError.h"
#include "text/WholeNumber.h"

#include <cmath>
#include <limits>

namespace {

// The type of a field, or an error naming the table when the field is missing.
tables::FieldType TipoCampo(const tables::Table& t, const QString& campo) {
    const auto campos = t.fields();
    for (const auto& f : campos) {
        if (f.name.compare(campo, Qt::CaseInsensitive) == 0)
            return f.type;
    }
    throw RunError(QStringLiteral("La tabla %1 no tiene el campo %2.").arg(t.name(), campo));
}

// A field that may be numeric in one table and text in another (SOLUC belongs to
// Tempolan): read it in both forms.
class LectorValor {
public:
    LectorValor(const tables::Table& t, const QString& campo)
        : campo_(campo), tipo_(TipoCampo(t, campo)) {}

    // Never fails: a value that is not a number keeps its text and no number, and the
    // step that reads it says so, naming the entry (an entry the export passes over is
    // never converted).
    Valor leer(const tables::Table& t) const {
        switch (tipo_) {
        case tables::FieldType::Integer: {
            if (t.isNull(campo_))
                return {QString(), 0};
            const QString s = t.text(campo_);
            if (const auto n = text::parseWholeNumber(s))
                return {QString::number(*n), *n};
            return {s, std::nullopt};
        }
        case tables::FieldType::Float: {
            if (t.isNull(campo_))
                return {QString(), 0};
            const QString s = t.text(campo_);
            bool ok = false;
            const double v = QLocale::c().toDouble(s.trimmed(), &ok);
            if (!ok)
                return {s, std::nullopt};
            if (std::isfinite(v) && v == std::floor(v) && v >= std::numeric_limits<qint32>::min() &&
                v <= std::numeric_limits<qint32>::max()) {
                const auto n = static_cast<qint32>(v);
                return {QString::number(n), n};
            }
            return {QString::number(v, 'g', 15), std::nullopt};
        }
        default: {
            const QString s = t.text(campo_);
            return {s, EnteroDecimal(s)};
        }
        }
    }

    // Whether the value follows from the field's text alone (leer's last case).
    bool porTexto() const {
        return tipo_ != tables::FieldType::Integer && tipo_ != tables::FieldType::Float;
    }
    const QString& campo() const { return campo_; }

private:
    QString campo_;
    tables::FieldType tipo_;
};

// Calls f on every row of t, in table order.
template <typename F> void Recorrer(tables::Table& t, F&& f) {
    t.clearFilter();
    for (t.first(); !t.atEnd(); t.next())
        f();
}

} // namespace

QString NombreProfesor(const Profesor& p) {
    const QString nombre = AllTrim(p.nombre);
    const QString abrev = AllTrim(p.abrev);
    if (nombre.isEmpty())
        return QStringLiteral("Profesor %1").arg(abrev);
    return QStringLiteral("%1 (%2)").arg(nombre, abrev);
}

void Busquedas::cargar(TablasExport& t, bool catalogos, run::RunReport* informe) {
    // PROFT: the exported teachers.
    int fila = 0;
    Recorrer(t.proft, [&] {
        ++fila;
        const QString empleado = t.proft.text(tables::PROFT::X_EMPLEADO);
        Profesor p{t.proft.text(tables::PROFT::ABREV), empleado,
                   t.proft.text(tables::PROFT::F_TOMAPOS), t.proft.text(tables::PROFT::NOMBRE)};
        if (AllTrim(empleado).isEmpty()) {
            if (informe)
                informe->add({run::ReportKind::TeacherWithoutEmployee,
                              QStringLiteral("profesor sin X_EMPLEADO: no se exporta su horario"),
                              {},
                              QStringLiteral("PROFT"),
                              fila,
                              p.abrev,
                              {},
                              QStringLiteral("%1: no tiene el código de empleado de VELTRA; su "
                                             "horario no se exporta")
                                  .arg(NombreProfesor(p)),
                              QStringLiteral("Profesores sin código de empleado de VELTRA, cuyo "
                                             "horario no se exporta (%n profesores)")});
            return;
        }
        profesores.append(std::move(p));
    });

    // SOLUC: read once, grouped by teacher, instead of a filtered pass per teacher.
    {
        const LectorValor dia(t.soluc, tables::SOLUC::DIA);
        const LectorValor hora(t.soluc, tables::SOLUC::HORA);
        const LectorValor prof(t.soluc, tables::SOLUC::PROF);
        const LectorValor marco(t.soluc, tables::SOLUC::MARCO);
        const LectorValor asig(t.soluc, tables::SOLUC::ASIG);
        const LectorValor tarea(t.soluc, tables::SOLUC::TAREA);
        const LectorValor codgrupo(t.soluc, tables::SOLUC::CODGRUPO);
        const LectorValor aula(t.soluc, tables::SOLUC::AULA);
        const LectorValor cconcierto(t.soluc, tables::SOLUC::CCONCIERTO);
        soluc_.reserve(std::size_t(t.soluc.rowCount()));
        // Each distinct value (its text and its number) is kept once; the number without
        // a value stands apart from every qint32.
        QHash<std::pair<QString, qint64>, quint32> posiciones;
        const auto posicion = [&](Valor v) {
            const std::pair clave{v.texto, v.numero ? qint64(*v.numero) : qint64(1) << 40};
            const auto it = posiciones.constFind(clave);
            if (it != posiciones.cend())
                return *it;
            const auto at = quint32(valores_.size());
            posiciones.insert(clave, at);
            valores_.append(std::move(v));
            return at;
        };
        // A text field's value follows from its text: a text met before is not read again.
        QHash<QString, quint32> porTexto[9];
        const auto valor = [&](const LectorValor& lector, int k) {
            if (!lector.porTexto())
                return posicion(lector.leer(t.soluc));
            const QString s = t.soluc.text(lector.campo());
            const auto it = porTexto[k].constFind(s);
            if (it != porTexto[k].cend())
                return *it;
            const quint32 at = posicion(lector.leer(t.soluc));
            porTexto[k].insert(s, at);
            return at;
        };
        Recorrer(t.soluc, [&] {
            FilaSoluc f{};
            f.prof = valor(prof, 0);
            f.dia = valor(dia, 1);
            f.hora = valor(hora, 2);
            f.marco = valor(marco, 3);
            f.asig = valor(asig, 4);
            f.tarea = valor(tarea, 5);
            f.codgrupo = valor(codgrupo, 6);
            f.aula = valor(aula, 7);
            f.cconcierto = valor(cconcierto, 8);
            porProfesor_[valores_.at(f.prof).texto].append(int(soluc_.size()));
            soluc_.push_back(f);
        });
    }

    // DIASHORAST, by DIHO and MARCO.
    {
        const LectorValor minutos(t.diashorast, tables::DIASHORAST::MINUTOS);
        Recorrer(t.diashorast, [&] {
            Tramo tr;
            tr.diho = t.diashorast.text(tables::DIASHORAST::DIHO);
            tr.marco = t.diashorast.text(tables::DIASHORAST::MARCO);
            const std::pair clave{tr.diho, tr.marco};
            if (tramoPorClave_.contains(clave))
                return;
            tr.dia = t.diashorast.text(tables::DIASHORAST::DIA);
            tr.coddiho = t.diashorast.text(tables::DIASHORAST::CODDIHO);
            tr.horadesde = t.diashorast.text(tables::DIASHORAST::HORADESDE);
            tr.horahasta = t.diashorast.text(tables::DIASHORAST::HORAHASTA);
            tr.minutos = minutos.leer(t.diashorast);
            tramoPorClave_.insert(clave, tramos_.size());
            tramos_.append(std::move(tr));
        });
    }

    Recorrer(t.asigt, [&] {
        const std::pair clave{t.asigt.text(tables::ASIGT::CASIG),
                              t.asigt.text(tables::ASIGT::CGRUP)};
        if (!asignaciones_.contains(clave))
            asignaciones_.insert(clave, {t.asigt.text(tables::ASIGT::CLAVE),
                                         t.asigt.text(tables::ASIGT::CLAVECURSO)});
    });

    Recorrer(t.grupost, [&] {
        const QString abrev = t.grupost.text(tables::GRUPOST::ABREV);
        if (!grupos_.contains(abrev))
            grupos_.insert(abrev, {t.grupost.text(tables::GRUPOST::CLAVE),
                                   t.grupost.text(tables::GRUPOST::CLAVECURSO)});
    });

    Recorrer(t.asignomt, [&] {
        const QString cod = t.asignomt.text(tables::ASIGNOMT::COD);
        const QString codtarea = t.asignomt.text(tables::ASIGNOMT::CODTAREA);
        if (!tareaPorCodigo_.contains(cod))
            tareaPorCodigo_.insert(cod, codtarea);
        if (!requisitoPorTarea_.contains(codtarea))
            requisitoPorTarea_.insert(codtarea, t.asignomt.text(tables::ASIGNOMT::R_UNI_MAT));
    });

    Recorrer(t.asignomt2, [&] {
        const std::pair clave{t.asignomt2.text(tables::ASIGNOMT2::COD),
                              t.asignomt2.text(tables::ASIGNOMT2::OFERTAMATRI)};
        if (!materias_.contains(clave))
            materias_.insert(clave, t.asignomt2.text(tables::ASIGNOMT2::MATERIA));
    });

    if (!catalogos)
        return;

    // The catalogues' keys are whole numbers; a row whose key is empty can match nothing.
    {
        const LectorValor oferta(t.curniv, tables::CUR_NIV_C::X_OFERTAMATRIG);
        const LectorValor nivel(t.curniv, tables::CUR_NIV_C::X_NIVCONPAGLEG);
        Recorrer(t.curniv, [&] {
            const Valor o = oferta.leer(t.curniv);
            if (o.texto.isEmpty() || !o.numero || nivelPorOferta_.contains(*o.numero))
                return;
            nivelPorOferta_.insert(*o.numero, nivel.leer(t.curniv).texto);
        });
    }
    {
        const LectorValor origen(t.origenes, tables::ORIGENES_C::C_ORIHOR);
        const LectorValor categoria(t.origenes, tables::ORIGENES_C::X_CATORIHOR);
        Recorrer(t.origenes, [&] {
            const QString o = origen.leer(t.origenes).texto;
            if (!categoriaPorOrigen_.contains(o))
                categoriaPorOrigen_.insert(o, categoria.leer(t.origenes).texto);
        });
    }
    {
        const LectorValor autorizacion(t.autoriza, tables::AUTORIZA_C::X_ORIHORACTETP);
        const LectorValor actividad(t.autoriza, tables::AUTORIZA_C::X_ACTIVIDAD);
        const LectorValor categoria(t.autoriza, tables::AUTORIZA_C::X_CATORIHOR);
        const LectorValor nivel(t.autoriza, tables::AUTORIZA_C::X_NIVCONPAGLEG);
        Recorrer(t.autoriza, [&] {
            const Valor a = actividad.leer(t.autoriza);
            const Valor c = categoria.leer(t.autoriza);
            const Valor n = nivel.leer(t.autoriza);
            if (a.texto.isEmpty() || c.texto.isEmpty() || n.texto.isEmpty() || !a.numero ||
                !c.numero || !n.numero)
                return;
            const std::pair clave{*a.numero, std::pair{*c.numero, *n.numero}};
            if (!autorizaciones_.contains(clave))
                autorizaciones_.insert(clave, autorizacion.leer(t.autoriza).texto);
        });
    }
}

QList<Entrada> Busquedas::entradasDe(const QString& abrev) const {
    QList<Entrada> r;
    const auto it = porProfesor_.constFind(abrev);
    if (it == porProfesor_.cend())
        return r;
    r.reserve(it->size());
    for (int i : *it) {
        const FilaSoluc& f = soluc_[std::size_t(i)];
        r.append({i + 1, valores_.at(f.prof).texto, valores_.at(f.dia), valores_.at(f.hora),
                  valores_.at(f.marco).texto, valores_.at(f.asig).texto, valores_.at(f.tarea).texto,
                  valores_.at(f.codgrupo).texto, valores_.at(f.aula).texto,
                  valores_.at(f.cconcierto).texto});
    }
    return r;
}

const Tramo* Busquedas::tramo(const QString& diho, const QString& marco) const {
    const auto it = tramoPorClave_.constFind(std::pair{diho, marco});
    return it == tramoPorClave_.cend() ? nullptr : &tramos_[*it];
}

const Busquedas::Asignacion* Busquedas::asignacion(const QString& casig,
                                                   const QString& cgrup) const {
    const auto it = asignaciones_.constFind(std::pair{casig, cgrup});
    return it == asignaciones_.cend() ? nullptr : &*it;
}

const Busquedas::Grupo* Busquedas::grupo(const QString& abrev) const {
    const auto it = grupos_.constFind(abrev);
    return it == grupos_.cend() ? nullptr : &*it;
}

const QString* Busquedas::tareaDeCodigo(const QString& cod) const {
    const auto it = tareaPorCodigo_.constFind(cod);
    return it == tareaPorCodigo_.cend() ? nullptr : &*it;
}

const QString* Busquedas::requisitoDeTarea(const QString& codtarea) const {
    const auto it = requisitoPorTarea_.constFind(codtarea);
    return it == requisitoPorTarea_.cend() ? nullptr : &*it;
}

const QString* Busquedas::materia(const QString& cod, const QString& oferta) const {
    const auto it = materias_.constFind(std::pair{cod, oferta});
    return it == materias_.cend() ? nullptr : &*it;
}

const QString* Busquedas::nivelDeOferta(qint32 oferta) const {
    const auto it = nivelPorOferta_.constFind(oferta);
    return it == nivelPorOferta_.cend() ? nullptr : &*it;
}

const QString* Busquedas::categoriaDeOrigen(const QString& origen) const {
    const auto it = categoriaPorOrigen_.constFind(origen);
    return it == categoriaPorOrigen_.cend() ? nullptr : &*it;
}

const QString* Busquedas::autorizacion(qint32 actividad, qint32 categoria, qint32 nivel) const {
    const auto it = autorizaciones_.constFind(std::pair{actividad, std::pair{categoria, nivel}});
    return it == autorizaciones_.cend() ? nullptr : &*it;
}
