#include "app/MainForm.h"

#include "app/Embedding.h"
#include "app/Help.h"
#include "app/QtRunHost.h"
#include "app/ResultFile.h"
#include "export/ExportRun.h"
#include "tables/Folders.h"
#include "tables/WorkingTables.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kHelpContext = 1;

// The green tick of the OK buttons, drawn rather than shipped as an image file.
QIcon checkMarkIcon() {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(0x1E, 0x8C, 0x1E), 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    const QPointF tick[] = {{3.5, 10.5}, {8.0, 15.5}, {16.5, 4.5}};
    p.drawPolyline(tick, 3);
    return QIcon(pixmap);
}

QFrame* gradientPanel(const QString& name, const QString& gradient, QWidget* parent) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setStyleSheet(QStringLiteral("QFrame#%1 { background: qlineargradient(x1:0, y1:0, "
                                        "x2:0, y2:1, %2); border: 1px solid #B0B0B0; }")
                             .arg(name, gradient));
    return panel;
}

QPushButton* okButton(const QString& name, QWidget* parent) {
    auto* button = new QPushButton(checkMarkIcon(), QStringLiteral("OK"), parent);
    button->setObjectName(name);
    button->setIconSize(QSize(20, 20));
    button->setMinimumSize(96, 30);
    return button;
}

} // namespace

TMForm::TMForm(ShellOptions options, QWidget* parent)
    : QWidget(parent), options_(std::move(options)) {
    setObjectName(QStringLiteral("MForm"));
    if (!options_.host || !options_.questions)
        ownHost_ = std::make_unique<QtRunHost>(*this);
    host_ = options_.host ? options_.host : ownHost_.get();
    questions_ = options_.questions ? options_.questions : ownHost_.get();
    if (options_.help) {
        help_ = options_.help;
    } else {
        ownHelp_ = std::make_unique<SystemHelpViewer>(
            [this](const QString& text) { host_->reportError(text); }, this);
        help_ = ownHelp_.get();
    }
    helpKeys_ = std::make_unique<HelpKeyFilter>(*help_);
    resultFile_ = options_.resultFile.isEmpty()
                      ? QDir(tables::programFolder()).filePath(QStringLiteral("Tempolan.ini"))
                      : options_.resultFile;
    if (!options_.quit)
        options_.quit = [] { QCoreApplication::exit(0); };

    buildLayout();
    FormCreate();
}

TMForm::~TMForm() = default;

