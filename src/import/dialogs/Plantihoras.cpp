#include "import/dialogs/Plantihoras.h"

#include "import/PlantillasLogic.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

TPlantillas::TPlantillas(PlantillasLogic& logic, QWidget* parent) : QDialog(parent), logic_(logic) {
    setObjectName(QStringLiteral("Plantillas"));
    setWindowTitle(QStringLiteral("Planillas, Marcos o Jornadas Horarias"));
    // Only a close box in the title bar.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setProperty("helpContext", 3);

    LabelPlantillas = makeLabel(this, "LabelPlantillas",
                                QStringLiteral("Seleccione 1, o los 2 Marcos Horarios que "
                                               "quiere aplicar a su Horario en Tempolan."));
    LabelPlantillas->setWordWrap(true);
    QFont bold = LabelPlantillas->font();
    bold.setBold(true);
    LabelPlantillas->setFont(bold);

    LabelSelec = makeLabel(
        this, "LabelSelec",
        QStringLiteral("Para seleccionar mas de un Marco Horario, mantenga (Ctrl) pulsado y "
                       "seleccione cada marco con 1 click del botón izquierdo del ratón. "
                       "Con el teclado: las flechas mueven el cursor, Ctrl+Espacio marca o "
                       "desmarca el marco del cursor y Mayús+flechas marca varios seguidos."));
    LabelSelec->setWordWrap(true);
    QFont boldItalic = bold;
    boldItalic.setItalic(true);
    LabelSelec->setFont(boldItalic);
    QPalette red = LabelSelec->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    LabelSelec->setPalette(red);

    LabelMarcos = makeLabel(this, "LabelMarcos", QStringLiteral("MARCOS"));
    frameList_ = new QListWidget(this);
    frameList_->setObjectName(QStringLiteral("ListaMarcos"));
    frameList_->setAccessibleName(QStringLiteral("Marcos horarios"));
    LabelMarcos->setBuddy(frameList_);
    frameList_->setSelectionMode(QAbstractItemView::ExtendedSelection); // Ctrl and Shift

    LabelNombre = makeLabel(this, "LabelNombre", QStringLiteral("-"));
    QFont boldUnderlined = bold;
    boldUnderlined.setUnderline(true);
    LabelNombre->setFont(boldUnderlined);
    LabelPlanFec1 = makeLabel(this, "LabelPlanFec1", QStringLiteral("-"));
    LabelPlanFec2 = makeLabel(this, "LabelPlanFec2", QStringLiteral("-"));

    Label1 = makeLabel(this, "Label1", QStringLiteral("HORAS"));
    slotList_ = new QListWidget(this);
    slotList_->setObjectName(QStringLiteral("ListaHoras"));
    slotList_->setSelectionMode(QAbstractItemView::SingleSelection);
    slotList_->setAccessibleName(QStringLiteral("Horas del marco"));

    continueButton_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                                      QStringLiteral("Continuar"), this);
    continueButton_->setObjectName(QStringLiteral("BotonContinuar"));
    continueButton_->setProperty("helpContext", 3);
    continueButton_->setDefault(true);

    auto* left = new QVBoxLayout;
    left->addWidget(LabelMarcos);
    left->addWidget(frameList_, 1);
    left->addWidget(LabelNombre);
    left->addWidget(LabelPlanFec1);
    left->addWidget(LabelPlanFec2);
    auto* right = new QVBoxLayout;
    right->addWidget(Label1);
    right->addWidget(slotList_, 1);
    auto* lists = new QHBoxLayout;
    lists->addLayout(left, 1);
    lists->addLayout(right, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(continueButton_);
    auto* page = new QVBoxLayout(this);
    page->addWidget(LabelPlantillas);
    page->addWidget(LabelSelec);
    page->addLayout(lists, 1);
    page->addLayout(buttons);
    resize(560, 440);

    connect(frameList_, &QListWidget::clicked, this, &TPlantillas::focusFrame);
    // The keyboard moves the focus too; the details follow it as they follow a click.
    connect(frameList_, &QListWidget::currentRowChanged, this, &TPlantillas::focusFrame);
    connect(frameList_, &QListWidget::itemSelectionChanged, this, &TPlantillas::selectionChanged);
    connect(continueButton_, &QPushButton::clicked, this, &TPlantillas::proceed);

    showLogic(true);
}

