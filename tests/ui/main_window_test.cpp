#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <functional>
#include <memory>
#include <vector>

#include "core/configurator.h"
#include "core/scripted_desktop.h"
#include "settings/settings_file.h"
#include "settings/tracker_profile.h"
#include "sim/simulated_bridge.h"
#include "tests/support/form_operations.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/window_fixture.h"
#include "ui/button_tabs.h"

namespace korvan {
namespace {

using testing::ansi;

TEST_F(Window, EveryFieldHasItsWidgetUnderItsControlName) {
    for (int i = 0; i < kFieldCount; ++i) {
        const auto& name = fieldInfo(static_cast<Field>(i)).name;
        EXPECT_NE(window->findChild<QWidget*>(
                      QString::fromUtf8(name.data(), static_cast<int>(name.size()))),
                  nullptr)
            << name;
    }
    for (const char* name : {"PageControl2", "PageControl1", "PageControl3", "Panel1", "Panel2",
                             "Panel3", "Panel4", "Button2", "Open", "SaveAs", "Button1", "Link",
                             "DigitDefault", "AnalogDefault", "ButtonReset"}) {
        EXPECT_NE(window->findChild<QWidget*>(name), nullptr) << name;
    }
}

TEST_F(Window, IsAFixedWindowShowingTheServerPageOfTheExtendedView) {
    EXPECT_EQ(window->size(), QSize(365, 537));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(window->pageControl2()->currentIndex(), 1);
    EXPECT_EQ(window->pageControl1()->page(window->pageControl1()->currentIndex())->objectName(),
              "TabSheet3");
    EXPECT_EQ(window->pageControl3()->currentWidget()->objectName(), "TabSheet13");
    // The unseen read button stays in the tab order after "Открыть...".
    EXPECT_EQ(widget("Open")->nextInFocusChain(), widget("Button2"));
    EXPECT_EQ(widget("Button5")->nextInFocusChain(), widget("SaveAs"));
}

TEST_F(Window, EachFilterAdmitsOnlyItsCharacters) {
    for (Field f :
         {Field::SendingPeriod, Field::DeviceAddress, Field::AccessPoint, Field::Point2Radius}) {
        model.setText(f, "");
    }
    const QString probe = QString::fromUtf8("09aZ;@[`!.$ +Жё");
    type(edit("Edit2"), probe);  // at most 5 characters
    EXPECT_EQ(edit("Edit2")->text(), "09");
    type(edit("DevIP"), probe);
    EXPECT_EQ(edit("DevIP")->text(), "");  // disabled while the address comes by DHCP
    model.setChecked(Field::FixedAddress, true);
    type(edit("DevIP"), probe);
    EXPECT_EQ(edit("DevIP")->text(), "09.");
    type(edit("WiFiName"), probe);
    EXPECT_EQ(edit("WiFiName")->text(), "09aZ;@[`");
    type(edit("Point2Rad"), probe);
    EXPECT_EQ(edit("Point2Rad")->text(), "09");
    model.setChecked(Field::WepEncryption, true);
    model.setChecked(Field::Key128Bit, true);
    type(edit("WiFiKey"), probe);
    EXPECT_EQ(edit("WiFiKey")->text(), QString::fromUtf8("09aZ@[`!.$ +Ж"));  // 13 at most
    EXPECT_EQ(model.text(Field::NetworkKey), ansi("09aZ@[`!.$ +Ж"));

    // Enter is discarded like any other rejected key; the key box takes it.
    for (const char* name : {"Edit1", "edPassword", "ip", "Point1Lonm", "WiFiKey"}) {
        int entered = 0;
        QObject::connect(edit(name), &QLineEdit::returnPressed, [&] { ++entered; });
        QTest::keyClick(edit(name), Qt::Key_Return);
        EXPECT_EQ(entered, std::string(name) == "WiFiKey" ? 1 : 0) << name;
    }
    edit("Usr1")->setFocus();
    QTest::keyClick(edit("Usr1"), Qt::Key_Backspace);
    EXPECT_EQ(model.text(Field::AnalogAveraging1), "1");
}

TEST_F(Window, EveryBoxTakesTheClipboardShortcutsAndKeepsWhatItsFilterAdmits) {
    model.setChecked(Field::FixedAddress, true);
    model.setChecked(Field::WepEncryption, true);
    // Pasted by Ctrl+V, by Shift+Insert and through the context menu's action alike.
    const auto pasters = std::vector<std::function<void(QLineEdit*)>>{
        [this](QLineEdit* box) { control(box, Qt::Key_V); },
        [](QLineEdit* box) { QTest::keyClick(box, Qt::Key_Insert, Qt::ShiftModifier); },
        [](QLineEdit* box) { box->paste(); },
    };
    const struct {
        const char* name;
        Field field;
        const char* pasted;
        const char* kept;
    } boxes[] = {
        {"ip", Field::ServerAddress, "10.20.30.40 ", "10.20.30.40"},
        {"DevIP", Field::DeviceAddress, " 172.16.0.5\n", "172.16.0.5"},
        {"port", Field::ServerPort, "80a80", "8080"},
        {"Edit1", Field::RecordingPeriod, "-5", "5"},
        {"edPassword", Field::ServerPassword, "pass word!", "password"},
        {"Point2Lonmm", Field::Point2LongitudeFraction, "12,5", "125"},
        {"WiFiKey", Field::NetworkKey, "k;ey", "key"},
    };
    for (const auto& b : boxes) {
        for (std::size_t how = 0; how < pasters.size(); ++how) {
            SCOPED_TRACE(std::string(b.name) + " by paste " + std::to_string(how));
            QLineEdit* box = edit(b.name);
            model.setText(b.field, "");
            box->setFocus();
            QApplication::clipboard()->setText(QString::fromUtf8(b.pasted));
            pasters[how](box);
            EXPECT_EQ(box->text(), b.kept);
            EXPECT_EQ(model.text(b.field), b.kept);
        }
    }

    // Copy, cut, select all and undo do what they do elsewhere, in the filtered boxes too.
    for (const char* name : {"port", "edPassword", "ip", "Point1Latd", "WiFiKey"}) {
        SCOPED_TRACE(name);
        QLineEdit* box = edit(name);
        const auto field = *fieldByName(name);
        model.setText(field, "12");
        box->setFocus();
        control(box, Qt::Key_A);
        control(box, Qt::Key_C);
        EXPECT_EQ(QApplication::clipboard()->text(), "12");
        control(box, Qt::Key_X);
        EXPECT_EQ(box->text(), "");
        EXPECT_EQ(model.text(field), "");
        control(box, Qt::Key_Z);
        EXPECT_EQ(box->text(), "12");
        EXPECT_EQ(model.text(field), "12");
    }

    // What the box holds already is never filtered, only what comes in: a tracker's network
    // name with a blank keeps it while the technician types and pastes beside it.
    model.setText(Field::AccessPoint, "Depot North");
    QLineEdit* name = edit("WiFiName");
    name->setFocus();
    name->end(false);
    QTest::keyClick(name, Qt::Key_2);
    EXPECT_EQ(model.text(Field::AccessPoint), "Depot North2");
    name->home(false);
    QApplication::clipboard()->setText("X Y");
    control(name, Qt::Key_V);
    EXPECT_EQ(model.text(Field::AccessPoint), "XYDepot North2");
    EXPECT_EQ(name->cursorPosition(), 2);
    QTest::keyClick(name, Qt::Key_Delete);
    EXPECT_EQ(model.text(Field::AccessPoint), "XYepot North2");
}

TEST_F(Window, TheKeySizeSetsTheKeyLengthButKeepsALongerKey) {
    model.setChecked(Field::WepEncryption, true);
    widget<QRadioButton>("RadioButton7")->click();
    EXPECT_EQ(model.maxLength(Field::NetworkKey), 13);
    EXPECT_EQ(widget<QLabel>("WiFiLabel")->text(), QString::fromUtf8("Ключ сети (13 символов)"));
    type(edit("WiFiKey"), "0123456789abcd");
    widget<QRadioButton>("bit64")->click();
    EXPECT_EQ(model.maxLength(Field::NetworkKey), 5);
    EXPECT_EQ(edit("WiFiKey")->text(), "0123456789abc");
    EXPECT_EQ(model.text(Field::NetworkKey), "0123456789abc");
    type(edit("WiFiKey"), "x");  // only typing is limited now
    EXPECT_EQ(edit("WiFiKey")->text(), "0123456789abc");
    edit("WiFiKey")->setFocus();
    QTest::keyClick(edit("WiFiKey"), Qt::Key_Backspace);
    EXPECT_EQ(model.text(Field::NetworkKey), "0123456789ab");
}

TEST_F(Window, SwitchingViewsMovesTheSharedPanelsAndKeepsEveryValue) {
    model.setText(Field::RecordingPeriod, "17");
    model.setChecked(Field::StaticProcessing, true);
    model.setChecked(Field::FixedAddress, true);
    FieldModel before;  // not compared by identity: copy what the widgets show
    struct Seen {
        QString text;
        bool checked;
        bool enabled;
    };
    auto look = [&] {
        std::vector<Seen> seen;
        for (int i = 0; i < kFieldCount; ++i) {
            const auto& name = fieldInfo(static_cast<Field>(i)).name;
            QWidget* w = window->findChild<QWidget*>(
                QString::fromUtf8(name.data(), static_cast<int>(name.size())));
            Seen s{{}, false, w->isEnabled()};
            if (auto* e = qobject_cast<QLineEdit*>(w))
                s.text = e->text();
            if (auto* c = qobject_cast<QComboBox*>(w))
                s.text = c->currentText();
            if (auto* b = qobject_cast<QAbstractButton*>(w))
                s.checked = b->isChecked();
            if (auto* l = qobject_cast<QLabel*>(w))
                s.text = l->text();
            seen.push_back(s);
        }
        return seen;
    };
    const auto seenBefore = look();
    auto place = [&](const char* name) {
        QWidget* w = widget(name);
        return std::tuple(w->parentWidget()->objectName(), w->y(), w->height());
    };

    window->pageControl2()->tab(0)->click();
    EXPECT_EQ(place("Panel2"), std::tuple(QString("TabSheet12"), 20, 95));
    EXPECT_EQ(place("Panel3"), std::tuple(QString("TabSheet12"), 140, 87));
    EXPECT_EQ(place("Panel4"), std::tuple(QString("TabSheet12"), 260, 71));
    EXPECT_EQ(place("Panel1"), std::tuple(QString("TabSheet13"), 8, 225));
    EXPECT_EQ(std::get<0>(place("AnalogTime")), "TabSheet13");
    EXPECT_EQ(widget("AnalogTime")->geometry(), QRect(264, 240, 41, 21));
    EXPECT_FALSE(widget("Panel3")->isHidden());

    // A value typed on the simple view is the one the extended view shows.
    edit("Edit1")->setFocus();
    QTest::keyClick(edit("Edit1"), Qt::Key_Backspace);
    EXPECT_EQ(model.text(Field::RecordingPeriod), "1");
    model.setText(Field::RecordingPeriod, "17");

    window->pageControl2()->tab(1)->click();
    EXPECT_EQ(place("Panel2"), std::tuple(QString("TabSheet1"), 8, 95));
    EXPECT_EQ(place("Panel3"), std::tuple(QString("TabSheet4"), 8, 137));
    EXPECT_EQ(place("Panel4"), std::tuple(QString("TabSheet3"), 8, 71));
    EXPECT_EQ(place("Panel1"), std::tuple(QString("TabSheet2"), 8, 225));
    EXPECT_EQ(widget("AnalogTime")->geometry(), QRect(264, 211, 41, 21));
    const auto seenAfter = look();
    for (std::size_t i = 0; i < seenBefore.size(); ++i) {
        EXPECT_EQ(seenAfter[i].text, seenBefore[i].text) << fieldInfo(static_cast<Field>(i)).name;
        EXPECT_EQ(seenAfter[i].checked, seenBefore[i].checked);
        EXPECT_EQ(seenAfter[i].enabled, seenBefore[i].enabled);
    }
    EXPECT_EQ(window->pageControl1()->page(window->pageControl1()->currentIndex())->objectName(),
              "TabSheet3");
}

TEST_F(Window, WidgetsAndModelFollowEachOtherAndReactionsFireOnce) {
    model.setText(Field::RecordingPeriod, "");
    type(edit("Edit1"), "25");
    EXPECT_EQ(model.text(Field::RecordingPeriod), "25");
    model.setText(Field::SendingPeriod, "600");
    EXPECT_EQ(edit("Edit2")->text(), "600");

    // An interlock started from a widget: the send box makes input 2 ordinary.
    model.setChecked(Field::InputAccumulating2, true);
    widget<QCheckBox>("GPRS2")->click();
    EXPECT_TRUE(model.checked(Field::InputOrdinary2));
    EXPECT_TRUE(widget<QRadioButton>("RadioButton2")->isChecked());
    EXPECT_FALSE(widget<QRadioButton>("CheckBox2")->isChecked());
    // Clicking a selected radio button leaves it selected.
    widget<QRadioButton>("RadioButton2")->click();
    EXPECT_TRUE(widget<QRadioButton>("RadioButton2")->isChecked());

    // A box that the program ticks fires its reaction once.
    int usrChanges = 0;
    auto subscription = model.subscribe([&](Field f, Aspect a) {
        usrChanges += f == Field::AnalogAveraging1 && a == Aspect::Value ? 1 : 0;
    });
    model.setChecked(Field::AnalogAsDigital1, true);
    EXPECT_TRUE(widget<QCheckBox>("AnalogWrite1")->isChecked());
    EXPECT_EQ(edit("Usr1")->text(), "1");
    EXPECT_EQ(usrChanges, 1);

    // Enabled states and picked items go both ways too.
    widget<QCheckBox>("Point3OutGPRS")->click();
    EXPECT_TRUE(edit("edPoint3OnTime")->isEnabled());
    auto* method = widget<QComboBox>("WriteMethod");
    method->setCurrentIndex(0);
    emit method->activated(0);
    EXPECT_EQ(model.itemIndex(Field::RecordingMethod), 0);
    EXPECT_EQ(widget<QLabel>("Label17")->text(), QString::fromUtf8("Период записи точек (сек):"));
    model.setEnabled(Field::WriteButton, false);
    EXPECT_FALSE(widget("Button5")->isEnabled());
    widget<QPushButton>("ButtonReset")->click();
    EXPECT_EQ(edit("CounterTime34")->text(), "3600");
}

TEST_F(Window, TheStatusLineAndTheLinkLookAsTold) {
    auto* status = widget<QLabel>("CommandInfo");
    EXPECT_EQ(status->font().pixelSize(), 21);
    model.setStatusColour(StatusColour::Red);
    model.setStatusMessage("Ошибка при открытии USB");
    EXPECT_EQ(status->text(), QString::fromUtf8("Ошибка при открытии USB"));
    // Red, as dark as the theme's grey needs it to read.
    const QColor red = status->palette().color(QPalette::WindowText);
    EXPECT_GE(red.red(), 0xC0);
    EXPECT_EQ(red.green(), 0);
    EXPECT_EQ(red.blue(), 0);
    model.setStatusColour(StatusColour::Black);
    EXPECT_EQ(status->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    model.setStatusFont(StatusFont::Points12);
    EXPECT_EQ(status->font().pointSize(), 12);
    // An echo the tracker sends back is shown as text, never as markup.
    model.setStatusMessage("Ошибка настройки порта:<img src=x>");
    EXPECT_EQ(status->textFormat(), Qt::PlainText);

    auto* link = widget<ui::LinkLabel>("Link");
    const QColor rest = link->palette().color(QPalette::WindowText);
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(link->font().underline());
    link->highlight();
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 0xFF));
    EXPECT_TRUE(link->font().underline());
    link->unhighlight();
    EXPECT_EQ(link->palette().color(QPalette::WindowText), rest);
    EXPECT_FALSE(link->font().underline());
}

TEST_F(Window, TheButtonsReachTheirHandlers) {
    bridge.plug(sim::SimulatedTracker::configured("90001"));
    core.devicesChanged();
    model.setText(Field::AccessPoint, "typed over");
    ASSERT_EQ(edit("WiFiName")->text(), "typed over");
    widget<QPushButton>("Button2")->click();
    EXPECT_EQ(edit("WiFiName")->text(), "Depot-North");
    testing::nameDatabase(model, core.database(), (folder / "fleet.zcf").string());
    widget<QPushButton>("Button1")->click();
    EXPECT_EQ(desktop.shownFiles, std::vector<std::string>{(folder / "fleet.zcf").string()});
}

TEST_F(Window, WhileAnOperationRunsItsProgressShowsAndEscStopsIt) {
    bridge.plug(sim::SimulatedTracker::configured("90001"));
    core.devicesChanged();
    ASSERT_TRUE(widget<QPushButton>("Button5")->isEnabled());
    auto* progress = widget<QProgressBar>("OperationProgress");
    auto* cancel = widget<QPushButton>("CancelOperation");
    const QRect statusPlace = widget("CommandInfo")->geometry();
    EXPECT_FALSE(progress->isVisible());
    EXPECT_FALSE(cancel->isVisible());

    // The debug log's file dialog comes in the middle of its copy, with the link open: the
    // window is looked at there, and Esc pressed.
    desktop.logAnswers = {(folder / "log.bin").string()};
    bool looked = false;
    desktop.whileDialogOpen = [&] {
        looked = true;
        EXPECT_TRUE(progress->isVisible());
        EXPECT_TRUE(cancel->isVisible());
        EXPECT_TRUE(statusPlace.contains(progress->geometry()));
        EXPECT_TRUE(statusPlace.intersects(cancel->geometry()));
        EXPECT_GE(progress->value(), 1);
        EXPECT_EQ(progress->maximum(), core.operation().steps);
        for (const char* name : {"Button5", "Open", "SaveAs", "Button1", "Button2"}) {
            EXPECT_FALSE(widget(name)->isEnabled()) << name;
        }
        QTest::keyClick(edit("ip"), Qt::Key_Escape);
    };
    QApplication::setActiveWindow(window.get());
    widget<QPushButton>("Button5")->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), widget("Button5"));
    QTest::keyClick(widget("Button5"), Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(looked);
    EXPECT_EQ(QApplication::focusWidget(), widget("Button5"));  // the keyboard is back
    // Cancelled before the log was read: the operation ends there, the link closed.
    EXPECT_EQ(model.text(Field::StatusLine), ansi("Операция отменена"));
    EXPECT_FALSE(std::filesystem::exists(folder / "log.bin"));
    EXPECT_FALSE(core.link().isOpen());
    EXPECT_FALSE(progress->isVisible());
    EXPECT_FALSE(cancel->isVisible());
    EXPECT_TRUE(widget("CommandInfo")->isVisible());
    for (const char* name : {"Button5", "Open", "SaveAs", "Button1", "Button2"}) {
        EXPECT_TRUE(widget(name)->isEnabled()) << name;
    }
}

