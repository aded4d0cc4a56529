#include "import/dialogs/Cursos.h"

#include "import/CursosLogic.h"
#include "tables/WorkingTables.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <functional>
#include <utility>

namespace {

// Widths of CURSOST's fields: what an editor takes and what a column shows.
int fieldWidth(const QString& field) {
    return tables::widthOf(tables::CURSOST::fields(), field);
}

// Runs a piece of the dialog's work; a failure is handed to onError instead of being
// thrown through Qt's event dispatch.
using Runner = std::function<void(const std::function<void()>&)>;

} // namespace

// The grid's view of CURSOST: the rows the logic caches, NIVEL and CURSO editable.
class CursosModel : public QAbstractTableModel {
public:
    CursosModel(CursosLogic& logic, Runner run, QObject* parent)
        : QAbstractTableModel(parent), logic_(logic), run_(std::move(run)) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : logic_.rowCount();
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : TControlCursos::ColumnCount;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        // The offering's name in full, for when the column shows it shortened.
        if (index.isValid() && role == Qt::ToolTipRole &&
            index.column() == TControlCursos::ColEstud)
            return logic_.row(index.row()).estud;
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
            return {};
        const CursosLogic::Row r = logic_.row(index.row());
        switch (index.column()) {
        case TControlCursos::ColClave:
            return r.clave;
        case TControlCursos::ColEstud:
            return r.estud;
        case TControlCursos::ColNivel:
            return r.nivel;
        case TControlCursos::ColCurso:
            return r.curso;
        default:
            return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        switch (section) {
        case TControlCursos::ColClave:
            return QStringLiteral("CÓD.VELTRA");
        case TControlCursos::ColEstud:
            return QStringLiteral("ESTUDIOS");
        case TControlCursos::ColNivel:
            return QStringLiteral("NIVEL");
        case TControlCursos::ColCurso:
            return QStringLiteral("CURSO");
        default:
            return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        Qt::ItemFlags f = QAbstractTableModel::flags(index);
        if (index.column() == TControlCursos::ColNivel ||
            index.column() == TControlCursos::ColCurso)
            f |= Qt::ItemIsEditable;
        return f;
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (role != Qt::EditRole || !index.isValid())
            return false;
        const int row = index.row();
        const QString text = value.toString();
        if (index.column() == TControlCursos::ColNivel)
            run_([&] { logic_.setNivel(row, text); });
        else if (index.column() == TControlCursos::ColCurso)
            run_([&] { logic_.setCurso(row, text); });
        else
            return false;
        Q_EMIT dataChanged(index, index);
        return true;
    }

    void reload() {
        beginResetModel();
        endResetModel();
    }
    void rowChanged(int row) {
        if (row >= 0 && row < rowCount())
            Q_EMIT dataChanged(index(row, 0), index(row, TControlCursos::ColumnCount - 1));
    }

private:
    CursosLogic& logic_;
    Runner run_;
};

namespace {

// NIVEL and CURSO take at most their field's width; Enter stores the cell and lets the
// grid move on (onEnter).
class CodeDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    std::function<void()> onEnter;
    std::function<void(bool forward)> onTab;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        editor->setMaxLength(fieldWidth(index.column() == TControlCursos::ColNivel
                                            ? tables::CURSOST::NIVEL
                                            : tables::CURSOST::CURSO));
        (void)option;
        return editor;
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                auto* editor = qobject_cast<QWidget*>(object);
                Q_EMIT commitData(editor);
                Q_EMIT closeEditor(editor, QAbstractItemDelegate::NoHint);
                if (onEnter)
                    onEnter();
                return true;
            }
            // Tab stores the cell and leaves the grid, as it does from a closed cell.
            if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && onTab) {
                auto* editor = qobject_cast<QWidget*>(object);
                Q_EMIT commitData(editor);
                Q_EMIT closeEditor(editor, QAbstractItemDelegate::NoHint);
                onTab(key == Qt::Key_Tab);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }
};

} // namespace

