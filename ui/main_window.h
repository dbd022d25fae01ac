#pragma once

#include <QLabel>
#include <QPointer>
#include <QWidget>
#include <optional>

#include "settings/field_model.h"
#include "ui/field_binder.h"

class QKeyEvent;
class QDragMoveEvent;
class QDropEvent;
class QTabWidget;
class QPushButton;
class QProgressBar;
class QScrollArea;
class QScreen;

namespace korvan {
class Configurator;
}

namespace korvan::ui {

class ButtonTabs;

// The link label: the maker's web address in the hot-track colour, blue and underlined while
// the pointer is over it; a click opens the address in the desktop's browser.
class LinkLabel : public QLabel {
    Q_OBJECT

  public:
    LinkLabel(const QString& address, QWidget* parent);
    void highlight();
    void unhighlight();

  signals:
    void openAddress();

  protected:
    void enterEvent(QEnterEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The program's one window: a thin view over the core's field model. Every control carries its
// control name as its object name.
class MainWindow : public QWidget {
    Q_OBJECT

  public:
    explicit MainWindow(Configurator& core, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Moves the five shared containers to the view that `pageControl2` shows.
    void pageChosen();
    // Ctrl+Alt+L erases the tracker's debug log, Ctrl+Alt+R copies it, Ctrl+Alt+F copies all
    // 3999 bytes of it, Ctrl+Alt+V compares the tracker with the fields; Ctrl+S saves the fields to
    // a profile, Ctrl+O loads one; whichever control has the focus, Shift not looked at. True when
    // the key was one of them.
    bool keyPressed(const QKeyEvent& key);
    // One local file dragged over the window or dropped on it is a profile to load, taken
    // while no operation runs. True when the drag was such a file.
    bool dragMoved(QDragMoveEvent& drag);
    bool dropped(QDropEvent& drop);

    // The session ends or the program is told to stop: the settings, and records waiting for
    // the database, saved without a dialog; a failure is told on stderr, as no one may be left
    // to read a box.
    void sessionEnding();
    // A stop signal: saved as at the session's end at once; the window's close that follows
    // tells its failures on stderr instead of in a box.
    void endWithoutQuestions();

    // While a device operation runs: the progress bar and "Отмена" over the status line, the
    // write, database and debug-log controls off. Esc cancels, as "Отмена" does.
    void showOperation();

    // Sizes and places the window for a screen whose free part is `available`: whole on it,
    // its frame's corner at `corner` if that keeps it whole, else moved in (in the middle
    // without one), its pages scrolling where they do not fit.
    void fitOnto(const QRect& available, std::optional<QPoint> corner = std::nullopt);

    // "Записывать при подключении": the band over the status line, green for a tracker written,
    // red for one that was not, until the next tracker; nothing while the mode is off.
    void showProvisionBand();

    ButtonTabs* pageControl2() const { return pageControl2_; }
    ButtonTabs* pageControl1() const { return pageControl1_; }
    QTabWidget* pageControl3() const { return pageControl3_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // A theme changed while the program runs: the marks are tinted anew from it.
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void windowShown();
    void windowClosing();
    void buildWindow();
    void buildSimpleView(QWidget* view);
    void buildExtendedView(QWidget* view);
    void buildWifiPage(QWidget* page);
    void buildServerPage(QWidget* page);
    void buildDevicePage(QWidget* page);
    void buildDigitalPage(QWidget* page);
    void buildAnalogPage(QWidget* page);
    void buildPointsPage(QWidget* page);
    void buildPointGroup(QWidget* page, int n);
    void buildMorePage(QWidget* page);
    void bindHandlers();
    void buildProgress();
    void arrangeTabOrder();
    // Moves every control onto the pages' surface inside the scroll area.
    void holdPagesInScrollArea();
    // The window's place, for the settings file.
    void rememberPlace();
    // The window is on `screen` now: fitted again whenever its free part changes, and at once
    // when `fitNow`.
    void followScreen(QScreen* screen, bool fitNow = true);
    // Every control that has no name for assistive technology gets its field's.
    void nameControls();
    // Enter on a focused push button clicks it, as Space does: the window is no dialog, where
    // the style would do it.
    bool pressFocusedButton(QObject* watched, const QKeyEvent& key);
    QWidget* child(const char* name) const;

    Configurator& core_;
    FieldModel& model_;
    FieldBinder binder_;
    ButtonTabs* pageControl2_ = nullptr;
    ButtonTabs* pageControl1_ = nullptr;
    QTabWidget* pageControl3_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* band_ = nullptr;
    QWidget* pages_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QMetaObject::Connection screenFollowed_;
    // Where the keyboard was when the operation began: its controls go off meanwhile.
    QPointer<QWidget> focusBefore_;
    bool showingOperation_ = false;
    // Until the user presses a key or a mouse button in the window, the keyboard goes back to
    // the write button whenever it comes on (a tracker read after a start without one).
    bool keyboardUntouched_ = true;
    bool ending_ = false;  // told to stop: no one may be left to read a box
    bool shown_ = false;
    bool destroyed_ = false;
};

}  // namespace korvan::ui
