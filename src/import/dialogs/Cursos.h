#pragma once

#include <QDialog>
#include <QMetaObject>
#include <QModelIndex>
#include <exception>
#include <functional>

class CursosLogic;
class CursosModel;
class CursosGrid;
class QLabel;
class QPushButton;
class QToolButton;

// The level and course assignment dialog: a grid on CURSOST where the user types the
// level and course of every course offering. Everything it does with the tables goes
// through CursosLogic; the caller reads the logic's ending after exec().
class TControlCursos : public QDialog {
    Q_OBJECT
public:
    explicit TControlCursos(CursosLogic& logic, QWidget* parent = nullptr);
    ~TControlCursos() override;

    // Shows the dialog modally. A table failure inside the dialog closes it and is thrown
    // from here, so that it ends the import run like any other step failure.
    int exec() override;

    // Columns of the grid, in order.
    enum Column { ColClave = 0, ColEstud, ColNivel, ColCurso, ColumnCount };

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int r) override;

private:
    void buildNavigator(QWidget* parent);
    QSize chooseSize() const;
    QModelIndex firstMissingCode() const;
    void navigate(int target);
    void updateFromLogic();
    void showCurrentEstud();
    void onFocusChanged(QWidget* old, QWidget* now);
    bool insideGrid(QWidget* w) const;
    void confirm();
    void forceExit();
    void guarded(const std::function<void()>& f);

    CursosLogic& logic_;
    CursosModel* model_ = nullptr;
    CursosGrid* grid_ = nullptr;
    QLabel* labelIncidencias_ = nullptr;
    QLabel* labelFalta_ = nullptr;
    QLabel* labelAtencion_ = nullptr;
    QLabel* labelEstud_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* forceExitButton_ = nullptr;
    QMetaObject::Connection focusConnection_;
    bool shown_ = false;
    bool closingByButton_ = false; // OK or the forced exit is closing the dialog
    std::exception_ptr failure_;
};