// The grid: a table view whose first column stays in place when the others scroll
// sideways (an overlay view showing that column only), Enter moving to the next column.
class CursosGrid : public QTableView {
public:
    explicit CursosGrid(QWidget* parent) : QTableView(parent), frozen_(new QTableView(this)) {}

    std::function<void()> onEscape;

    void attachModel(QAbstractItemModel* m) {
        setModel(m);
        frozen_->setModel(m);
        frozen_->setObjectName(QStringLiteral("RejillaCursosFija"));
        frozen_->setFocusPolicy(Qt::NoFocus);
        frozen_->verticalHeader()->hide();
        frozen_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        frozen_->setSelectionModel(selectionModel());
        frozen_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        frozen_->setAlternatingRowColors(true);
        frozen_->setSelectionBehavior(selectionBehavior());
        frozen_->setSelectionMode(selectionMode());
        frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        frozen_->setVerticalScrollMode(ScrollPerPixel);
        frozen_->setStyleSheet(QStringLiteral("QTableView { border: none; }"));
        viewport()->stackUnder(frozen_);
        setHorizontalScrollMode(ScrollPerPixel);
        setVerticalScrollMode(ScrollPerPixel);

        connect(horizontalHeader(), &QHeaderView::sectionResized, this,
                [this](int logical, int, int size) {
                    if (logical == 0) {
                        frozen_->setColumnWidth(0, size);
                        updateFrozenGeometry();
                    }
                });
        connect(verticalHeader(), &QHeaderView::sectionResized, this,
                [this](int logical, int, int size) { frozen_->setRowHeight(logical, size); });
        connect(frozen_->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
                &QAbstractSlider::setValue);
        connect(verticalScrollBar(), &QAbstractSlider::valueChanged, frozen_->verticalScrollBar(),
                &QAbstractSlider::setValue);
        connect(m, &QAbstractItemModel::modelReset, this, [this] { hideMovingColumns(); });
        hideMovingColumns();
        frozen_->show();
    }

    void setHeaderHeight(int h) {
        horizontalHeader()->setFixedHeight(h);
        frozen_->horizontalHeader()->setFixedHeight(h);
        updateFrozenGeometry();
    }

    // Stores what an open cell editor holds, as leaving the cell would.
    void commitOpenEditor() {
        if (state() != EditingState)
            return;
        const auto editors = viewport()->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
        for (QLineEdit* editor : editors) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }

    // Enter: NIVEL, then CURSO, then the next row's NIVEL; the read-only columns are
    // never a stop, so typed codes always land in a cell that keeps them.
    void advance() {
        const QModelIndex at = currentIndex();
        if (!at.isValid())
            return;
        int row = at.row();
        int column = TControlCursos::ColNivel;
        if (at.column() == TControlCursos::ColNivel) {
            column = TControlCursos::ColCurso;
        } else if (at.column() == TControlCursos::ColCurso) {
            if (row + 1 >= model()->rowCount())
                return;
            ++row;
        }
        setCurrentIndex(model()->index(row, column));
    }

    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override {
        if (index.column() > 0)
            QTableView::scrollTo(index, hint);
        else if (index.isValid())
            QTableView::scrollTo(model()->index(index.row(), 1), hint);
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QTableView::resizeEvent(event);
        updateFrozenGeometry();
    }

    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override {
        const QModelIndex current = QTableView::moveCursor(action, modifiers);
        if (action == MoveLeft && current.column() > 0 &&
            visualRect(current).topLeft().x() < frozen_->columnWidth(0)) {
            const int shift = visualRect(current).topLeft().x() - frozen_->columnWidth(0);
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() + shift);
        }
        return current;
    }

    void keyPressEvent(QKeyEvent* event) override {
        const int key = event->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && state() != EditingState) {
            advance();
            event->accept();
            return;
        }
        // Delete and Backspace on a code cell clear it, as staff expect of a grid.
        if ((key == Qt::Key_Delete || key == Qt::Key_Backspace) && state() != EditingState &&
            event->modifiers() == Qt::NoModifier) {
            const QModelIndex at = currentIndex();
            if (at.isValid() && (model()->flags(at) & Qt::ItemIsEditable)) {
                model()->setData(at, QString(), Qt::EditRole);
                event->accept();
                return;
            }
        }
        if (key == Qt::Key_Escape && state() != EditingState) {
            if (onEscape)
                onEscape();
            event->accept();
            return;
        }
        QTableView::keyPressEvent(event);
    }