void TMForm::buildLayout() {
    setWindowTitle(QStringLiteral("Exportar e importar datos entre Tempolan y Veltra"));
    // A fixed dialog-style window: title and close box, nothing to resize or minimise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* upper = new QWidget(this);
    auto* panels = new QHBoxLayout(upper);
    panels->setContentsMargins(6, 6, 6, 6);
    panels->setSpacing(6);
    outer->addWidget(upper, 1);

    const QString warm = QStringLiteral("stop:0 #FFCC33, stop:1 #FFFFFF");
    const struct {
        const char* panel;
        const char* caption;
        const char* button;
        QPushButton** target;
    } runs[] = {
        {"PanelExportar", "Transformar datos desde Veltra hacia Tempolan ", "BExportar",
         &BExportar},
        {"PanelImportar", "Transformar datos desde Tempolan hacia Veltra", "BImportar", &BImportar},
    };
    for (const auto& run : runs) {
        QFrame* panel = gradientPanel(QString::fromLatin1(run.panel), warm, upper);
        auto* column = new QVBoxLayout(panel);
        column->setContentsMargins(12, 14, 12, 14);
        auto* caption = new QLabel(QString::fromUtf8(run.caption), panel);
        QFont big = caption->font();
        big.setBold(true);
        big.setPointSizeF(big.pointSizeF() * 1.45);
        caption->setFont(big);
        caption->setWordWrap(true);
        caption->setAlignment(Qt::AlignCenter);
        column->addWidget(caption, 1);
        *run.target = okButton(QString::fromLatin1(run.button), panel);
        // The visible text is "OK"; a screen reader says which run it starts.
        (*run.target)
            ->setAccessibleName(QStringLiteral("OK: ") + QString::fromUtf8(run.caption).trimmed());
        column->addWidget(*run.target, 0, Qt::AlignHCenter);
        panels->addWidget(panel, 1);
    }

    QFrame* strip = gradientPanel(QStringLiteral("PanelInferior"),
                                  QStringLiteral("stop:0 #D6EBFF, stop:1 #A9D0F5"), this);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(10, 6, 10, 6);
    LabelProducto = new QLabel(QStringLiteral("VeltraTempolan " VT_VERSION), strip);
    LabelProducto->setObjectName(QStringLiteral("LabelProducto"));
    QFont small = LabelProducto->font();
    small.setBold(true);
    small.setPointSizeF(small.pointSizeF() * 0.85);
    LabelProducto->setFont(small);
    LabelProducto->setStyleSheet(QStringLiteral("color: #D00000;"));
    row->addWidget(LabelProducto);
    // What a run is doing; it takes the spare width and never widens the window.
    LabelPaso = new QLabel(strip);
    LabelPaso->setObjectName(QStringLiteral("LabelPaso"));
    LabelPaso->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    row->addWidget(LabelPaso, 1);
    BClose = new QPushButton(QStringLiteral("&Salir"), strip);
    BClose->setObjectName(QStringLiteral("BClose"));
    Button1 = new QPushButton(QStringLiteral("F1 AYUDA"), strip);
    Button1->setObjectName(QStringLiteral("Button1"));
    row->addWidget(BClose);
    row->addWidget(Button1);
    outer->addWidget(strip);

    connect(BExportar, &QPushButton::clicked, this, &TMForm::runImport);
    connect(BImportar, &QPushButton::clicked, this, &TMForm::runExport);
    connect(BClose, &QPushButton::clicked, this, &QWidget::close);
    connect(Button1, &QPushButton::clicked, this, &TMForm::openHelp);

    setProperty("helpContext", kHelpContext);
    for (QWidget* w : findChildren<QWidget*>())
        w->setProperty("helpContext", kHelpContext);

    // Fixed, but large enough for its texts at any font size, and never beyond the screen.
    // Each caption gets room for about 22 of its characters a line.
    const QLabel* caption =
        findChild<QFrame*>(QStringLiteral("PanelExportar"))->findChild<QLabel*>();
    const int panel = 22 * QFontMetrics(caption->font()).averageCharWidth() + 24;
    QSize size(std::max({560, 2 * panel + 18, minimumSizeHint().width()}), 270);
    size.setHeight(std::max(size.height(), sizeHint().height()));
    if (layout()->hasHeightForWidth())
        size.setHeight(std::max(size.height(), layout()->totalHeightForWidth(size.width())));
    if (const QScreen* s = screen())
        size = size.boundedTo(s->availableGeometry().size());
    setFixedSize(size);
    BExportar->setFocus(Qt::OtherFocusReason);
}

void TMForm::FormCreate() {
    state_.resultValue = 0;
    commandLine_ = parseCommandLine(options_.parameters);
    if (!commandLine_.twoParameters)
        return;
    if (!commandLine_.hostWindow) {
        // Reported, and the tool carries on standalone; the action still starts.
        host_->reportError(commandLine_.conversionError);
        return;
    }
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    embedding_ = new HostEmbedding(*this, *commandLine_.hostWindow, this);
    connect(embedding_, &HostEmbedding::hostGone, this, &TMForm::onHostGone);
    embedding_->embed(); // nothing to do on a platform without foreign windows
    state_.embedded = true;
}

void TMForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The button in focus shows it from the start, not only after the first Tab.
    setAttribute(Qt::WA_KeyboardFocusChange);
    if (!event->spontaneous())
        FormShow();
}

void TMForm::FormShow() {
    if (!state_.embedded) {
        if (QScreen* s = screen())
            move(s->availableGeometry().center() - rect().center());
    }
    // The action runs as soon as the window is on screen, before any input of the user.
    if (commandLine_.twoParameters)
        QTimer::singleShot(0, this, &TMForm::startAction);
}

void TMForm::startAction() {
    if (!isVisible())
        return;
    if (commandLine_.action == CommandLine::Action::Export)
        runExport();
    if (commandLine_.action == CommandLine::Action::Import && isVisible())
        runImport();
}

void TMForm::runImport() {
    if (options_.importRun) {
        runGuarded(options_.importRun);
    } else {
        runGuarded([this](RunHost& h, run::RunState& s, const RunFolders& f,
                          exchange::Document& d) { ::runImport(h, *questions_, s, f, d); });
    }
}