bool TPlantillas::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) {
        if (!activated_)
            activate();
    } else if (e->type() == QEvent::WindowDeactivate) {
        // Activation comes back from another window of ours (a message box): that is a
        // new activation. Coming back from another program is not.
        if (QApplication::activeWindow() != nullptr)
            activated_ = false;
    }
    return QDialog::event(e);
}

void TPlantillas::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!centred_) {
        centred_ = true;
        // Centred, as large as its texts need at the user's font size, never off screen.
        if (const QScreen* s = screen()) {
            const QRect avail = s->availableGeometry();
            resize(size().expandedTo(minimumSizeHint()).boundedTo(avail.size()));
            QPoint at = avail.center() - rect().center();
            at.setX(std::max(at.x(), avail.left()));
            at.setY(std::max(at.y(), avail.top()));
            move(at);
        }
    }
    // Some platforms activate late or not at all; the lists must be there regardless.
    if (!activated_)
        activate();
}

void TPlantillas::done(int r) {
    if (!closing_) {
        closing_ = true;
        logic_.chooseFrames();
    }
    QDialog::done(r);
}

void TPlantillas::reject() {
    if (closing_ || asking_)
        return;
    asking_ = true;
    QMessageBox box(QMessageBox::Question, windowTitle(), PlantillasLogic::kLeaveText,
                    QMessageBox::NoButton, this);
    box.setObjectName(QStringLiteral("PreguntaSalir"));
    QPushButton* leave = box.addButton(PlantillasLogic::kLeaveButton, QMessageBox::DestructiveRole);
    QPushButton* stay = box.addButton(PlantillasLogic::kStayButton, QMessageBox::RejectRole);
    leave->setObjectName(QStringLiteral("BotonSalir"));
    stay->setObjectName(QStringLiteral("BotonSeguir"));
    // Escape, the close box and Enter on nothing in particular go back to choosing.
    box.setDefaultButton(stay);
    box.setEscapeButton(stay);
    box.exec();
    asking_ = false;
    if (box.clickedButton() != leave)
        return;
    closing_ = true;
    logic_.leave();
    QDialog::done(Rejected);
}

void TPlantillas::keyPressEvent(QKeyEvent* e) {
    // Enter presses the button in focus; elsewhere (the lists) it is Continuar.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        if (auto* b = qobject_cast<QPushButton*>(focusWidget()); b && b->isEnabled()) {
            b->click();
            return;
        }
    }
    QDialog::keyPressEvent(e);
}

void TPlantillas::activate() {
    activated_ = true;
    logic_.activate();
    showLogic(true);
}

void TPlantillas::focusFrame() {
    logic_.focusFrame(frameList_->currentRow());
    showLogic(false);
}

void TPlantillas::proceed() {
    accept(); // done() runs the closing
}

void TPlantillas::selectionChanged() {
    QList<int> rows;
    for (const QModelIndex& index : frameList_->selectionModel()->selectedRows())
        rows << index.row();
    logic_.setSelection(rows);
}

void TPlantillas::showLogic(bool refill) {
    const QSignalBlocker blockList(frameList_);
    if (refill) {
        frameList_->clear();
        // Each code with its frame's name beside it; the code stays the entry's value.
        const QList<PlantillasLogic::Frame> frames = logic_.frames();
        for (int row = 0; row < logic_.marcos().size(); ++row) {
            const QString code = logic_.marcos().at(row);
            const QString name = row < frames.size() ? frames.at(row).name : QString();
            auto* item = new QListWidgetItem(
                name.isEmpty() ? code : QStringLiteral("%1 — %2").arg(code, name), frameList_);
            item->setData(Qt::UserRole, code);
        }
        for (int row = 0; row < frameList_->count(); ++row)
            frameList_->item(row)->setSelected(logic_.isSelected(row));
    }
    LabelNombre->setText(logic_.nombre());
    LabelPlanFec1->setText(logic_.planFec1());
    LabelPlanFec2->setText(logic_.planFec2());
    slotList_->clear();
    slotList_->addItems(logic_.horas());
}