private:
    void hideMovingColumns() {
        for (int c = 1; c < model()->columnCount(); ++c)
            frozen_->setColumnHidden(c, true);
        frozen_->setColumnWidth(0, columnWidth(0));
    }

    void updateFrozenGeometry() {
        const int header = verticalHeader()->isVisible() ? verticalHeader()->width() : 0;
        frozen_->setGeometry(header + frameWidth(), frameWidth(), columnWidth(0),
                             viewport()->height() + horizontalHeader()->height());
    }

    QTableView* frozen_;
};

namespace {

QPixmap checkMark(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(0, 128, 0), size / 6.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    QPainterPath path;
    path.moveTo(size * 0.15, size * 0.55);
    path.lineTo(size * 0.40, size * 0.80);
    path.lineTo(size * 0.85, size * 0.20);
    p.drawPath(path);
    return pm;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, bool wrap = true) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(wrap);
    return label;
}

// Hidden controls keep their place, so the fixed window does not shift when they show.
void keepPlaceWhenHidden(QWidget* w) {
    QSizePolicy sp = w->sizePolicy();
    sp.setRetainSizeWhenHidden(true);
    w->setSizePolicy(sp);
}

} // namespace

TControlCursos::TControlCursos(CursosLogic& logic, QWidget* parent)
    : QDialog(parent), logic_(logic) {
    setObjectName(QStringLiteral("ControlCursos"));
    setWindowTitle(QStringLiteral("Asignación de Niveles y Cursos"));
    // Resizable: the grid takes whatever room the user gives it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setProperty("helpContext", 1);

    auto* outer = new QVBoxLayout(this);

    auto* title =
        makeLabel(this, "LabelTitulo", QStringLiteral("ASIGNACIÓN DE NIVELES Y CURSOS"), false);
    QFont titleFont = title->font();
    // Large where there is room; on a small screen the rows matter more.
    const QScreen* titleScreen = screen();
    const bool small = titleScreen && titleScreen->availableGeometry().height() < 700;
    titleFont.setPointSize(titleFont.pointSize() + (small ? 2 : 6));
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setStyleSheet(QStringLiteral("color: #004000;"));
    outer->addWidget(title);

    auto* navigator = new QFrame(this);
    navigator->setObjectName(QStringLiteral("DBNavigator1"));
    buildNavigator(navigator);
    outer->addWidget(navigator, 0, Qt::AlignLeft);

    auto* body = new QHBoxLayout;
    outer->addLayout(body, 1);

    // The grid.
    grid_ = new CursosGrid(this);
    grid_->setObjectName(QStringLiteral("RejillaCursos"));
    grid_->setProperty("helpContext", 1);
    model_ = new CursosModel(
        logic_, [this](const std::function<void()>& f) { guarded(f); }, this);
    auto* delegate = new CodeDelegate(grid_);
    delegate->onEnter = [this] { grid_->advance(); };
    delegate->onTab = [this](bool forward) { focusNextPrevChild(forward); };
    grid_->setItemDelegate(delegate);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid_->setAlternatingRowColors(true);
    grid_->setWordWrap(false);
    grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    // Tab leaves the grid for OK; the arrows and Enter move inside it.
    grid_->setTabKeyNavigation(false);
    grid_->setTextElideMode(Qt::ElideMiddle); // rows often differ only at the end
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setDefaultAlignment(
        Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid_->horizontalHeader()->setStretchLastSection(false);
    grid_->attachModel(model_);
    {
        // Widths in characters of the grid's font, the codes' from their fields;
        // ESTUDIOS starts at 40 and takes whatever is left.
        const QFontMetrics fm(grid_->font());
        const int ch = fm.averageCharWidth();
        const int pad = 12;
        const int widths[ColumnCount] = {fieldWidth(tables::CURSOST::CLAVE), 40,
                                         fieldWidth(tables::CURSOST::NIVEL),
                                         fieldWidth(tables::CURSOST::CURSO)};
        // A code may be all wide letters ("WWWWW"): room for the field's width of them.
        const int wide = std::max(fm.horizontalAdvance(QLatin1Char('W')),
                                  fm.horizontalAdvance(QLatin1Char('M')));
        int fixed = 0;
        for (int c = 0; c < ColumnCount; ++c) {
            const int letter = (c == ColNivel || c == ColCurso) ? wide : ch;
            const int w =
                std::max(widths[c] * letter + pad,
                         fm.horizontalAdvance(
                             model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()) +
                             pad);
            grid_->setColumnWidth(c, w);
            if (c != ColEstud)
                fixed += w;
        }
        grid_->horizontalHeader()->setSectionResizeMode(ColEstud, QHeaderView::Stretch);
        grid_->setHeaderHeight(2 * QFontMetrics(grid_->horizontalHeader()->font()).lineSpacing() +
                               8);
        const int chrome = 2 * grid_->frameWidth() + grid_->verticalScrollBar()->sizeHint().width();
        grid_->setMinimumWidth(fixed + 10 * ch + chrome);
        grid_->setProperty("fixedColumnsWidth", fixed + chrome);
    }
    grid_->onEscape = [this] {
        guarded([this] {
            const int r = logic_.currentRow();
            logic_.cancel();
            model_->rowChanged(r);
        });
    };
    // Under the grid, the current row's offering in full: the column may shorten it.
    auto* left = new QVBoxLayout;
    left->setContentsMargins(0, 0, 0, 0);
    left->addWidget(grid_, 1);
    labelEstud_ = makeLabel(this, "LabelEstudiosFila", QString());
    labelEstud_->setTextFormat(Qt::PlainText);
    labelEstud_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    labelEstud_->setAccessibleName(QStringLiteral("Estudios de la fila actual"));
    labelEstud_->setStyleSheet(
        QStringLiteral("background: white; border: 1px solid #80A080; padding: 2px;"));
    left->addWidget(labelEstud_);
    body->addLayout(left, 1);

    // The right-hand column: the notices, which scroll when the screen is too small for
    // them. OK and the forced exit sit in a row below, always in view, so that the column
    // can be narrow and leave its width to the grid on a small screen.
    auto* notices = new QScrollArea(this);
    notices->setObjectName(QStringLiteral("AvisosCursos"));
    notices->setWidgetResizable(true);
    notices->setFrameShape(QFrame::NoFrame);
    notices->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Reachable with Tab, and scrolled with the arrows and page keys once there.
    notices->setFocusPolicy(Qt::TabFocus);
    notices->setAccessibleName(QStringLiteral("Explicación de las abreviaturas de los grupos"));
    notices->viewport()->setAutoFillBackground(false);
    // The dialog's gradient shows through the column, as behind the other labels.
    notices->setStyleSheet(QStringLiteral("#AvisosCursos, #AvisosCursos > QWidget, "
                                          "#AvisosCursosTexto { background: transparent; }"
                                          "#AvisosCursos:focus { border: 2px solid #0A3FA8; }"));
    auto* noticesBody = new QWidget(notices->viewport());
    noticesBody->setObjectName(QStringLiteral("AvisosCursosTexto"));
    noticesBody->setAutoFillBackground(false);
    auto* side = new QVBoxLayout(noticesBody);
    side->setContentsMargins(0, 0, 0, 0);
    notices->setWidget(noticesBody);
    // Readable, but no wider than it needs: the rest of the width goes to the grid.
    notices->setMinimumWidth(18 * QFontMetrics(font()).averageCharWidth());
    notices->setMaximumWidth(34 * QFontMetrics(font()).averageCharWidth());
    auto* right = new QVBoxLayout;
    right->setContentsMargins(0, 0, 0, 0);
    body->addLayout(right, 0);

    labelIncidencias_ =
        makeLabel(this, "LabelIncidencias", QStringLiteral("INCIDENCIAS EN EL TRASPASO"));
    labelIncidencias_->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    labelFalta_ =
        makeLabel(this, "LabelFalta",
                  QStringLiteral("Se ha detectado que falta por indicar algún NIVEL  o CURSO. "
                                 "Complete el/los datos que falten, para poder concluir el "
                                 "proceso, antes de Salir."));
    labelFalta_->setStyleSheet(QStringLiteral("background-color: yellow;"));
    // Shown only when OK found a gap; they take no room until then.
    for (QWidget* w :
         {static_cast<QWidget*>(labelIncidencias_), static_cast<QWidget*>(labelFalta_)}) {
        w->hide();
        right->addWidget(w);
    }
    right->addWidget(notices, 1);

    auto* importante = makeLabel(this, "LabelImportante", QStringLiteral("¡ IMPORTANTE !"));
    importante->setStyleSheet(QStringLiteral("color: #a00000; font-weight: bold;"));
    side->addWidget(importante);
    side->addWidget(
        makeLabel(this, "LabelRegla",
                  QStringLiteral("Las Abreviaturas de sus Grupos (Unidades), se formarán, en "
                                 "función del NIVEL y CURSO, del siguiente modo: ")));
    side->addWidget(
        makeLabel(this, "LabelEjemplo",
                  QStringLiteral("Por ejemplo, NIVEL=ESO y CURSO=1 daría como resultado")));
    auto* abreviatura =
        makeLabel(this, "LabelAbreviatura", QStringLiteral("Abreviatura del Grupo = ESO1A"));
    abreviatura->setStyleSheet(QStringLiteral("font-weight: bold;"));
    side->addWidget(abreviatura);
    side->addWidget(
        makeLabel(this, "LabelSecuencia",
                  QStringLiteral("y así secuencialmente para el resto de Grupos del mismo NIVEL "
                                 "y CURSO, ESO1B, ESO1C.")));
    side->addWidget(makeLabel(this, "LabelNiveles",
                              QStringLiteral("Ejemplos de Niveles: BCT=Bach.C.T., BHC=Bach.Hum., "
                                             "BT=Bach.Tecnol., LS=Leng.Signos, GAD=Gest.Admin., "
                                             "EDSO=ESO Diversificación, etc...")));
    auto* distintos =
        makeLabel(this, "LabelDistintos",
                  QStringLiteral("Luego es de vital IMPORTANCIA que para cada NIVEL sus 5 "
                                 "Primeros caracteres sean DISTINTOS."));
    distintos->setStyleSheet(QStringLiteral("color: #a00000; font-weight: bold; "
                                            "background: #FFF6D0; padding: 3px;"));
    side->addStretch(1);
    // The rule the codes must keep, across the window under the grid: in view however
    // small the window, in two lines rather than ten.
    outer->addWidget(distintos);
    auto* buttons = new QHBoxLayout;

    okButton_ = new QPushButton(QIcon(checkMark(20)), QStringLiteral("&OK"), this);
    okButton_->setObjectName(QStringLiteral("BotonOK"));
    okButton_->setProperty("helpContext", 1);
    okButton_->setMinimumHeight(32);
    okButton_->setIconSize(QSize(20, 20));
    okButton_->setMinimumWidth(12 * QFontMetrics(font()).averageCharWidth());
    connect(okButton_, &QPushButton::clicked, this, [this] { confirm(); });

    forceExitButton_ = new QPushButton(QStringLiteral("Forzar Salida Sin Terminar Proceso "), this);
    forceExitButton_->setObjectName(QStringLiteral("BotonForzarSalida"));
    forceExitButton_->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    connect(forceExitButton_, &QPushButton::clicked, this, [this] { forceExit(); });
    labelAtencion_ =
        makeLabel(this, "LabelAtencion",
                  QStringLiteral("¡ Atención ! Si fuerza la Salida no se importa nada: las "
                                 "tablas de trabajo quedan como estaban antes de la importación "
                                 "y los códigos que ha escrito se guardan."));
    labelAtencion_->setStyleSheet(QStringLiteral("color: red; background-color: yellow;"));
    // Across the window above the buttons, shown only with the forced exit.
    labelAtencion_->hide();
    forceExitButton_->hide();
    keepPlaceWhenHidden(forceExitButton_);
    outer->addWidget(labelAtencion_);
    outer->addLayout(buttons);
    buttons->addStretch(1);
    buttons->addWidget(forceExitButton_);
    buttons->addSpacing(12);
    buttons->addWidget(okButton_);

    okButton_->setDefault(true);
    // Tab: the grid, the explanation, then the buttons from left to right.
    setTabOrder(grid_, notices);
    setTabOrder(notices, forceExitButton_);
    setTabOrder(forceExitButton_, okButton_);
    setMinimumSize(minimumSizeHint().boundedTo(QSize(320, 240)));
    resize(chooseSize());

    connect(grid_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                if (!current.isValid())
                    return;
                showCurrentEstud();
                guarded([&] {
                    if (!previous.isValid() || current.row() != previous.row())
                        logic_.setCurrentRow(current.row());
                    if (previous.isValid() && current.column() != previous.column())
                        logic_.enterColumn();
                });
            });
    focusConnection_ = connect(qApp, &QApplication::focusChanged, this,
                               [this](QWidget* old, QWidget* now) { onFocusChanged(old, now); });
    logic_.changed = [this] { updateFromLogic(); };
}