void TMForm::runExport() {
    runGuarded(options_.exportRun ? options_.exportRun : ShellOptions::Run(::runExport));
}

void TMForm::runGuarded(const ShellOptions::Run& run) {
    if (running_)
        return;
    {
        // While the run works, input meant for this window is dropped (eventFilter).
        struct Running {
            TMForm& form;
            QPointer<QWidget> focus;
            explicit Running(TMForm& f) : form(f), focus(f.focusWidget()) {
                form.running_ = true;
                qApp->installEventFilter(&form);
                // The buttons look as they are while a run works: out of use.
                for (QPushButton* b : {form.BExportar, form.BImportar, form.BClose, form.Button1})
                    b->setEnabled(false);
            }
            ~Running() {
                qApp->removeEventFilter(&form);
                form.running_ = false;
                form.LabelPaso->clear();
                for (QPushButton* b : {form.BClose, form.Button1})
                    b->setEnabled(true);
                if (!form.runButtonsDone_) {
                    form.BExportar->setEnabled(true);
                    form.BImportar->setEnabled(true);
                }
                if (focus && focus->isEnabled())
                    focus->setFocus(Qt::OtherFocusReason);
            }
        } running(*this);
        try {
            run(*host_, state_, runFolders(), held_);
        } catch (const std::exception& e) {
            host_->reportError(QString::fromLocal8Bit(e.what()));
        }
    }
    // Tempolan's window went away while the run was busy: leave now that it is over.
    if (hostGone_ && isVisible())
        BClose->click();
}

void TMForm::openHelp() {
    help::setHelpFile(QStringLiteral("VELTRA.chm"));
    help_->showContents();
}

void TMForm::showProgress(const QString& text) {
    // Cut with an ellipsis where the strip is too narrow; the tooltip keeps the whole text.
    LabelPaso->setText(LabelPaso->fontMetrics().elidedText(text, Qt::ElideRight,
                                                           LabelPaso->contentsRect().width()));
    LabelPaso->setToolTip(text);
    keepPainted();
}

void TMForm::keepPainted() {
    // Paint and let finished dialogs vanish. Input is not held back for later (it would
    // reach the buttons once the run is over): the run's filter drops what is meant for
    // this window.
    if (isVisible())
        QCoreApplication::processEvents();
}

bool TMForm::eventFilter(QObject* watched, QEvent* event) {
    if (!running_ || !watched->isWidgetType())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
        // Dialogs and boxes of the run are windows of their own and still take input.
        return static_cast<QWidget*>(watched)->window() == this;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void TMForm::keyPressEvent(QKeyEvent* event) {
    // A plain window gives Enter to no button: the button in focus takes it as Space.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget());
            button && button->isEnabled()) {
            button->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void TMForm::disableRunButtons() {
    runButtonsDone_ = true;
    BExportar->setEnabled(false);
    BImportar->setEnabled(false);
}

void TMForm::repaintNow() {
    if (!isVisible())
        return;
    // The window system first tells us what the closed dialog uncovered.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
}

RunFolders TMForm::runFolders() const {
    if (options_.folders)
        return *options_.folders;
    return RunFolders{tables::workingFolder(),
                      QDir(tables::programFolder()).filePath(tables::VELTMATERIAS::kFile)};
}

bool TMForm::FormClose() {
    if (!state_.embedded)
        return true;
    if (!writeProfileString(resultFile_, QStringLiteral("Transformadores"),
                            QStringLiteral("Transformado"), QString::number(state_.resultValue))) {
        host_->reportError(QStringLiteral("No se puede escribir en '%1': compruebe que la carpeta "
                                          "del programa admite escritura y vuelva a cerrar la "
                                          "ventana.")
                               .arg(QDir::toNativeSeparators(resultFile_)));
        return false;
    }
    return true;
}

void TMForm::closeEvent(QCloseEvent* event) {
    // The close box does nothing while a run works; the run itself may close the window.
    if (running_ && event->spontaneous()) {
        event->ignore();
        return;
    }
    if (!FormClose()) {
        event->ignore();
        return;
    }
    event->accept();
    // Once inside another program's window, closing alone does not end the event loop.
    options_.quit();
}

void TMForm::onHostGone() {
    hostGone_ = true;
    if (!running_ && isVisible())
        BClose->click();
}
