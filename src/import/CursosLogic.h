#pragma once

#include "import/ImportQuestions.h"
#include "run/RunHost.h"
#include "tables/Table.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Widget-free logic of the level and course assignment dialog (TControlCursos).
//
// The dialog edits NIVEL and CURSO of CURSOST and keeps the codes of every course-offer
// key in CURSOST2, which survives from one import to the next. The Qt dialog calls the
// handlers below as its controls fire; the batch front end drives the same object without
// a screen through recover(), applyCodes(), keysLackingCodes() and completeOk().
//
// CURSOST stays open (shared) from show() until confirm(), forceExit() or close(), each of
// which posts a row left in edit and lets a failure through to the caller. The destructor
// only releases the table: a row nobody posted is dropped.
//
// The dialog's handlers were once named after its controls, as the older documents of
// the dialog still name them; here they are named by what they do:
//   FormShow                   show()         the dialog comes up, recovery question
//   CursosTDBGridEnter / Exit  enterGrid() / leaveGrid()
//   CursosTDBGridColEnter      enterColumn()  hides the forced-exit warning
//   BitBtn1Click (OK)          confirm()
//   BitBtn2Click               forceExit()    "Forzar Salida Sin Terminar Proceso"
//   result / result2 "fuera"   ending         Ending::Incomplete / Ending::ForcedExit
class CursosLogic {
public:
    struct Codes {
        QString nivel;
        QString curso;
    };
    struct Row {
        QString clave;
        QString estud;
        QString nivel;
        QString curso;
    };

    // `repeated`: an earlier dialog of this run had to be shown again, so the forced exit
    // is offered from the start.
    CursosLogic(RunHost& host, ImportQuestions& questions, QString workDir, bool repeated = false);
    ~CursosLogic();
    CursosLogic(const CursosLogic&) = delete;
    CursosLogic& operator=(const CursosLogic&) = delete;

    // How the dialog ended; read by the courses step after it has closed.
    enum class Ending {
        Open,       // not ended by a button (nobody answered)
        Saved,      // OK with every code: saved into CURSOST2
        Incomplete, // OK found a row without level or course: shown again
        ForcedExit, // the user forced the exit: the import ends
    };
    Ending ending = Ending::Open;

    // Called whenever what the dialog shows changes (labels, buttons, rows), so a window
    // can update itself before a message box comes up.
    std::function<void()> changed;

    // Handlers of the dialog.
    void show();        // opens CURSOST and asks whether to recover the saved codes
    void enterGrid();   // puts the current row in edit
    void leaveGrid();   // posts the row in edit
    void enterColumn(); // the forced-exit warning goes once the user works on the grid
    void confirm();     // OK; the dialog closes after it whatever its outcome
    void forceExit();   // the dialog closes after it and the import ends

    // The dialog went away (close box or after a button): CURSOST is closed, posting a
    // row still in edit. Safe to call more than once.
    void close();

    // State the window shows.
    bool showIncidencias() const { return showIncidencias_; } // the two red/yellow labels
    bool showForzar() const { return showForzar_; }           // the forced exit, its warning
    bool isOpen() const;                                      // CURSOST open

    // The grid's rows, in table order (cached; refresh() reads them again).
    int rowCount() const { return int(rows_.size()); }
    Row row(int i) const { return rows_.value(i); }
    // As the grid does: moves to row i (posting another row left in edit), puts it in
    // edit and sets the field; the row is posted when the grid moves to another row,
    // loses the focus, or the table closes.
    void setNivel(int i, const QString& value);
    void setCurso(int i, const QString& value);

    // The record navigator.
    int currentRow() const { return current_; }
    void setCurrentRow(int i); // clamped; posts a row left in edit when moving away
    bool isEditing() const;
    void edit();    // current row into edit
    void post();    // post the row in edit
    void cancel();  // drop the unposted changes of the row in edit
    void refresh(); // post, then read the rows again

    // Without a screen: show() with the recovery question answered in advance (true
    // takes the codes saved in CURSOST2, false deletes CURSOST2.DBF). No question is
    // asked when CURSOST2.DBF does not exist.
    void recover(bool accept);
    // Sets NIVEL and CURSO of every CURSOST row whose CLAVE is a key of codes (exact
    // match), posting each row.
    void applyCodes(const QHash<QString, Codes>& codes);
    // Keys of the rows whose level or course is missing, each once, in table order.
    QStringList keysLackingCodes() const;
    // OK when no code is missing: saves into CURSOST2 and closes CURSOST exactly as
    // confirm() does, and returns true. With a gap it changes nothing and returns
    // false (no message).
    bool completeOk();

    // After an import that did not finish: the rows of the folder's CURSOST that have
    // both a level and a course are saved into CURSOST2 as OK saves them, so that the
    // next import offers what the user typed. In two halves, so that the working tables
    // (CURSOST2 among them) can be put back in between: typedRows() reads them,
    // saveTypedRows() saves them.
    static void saveTypedCodes(const QString& workDir);
    static QList<Row> typedRows(const QString& workDir);
    static void saveTypedRows(const QString& workDir, const QList<Row>& rows);
    // The codes saved in folder's CURSOST2 by key (the first row of a key wins, as a
    // locate finds it); empty when the file does not exist. Reads only.
    static QHash<QString, Codes> savedCodes(const QString& folder);
    // A level or course counts as missing when nothing is left after removing the
    // characters U+0000 to U+0020 at both ends.
    static bool isMissing(const QString& code);
    // The six fields of CURSOST and CURSOST2, in order.
    static QList<tables::FieldDef> fields();

    static const QString kRecoveryCaption;
    static const QString kRecoveryText;
    static const QString kRecoverButton;   // keeps and takes the saved codes
    static const QString kNoRecoverButton; // deletes them
    static const QString kMissingMessage;

private:
    void openAndRecover(const std::function<bool()>& askRecovery);
    void loadRows();
    void goTo(int i);
    void setCode(int i, const QString& field, const QString& value);
    void postPending();
    bool findGap();
    void saveCodes();
    void notify();

    RunHost& host_;
    ImportQuestions& questions_;
    QString workDir_;
    bool repeated_ = false;
    tables::Table cursos_;
    QList<Row> rows_;
    int current_ = 0;
    int cursor_ = -1;  // row the table stands on; -1 when unknown
    int editRow_ = -1; // row in edit, -1 when none
    bool shown_ = false;
    bool showIncidencias_ = false;
    bool showForzar_ = false;
};
