#pragma once

#include "run/RunHost.h"

#include <QString>

class QFileDialog;
class QWidget;
class TMForm;

// The runs' user on screen: the document chooser, message boxes, the busy cursor and the
// two dialogs of the import, all modal over the main window.
class QtRunHost : public RunHost {
public:
    explicit QtRunHost(TMForm& mainWindow);

    std::optional<QString> chooseDocument() override;
    void showMessage(const QString& text) override;
    bool askOkCancel(const QString& caption, const QString& text) override;
    void reportError(const QString& text) override;
    void setBusy(bool busy) override;
    void showCursos(CursosLogic& dialog) override;
    void showPlantillas(PlantillasLogic& dialog) override;
    void closeMainWindow() override;
    void disableRunButtons() override;

private:
    QWidget* dialogParent() const;
    TMForm& main_;
    int busy_ = 0;
};

// The document chooser OpenDialogXML as both runs show it; `workDir` holds the folder
// "veltra" it starts in. It accepts names of files that do not exist: the runs check.
QFileDialog* createOpenDialogXML(QWidget* parent, const QString& workDir);

// Title of the application's message boxes.
QString messageTitle();