TControlCursos::~TControlCursos() {
    QObject::disconnect(focusConnection_);
    logic_.changed = nullptr;
}

// Chosen from its contents and the screen, remembering nothing between runs: the grid as
// wide as a long offering's name needs and as tall as its rows, the notices readable
// beside it, and all of it inside the available screen (the notices scroll when they
// must, the grid too).
QSize TControlCursos::chooseSize() const {
    const QFontMetrics fm(font());
    const int ch = fm.averageCharWidth();
    const int line = fm.lineSpacing();
    // ESTUDIOS as wide as its longest text (up to the field's 80 characters), at least 40.
    const QFontMetrics gridMetrics(grid_->font());
    int estud = 40 * gridMetrics.averageCharWidth();
    for (int i = 0; i < logic_.rowCount(); ++i)
        estud = std::max(estud, gridMetrics.horizontalAdvance(logic_.row(i).estud) + 16);
    estud = std::min(estud, 80 * gridMetrics.averageCharWidth());
    const int rowsHeight = logic_.rowCount() * grid_->verticalHeader()->defaultSectionSize() +
                           grid_->horizontalHeader()->height() + 2 * grid_->frameWidth();
    // Besides the columns and the notices: the layout's margins and spacing.
    const int margins = 2 * layout()->contentsMargins().left() + 3 * layout()->spacing() + 8;
    QSize want(grid_->property("fixedColumnsWidth").toInt() + estud + 34 * ch + margins,
               std::max(34 * line, rowsHeight + 14 * line));
    want = want.expandedTo(minimumSizeHint());
    if (const QScreen* s = screen()) {
        // Room for a window manager's frame and title bar.
        const QSize room = s->availableGeometry().size() - QSize(16, 40);
        want = want.boundedTo(room);
    }
    return want;
}

