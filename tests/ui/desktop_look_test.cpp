// The window among the desktop's own parts: Qt's dialogs in Russian with the program's titles,
// the drawing of group boxes, the simple view's cut panel and the link, and the settings kept
// when the session ends or a stop signal comes.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <functional>

#include "settings/settings_file.h"
#include "tests/support/form_operations.h"
#include "tests/ui/window_fixture.h"
#include "ui/application.h"
#include "ui/button_tabs.h"
#include "ui/logging.h"
#include "ui/qt_desktop.h"
#include "ui/stop_signals.h"
#include "ui/widgets.h"

namespace korvan {
namespace {

using testing::ansi;

// Runs `look` on the modal dialog that `open` shows, once it is up, and lets `look` close it.
// A dialog that never shows fails the test instead of hanging it.
void whileModal(const std::function<void()>& open, const std::function<void(QWidget&)>& look) {
    bool looked = false;
    int tries = 0;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            poll.stop();
            looked = true;
            look(*dialog);
        } else if (++tries > 300) {
            poll.stop();
        }
    });
    poll.start();
    open();
    poll.stop();
    EXPECT_TRUE(looked);
}

QStringList buttonTexts(const QWidget& dialog) {
    QStringList texts;
    for (const auto* button : dialog.findChildren<QAbstractButton*>()) {
        if (button->isVisible() && !button->text().isEmpty()) {
            texts << button->text().remove('&');
        }
    }
    texts.sort();
    return texts;
}

class DesktopLook : public Window {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(ui::loadRussianTranslation()); }

    ui::QtDesktop qtDesktop;
};

TEST_F(DesktopLook, MessageBoxesAreTitledKorvanWithRussianButtons) {
    qtDesktop.setWindow(window.get());
    whileModal([&] { EXPECT_FALSE(qtDesktop.confirm("Сохранить?")); },
               [](QWidget& box) {
                   EXPECT_EQ(box.windowTitle(), "Korvan");
                   EXPECT_EQ(buttonTexts(box), (QStringList{"Да", "Нет"}));
                   static_cast<QMessageBox&>(box).button(QMessageBox::No)->click();
               });
    whileModal([&] { qtDesktop.message(MessageIcon::Error, "Ошибка"); },
               [](QWidget& box) {
                   EXPECT_EQ(box.windowTitle(), "Korvan");
                   EXPECT_EQ(buttonTexts(box), QStringList{"OK"});
                   static_cast<QMessageBox&>(box).accept();
               });
}

TEST_F(DesktopLook, AFileTheDesktopHasNoProgramForIsToldWithItsPath) {
    // The test's desktop (Qt's offscreen platform) opens nothing, as a desktop with no program
    // chosen for ".zcf" does.
    qtDesktop.setWindow(window.get());
    const std::string path = (folder / "fleet.zcf").string();
    whileModal([&] { qtDesktop.showFile(path); },
               [&path](QWidget& box) {
                   EXPECT_NE(static_cast<QMessageBox&>(box).text().toStdString().find(path),
                             std::string::npos);
                   static_cast<QMessageBox&>(box).accept();
               });
}

TEST_F(DesktopLook, OnceTheProgramIsToldToStopDialogsCloseAndNoneOpens) {
    qtDesktop.setWindow(window.get());
    bool answered = true;
    whileModal([&] { answered = qtDesktop.confirm("Сохранить?"); },
               [&](QWidget&) { qtDesktop.endQuestions(); });
    EXPECT_FALSE(answered);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // None opens now: each returns at once as cancelled (a dialog would hang the test).
    EXPECT_FALSE(qtDesktop.confirm("Сохранить?"));
    EXPECT_FALSE(qtDesktop.chooseDatabaseToSave({}));
    EXPECT_FALSE(qtDesktop.chooseDatabaseToOpen({}, DatabaseDialogs::OpenReason::FirstStart));
    EXPECT_FALSE(qtDesktop.chooseLogFile());
    ::testing::internal::CaptureStderr();
    qtDesktop.message(MessageIcon::Error, "База устройств не сохранена");
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("База устройств не сохранена"),
              std::string::npos);
}

