#include "import/PlantillasLogic.h"
#include "exchange/ExchangeNames.h"

#include "exchange/ExchangeDocument.h"
#include "run/RunHost.h"
#include "text/Clipper.h"

#include <QSet>

namespace {

const QString kFrames = QString::fromLatin1(exchange::groups::kFrames);
const QString kSlots = QString::fromLatin1(exchange::groups::kSlots);

} // namespace

const QString PlantillasLogic::kLeaveText =
    QStringLiteral("¿Quiere salir sin terminar la importación?\n"
                   "No se importa nada: las tablas de trabajo quedan como estaban antes de la "
                   "importación, y los niveles y cursos que ha escrito se guardan para la "
                   "próxima vez.");
const QString PlantillasLogic::kLeaveButton = QStringLiteral("&Salir sin importar");
const QString PlantillasLogic::kStayButton = QStringLiteral("S&eguir eligiendo");

PlantillasLogic::PlantillasLogic(RunHost& host, const exchange::Document& doc)
    : host_(host), doc_(doc) {}

QString PlantillasLogic::focusedFrame() const {
    if (focusRow_ < 0 || focusRow_ >= marcos_.size())
        return {};
    return marcos_.at(focusRow_);
}

void PlantillasLogic::activate() {
    const exchange::NodeList frames = doc_.recordsOf(kFrames);
    if (frames.size() > 1) {
        marcos_.clear();
        for (const exchange::Node& frame : frames)
            marcos_ << exchange::itemText(exchange::dataItems(frame), 0);
        selected_ = QList<bool>(marcos_.size(), false);
    }
    focusRow_ = marcos_.isEmpty() ? -1 : 0;
    showFocusedFrame();
}

void PlantillasLogic::showFocusedFrame() {
    const QString focus = focusedFrame();

    nombre_ = planFec1_ = planFec2_ = QStringLiteral("-");
    const exchange::NodeList frames = doc_.recordsOf(kFrames);
    if (frames.size() > 1) {
        // Texts are shown as the document has them; with repeated codes the last wins.
        for (const exchange::Node& frame : frames) {
            const exchange::NodeList items = exchange::dataItems(frame);
            if (exchange::itemText(items, 0) == focus) {
                nombre_ = exchange::itemText(items, 1);
                planFec1_ = exchange::itemText(items, 2);
                planFec2_ = exchange::itemText(items, 3);
            }
        }
    }

    // The slot list keeps what it showed when the document has a single slot or none.
    const exchange::NodeList slots = doc_.recordsOf(kSlots);
    if (slots.size() > 1) {
        horas_.clear();
        for (const exchange::Node& slot : slots) {
            const exchange::NodeList items = exchange::dataItems(slot);
            if (exchange::itemText(items, 4) == focus)
                horas_ << exchange::itemText(items, 1);
        }
    }
}

void PlantillasLogic::focusFrame(int row) {
    focusRow_ = (row >= 0 && row < marcos_.size()) ? row : -1;
    showFocusedFrame();
}

void PlantillasLogic::proceed() {
    chooseFrames();
}

void PlantillasLogic::chooseFrames() {
    closed_ = true;
    resultMH = true;
    resultado.clear();

    const QList<int> rows = selectedRows();
    if (rows.size() > 2) {
        host_.showMessage(QStringLiteral("Demasiados Marcos Horarios seleccionados.\n"
                                         "Como máximo puede seleccionar 2 Marcos Horarios"));
        resultMH = false;
    } else if (rows.isEmpty()) {
        host_.showMessage(QStringLiteral("Debe al menos seleccionar 1 Marco Horario."));
        resultMH = false;
    }

    // Composed in every case; the caller looks at resultMH first.
    QStringList entries;
    for (int row : rows)
        entries << marcos_.at(row);
    resultado = composeResultado(entries);
}

QString PlantillasLogic::frameCode(const QString& value) {
    return RTrim(LeftStr(AllTrim(value), 10));
}

void PlantillasLogic::leave() {
    resultMH = false;
    resultado.clear();
    left_ = true;
    closed_ = true;
}

QString PlantillasLogic::composeResultado(const QStringList& selectedEntries) {
    QString out;
    for (const QString& entry : selectedEntries)
        out += LeftStr(entry + QString(10, QLatin1Char(' ')), 10);
    return out;
}

void PlantillasLogic::setSelection(const QList<int>& rows) {
    selected_.fill(false);
    for (int row : rows)
        setSelected(row, true);
}

void PlantillasLogic::setSelected(int row, bool selected) {
    if (row >= 0 && row < selected_.size())
        selected_[row] = selected;
}

bool PlantillasLogic::isSelected(int row) const {
    return row >= 0 && row < selected_.size() && selected_.at(row);
}

QList<int> PlantillasLogic::selectedRows() const {
    QList<int> rows;
    for (int row = 0; row < selected_.size(); ++row)
        if (selected_.at(row))
            rows << row;
    return rows;
}

QList<PlantillasLogic::Frame> PlantillasLogic::frames() const {
    QList<Frame> out;
    for (const exchange::Node& frame : doc_.recordsOf(kFrames)) {
        const exchange::NodeList items = exchange::dataItems(frame);
        out << Frame{exchange::itemValue(items, 0), exchange::itemValue(items, 1)};
    }
    return out;
}

PlantillasLogic::ChoiceOutcome PlantillasLogic::chooseByCodes(const QStringList& codes) {
    ChoiceOutcome outcome;

    QStringList wanted; // distinct, trimmed, in the order given
    for (const QString& code : codes) {
        const QString c = AllTrim(code);
        if (!c.isEmpty() && !wanted.contains(c))
            wanted << c;
    }
    if (wanted.isEmpty()) {
        outcome.status = Choice::None;
        return outcome;
    }

    activate();
    QList<int> rows;
    QSet<QString> matched;
    for (int row = 0; row < marcos_.size(); ++row) {
        const QString code = AllTrim(marcos_.at(row));
        if (wanted.contains(code)) {
            rows << row;
            matched.insert(code);
        }
    }
    for (const QString& c : wanted)
        if (!matched.contains(c))
            outcome.unknown << c;

    if (!outcome.unknown.isEmpty())
        outcome.status = Choice::Unknown;
    else if (wanted.size() > 2 || rows.size() > 2)
        outcome.status = Choice::TooMany;
    else
        outcome.status = Choice::Ok;
    if (outcome.status != Choice::Ok)
        return outcome;

    // The same closing as the dialog's; with one or two rows it shows no message.
    setSelection(rows);
    chooseFrames();
    return outcome;
}
