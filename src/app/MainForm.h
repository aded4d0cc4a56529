#pragma once

#include "app/CommandLine.h"
#include "exchange/ExchangeDocument.h"
#include "import/ImportRun.h"
#include "run/RunHost.h"

#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QPushButton;
class HelpViewer;
class HelpKeyFilter;
class HostEmbedding;
class QtRunHost;

// What the main window is built from. The program passes its command line only; tests
// put their own user, help, result file, runs and exit in place.
struct ShellOptions {
    using Run =
        std::function<void(RunHost&, run::RunState&, const RunFolders&, exchange::Document&)>;

    QStringList parameters;               // the command line after the program's name
    RunHost* host = nullptr;              // null: message boxes of the window itself
    ImportQuestions* questions = nullptr; // null: the window's own dialogs
    HelpViewer* help = nullptr;           // null: the system's help viewer
    QString resultFile;                   // empty: Tempolan.ini beside the program
    std::optional<RunFolders> folders;    // empty: the working folder and the program's catalogue
    Run importRun;                        // empty: runImport
    Run exportRun;                        // empty: runExport
    std::function<void()> quit;           // empty: end the event loop
};

// The main window: two runs, help and, when Tempolan starts the tool, its place inside
// Tempolan's window and the result file.
class TMForm : public QWidget {
    Q_OBJECT
public:
    explicit TMForm(ShellOptions options = {}, QWidget* parent = nullptr);
    ~TMForm() override;

    run::RunState& state() { return state_; }
    const exchange::Document& document() const { return held_; }
    RunHost& host() { return *host_; }
    ImportQuestions& questions() { return *questions_; }

    // The two runs, as their buttons start them.
    void runImport();
    void runExport();
    void openHelp(); // "F1 AYUDA"
    void disableRunButtons();

    // During a run: what it is doing, in the lower strip; and a repaint of the window,
    // while no click or key reaches it.
    void showProgress(const QString& text);
    void keepPainted();
    // Paints the window at once, as when a dialog over it has just gone.
    void repaintNow();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    bool FormClose();
    void startAction();
    void runGuarded(const ShellOptions::Run& run);
    void onHostGone();
    void buildLayout();
    RunFolders runFolders() const;

    ShellOptions options_;
    CommandLine commandLine_;
    run::RunState state_;
    exchange::Document held_;
    RunHost* host_ = nullptr;
    ImportQuestions* questions_ = nullptr;
    std::unique_ptr<QtRunHost> ownHost_;
    HelpViewer* help_ = nullptr;
    std::unique_ptr<HelpViewer> ownHelp_;
    std::unique_ptr<HelpKeyFilter> helpKeys_;
    HostEmbedding* embedding_ = nullptr;
    QString resultFile_;
    bool running_ = false;
    bool runButtonsDone_ = false; // a completed run disabled them for good
    bool hostGone_ = false;

    QPushButton* BExportar = nullptr;
    QPushButton* BImportar = nullptr;
    QPushButton* BClose = nullptr;
    QPushButton* Button1 = nullptr;
    QLabel* LabelProducto = nullptr;
    QLabel* LabelPaso = nullptr;
};
