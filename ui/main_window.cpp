#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDropEvent>
#include <QEnterEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTabWidget>
#include <QUrl>
#include <QWindow>
#include <iostream>
#include <optional>

#include "core/configurator.h"
#include "core/field_titles.h"
#include "core/startup_rules.h"
#include "settings/defaults.h"
#include "ui/button_tabs.h"
#include "ui/widgets.h"
#include "ui/window_fit.h"

namespace korvan::ui {

LinkLabel::LinkLabel(const QString& address, QWidget* parent) : QLabel(address, parent) {
    setObjectName("Link");
    setCursor(Qt::PointingHandCursor);
    setFont(pixelFont(11));
    unhighlight();
}

void LinkLabel::highlight() {
    setTextColour(this, colours::kBlue);
    QFont look = font();
    look.setUnderline(true);
    setFont(look);
}

void LinkLabel::unhighlight() {
    setTextColour(this, colours::kHotTrack);
    QFont look = font();
    look.setUnderline(false);
    setFont(look);
}

void LinkLabel::enterEvent(QEnterEvent* event) {
    highlight();
    QLabel::enterEvent(event);
}

void LinkLabel::paintEvent(QPaintEvent*) {
    // The label reaches two pixels below the window's edge: the text stands high enough for
    // its underline to show.
    const QFontMetrics metrics(font());
    int shown = height();
    if (parentWidget() != nullptr) {
        shown = std::min(shown, parentWidget()->height() - y());
    }
    const int baseline = std::min(
        metrics.ascent(), shown - 1 - metrics.underlinePos() - std::max(1, metrics.lineWidth()));
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QPoint(0, baseline), text());
}

void LinkLabel::leaveEvent(QEvent* event) {
    unhighlight();
    QLabel::leaveEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit openAddress();
    }
    QLabel::mouseReleaseEvent(event);
}

MainWindow::MainWindow(Configurator& core, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      core_(core),
      model_(core.model()),
      binder_(core.model(), this) {
    setObjectName("OstrelForm");
    setFixedSize(365, 537);
    setFont(pixelFont(11));
    buildWindow();
    buildProgress();
    holdPagesInScrollArea();
    bindHandlers();
    arrangeTabOrder();
    nameControls();
    binder_.showMarks();  // once every widget has its own look and hint
    const auto version = parseVersion(programVersionString());
    setWindowTitle(QString::fromStdString(windowCaption(version)));
    setWindowIcon(programIcon());
    // The key combinations and dropped profiles work whichever control is under them.
    qApp->installEventFilter(this);
    setAcceptDrops(true);
    // One device change waits for the event loop, so that a tracker already attached is found
    // once the window is up.
    QMetaObject::invokeMethod(
        this, [this] { core_.devicesChanged(); }, Qt::QueuedConnection);
}

void MainWindow::nameControls() {
    // A screen reader names a control by its accessible name, or else by its text or a label
    // whose buddy it is. Edits, boxes without a caption and the choices of a row have neither:
    // they take the name the technician reads in a list of differences.
    for (int i = 0; i < kFieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        QWidget* control = binder_.widget(field);
        if (control == nullptr || !control->accessibleName().isEmpty() ||
            qobject_cast<QLabel*>(control) != nullptr) {
            continue;
        }
        const auto* button = qobject_cast<QAbstractButton*>(control);
        QString name = QString::fromStdString(fieldTitle(field));
        if (button != nullptr && !button->text().isEmpty()) {
            // The caption says it where it stands; the title tells which row it belongs to.
            name = button->text().remove('&');
        }
        control->setAccessibleName(name);
        if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->lineEdit()) {
            combo->lineEdit()->setAccessibleName(name);
        }
    }
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::ApplicationPaletteChange) {
        // Once the change has reached every control: the window hears of it before them. The
        // layout's colours are chosen anew against the theme, then the marks tinted from it.
        QMetaObject::invokeMethod(
            this,
            [this] {
                refreshTextColours(this);
                binder_.refreshStatusLook();
                binder_.showMarks();
                showProvisionBand();
            },
            Qt::QueuedConnection);
    }
    QWidget::changeEvent(event);
}

MainWindow::~MainWindow() {
    core_.operationChanged = nullptr;  // the core outlives the window
    core_.provisionChanged = nullptr;
}

