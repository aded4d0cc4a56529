#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

// Help of the application: the compiled help file VELTRA.chm beside the program, with
// its pages also installed as plain HTML in help/ for systems without a CHM viewer.
namespace help {

// The help file name, without folder, as the application sets it at start.
void setHelpFile(const QString& fileName);
QString helpFile();

// Our own map from help context number to page; empty for an unknown number.
// 1: main window and course dialog, 3: time-frame dialog.
QString pageForContext(int context);
QString contentsPage();

// The help context of a widget: its own "helpContext" property or that of the nearest
// parent that has one; 0 when none has.
int contextOf(const QWidget* widget);

} // namespace help

// Opens the help; the window and the tests each provide one.
class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    virtual void showContext(int context) = 0;
    virtual void showContents() = 0;
};

// The system's viewer: HTML Help on Windows; elsewhere a CHM viewer when one is
// installed, else the HTML page in the browser. A missing help file goes to `report`.
class SystemHelpViewer : public HelpViewer {
public:
    explicit SystemHelpViewer(std::function<void(const QString&)> report, QWidget* owner = nullptr,
                              QString programDir = QString());
    void showContext(int context) override;
    void showContents() override;

private:
    void showPage(const QString& page, bool contents);
    std::function<void(const QString&)> report_;
    QWidget* owner_; // owner of the help window where the viewer takes one
    QString programDir_;
};

// F1 anywhere in the application opens the help at the context of the widget that has
// the key. Installed on the application while it lives.
class HelpKeyFilter : public QObject {
    Q_OBJECT
public:
    explicit HelpKeyFilter(HelpViewer& viewer, QObject* parent = nullptr);
    ~HelpKeyFilter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HelpViewer& viewer_;
};
