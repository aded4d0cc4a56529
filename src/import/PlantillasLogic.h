#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace exchange {
class Document;
}
class RunHost;

// Widget-free logic of the time-frame selection dialog (TPlantillas). One object serves
// one showing of the dialog: the caller creates it, hands it to
// ImportQuestions::askFrames, and reads resultMH and resultado afterwards. The window's
// dialog mirrors its state; the batch front end drives it through chooseByCodes().
//
// Frames and slots come from the document the import run already holds, so the lists
// are the ones the import step itself works with.
//
// The dialog's handlers were once named after its controls, as the older documents of
// the dialog still name them; here they are named by what they do:
//   FormActivate             activate()          refills the lists
//   ComboBoxPlantillaChange  showFocusedFrame()  (the hidden combo box is focusRow())
//   ListBox2Click            focusFrame(row)     ListBox2: the frame list
//   BitBtnContinuarClick     proceed()           "Continuar"
//   FormClose                chooseFrames()      validates and composes the choice
//   ListBox1                 horas()             the slots of the frame in focus
class PlantillasLogic {
public:
    PlantillasLogic(RunHost& host, const exchange::Document& doc);

    // What the caller reads once the dialog has closed.
    bool resultMH = false; // one or two frames were selected
    QString resultado;     // the selected codes, each padded or cut to 10, in list order

    // --- Event handlers ---------------------------------------------------------------

    // The dialog became the active window: refill the frame lists (which empties the
    // selection), put the first frame in focus and show its details.
    void activate();
    // The frame in focus changed: shows its details and slots.
    void showFocusedFrame();
    // A click in the frame list; `row` is the entry that has the focus, whether the
    // click selected or deselected it.
    void focusFrame(int row);
    // Continuar: the dialog closes, so this runs chooseFrames. The window's dialog closes
    // itself instead and runs chooseFrames from there.
    void proceed();
    // The dialog closes, whatever the reason: validates and composes the choice.
    void chooseFrames();
    // The user left the dialog (Escape or the close box, confirmed): no frame is chosen
    // and the import ends as after the course dialog's forced exit.
    void leave();
    bool left() const { return left_; }
    // The confirmation the dialog asks before leave().
    static const QString kLeaveText;
    static const QString kLeaveButton;
    static const QString kStayButton;

    // --- State the dialog shows -------------------------------------------------------

    // Entries of the frame list: item 0 of every time frame, untrimmed, in document
    // order (filled only when there are two or more).
    const QStringList& marcos() const { return marcos_; }
    int focusRow() const { return focusRow_; }            // the entry in focus; -1 none
    QString focusedFrame() const;                         // the frame in focus
    const QString& nombre() const { return nombre_; }     // its name
    const QString& planFec1() const { return planFec1_; } // its first date
    const QString& planFec2() const { return planFec2_; } // its last date
    const QStringList& horas() const { return horas_; }   // its slots

    // The selection of the frame list, as row numbers.
    void setSelection(const QList<int>& rows);
    void setSelected(int row, bool selected);
    bool isSelected(int row) const;
    QList<int> selectedRows() const; // ascending

    // True once chooseFrames has run for this showing.
    bool closed() const { return closed_; }

    // --- Choice without a screen (batch front end) -------------------------------------

    struct Frame {
        QString code; // item 0, trimmed
        QString name; // item 1, trimmed
    };
    // Every time frame of the document, in document order, for messages.
    QList<Frame> frames() const;

    enum class Choice { Ok, None, Unknown, TooMany };
    struct ChoiceOutcome {
        Choice status = Choice::None;
        QStringList unknown; // the given codes that name no frame (trimmed)
    };
    // Chooses the frames whose item 0 equals one of codes, blanks around either ignored;
    // the order of codes does not matter. On success the dialog's closing is done as
    // with that selection: resultMH true and resultado built in the document's order
    // exactly as the dialog builds it. Otherwise nothing is chosen, no message is shown,
    // resultMH stays false and closed() stays false.
    ChoiceOutcome chooseByCodes(const QStringList& codes);

    // The value the dialog returns for these entries selected: each one followed by ten
    // blanks and cut to 10, in the given order.
    static QString composeResultado(const QStringList& selectedEntries);

    // A frame code as the slot step compares and stores it, whether chosen here or
    // named by a slot: trimmed, cut to the 10 characters of DIASHORAST.MARCOXML, and
    // without the blanks that cut may leave at its end (the table drops them too).
    static QString frameCode(const QString& value);

private:
    RunHost& host_;
    const exchange::Document& doc_;

    QStringList marcos_;
    QList<bool> selected_;
    int focusRow_ = -1;
    QString nombre_ = QStringLiteral("-");
    QString planFec1_ = QStringLiteral("-");
    QString planFec2_ = QStringLiteral("-");
    QStringList horas_;
    bool closed_ = false;
    bool left_ = false;
};
