#pragma once

#include <QString>

class QWidget;

// What the help asks of the operating system; one implementation per system.
namespace help::native {

// Shows a page of the compiled help file `chm` (its contents when `contents`) in the
// system's viewer; false when no viewer could show it.
bool showCompiled(const QString& chm, const QString& page, bool contents, QWidget* owner);

// Whether the plain HTML pages stand in for a compiled help file that is missing.
bool htmlWithoutCompiled();

} // namespace help::native
