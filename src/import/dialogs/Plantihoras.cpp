#include "import/dialogs/Plantihoras.h"

#include "import/PlantillasLogic.h"

#include <QApplication>
#include <QComboBox>
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
    ListBox2 = new QListWidget(this);
    ListBox2->setObjectName(QStringLiteral("ListBox2"));
    ListBox2->setAccessibleName(QStringLiteral("Marcos horarios"));
    LabelMarcos->setBuddy(ListBox2);
    ListBox2->setSelectionMode(QAbstractItemView::ExtendedSelection); // Ctrl and Shift

    LabelNombre = makeLabel(this, "LabelNombre", QStringLiteral("-"));
    QFont boldUnderlined = bold;
    boldUnderlined.setUnderline(true);
    LabelNombre->setFont(boldUnderlined);
    LabelPlanFec1 = makeLabel(this, "LabelPlanFec1", QStringLiteral("-"));
    LabelPlanFec2 = makeLabel(this, "LabelPlanFec2", QStringLiteral("-"));

    Label1 = makeLabel(this, "Label1", QStringLiteral("HORAS"));
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setAccessibleName(QStringLiteral("Horas del marco"));

    // Holds the frame in focus; never shown.
    ComboBoxPlantilla = new QComboBox(this);
    ComboBoxPlantilla->setObjectName(QStringLiteral("ComboBoxPlantilla"));
    ComboBoxPlantilla->hide();

    BitBtnContinuar = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                                      QStringLiteral("Continuar"), this);
    BitBtnContinuar->setObjectName(QStringLiteral("BitBtnContinuar"));
    BitBtnContinuar->setProperty("helpContext", 3);
    BitBtnContinuar->setDefault(true);

    auto* left = new QVBoxLayout;
    left->addWidget(LabelMarcos);
    left->addWidget(ListBox2, 1);
    left->addWidget(LabelNombre);
    left->addWidget(LabelPlanFec1);
    left->addWidget(LabelPlanFec2);
    auto* right = new QVBoxLayout;
    right->addWidget(Label1);
    right->addWidget(ListBox1, 1);
    auto* lists = new QHBoxLayout;
    lists->addLayout(left, 1);
    lists->addLayout(right, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtnContinuar);
    auto* page = new QVBoxLayout(this);
    page->addWidget(LabelPlantillas);
    page->addWidget(LabelSelec);
    page->addLayout(lists, 1);
    page->addLayout(buttons);
    resize(560, 440);

    connect(ListBox2, &QListWidget::clicked, this, &TPlantillas::ListBox2Click);
    // The keyboard moves the focus too; the details follow it as they follow a click.
    connect(ListBox2, &QListWidget::currentRowChanged, this, &TPlantillas::ListBox2Click);
    connect(ListBox2, &QListWidget::itemSelectionChanged, this,
            &TPlantillas::ListBox2SelectionChanged);
    connect(BitBtnContinuar, &QPushButton::clicked, this, &TPlantillas::BitBtnContinuarClick);

    showLogic(true);
}

bool TPlantillas::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) {
        if (!activated_)
            FormActivate();
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
        FormActivate();
}

void TPlantillas::done(int r) {
    if (!closing_) {
        closing_ = true;
        logic_.FormClose();
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

void TPlantillas::FormActivate() {
    activated_ = true;
    logic_.FormActivate();
    showLogic(true);
}

void TPlantillas::ListBox2Click() {
    logic_.ListBox2Click(ListBox2->currentRow());
    showLogic(false);
}

void TPlantillas::BitBtnContinuarClick() {
    accept(); // done() runs the closing
}

void TPlantillas::ListBox2SelectionChanged() {
    QList<int> rows;
    for (const QModelIndex& index : ListBox2->selectionModel()->selectedRows())
        rows << index.row();
    logic_.setSelection(rows);
}

void TPlantillas::showLogic(bool refill) {
    const QSignalBlocker blockList(ListBox2);
    const QSignalBlocker blockCombo(ComboBoxPlantilla);
    if (refill) {
        ListBox2->clear();
        // Each code with its frame's name beside it; the code stays the entry's value.
        const QList<PlantillasLogic::Frame> frames = logic_.frames();
        for (int row = 0; row < logic_.marcos().size(); ++row) {
            const QString code = logic_.marcos().at(row);
            const QString name = row < frames.size() ? frames.at(row).name : QString();
            auto* item = new QListWidgetItem(
                name.isEmpty() ? code : QStringLiteral("%1 — %2").arg(code, name), ListBox2);
            item->setData(Qt::UserRole, code);
        }
        ComboBoxPlantilla->clear();
        ComboBoxPlantilla->addItems(logic_.marcos());
        for (int row = 0; row < ListBox2->count(); ++row)
            ListBox2->item(row)->setSelected(logic_.isSelected(row));
    }
    ComboBoxPlantilla->setCurrentIndex(logic_.plantillaIndex());
    LabelNombre->setText(logic_.nombre());
    LabelPlanFec1->setText(logic_.planFec1());
    LabelPlanFec2->setText(logic_.planFec2());
    ListBox1->clear();
    ListBox1->addItems(logic_.horas());
}