void MainWindow::holdPagesInScrollArea() {
    // Every control stays where the layout puts it, on a surface of the layout's size; the
    // window shows all of it where the screen has room, and scrolls over it where it has not.
    pages_ = new QWidget;
    pages_->setObjectName("Pages");
    pages_->setFixedSize(size());
    // The order Tab goes in, kept through the move: a widget moved to another parent joins the
    // end of the chain.
    std::vector<QWidget*> chain;
    for (QWidget* next = nextInFocusChain(); next != this; next = next->nextInFocusChain()) {
        chain.push_back(next);
    }
    for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QRect at = control->geometry();
        const bool hidden = control->isHidden();
        control->setParent(pages_);
        control->setGeometry(at);
        control->setVisible(!hidden);
    }
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName("PagesScroll");
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidget(pages_);
    scroll_->setGeometry(rect());
    scroll_->setFocusPolicy(Qt::NoFocus);
    for (std::size_t i = 1; i < chain.size(); ++i) {
        setTabOrder(chain[i - 1], chain[i]);
    }
    // The keyboard brings into view whatever it reaches.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now != nullptr && pages_->isAncestorOf(now)) {
            scroll_->ensureWidgetVisible(now);
        }
    });
}

void MainWindow::fitOnto(const QRect& available, std::optional<QPoint> corner) {
    QMargins frame(geometry().left() - frameGeometry().left(),
                   geometry().top() - frameGeometry().top(),
                   frameGeometry().right() - geometry().right(),
                   frameGeometry().bottom() - geometry().bottom());
    if (frame.isNull()) {
        frame.setTop(kTitleBarAllowance);  // not decorated yet: room for a title bar
    }
    const WindowFit fit = fitWindow(pages_->size(), available, frame,
                                    style()->pixelMetric(QStyle::PM_ScrollBarExtent), corner);
    setFixedSize(fit.size);
    scroll_->setGeometry(rect());
    move(fit.place);
}

void MainWindow::followScreen(QScreen* screen, bool fitNow) {
    disconnect(screenFollowed_);
    if (screen == nullptr) {
        return;
    }
    screenFollowed_ = connect(screen, &QScreen::availableGeometryChanged, this,
                              [this](const QRect& available) { fitOnto(available, pos()); });
    if (fitNow) {
        fitOnto(screen->availableGeometry(), pos());
    }
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shown_) {
        shown_ = true;
        // Where it was last, on the screen that shows that place; else in the middle of its own.
        QScreen* screen = this->screen();
        std::optional<QPoint> corner;
        if (model_.windowPlace) {
            corner = QPoint(model_.windowPlace->left, model_.windowPlace->top);
            if (QScreen* there = QGuiApplication::screenAt(*corner)) {
                screen = there;
            }
        }
        if (screen != nullptr) {
            fitOnto(screen->availableGeometry(), corner);
        }
        // Moved to another screen, or the screen's free part changed (a panel, a new scale):
        // fitted again where it stands.
        if (QWindow* handle = windowHandle()) {
            connect(handle, &QWindow::screenChanged, this,
                    [this](QScreen* now) { followScreen(now); });
        }
        followScreen(this->screen(), false);
        windowShown();
    }
}

void MainWindow::windowShown() {
    core_.windowShown([this] { pageChosen(); });
    // The keyboard starts on the write button, or on the next control that takes it while
    // the button is off.
    for (QWidget* next = child("Button5"); next != this; next = next->nextInFocusChain()) {
        if (next->isEnabled() && next->isVisible() && (next->focusPolicy() & Qt::TabFocus)) {
            next->setFocus(Qt::TabFocusReason);
            break;
        }
    }
}

void MainWindow::rememberPlace() {
    if (shown_) {
        model_.windowPlace = WindowPlace{pos().x(), pos().y()};
    }
}

void MainWindow::sessionEnding() {
    rememberPlace();
    const auto saved = core_.saveBeforeEnd();
    const std::string program = QCoreApplication::applicationName().toStdString();
    if (!saved.settings.ok) {
        std::cerr << program << ": " << saved.settings.error << '\n';
    }
    if (saved.recordsLeft) {
        std::cerr << program
                  << ": База устройств не сохранена: записи устройств, записанных после "
                     "последнего сохранения, не попали в файл базы\n";
    }
}