TEST_F(DesktopLook, FileDialogsCarryTheirOwnTitlesAndRussianWords) {
    qtDesktop.setWindow(window.get());
    struct Case {
        const char* title;
        std::function<void()> open;
    };
    const Case cases[] = {
        {"База устройств: выберите файл или введите имя нового",
         [&] { qtDesktop.chooseDatabaseToOpen({}, DatabaseDialogs::OpenReason::FirstStart); }},
        {"Открыть базу устройств",
         [&] { qtDesktop.chooseDatabaseToOpen({}, DatabaseDialogs::OpenReason::Chosen); }},
        {"Сохранить базу устройств", [&] { qtDesktop.chooseDatabaseToSave({}); }},
        {"Сохранить отладочный журнал трекера", [&] { qtDesktop.chooseLogFile(); }},
        {"Открыть профиль трекера", [&] { qtDesktop.chooseProfileToOpen(); }},
        {"Сохранить профиль трекера", [&] { qtDesktop.chooseProfileToSave(); }},
    };
    for (const Case& shown : cases) {
        whileModal(shown.open, [&](QWidget& dialog) {
            EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(shown.title));
            const QStringList buttons = buttonTexts(dialog);
            EXPECT_TRUE(buttons.contains("Отмена")) << buttons.join('|').toStdString();
            EXPECT_FALSE(buttons.contains("Cancel")) << buttons.join('|').toStdString();
            QStringList labels;
            for (const auto* label : dialog.findChildren<QLabel*>()) {
                labels << label->text().remove('&');
            }
            EXPECT_TRUE(labels.contains("Имя файла:")) << labels.join('|').toStdString();
            static_cast<QDialog&>(dialog).reject();
        });
    }
}

TEST_F(DesktopLook, TheWindowCarriesTheProgramsOwnIconAtEverySize) {
    const QIcon icon = window->windowIcon();
    ASSERT_FALSE(icon.isNull());
    QList<int> sizes;
    for (const QSize& size : icon.availableSizes()) {
        sizes << size.width();
        EXPECT_FALSE(icon.pixmap(size).isNull()) << size.width();
    }
    EXPECT_EQ(sizes, (QList<int>{16, 22, 24, 32, 48, 64, 128, 256}));
}

TEST_F(DesktopLook, GroupBoxTitlesSitInTheFramesTopLineAndHeadersInside) {
    window->pageControl1()->setCurrentIndex(5);  // "Контрольные точки"
    QApplication::processEvents();
    const char* const groups[] = {"GroupBox1", "GroupBox2", "GroupBox4"};
    for (int n = 1; n <= 3; ++n) {
        auto* group = widget<ui::CaptionedFrame>(groups[n - 1]);
        const int line = group->frameTop();
        const QFontMetrics metrics(group->font());
        // The line runs through the title: below its top, above its bottom.
        EXPECT_GT(line, 0);
        EXPECT_LT(line, metrics.height());
        // The header ("Действие", "Вх.Вых.") stands wholly below the line, inside the frame.
        const QWidget* header = widget(QString("ActionCaption%1").arg(n).toUtf8().constData());
        EXPECT_GT(header->y(), line) << groups[n - 1];
        // Drawn where told: the frame's line shows at that height right of the title, and
        // not a few pixels lower where the style would put it.
        const QImage drawn = group->grab().toImage();
        const QColor page = drawn.pixelColor(group->width() - 20, line + 6);
        EXPECT_NE(drawn.pixelColor(group->width() - 20, line), page) << groups[n - 1];
        EXPECT_EQ(drawn.pixelColor(group->width() - 20, line + 10), page) << groups[n - 1];
    }
}

TEST_F(DesktopLook, TheSimpleViewHidesTheCheckBoxesItsRecordingPanelCutsOff) {
    window->pageControl2()->setCurrentIndex(0);
    window->pageControl3()->setCurrentIndex(0);  // "Настройки устройства"
    EXPECT_FALSE(widget("StaticBox")->isVisible());
    EXPECT_FALSE(widget("WideWrite")->isVisible());
    EXPECT_TRUE(widget("Edit2")->isVisible());
    window->pageControl2()->setCurrentIndex(1);
    window->pageControl1()->setCurrentIndex(2);  // "Настройки устройства"
    EXPECT_TRUE(widget("StaticBox")->isVisible());
    EXPECT_TRUE(widget("WideWrite")->isVisible());
}

