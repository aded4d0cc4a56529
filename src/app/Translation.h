#pragma once

class QCoreApplication;

// Puts Qt's own Spanish texts in place (file chooser, standard buttons of message boxes),
// from beside the program (where a Windows package puts them) or from Qt's translations
// folder. False when no Spanish translation was found: Qt then speaks English.
bool installSpanishQtTexts(QCoreApplication& app);