void MainWindow::endWithoutQuestions() {
    sessionEnding();
    ending_ = true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    windowClosing();
    QWidget::closeEvent(event);
}

void MainWindow::windowClosing() {
    if (destroyed_ || !shown_) {
        return;
    }
    destroyed_ = true;
    rememberPlace();
    const auto saved = core_.windowClosing();
    if (!saved.ok) {
        if (ending_) {
            std::cerr << QCoreApplication::applicationName().toStdString() << ": " << saved.error
                      << '\n';
        } else {
            QMessageBox::critical(this, "Korvan", QString::fromStdString(saved.error));
        }
    }
}

bool MainWindow::keyPressed(const QKeyEvent& key) {
    const auto modifiers = key.modifiers();
    const bool control = modifiers & Qt::ControlModifier;
    const bool alt = modifiers & Qt::AltModifier;
    const bool profileKey = control && !alt && (key.key() == Qt::Key_S || key.key() == Qt::Key_O);
    if (core_.operation().running) {
        if (key.key() == Qt::Key_Escape) {
            core_.cancel();
            return true;
        }
        // The debug-log and profile keys do nothing until the operation has ended; the rest go
        // to the controls.
        return profileKey ||
               (control && alt &&
                (key.key() == Qt::Key_L || key.key() == Qt::Key_R || key.key() == Qt::Key_F ||
                 key.key() == Qt::Key_V || key.key() == Qt::Key_P));
    }
    // Ctrl+Return writes, as "Установить" does, from whichever control has the focus; only
    // while the button itself may be pressed.
    const bool writeKey =
        control && !alt && (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter);
    if (writeKey) {
        if (auto* write = qobject_cast<QPushButton*>(child("Button5")); write->isEnabled()) {
            write->click();
        }
        return true;
    }
    if (profileKey) {
        if (key.key() == Qt::Key_S) {
            core_.saveProfile();
        } else {
            core_.openProfile();
        }
        return true;
    }
    if (!control || !alt) {
        return false;
    }
    switch (key.key()) {
        case Qt::Key_L:
            core_.clearDebugLog();
            return true;
        case Qt::Key_R:
            core_.readDebugLog(false);
            return true;
        case Qt::Key_F:
            core_.readDebugLog(true);
            return true;
        case Qt::Key_V:
            core_.compareWithTracker();
            return true;
        case Qt::Key_P:
            core_.toggleProvisioning();
            return true;
        default:
            return false;
    }
}

namespace {

// The one local file that a drag carries, or nothing: several files, a folder's address or a
// web address are not profiles.
std::optional<QString> draggedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1 ||
        !data->urls().front().isLocalFile()) {
        return std::nullopt;
    }
    return data->urls().front().toLocalFile();
}

}  // namespace

bool MainWindow::dragMoved(QDragMoveEvent& drag) {
    if (!draggedFile(drag.mimeData())) {
        return false;
    }
    if (core_.operationRunning()) {
        drag.ignore();
    } else {
        drag.acceptProposedAction();
    }
    return true;
}

