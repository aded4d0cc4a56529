#include "exchange/ExchangeDocument.h"
#include "exchange/ExchangeNames.h"
#include "import/ImportChecks.h"
#include "import/ImportSteps.h"
#include "import/PlantillasLogic.h"
#include "tables/Cp1252.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"
#include "text/Clipper.h"
#include "text/RunError.h"
#include "text/WholeNumber.h"

#include <optional>

namespace {

const QString& kTable = tables::DIASHORAST::kName;
const QString kSlotGroup = QString::fromLatin1(exchange::groups::kSlots);

QString twoDigits(qint64 n) {
    QString s = QString::number(n);
    if (s.size() < 2)
        s.prepend(QLatin1Char('0'));
    return s;
}

// hh:mm for minutes after midnight; floor division keeps hours * 60 + minutes = m.
QString asTime(qint32 m) {
    qint64 hours = m / 60;
    qint64 minutes = m % 60;
    if (minutes < 0) {
        minutes += 60;
        hours -= 1;
    }
    return twoDigits(hours) + QLatin1Char(':') + twoDigits(minutes);
}

qint32 slotMinutes(const QString& value, const char* what, int record) {
    if (const auto n = MinutosDeTramo(value))
        return *n;
    throw RunError(QStringLiteral("DIASHORAST: el %1 del registro %2 del grupo %3 no es un "
                                  "número entero de minutos: '%4'")
                       .arg(QLatin1String(what))
                       .arg(record)
                       .arg(kSlotGroup, value));
}

// Minutes of an hh:mm value written by asTime.
qint32 timeMinutes(const QString& hhmm) {
    const qsizetype colon = hhmm.indexOf(QLatin1Char(':'));
    const auto hours = text::parseWholeNumber(hhmm.left(colon));
    const auto minutes = text::parseWholeNumber(hhmm.mid(colon + 1));
    if (colon < 0 || !hours || !minutes)
        throw RunError(
            QStringLiteral("DIASHORAST: la hora de inicio '%1' no es una hora válida").arg(hhmm));
    return *hours * 60 + *minutes;
}

// The dialog's answer, asked again until it is one or two frames; nullopt when the user
// leaves the dialog, which ends the import.
std::optional<QString> askFrames(ImportContext& ctx) {
    for (;;) {
        PlantillasLogic dialog(ctx.host, ctx.doc);
        ctx.questions.askFrames(dialog);
        // A real dialog always runs its closing; a host that returns without it would
        // otherwise keep this loop going for ever.
        if (!dialog.closed())
            throw RunError(QStringLiteral(
                "DIASHORAST: no se eligieron los Marcos Horarios que se van a aplicar"));
        if (dialog.left())
            return std::nullopt;
        if (dialog.resultMH)
            return dialog.resultado;
        ctx.dialogRepeated = true;
    }
}

} // namespace

bool CrearDiasHoras(ImportContext& ctx) {
    tables::DeleteTable(ctx.workDir, kTable);
    tables::CreateTable(ctx.workDir, kTable, tables::DIASHORAST::fields());
    tables::Table t;
    t.open(ctx.workDir, kTable);
    t.holdWrites();

    // Choose the frames. Without any frame the table stays empty.
    const exchange::NodeList frames =
        ctx.doc.recordsOf(QString::fromLatin1(exchange::groups::kFrames));
    if (frames.isEmpty()) {
        t.close();
        return false;
    }
    QString code1;
    QString code2;
    bool twoFrames = false;
    if (frames.size() < 2) {
        // A single code is taken whole: a 20-character code is not two codes.
        code1 =
            PlantillasLogic::frameCode(exchange::itemValue(exchange::dataItems(frames.first()), 0));
    } else {
        const std::optional<QString> answer = askFrames(ctx);
        if (!answer) {
            t.close();
            return true;
        }
        const QString& chosen = *answer;
        twoFrames = chosen.size() == 20;
        code1 = PlantillasLogic::frameCode(chosen.left(10));
        if (twoFrames)
            code2 = PlantillasLogic::frameCode(chosen.mid(10));
    }

    // Seven days of the chosen frames' slots, numbered per frame and day.
    for (int day = 1; day <= 7; ++day) {
        const exchange::NodeList slots = ctx.doc.recordsOf(kSlotGroup);
        int counter1 = 0;
        int counter2 = 0;
        for (int r = 0; r < slots.size(); ++r) {
            const exchange::NodeList items = exchange::dataItems(slots.at(r));
            const QString code = PlantillasLogic::frameCode(exchange::itemValue(items, 4));
            int* counter = nullptr;
            if (code == code1)
                counter = &counter1;
            else if (twoFrames && code == code2)
                counter = &counter2;
            else
                continue; // a frame that was not chosen

            const QString id = exchange::itemValue(items, 0);
            const QString text = exchange::itemValue(items, 1);
            const qint32 begin = slotMinutes(exchange::itemValue(items, 2), "inicio", r + 1);
            const qint32 end = slotMinutes(exchange::itemValue(items, 3), "fin", r + 1);
            const qint64 minutes = qint64(end) - begin;

            ++*counter;
            t.append();
            t.setText(tables::DIASHORAST::DIHO, QString::number(day) + QString::number(*counter));
            t.setText(tables::DIASHORAST::HORA, QString::number(*counter));
            t.setText(tables::DIASHORAST::DIA, QString::number(day));
            t.setText(tables::DIASHORAST::TEXTOHOR, text);
            t.setText(tables::DIASHORAST::CODDIHO, id);
            t.setText(tables::DIASHORAST::HORADESDE, asTime(begin));
            t.setText(tables::DIASHORAST::HORAHASTA, asTime(end));
            t.setText(tables::DIASHORAST::MINUTOS, QString::number(minutes));
            t.setText(tables::DIASHORAST::MARCOXML, code);
            t.post();
        }
    }

    // Rank the frames by the begin of their first slot; a tie goes to the first frame.
    const auto startOf = [&t](const QString& code, qint32 notFound) {
        if (t.locate(QStringLiteral("DIHO;MARCOXML"), {QStringLiteral("11"), code}))
            return timeMinutes(t.text(tables::DIASHORAST::HORADESDE));
        return notFound;
    };
    const qint32 start1 = startOf(code1, 0);
    const qint32 start2 = twoFrames ? startOf(code2, 1440) : 1440;
    const QString rank1 = start1 <= start2 ? QStringLiteral("0") : QStringLiteral("1");
    const QString rank2 = start1 <= start2 ? QStringLiteral("1") : QStringLiteral("0");

    // MARCOXML reads back as the table holds it.
    const QString stored1 = tables::cp1252::asStored(code1);
    const QString stored2 = tables::cp1252::asStored(code2);
    t.first();
    while (!t.atEnd()) {
        const QString code = t.text(tables::DIASHORAST::MARCOXML);
        if (code == stored1 || (twoFrames && code == stored2)) {
            t.edit();
            t.setText(tables::DIASHORAST::MARCO, code == stored1 ? rank1 : rank2);
            t.post();
        }
        t.next();
    }
    t.close();
    return false;
}

std::optional<qint32> MinutosDeTramo(const QString& value) {
    // A short value gets one "0" in front, so an empty one reads 0.
    QString text = value;
    if (text.size() < 4)
        text.prepend(QLatin1Char('0'));
    return text::parseWholeNumber(text);
}
