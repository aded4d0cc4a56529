#pragma once

#include "cli/Cli.h"
#include "import/ImportRun.h"

#include <QHash>
#include <optional>

namespace exchange {
class Document;
}

// The answers the two dialogs of the import take from the command line, shared by
// `import` (which runs with them) and `check` (which says whether they would do).
namespace cli {

using CodesByKey = QHash<QString, CursosLogic::Codes>;

// Reads the codes file: UTF-8 (a byte-order mark allowed), header CLAVE,NIVEL,CURSO, one
// row per course-offer key. Keys are cut to the width of CURSOST.CLAVE, as the course
// step stores them. False with a message naming the file and line on error.
bool readCodes(const QString& path, CodesByKey& codes, QString& error);

// The options `import` and `check` share: the document, the folders and the answers.
struct ImportOptions {
    QString document; // absolute path
    QString workDir;
    QString catalogPath;
    CodesByKey codes;
    QStringList frames; // --frames, split
    bool recover = true;
    QString reportPath; // --report: where the JSON report goes
};

// Reads them from the command line; on a problem prints it and returns the exit code
// (Usage or RunFailed), otherwise nullopt.
std::optional<int> readImportOptions(const QStringList& args, Streams io, ImportOptions& o);

// The frame choice of --frames for a document, worked out as the frame dialog does it.
struct FrameChoice {
    int frameCount = 0;
    bool asked = false;    // two or more frames: the dialog would be shown
    bool answered = false; // a valid choice of one or two frames
    QString resultado;     // what the dialog returns for that choice
    QString problem;       // why the choice is not valid, in Spanish
    QList<PlantillasLogic::Frame> frames;
};
FrameChoice chooseFrames(const exchange::Document& doc, const QStringList& codes);

// The --frames value split at commas.
QStringList frameCodes(const QString& option);

// "  CODE  name" lines of every frame, for messages.
QString frameList(const QList<PlantillasLogic::Frame>& frames);

} // namespace cli
