#pragma once

#include <QDialog>

class PlantillasLogic;
class QLabel;
class QListWidget;
class QPushButton;

// The time-frame selection dialog: the user chooses the one or two time frames that
// Tempolan is to use. A thin view over PlantillasLogic, which holds the state and the
// handlers; the caller reads the logic's resultMH and resultado after exec().
class TPlantillas : public QDialog {
    Q_OBJECT
public:
    explicit TPlantillas(PlantillasLogic& logic, QWidget* parent = nullptr);

    // Continuar ends here, and so does a confirmed way out.
    void done(int r) override;
    // Escape and the close box: asks whether to leave the import without finishing it;
    // if so the dialog closes with the logic left, otherwise it stays open.
    void reject() override;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void activate();
    void focusFrame();
    void proceed();
    void selectionChanged();
    void showLogic(bool refill); // copies the logic's state into the controls

    PlantillasLogic& logic_;
    QLabel* LabelPlantillas = nullptr;
    QLabel* LabelSelec = nullptr;
    QLabel* LabelMarcos = nullptr;
    QListWidget* frameList_ = nullptr;
    QLabel* LabelNombre = nullptr;
    QLabel* LabelPlanFec1 = nullptr;
    QLabel* LabelPlanFec2 = nullptr;
    QLabel* Label1 = nullptr;
    QListWidget* slotList_ = nullptr;
    QPushButton* continueButton_ = nullptr;

    bool activated_ = false; // activate ran since the dialog last lost activation
    bool closing_ = false;
    bool centred_ = false;
    bool asking_ = false;
};
