#include "app/Look.h"

#include <QApplication>

void applyLook(QApplication& app) {
    // Only the focused state is styled: every other state keeps the platform's look, so
    // the default button keeps its own frame and the focus stands out from it.
    app.setStyleSheet(
        QStringLiteral("QPushButton:focus, QToolButton:focus {"
                       "  border: 2px solid #0A3FA8; border-radius: 3px; background-color: #DDE8FF;"
                       "  color: black; }"
                       "QAbstractItemView::item:focus {"
                       "  border: 2px solid #0A3FA8; background-color: #BFD4FF; color: black; }"
                       "QAbstractItemView::item:selected:focus {"
                       "  border: 2px solid #0A3FA8; background-color: #2F6BDB; color: white; }"
                       "QLineEdit:focus { border: 2px solid #0A3FA8; }"));
}