TEST_F(Window, CtrlSAndCtrlOSaveAndLoadAProfileFromWhicheverControlHasTheFocus) {
    const auto path = (folder / "west.ini").string();
    model.setText(Field::ServerPassword, "Fleet_17");  // a profile is judged by the write's rules
    model.setText(Field::AccessPoint, "Depot-West");
    const int dialogsBefore = desktop.dialogsShown;
    desktop.profileSaveAnswers = {path};
    control(edit("WiFiName"), Qt::Key_S);
    EXPECT_EQ(edit("WiFiName")->text(), "Depot-West");  // the key went no further
    EXPECT_EQ(testing::readBytes(path), profileText(model));

    edit("WiFiName")->selectAll();
    type(edit("WiFiName"), "Other");
    ASSERT_EQ(model.text(Field::AccessPoint), "Other");
    desktop.profileOpenAnswers = {path};
    control(edit("ip"), Qt::Key_O);
    EXPECT_EQ(edit("WiFiName")->text(), "Depot-West");
    EXPECT_EQ(widget<QLabel>("CommandInfo")->text(), "Профиль west.ini загружен");
    EXPECT_EQ(desktop.dialogsShown - dialogsBefore, 2);
}

TEST_F(Window, OneLocalFileDroppedAnywhereOnTheWindowIsLoadedAsAProfile) {
    FieldModel west;
    loadSettings(west, {});
    west.setText(Field::ServerPassword, "Fleet_17");
    west.setText(Field::AccessPoint, "Depot-West");
    const auto path = folder / "west.ini";
    ASSERT_EQ(saveProfile(west, path), std::nullopt);
    const auto dropped = [](const QList<QUrl>& urls) {
        auto data = std::make_unique<QMimeData>();
        data->setUrls(urls);
        return data;
    };
    const QUrl file = QUrl::fromLocalFile(QString::fromStdString(path.string()));

    // Neither a web address nor two files are a profile: an edit may take them as it likes.
    for (const auto& urls :
         {QList<QUrl>{QUrl("https://zentracor.example/west.ini")}, QList<QUrl>{file, file}}) {
        const auto data = dropped(urls);
        QDragEnterEvent enter({5, 5}, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        enter.ignore();
        QApplication::sendEvent(window.get(), &enter);
        EXPECT_FALSE(enter.isAccepted());
        QDropEvent drop({5, 5}, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &drop);
    }
    EXPECT_EQ(model.text(Field::AccessPoint), "");
    EXPECT_EQ(desktop.messages.size(), 0u);

    const auto data = dropped({file});
    QDragEnterEvent enter({5, 5}, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QApplication::sendEvent(edit("ip"), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop({5, 5}, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit("ip"), &drop);
    EXPECT_EQ(edit("WiFiName")->text(), "Depot-West");
    EXPECT_EQ(edit("ip")->text(), QString::fromUtf8(kDataServerAddress.data()));
    EXPECT_EQ(model.text(Field::StatusLine), ansi("Профиль west.ini загружен"));
}

}  // namespace
}  // namespace korvan