void TControlCursos::buildNavigator(QWidget* parent) {
    struct Button {
        const char* name;
        QString glyph;
        QString tip;
    };
    const Button buttons[] = {
        {"nbFirst", QStringLiteral("|◀"), QStringLiteral("Primer registro")},
        {"nbPriorTen", QStringLiteral("◀◀"), QStringLiteral("Retroceder 10 registros")},
        {"nbPrior", QStringLiteral("◀"), QStringLiteral("Registro anterior")},
        {"nbNext", QStringLiteral("▶"), QStringLiteral("Registro siguiente")},
        {"nbNextTen", QStringLiteral("▶▶"), QStringLiteral("Avanzar 10 registros")},
        {"nbLast", QStringLiteral("▶|"), QStringLiteral("Último registro")},
        {"nbEdit", QStringLiteral("✎"), QStringLiteral("Editar registro")},
        {"nbPost", QStringLiteral("✔"), QStringLiteral("Grabar cambios")},
        {"nbCancel", QStringLiteral("✖"), QStringLiteral("Cancelar cambios")},
        {"nbRefresh", QStringLiteral("⟳"), QStringLiteral("Refrescar datos")},
    };
    auto* row = new QHBoxLayout(parent);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    for (const Button& b : buttons) {
        auto* button = new QToolButton(parent);
        button->setObjectName(QLatin1String(b.name));
        button->setText(b.glyph);
        button->setToolTip(b.tip);
        button->setFixedSize(30, 25);
        button->setFocusPolicy(Qt::NoFocus);
        row->addWidget(button);
        const QString name = QLatin1String(b.name);
        connect(button, &QToolButton::clicked, this, [this, name] {
            const int cur = logic_.currentRow();
            const int last = logic_.rowCount() - 1;
            if (name == QLatin1String("nbFirst"))
                navigate(0);
            else if (name == QLatin1String("nbPriorTen"))
                navigate(cur - 10);
            else if (name == QLatin1String("nbPrior"))
                navigate(cur - 1);
            else if (name == QLatin1String("nbNext"))
                navigate(cur + 1);
            else if (name == QLatin1String("nbNextTen"))
                navigate(cur + 10);
            else if (name == QLatin1String("nbLast"))
                navigate(last);
            else if (name == QLatin1String("nbEdit"))
                guarded([this] { logic_.edit(); });
            else if (name == QLatin1String("nbPost")) {
                grid_->commitOpenEditor();
                guarded([this] { logic_.post(); });
            } else if (name == QLatin1String("nbCancel")) {
                const int r = logic_.currentRow();
                guarded([this] { logic_.cancel(); });
                model_->rowChanged(r);
            } else if (name == QLatin1String("nbRefresh")) {
                grid_->commitOpenEditor();
                const QModelIndex at = grid_->currentIndex();
                guarded([this] { logic_.refresh(); });
                model_->reload();
                if (at.isValid())
                    navigate(at.row());
            }
        });
    }
}

