#pragma once

// A main window wired for tests: scripted user, recorded help and runs, the result file
// in a scratch folder, and an exit that is only counted.

#include "TestSupport.h"
#include "app/Help.h"
#include "app/MainForm.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>

// The scripted user, with the window's own closing and button disabling behind it.
class FormHost : public ScriptedHost {
public:
    TMForm* form = nullptr;
    void closeMainWindow() override {
        ScriptedHost::closeMainWindow();
        if (form)
            form->close();
    }
    void disableRunButtons() override {
        ScriptedHost::disableRunButtons();
        if (form)
            form->disableRunButtons();
    }
};

class RecordingHelp : public HelpViewer {
public:
    QList<int> contexts;
    int contents = 0;
    void showContext(int context) override { contexts << context; }
    void showContents() override { ++contents; }
};

struct Shell {
    QTemporaryDir dir;
    FormHost host;
    RecordingHelp help;
    int quits = 0;
    QStringList runs; // "import" / "export", as the window started them
    std::unique_ptr<TMForm> form;

    // Runs left empty only record that they started.
    explicit Shell(const QStringList& parameters, ShellOptions::Run importRun = {},
                   ShellOptions::Run exportRun = {}, const QString& resultFile = {}) {
        ShellOptions o;
        o.parameters = parameters;
        o.host = &host;
        o.questions = &host;
        o.help = &help;
        o.resultFile = resultFile.isEmpty() ? ini() : resultFile;
        o.folders = RunFolders{dir.filePath(QStringLiteral("tltemp")),
                               dir.filePath(QStringLiteral("VELTMATERIAS.DBF"))};
        o.quit = [this] { ++quits; };
        o.importRun = [this, importRun](RunHost& h, run::RunState& s, const RunFolders& f,
                                        exchange::Document& d) {
            runs << QStringLiteral("import");
            if (importRun)
                importRun(h, s, f, d);
        };
        o.exportRun = [this, exportRun](RunHost& h, run::RunState& s, const RunFolders& f,
                                        exchange::Document& d) {
            runs << QStringLiteral("export");
            if (exportRun)
                exportRun(h, s, f, d);
        };
        form = std::make_unique<TMForm>(std::move(o));
        host.form = form.get();
    }

    QString ini() const { return dir.filePath(QStringLiteral("Tempolan.ini")); }

    // Shows the window and lets the action of the command line run.
    void show() {
        form->show();
        QCoreApplication::processEvents();
    }

    QPushButton* button(const char* name) const {
        return form->findChild<QPushButton*>(QString::fromLatin1(name));
    }
};