bool MainWindow::dropped(QDropEvent& drop) {
    const auto file = draggedFile(drop.mimeData());
    if (!file) {
        return false;
    }
    drop.acceptProposedAction();
    core_.openProfileFile(file->toStdString());
    return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != this) {
        return QWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::EnabledChange:
            if (keyboardUntouched_ && watched->objectName() == "Button5" &&
                static_cast<QWidget*>(watched)->isEnabled()) {
                static_cast<QWidget*>(watched)->setFocus(Qt::OtherFocusReason);
            }
            break;
        case QEvent::MouseButtonPress:
            keyboardUntouched_ = false;
            break;
        case QEvent::KeyPress:
            keyboardUntouched_ = false;
            if (keyPressed(*static_cast<QKeyEvent*>(event)) ||
                pressFocusedButton(watched, *static_cast<QKeyEvent*>(event))) {
                return true;  // the key is used up before any control sees it
            }
            break;
        // A file dropped anywhere on the window is a profile, also over an edit that would
        // otherwise take its name as text.
        case QEvent::DragEnter:
        case QEvent::DragMove:
            if (dragMoved(*static_cast<QDragMoveEvent*>(event))) {
                return true;
            }
            break;
        case QEvent::Drop:
            if (dropped(*static_cast<QDropEvent*>(event))) {
                return true;
            }
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

bool MainWindow::pressFocusedButton(QObject* watched, const QKeyEvent& key) {
    if ((key.key() != Qt::Key_Return && key.key() != Qt::Key_Enter) ||
        (key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return false;
    }
    auto* button = qobject_cast<QPushButton*>(watched);
    if (button == nullptr || !button->hasFocus() || !button->isEnabled()) {
        return false;
    }
    button->click();
    return true;
}

QWidget* MainWindow::child(const char* name) const {
    return findChild<QWidget*>(name);
}

void MainWindow::buildWindow() {
    pageControl2_ = new ButtonTabs(this);
    pageControl2_->setObjectName("PageControl2");
    pageControl2_->setGeometry(0, 0, 369, 401);
    setFontLook(pageControl2_, 13, true);
    QWidget* simple = pageControl2_->addPage("TabSheet10", "Простой вид");
    QWidget* extended = pageControl2_->addPage("TabSheet11", "Расширенный вид");
    for (QWidget* view : {simple, extended}) {
        setFontLook(view, 11);
    }
    buildSimpleView(simple);
    buildExtendedView(extended);
    pageControl2_->setCurrentIndex(1);

    QLabel* serial = makeDisplayPanel(this, "SerNum", 276, 0, 85, 24);
    setFontLook(serial, 16, true);
    setTextColour(serial, colours::kRed);
    binder_.show(serial, Field::SerialNumber);

    auto* write = makeButton(this, "Button5", "Установить", 12, 406, 345, 25);
    setFontLook(write, 19, true);
    setTextColour(write, colours::kRed);
    binder_.enable(write, Field::WriteButton);

    QLabel* fileCaption =
        makeLabel(this, "Label2", "Файл с настройками:", 10, 434, 137, 17, Wrap::Yes);
    setFontLook(fileCaption, 13);
    binder_.show(makeLabel(this, "DbFileName", {}, 150, 436, 209, 15), Field::DatabaseName);

    auto* open = makeButton(this, "Open", "Открыть...", 10, 454, 110, 25);
    auto* saveAs = makeButton(this, "SaveAs", "Сохранить как...", 127, 454, 110, 25);
    makeButton(this, "Button1", "Просмотреть", 244, 454, 110, 25);

    QLabel* status = makeLabel(this, "CommandInfo", {}, 8, 480, 345, 49, Wrap::Yes);
    binder_.show(status, Field::StatusLine);

    auto* link = new LinkLabel(
        QString::fromUtf8(kMakerWebAddress.data(), static_cast<int>(kMakerWebAddress.size())),
        this);
    link->adjustSize();
    link->move(359 - link->width(), 526);
    connect(link, &LinkLabel::openAddress, this,
            [link] { QDesktopServices::openUrl(QUrl::fromUserInput(link->text())); });

    // Outside the client area, so never seen; the keyboard still reaches it.
    auto* hiddenRead = makeButton(this, "Button2", "Button2", 824, 248, 75, 25);
    hiddenRead->setAccessibleName("Считать трекер заново");

    setTabOrder(write, saveAs);
    setTabOrder(saveAs, open);
    setTabOrder(open, hiddenRead);
    setTabOrder(hiddenRead, pageControl2_);
    serial->raise();
}

void MainWindow::arrangeTabOrder() {
    // "Просмотреть" follows the last control of the views, so that the pages come between
    // the hidden read button and it; the pages keep their own order among themselves, after
    // their tabs.
    pageControl2_->keepTabsTogether();
    pageControl1_->keepTabsTogether();
    QWidget* lastOfViews = pageControl2_;
    for (QWidget* next = nextInFocusChain(); next != this; next = next->nextInFocusChain()) {
        if (pageControl2_->isAncestorOf(next)) {
            lastOfViews = next;
        }
    }
    setTabOrder(lastOfViews, child("Button1"));
}

void MainWindow::buildProgress() {
    // Over the first line of the status line, shown only while an operation runs, so that no
    // other control moves.
    progress_ = new QProgressBar(this);
    progress_->setObjectName("OperationProgress");
    progress_->setGeometry(8, 481, 262, 21);
    progress_->setTextVisible(true);
    progress_->hide();
    cancel_ = makeButton(this, "CancelOperation", "Отмена", 276, 479, 77, 25);
    cancel_->setFocusPolicy(Qt::NoFocus);  // the keyboard's focus stays where it was
    cancel_->hide();
    connect(cancel_, &QPushButton::clicked, this, [this] { core_.cancel(); });

    band_ = makeLabel(this, "ProvisionBand", {}, 8, 480, 345, 46, Wrap::Yes);
    band_->setAlignment(Qt::AlignCenter);
    band_->setAutoFillBackground(true);
    setFontLook(band_, 15, true);
    band_->hide();
    core_.operationChanged = [this] { showOperation(); };
    core_.provisionChanged = [this] { showProvisionBand(); };
}

void MainWindow::showProvisionBand() {
    const ProvisionBand& band = core_.provisionBand();
    QPalette look = palette();
    // White on a dark green or a dark red reads at over 5:1 in any theme; the states between
    // two trackers take the theme's own highlight.
    switch (band.state) {
        case ProvisionBand::State::Written:
            look.setColor(QPalette::Window, QColor(0x1B, 0x6E, 0x2E));
            look.setColor(QPalette::WindowText, Qt::white);
            break;
        case ProvisionBand::State::Failed:
            look.setColor(QPalette::Window, QColor(0xB0, 0x00, 0x20));
            look.setColor(QPalette::WindowText, Qt::white);
            break;
        case ProvisionBand::State::Off:
        case ProvisionBand::State::Waiting:
        case ProvisionBand::State::Working:
            look.setColor(QPalette::Window, look.color(QPalette::Highlight));
            look.setColor(QPalette::WindowText, look.color(QPalette::HighlightedText));
            break;
    }
    band_->setPalette(look);
    band_->setText(QString::fromStdString(band.text));
    showOperation();
}

void MainWindow::showOperation() {
    const OperationState& operation = core_.operation();
    if (operation.running && !showingOperation_) {
        focusBefore_ = QApplication::focusWidget();
    }
    for (const char* name : {"Open", "SaveAs", "Button1", "Button2"}) {
        child(name)->setEnabled(!operation.running);
    }
    child("Button5")->setEnabled(!operation.running && model_.enabled(Field::WriteButton));
    // The last operation's message is old news while the next one runs; the band of
    // "Записывать при подключении" stands in its place while the mode is on.
    child("CommandInfo")->setVisible(!operation.running && !core_.provisioning());
    band_->setVisible(!operation.running && core_.provisioning());
    progress_->setVisible(operation.running);
    cancel_->setVisible(operation.running);
    if (!operation.running) {
        if (showingOperation_ && focusBefore_ && focusBefore_->isEnabled()) {
            focusBefore_->setFocus();
        }
        showingOperation_ = false;
        return;
    }
    showingOperation_ = true;
    progress_->setRange(0, std::max(operation.steps, 1));
    progress_->setValue(operation.step);
    QString shown = operation.step == 0 ? QString("Связь с устройством...")
                                        : QString("%1 из %2: %3")
                                              .arg(operation.step)
                                              .arg(operation.steps)
                                              .arg(QString::fromStdString(operation.what));
    if (operation.attempt > 1) {
        // A tracker that keeps silent: the technician sees that it is being asked again.
        shown += QString(", попытка %1 из %2").arg(operation.attempt).arg(operation.attempts);
    }
    progress_->setFormat(shown);
    progress_->raise();
    cancel_->raise();
}

void MainWindow::buildSimpleView(QWidget* view) {
    pageControl3_ = new QTabWidget(view);
    pageControl3_->setObjectName("PageControl3");
    pageControl3_->setGeometry(2, 0, 355, 367);
    auto* device = new QWidget;
    device->setObjectName("TabSheet12");
    auto* inputs = new QWidget;
    inputs->setObjectName("TabSheet13");
    pageControl3_->addTab(device, "Настройки устройства");
    pageControl3_->addTab(inputs, "Настройки входов");
    pageControl3_->setCurrentWidget(inputs);

    makeLabel(device, "Label94", "Настройки WiFi", 8, 4);
    setTextColour(makeLabel(device, "Label95", "Настройки записи и передачи данных", 8, 124),
                  colours::kBlue);
    makeLabel(device, "Label96", "Настройки сервера", 10, 244);

    makeLabel(inputs, "Label22", "Период опроса аналоговых входов, с", 64, 243);
    const struct {
        const char* name;
        const char* text;
        int y, width, height;
    } legend[] = {
        {"Label93", "A    Обычный вход (концевики, кнопки, датчик давления масла...) ", 266, 345,
         19},
        {"Label24", "B    Накопительный счётчик (ДРТ, VZO, пассажиропоток...)", 286, 339, 17},
        {"Label92", "C    Периодический счётчик (датчики производства Ортексан)", 306, 337, 25},
    };
    for (const auto& line : legend) {
        setTextColour(
            makeLabel(inputs, line.name, line.text, 6, line.y, line.width, line.height, Wrap::Yes),
            colours::kGreen);
    }
}

void MainWindow::buildExtendedView(QWidget* view) {
    pageControl1_ = new ButtonTabs(view);
    pageControl1_->setObjectName("PageControl1");
    pageControl1_->setGeometry(0, 0, 359, 367);
    buildWifiPage(pageControl1_->addPage("TabSheet1", "Настройки  WiFi"));
    buildServerPage(pageControl1_->addPage("TabSheet3", "Настройки сервера"));
    buildDevicePage(pageControl1_->addPage("TabSheet4", "Настройки устройства"));
    buildDigitalPage(pageControl1_->addPage("TabSheet2", "Цифровые входы"));
    buildAnalogPage(pageControl1_->addPage("TabSheet7", "Аналоговые входы"));
    buildPointsPage(pageControl1_->addPage("TabSheet8", "Контрольные точки"));
    buildMorePage(pageControl1_->addPage("TabSheet5", "Дополнительно"));
    pageControl1_->setCurrentIndex(1);  // "Настройки сервера"
}

void MainWindow::pageChosen() {
    struct Move {
        const char* container;
        const char* home;
        int top;
        int height;  // 0: unchanged
    };
    // The simple view gathers the panels in this order; the extended view puts them back.
    static const Move kToSimple[] = {{"Panel2", "TabSheet12", 20, 0},
                                     {"Panel3", "TabSheet12", 140, 87},
                                     {"Panel4", "TabSheet12", 260, 0},
                                     {"Panel1", "TabSheet13", -1, 0},
                                     {"AnalogTime", "TabSheet13", 240, 0}};
    static const Move kToExtended[] = {{"Panel2", "TabSheet1", 8, 0},
                                       {"Panel4", "TabSheet3", 8, 0},
                                       {"Panel3", "TabSheet4", 8, 137},
                                       {"Panel1", "TabSheet2", -1, 0},
                                       {"AnalogTime", "TabSheet7", 211, 0}};
    const bool simple = pageControl2_->currentIndex() == 0;
    // The simple view cuts the recording panel short above its two check boxes: hidden, no
    // strip of them shows at its bottom edge and the keyboard does not reach them.
    for (const char* cut : {"StaticBox", "WideWrite"}) {
        child(cut)->setVisible(!simple);
    }
    for (const Move& move : simple ? std::span(kToSimple) : std::span(kToExtended)) {
        QWidget* container = child(move.container);
        QWidget* home = child(move.home);
        if (container->parentWidget() != home) {
            const QPoint at = container->pos();
            container->setParent(home);
            container->move(at);
            container->show();
        }
        if (move.top >= 0) {
            container->move(container->x(), move.top);
        }
        if (move.height > 0) {
            container->resize(container->width(), move.height);
        }
    }
}

void MainWindow::bindHandlers() {
    auto clicked = [this](const char* name, auto handler) {
        connect(findChild<QPushButton*>(name), &QPushButton::clicked, this, handler);
    };
    clicked("Button5", [this] { core_.writeTracker(); });
    clicked("Button2", [this] { core_.readTrackerAfresh(); });
    clicked("Open", [this] { core_.openDatabase(); });
    clicked("SaveAs", [this] { core_.showDatabase(); });
    clicked("Button1", [this] { core_.showDatabase(); });
    clicked("DigitDefault", [this] { applyDigitalDefaults(model_); });
    clicked("AnalogDefault", [this] { applyAnalogDefaults(model_); });
    clicked("ButtonReset", [this] { applyDefaults(model_); });
    connect(pageControl2_, &ButtonTabs::currentChanged, this, [this] { pageChosen(); });
    binder_.userChanged = [this](Field f) {
        if (f == Field::RecordingMethod) {
            model_.recordingMethodChanged();
        }
    };
}

}  // namespace korvan::ui