void TControlCursos::navigate(int target) {
    if (logic_.rowCount() == 0)
        return;
    grid_->commitOpenEditor();
    target = std::clamp(target, 0, logic_.rowCount() - 1);
    const int column = grid_->currentIndex().isValid() ? grid_->currentIndex().column() : ColClave;
    grid_->setCurrentIndex(model_->index(target, column));
}

void TControlCursos::guarded(const std::function<void()>& f) {
    if (failure_)
        return;
    try {
        f();
    } catch (...) {
        // Qt cannot carry an exception through its event dispatch: the dialog closes and
        // exec() throws it to the step that showed the dialog.
        failure_ = std::current_exception();
        QMetaObject::invokeMethod(
            this, [this] { QDialog::done(Rejected); }, Qt::QueuedConnection);
    }
}

int TControlCursos::exec() {
    const int r = QDialog::exec();
    if (failure_)
        std::rethrow_exception(std::exchange(failure_, nullptr));
    return r;
}

void TControlCursos::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    guarded([this] { logic_.show(); });
    model_->reload();
    updateFromLogic();
    // Now that the rows are known, room for the longest offering's name.
    resize(chooseSize());
    if (QScreen* s = screen()) {
        const QRect avail = s->availableGeometry();
        QPoint at = avail.center() - rect().center();
        at.setX(std::max(at.x(), avail.left()));
        at.setY(std::max(at.y(), avail.top()));
        move(at);
    }
    // Placing the cursor is not the user entering a column: with no previous cell, the
    // forced exit stays as show left it. The cursor starts where a code is missing.
    if (logic_.rowCount() > 0) {
        const QModelIndex start = firstMissingCode();
        grid_->setCurrentIndex(start.isValid() ? start : model_->index(0, ColNivel));
        grid_->scrollTo(grid_->currentIndex(), QAbstractItemView::PositionAtCenter);
    }
    grid_->setFocus(Qt::OtherFocusReason);
}