TEST_F(DesktopLook, TheLinkLightsUpUnderThePointerWithoutMoving) {
    auto* link = widget<ui::LinkLabel>("Link");
    const QRect place = link->geometry();
    const QColor rest = link->palette().color(QPalette::WindowText);
    QApplication::setActiveWindow(window.get());
    // From another control onto the link, as a pointer comes to it.
    QTest::mouseMove(window.get(), QPoint(20, 20));
    QTest::mouseMove(window.get(), widget("CommandInfo")->geometry().center());
    QTest::mouseMove(window.get(), place.center());
    QApplication::processEvents();
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 0xFF));
    EXPECT_NE(rest, QColor(0, 0, 0xFF));
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->geometry(), place);
    EXPECT_EQ(place.right(), 358);  // its right edge on the window's 359 px line
    // The underline shows inside the window: a row of the label, within the window, blue
    // across most of the text's width.
    const QImage shown = window->grab().toImage();
    int longest = 0;
    for (int y = place.top(); y < std::min(place.bottom() + 1, window->height()); ++y) {
        int run = 0;
        for (int x = place.left(); x <= place.right(); ++x) {
            run = shown.pixelColor(x, y) == QColor(0, 0, 0xFF) ? run + 1 : 0;
            longest = std::max(longest, run);
        }
    }
    EXPECT_GT(longest, place.width() * 3 / 4);
    QTest::mouseMove(window.get(), QPoint(20, 20));
    QApplication::processEvents();
    EXPECT_EQ(link->palette().color(QPalette::WindowText), rest);
    EXPECT_FALSE(link->font().underline());
    EXPECT_EQ(link->geometry(), place);
}

TEST_F(DesktopLook, TheSessionsEndSavesTheSettingsAndWaitingRecordsWithoutADialog) {
    core.settingsPath = folder / "korvan.ini";
    const auto file = folder / "fleet.zcf";
    testing::writeBytes(file, "Zentracor database 1.3\r\n0 records\r\n");
    testing::nameDatabase(model, core.database(), file.string());
    showDatabaseReport(model, core.database().openLast());
    bridge.plug(sim::SimulatedTracker::configured("90001"));
    core.devicesChanged();
    // The write's own save fails on a read-only file: the record waits for the next save.
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    core.writeTracker();
    ASSERT_TRUE(core.database().hasUnsavedRecords());
    std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    model.setText(Field::AccessPoint, "Depot-South");
    const int dialogsBefore = desktop.dialogsShown;

    // A file that still cannot be written: nothing asked, the loss told on stderr.
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    ::testing::internal::CaptureStderr();
    window->sessionEnding();
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("База устройств не сохранена"),
              std::string::npos);
    EXPECT_TRUE(core.database().hasUnsavedRecords());
    std::filesystem::permissions(file, std::filesystem::perms::owner_all);

    window->sessionEnding();
    EXPECT_EQ(desktop.dialogsShown, dialogsBefore);
    EXPECT_FALSE(core.database().hasUnsavedRecords());
    EXPECT_NE(testing::readBytes(file).find("90001:"), std::string::npos);
    FieldModel reloaded;
    loadSettings(reloaded, folder / "korvan.ini");
    EXPECT_EQ(reloaded.text(Field::AccessPoint), "Depot-South");
    EXPECT_TRUE(window->isVisible());  // the window stays until the program ends
}

#ifndef _WIN32
// The window tells stderr only its warnings and errors; -v adds every step and the wire.
TEST(Logging, StepsAndTheWireReachStderrOnlyWithVerbose) {
    for (bool verbose : {false, true}) {
        SCOPED_TRACE(verbose);
        ui::enableVerboseLogging(verbose);
        EXPECT_EQ(lcOperations().isInfoEnabled(), verbose);
        EXPECT_EQ(lcUi().isInfoEnabled(), verbose);
        EXPECT_EQ(lcLink().isDebugEnabled(), verbose);
        EXPECT_TRUE(lcUi().isWarningEnabled());
        EXPECT_TRUE(lcOperations().isWarningEnabled());
    }
    QLoggingCategory::setFilterRules({});  // the defaults again, for the tests after this one
}

TEST(StopSignals, TermAndHupRunTheHandlerOnTheWindowsThreadAndTheOldHandlersComeBack) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction before[2];
    ::sigaction(SIGTERM, &ignore, &before[0]);
    ::sigaction(SIGHUP, &ignore, &before[1]);
    {
        int stops = 0;
        ui::StopSignals stop([&] { ++stops; });
        for (int signal : {SIGTERM, SIGHUP}) {
            const int before = stops;
            ASSERT_EQ(std::raise(signal), 0);
            EXPECT_EQ(stops, before);  // not inside the handler
            for (int i = 0; i < 200 && stops == before; ++i) {
                QTest::qWait(10);
            }
            EXPECT_EQ(stops, before + 1) << signal;
        }
    }
    for (int signal : {SIGTERM, SIGHUP}) {
        struct sigaction now {};
        ::sigaction(signal, nullptr, &now);
        EXPECT_EQ(now.sa_handler, SIG_IGN) << signal;
    }
    ::sigaction(SIGTERM, &before[0], nullptr);
    ::sigaction(SIGHUP, &before[1], nullptr);
}
#endif

}  // namespace
}  // namespace korvan
