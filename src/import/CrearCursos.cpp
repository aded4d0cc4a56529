#include "exchange/ExchangeNames.h"
#include "import/CursosLogic.h"
#include "import/ImportSteps.h"
#include "tables/Table.h"
#include "tables/WorkingTables.h"

using exchange::NodeList;

bool CrearCursos(ImportContext& ctx) {
    const QString& name = tables::CURSOST::kName;
    tables::DeleteTable(ctx.workDir, name);
    tables::CreateTable(ctx.workDir, name, CursosLogic::fields());
    {
        tables::Table cursos;
        cursos.open(ctx.workDir, name, tables::OpenMode::Shared);
        cursos.holdWrites();
        int number = 0;
        for (const exchange::Node& record :
             ctx.doc.recordsOf(QString::fromLatin1(exchange::groups::kCourses))) {
            ++number;
            const NodeList items = exchange::dataItems(record);
            if (items.size() < 2) {
                noteShortRecord(ctx, QString::fromLatin1(exchange::groups::kCourses), number);
                continue;
            }
            cursos.append();
            cursos.setText(tables::CURSOST::CLAVE, exchange::itemValue(items, 0));
            cursos.setText(tables::CURSOST::ESTUD, exchange::itemValue(items, 1));
            cursos.post();
        }
        cursos.close();
    }

    // A new dialog for every showing, until the user completes every row, forces the
    // exit or closes the dialog through its frame.
    for (;;) {
        CursosLogic dialog(ctx.host, ctx.questions, ctx.workDir, ctx.dialogRepeated);
        ctx.questions.askCourseCodes(dialog);
        dialog.close();
        if (dialog.ending == CursosLogic::Ending::Incomplete) {
            ctx.dialogRepeated = true;
            continue;
        }
        return dialog.ending == CursosLogic::Ending::ForcedExit;
    }
}
