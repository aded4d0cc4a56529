#pragma once

#include "import/ImportQuestions.h"
#include "run/RunHost.h"

#include <QString>

class QFileDialog;
class QMessageBox;
class QWidget;
class TMForm;

// The runs' user on screen: the document chooser, message boxes, the busy cursor and the
// two dialogs of the import, all modal over the main window.
class QtRunHost : public RunHost, public ImportQuestions {
public:
    explicit QtRunHost(TMForm& mainWindow);

    std::optional<QString> chooseDocument() override;
    void showMessage(const QString& text) override;
    bool askOkCancel(const QString& caption, const QString& text) override;
    // A question whose second answer throws something away: buttons `keep` and `drop`,
    // true for keep. Escape and the close box keep; only choosing `drop` drops.
    bool askKeepOrDrop(const QString& caption, const QString& text, const QString& keep,
                       const QString& drop);
    void reportError(const QString& text) override;
    void setBusy(bool busy) override;
    bool recoverSavedCodes() override;
    void askCourseCodes(CursosLogic& dialog) override;
    void askFrames(PlantillasLogic& dialog) override;
    void closeMainWindow() override;
    void disableRunButtons() override;
    void stepStarted(int index, int count, const QString& label) override;
    void stepFinished(int index) override;
    void setMessageDetail(const QString& detail) override;
    void runReported(const run::RunReport& report, const QString& sentence) override;

private:
    QWidget* dialogParent() const;
    // Puts the detail set last under the box's text, once.
    void addDetail(QMessageBox& box);
    TMForm& main_;
    int busy_ = 0;
    QString detail_;
    QString reportPath_; // the report of the run just completed, offered by its message
};

// The document chooser OpenDialogXML as both runs show it; `workDir` holds the folder
// "veltra" it starts in. It accepts names of files that do not exist: the runs check.
QFileDialog* createOpenDialogXML(QWidget* parent, const QString& workDir);

// Title of the application's message boxes.
QString messageTitle();