void TControlCursos::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    QLinearGradient g(0, 0, 0, height());
    g.setColorAt(0.0, QColor(0, 150, 70));
    g.setColorAt(0.55, QColor(190, 235, 200));
    g.setColorAt(1.0, Qt::white);
    p.fillRect(rect(), g);
    QDialog::paintEvent(event);
}

void TControlCursos::keyPressEvent(QKeyEvent* event) {
    // Escape does not close the dialog: only OK, the forced exit or the close box do.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    // Enter presses the button in focus, whichever it is; OK only from elsewhere.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* b = qobject_cast<QPushButton*>(focusWidget()); b && b->isEnabled()) {
            event->accept();
            b->click();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void TControlCursos::closeEvent(QCloseEvent* event) {
    // The close box and Alt+F4 are OK: the codes are checked, and with a gap the user
    // hears of it and gets the forced exit, rather than an import with empty codes.
    event->ignore();
    if (!closingByButton_)
        confirm();
}

void TControlCursos::showCurrentEstud() {
    const QModelIndex at = grid_->currentIndex();
    const QString text = at.isValid() ? logic_.row(at.row()).estud : QString();
    labelEstud_->setText(
        text.isEmpty() ? QString()
                       : QStringLiteral("%1: %2").arg(logic_.row(at.row()).clave, text.trimmed()));
}

void TControlCursos::done(int r) {
    // The close box (or any other way out): keep what the user typed in the open cell.
    if (grid_)
        grid_->commitOpenEditor();
    guarded([this] {
        logic_.leaveGrid();
        logic_.close();
    });
    QDialog::done(r);
}

void TControlCursos::updateFromLogic() {
    labelIncidencias_->setVisible(logic_.showIncidencias());
    labelFalta_->setVisible(logic_.showIncidencias());
    forceExitButton_->setVisible(logic_.showForzar());
    labelAtencion_->setVisible(logic_.showForzar());
}

QModelIndex TControlCursos::firstMissingCode() const {
    for (int i = 0; i < logic_.rowCount(); ++i) {
        const CursosLogic::Row r = logic_.row(i);
        if (CursosLogic::isMissing(r.nivel))
            return model_->index(i, ColNivel);
        if (CursosLogic::isMissing(r.curso))
            return model_->index(i, ColCurso);
    }
    return {};
}

bool TControlCursos::insideGrid(QWidget* w) const {
    return w && grid_ && (w == grid_ || grid_->isAncestorOf(w));
}

void TControlCursos::onFocusChanged(QWidget* old, QWidget* now) {
    const bool was = insideGrid(old);
    const bool is = insideGrid(now);
    if (!was && is)
        guarded([this] { logic_.enterGrid(); });
    else if (was && !is)
        guarded([this] { logic_.leaveGrid(); });
}

void TControlCursos::confirm() {
    if (closingByButton_)
        return;
    closingByButton_ = true;
    grid_->commitOpenEditor();
    guarded([this] { logic_.confirm(); });
    QDialog::done(Accepted);
}

void TControlCursos::forceExit() {
    if (closingByButton_)
        return;
    closingByButton_ = true;
    grid_->commitOpenEditor();
    guarded([this] { logic_.forceExit(); });
    QDialog::done(Rejected);
}
