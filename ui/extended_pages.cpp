// The seven pages of the extended view, control by control.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "ui/main_window.h"
#include "ui/widgets.h"

namespace korvan::ui {
namespace {

const QString kPointHint = "Координаты контрольной точки";

// A control point's group box as its controls are made.
struct PointBox {
    QGroupBox* group;
    int n;
    QString tag;  // the point's number, which ends the names of its labels
    QColor ink;   // the window's text colour, for the marks between the boxes
    Field of(Field ofPoint1) const { return ofPoint(ofPoint1, n); }
};

// A degree, comma or minute mark between the boxes of a coordinate.
void addMark(const PointBox& box, const QString& name, const QString& text, int x, int y,
             int pixels, bool bold) {
    QLabel* label = makeLabel(box.group, name + box.tag, text, x, y);
    setFontLook(label, pixels, bold);
    label->adjustSize();
    setTextColour(label, box.ink);
}

// One row of degrees, minutes, fraction and hemisphere, for the latitude or the longitude.
struct CoordinateRow {
    QWidget* degrees;
    QWidget* minutes;
    QWidget* fraction;
    QWidget* hemisphere;
};

CoordinateRow addCoordinateRow(FieldBinder& binder, const PointBox& box, const QString& axis,
                               int top, Field degrees, Field minutes, Field fraction,
                               Field hemisphere) {
    makeLabel(box.group, axis + "Caption" + box.tag, axis, 6, top + 4);
    CoordinateRow row{binder.edit(box.group, box.of(degrees), 26, top, 26), nullptr, nullptr,
                      nullptr};
    addMark(box, axis + "DegreeMark", "o", 53, top - 4, 7, true);
    row.minutes = binder.edit(box.group, box.of(minutes), 64, top, 20);
    addMark(box, axis + "Comma", ",", 84, top + 4, 11, false);
    row.fraction = binder.edit(box.group, box.of(fraction), 88, top, 33);
    addMark(box, axis + "MinuteMark", "'", 122, top - 2, 13, true);
    row.hemisphere = binder.combo(box.group, box.of(hemisphere), 128, top, 33);
    for (QWidget* edit : {row.degrees, row.minutes, row.fraction}) {
        edit->setToolTip(kPointHint);
    }
    return row;
}

}  // namespace

void MainWindow::buildWifiPage(QWidget* page) {
    QFrame* address = makeFramedPanel(page, "Panel2", 8, 8, 333, 95);
    setFontLook(address, 11);
    binder_.radio(address, Field::AutomaticAddress, 4, 6, "Получить IP-адрес автоматически");
    binder_.radio(address, Field::FixedAddress, 4, 28, "Использовать следующие настройки сети:");
    captionFor(binder_.edit(address, Field::DeviceAddress, 6, 62, 93), "IP устройства");
    captionFor(binder_.edit(address, Field::Netmask, 110, 62, 93), "Маска подсети");
    captionFor(binder_.edit(address, Field::Gateway, 218, 62, 93), "Шлюз");

    QGroupBox* network =
        makeGroup(page, "GroupBox3", "Дополнительные настройки сети", 8, 110, 333, 177);
    setFontLook(network, 13);
    setTextColour(network, colours::kNavy);
    auto* none = binder_.radio(network, Field::NoEncryption, 6, 22, "Без шифрования");
    auto* wep = binder_.radio(network, Field::WepEncryption, 6, 48, "Шифрование WEP");
    auto* keyLabel = makeLabel(network, "WiFiLabel", {}, 150, 20, 175, 17);
    binder_.show(keyLabel, Field::NetworkKeyCaption);
    auto* key = binder_.edit(network, Field::NetworkKey, 150, 42, 175);
    QWidget* keySize = makePlainPanel(network, "Panel18", 148, 70, 173, 23);
    auto* short64 = binder_.radio(keySize, Field::Key64Bit, 0, 0, "64 битный");
    binder_.radio(keySize, Field::Key128Bit, 84, 0, "128 битный");
    auto* name = binder_.edit(network, Field::AccessPoint, 10, 102, 313);
    captionFor(name, "Имя точки доступа");
    makeLabel(network, "Label11", "Проверка подлинности", 14, 146);
    auto* authentication = binder_.combo(network, Field::Authentication, 198, 142, 125);
    // Its list drops down as soon as the user types.
    connect(authentication->lineEdit(), &QLineEdit::textEdited, authentication,
            [authentication] { authentication->showPopup(); });

    setTabOrder(none, wep);
    setTabOrder(wep, authentication);
    setTabOrder(authentication, name);
    setTabOrder(name, short64);
    setTabOrder(short64, key);
}

void MainWindow::buildServerPage(QWidget* page) {
    QFrame* server = makeFramedPanel(page, "Panel4", 8, 8, 333, 71);
    auto* ip = binder_.edit(server, Field::ServerAddress, 28, 26, 121);
    captionFor(ip, "IP", true);
    auto* port = binder_.edit(server, Field::ServerPort, 186, 26, 49);
    captionFor(port, "Порт", true);
    QLabel* passwordCaption = makeLabel(server, "Label26", "Пароль:", 256, 8);
    setFontLook(passwordCaption, 15, true);
    setTextColour(passwordCaption, colours::kRed);
    passwordCaption->adjustSize();
    auto* password = binder_.edit(server, Field::ServerPassword, 250, 26, 73);
    setTabOrder(ip, password);
    setTabOrder(password, port);

    makeLabel(page, "Label23",
              "Необходимо ввести IP-адрес и порт того сервера, на который будут передаваться "
              "данные о маршруте транспортного средства.",
              8, 86, 335, 49, Wrap::Yes);
    setTextColour(makeLabel(page, "Label25",
                            "Пароль необходим для защиты данных на сервере: не зная его, "
                            "диспетчерская программа не сможет забирать данные с сервера. "
                            "Пароль должен состоять из РОВНО 8 печатных символов. ",
                            8, 118, 335, 57, Wrap::Yes),
                  colours::kRed);
    makeLabel(page, "Label18",
              "Этот же пароль необходим для управления устройством с помощью команд, "
              "передаваемых по SMS.",
              8, 174, 333, 49, Wrap::Yes);
}

void MainWindow::buildDevicePage(QWidget* page) {
    QFrame* recording = makeFramedPanel(page, "Panel3", 8, 8, 333, 137);
    setTextColour(makeLabel(recording, "Label19", "Способ записи:", 64, 12), colours::kBlue);
    auto* method = binder_.combo(recording, Field::RecordingMethod, 152, 8, 161);
    QLabel* periodCaption = makeLabel(recording, "Label17", {}, 120, 32, 137, 21, Wrap::No,
                                      Qt::AlignLeft | Qt::AlignVCenter);
    setTextColour(periodCaption, colours::kBlue);
    binder_.show(periodCaption, Field::RecordingPeriodCaption);
    auto* period = binder_.edit(recording, Field::RecordingPeriod, 264, 32, 49);
    setTextColour(makeLabel(recording, "Label1", "Период отсылки данных по WiFi (сек):", 64, 56,
                            199, 25, Wrap::Yes, Qt::AlignLeft | Qt::AlignVCenter),
                  colours::kBlue);
    auto* sending = binder_.edit(recording, Field::SendingPeriod, 264, 60, 49);
    auto* still = binder_.check(recording, Field::StaticProcessing, 14, 82,
                                "Статическая обработка данных (без движения)");
    auto* wide = binder_.check(recording, Field::WideRecording, 14, 107,
                               "Дополнительная запись с вектором скорости");
    setTextColour(still, colours::kRed);
    setTextColour(wide, colours::kRed);
    setTabOrder(method, period);
    setTabOrder(period, sending);
    setTabOrder(sending, wide);
    setTabOrder(wide, still);

    makeLabel(page, "Label20",
              "При способе записи \"по времени\" запись в память прибора производится через "
              "равные промежутки времени независимо от состояния входов и характера движения.",
              0, 152, 345, 49, Wrap::Yes);
    makeLabel(page, "Label21",
              "При адаптивном свособе записи прибор анализирует характер движения, состояния "
              "входов и  принимает решение, делать запись в память или нет. Таким образом "
              "экономится передаваемая информация.",
              0, 200, 345, 57, Wrap::Yes);
    binder_.show(makeLabel(page, "LabelNDIST", {}, 0, 258, 337, 39, Wrap::Yes),
                 Field::RecordingPeriodHint);
}

void MainWindow::buildDigitalPage(QWidget* page) {
    QFrame* inputs = makeFramedPanel(page, "Panel1", 8, 8, 333, 225);
    makeLabel(inputs, "Label8", "Вх", 1, 8);
    makeLabel(inputs, "Label3", "Момент отсылки", 38, 1, 43, 26, Wrap::Yes);
    makeLabel(inputs, "Label5", "Отсылать по", 106, 1);
    makeLabel(inputs, "Label9", "WiFi", 126, 16);
    setTextColour(makeLabel(inputs, "Label30", "A    B    C", 182, 16, 53, 17), colours::kGreen);

    const char* numberLabels[] = {"Label6", "Label7", "Label82", "Label83"};
    const char* typePanels[] = {"Panel6", "Panel7", "Panel14", "Panel15"};
    const int tops[] = {34, 62, 90, 118};
    QWidget* level[4];
    QWidget* send[4];
    QWidget* types[4];
    for (int n = 1; n <= 4; ++n) {
        const int top = tops[n - 1];
        makeLabel(inputs, numberLabels[n - 1], QString::number(n), 4, top + 3);
        level[n - 1] = binder_.combo(inputs, numbered(Field::InputTrigger1, n), 16, top, 100);
        send[n - 1] = binder_.check(inputs, numbered(Field::InputSendsAtOnce1, n), 135, top + 2);
        send[n - 1]->setToolTip("WiFi");
        types[n - 1] = makePlainPanel(inputs, typePanels[n - 1], 178, top + 2, 65, 17);
        binder_.radio(types[n - 1], numbered(Field::InputOrdinary1, n), 0, 0);
        binder_.radio(types[n - 1], numbered(Field::InputAccumulating1, n), 20, 0);
        binder_.radio(types[n - 1], numbered(Field::InputPeriodic1, n), 40, 0);
    }

    for (const auto& [name, text, y] :
         {std::tuple{"Label14", "Использовать цифровые входы как:", 142},
          {"Label32", "A    Обычный вход", 162},
          {"Label33", "B    Накопительный счётчик", 182},
          {"Label34", "C    Периодический счётчик", 202}}) {
        setTextColour(makeLabel(inputs, name, text, name == std::string("Label14") ? 8 : 12, y),
                      colours::kGreen);
    }
    makeLabel(inputs, "Label27", "Период записи показаний счётчиков (0 - отключено), с", 206, 140,
              113, 43, Wrap::Yes, Qt::AlignHCenter | Qt::AlignTop);
    makeLabel(inputs, "Label89", "1,2", 198, 190);
    auto* counters12 = binder_.edit(inputs, Field::CounterPeriod12, 216, 187, 41);
    setTextColour(makeLabel(inputs, "Label90", "3,4", 266, 190), colours::kRed);
    auto* counters34 = binder_.edit(inputs, Field::CounterPeriod34, 284, 187, 41);
    setTextColour(counters34, colours::kRed);

    const QWidget* order[] = {level[0], level[1], send[1],  send[0],   counters12,
                              types[0], types[1], level[2], send[2],   types[2],
                              types[3], send[3],  level[3], counters34};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
    }

    auto* defaults = makeButton(
        page, "DigitDefault", "Установить настройки цифровых входов по умолчанию", 6, 236, 339, 31);
    setFontLook(defaults, 11, true);
}

void MainWindow::buildAnalogPage(QWidget* page) {
    QFrame* analog = makeFramedPanel(page, "Panel11", 8, 8, 333, 145);
    makeLabel(analog, "Label41", "Аналоговые входы", 200, 8);
    makeLabel(analog, "Label42", "1            2", 184, 24);
    setTextColour(makeLabel(analog, "Label43", "Записывать как цифровые (5,6)", 8, 48),
                  colours::kMaroon);
    auto* digital1 = binder_.check(analog, Field::AnalogAsDigital1, 184, 48);
    auto* digital2 = binder_.check(analog, Field::AnalogAsDigital2, 224, 48);
    setTextColour(
        makeLabel(analog, "Label44", "Записывать изменение более   (адаптивный режим записи)", 8,
                  72, 154, 33, Wrap::Yes),
        colours::kBlue);
    auto* change1 = binder_.edit(analog, Field::AnalogThreshold1, 168, 76, 33);
    auto* change2 = binder_.edit(analog, Field::AnalogThreshold2, 216, 76, 33);
    setTextColour(makeLabel(analog, "Label81", "Период усреднения аналоговых данных (1..60 сек)", 8,
                            104, 154, 33, Wrap::Yes, Qt::AlignHCenter | Qt::AlignTop),
                  colours::kRed);
    auto* average1 = binder_.edit(analog, Field::AnalogAveraging1, 168, 108, 33);
    auto* average2 = binder_.edit(analog, Field::AnalogAveraging2, 216, 108, 33);
    setTabOrder(digital1, digital2);
    setTabOrder(digital2, change1);
    setTabOrder(change1, change2);
    setTabOrder(change2, average1);
    setTabOrder(average1, average2);

    makeLabel(page, "Label80", "Адаптивная запись аналоговых данных:", 64, 168);
    auto* method = binder_.combo(page, Field::AnalogRecordingMethod, 40, 184, 265);
    makeLabel(page, "Label12", "Период опроса аналоговых входов, с", 64, 214);
    auto* polling = binder_.edit(page, Field::AnalogPollPeriod, 264, 211, 41);
    auto* defaults =
        makeButton(page, "AnalogDefault", "Установить настройки аналоговых входов по умолчанию", 2,
                   240, 349, 31);
    setFontLook(defaults, 11, true);
    setTabOrder(polling, digital1);
    setTabOrder(average2, method);
    setTabOrder(method, defaults);
}

void MainWindow::buildPointGroup(QWidget* page, int n) {
    static const char* const kNames[] = {"GroupBox1", "GroupBox2", "GroupBox4"};
    static const QColor kLooks[] = {colours::kMaroon, colours::kNavy, colours::kGreen};
    QGroupBox* group = makeGroup(page, kNames[n - 1], QString("Контрольная точка %1").arg(n), 8,
                                 (n - 1) * 88, 343, 89);
    setTextColour(group, kLooks[n - 1]);
    const PointBox box{group, n, QString::number(n), QColor()};  // the theme's text
    const CoordinateRow lat = addCoordinateRow(
        binder_, box, "Lat", 16, Field::Point1LatitudeDegrees, Field::Point1LatitudeMinutes,
        Field::Point1LatitudeFraction, Field::Point1LatitudeHemisphere);
    const CoordinateRow lon = addCoordinateRow(
        binder_, box, "Lon", 40, Field::Point1LongitudeDegrees, Field::Point1LongitudeMinutes,
        Field::Point1LongitudeFraction, Field::Point1LongitudeHemisphere);
    auto* radius = binder_.edit(group, box.of(Field::Point1Radius), 26, 64, 40);
    captionFor(radius, "Рад", true);
    radius->setToolTip("Радиус контрольной точки");
    QLabel* action = makeLabel(group, "ActionCaption" + box.tag,
                               "Действие                       Вх.Вых.", 178, 14);
    makeLabel(group, "SendCaption" + box.tag, "Начинать передачу", 180, 34);
    auto* sendIn = binder_.check(group, box.of(Field::Point1SendOnEntry), 296, 32);
    sendIn->setToolTip("Начинать передачу данных при входе в контрольную точку");
    auto* sendOut = binder_.check(group, box.of(Field::Point1SendOnExit), 320, 32);
    sendOut->setToolTip("Начинать передачу данных при выходе из контрольной точки");
    auto* onTime = binder_.edit(group, box.of(Field::Point1OnTime), 296, 55, 37);
    captionFor(onTime, "Время включения (мин):", true);
    onTime->setToolTip("Время, в течение которого прибор будет пытаться отправить данные.");
    // Two further settings of every point that the user never sees.
    binder_.check(group, box.of(Field::Point1OutputOnEntry), 216, 32)->hide();
    binder_.check(group, box.of(Field::Point1OutputOnExit), 240, 32)->hide();
    makeLabel(group, "OutputCaption" + box.tag, "Выход1", 170, 34)->hide();
    (void)action;

    const QWidget* order[] = {lat.hemisphere, lat.degrees,  lat.minutes, lat.fraction,
                              lon.hemisphere, lon.fraction, lon.minutes, lon.degrees,
                              radius,         sendIn,       sendOut,     onTime};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
    }
}

void MainWindow::buildPointsPage(QWidget* page) {
    for (int n = 1; n <= 3; ++n) {
        buildPointGroup(page, n);
    }
    setTextColour(
        makeLabel(page, "Label85", "Вх. - событие входа в контрольную точку, Вых. - событие выхода",
                  12, 272),
        colours::kGreen);
}

void MainWindow::buildMorePage(QWidget* page) {
    QGroupBox* about = makeGroup(page, "GroupBox5", "Об устройстве", 8, 0, 343, 105);
    for (QLabel* label : {makeLabel(about, "Label15", "Версия прошивки", 98, 27),
                          makeLabel(about, "Label4", "MAC адрес устройства", 14, 67)}) {
        setFontLook(label, label->objectName() == "Label15" ? 16 : 13);
        setTextColour(label, colours::kNavy);
        label->adjustSize();
    }
    QLabel* firmware = makeDisplayPanel(about, "Panel16", 246, 22, 85, 25);
    QLabel* mac = makeDisplayPanel(about, "MacView", 180, 62, 151, 25);
    for (QLabel* panel : {firmware, mac}) {
        setFontLook(panel, 13, true);
        setTextColour(panel, colours::kNavy);
    }
    binder_.show(firmware, Field::FirmwareVersion);
    binder_.show(mac, Field::MacAddress);

    auto* noRead = binder_.check(page, Field::ReadIdentityOnly, 34, 114,
                                 "Не считывать настройки из устройства");
    setFontLook(noRead, 13);
    setTextColour(noRead, colours::kGreen);
    noRead->adjustSize();
    setTextColour(makeLabel(page, "Label13",
                            "Применяется, когда необходимо в несколько устройств прошить одни и "
                            "те же настройки",
                            8, 136, 341, 33, Wrap::Yes, Qt::AlignHCenter | Qt::AlignTop),
                  colours::kGreen);
    auto* verify =
        binder_.check(page, Field::VerifyAfterWrite, 34, 170, "Проверять трекер после записи");
    setFontLook(verify, 13);
    setTextColour(verify, colours::kGreen);
    verify->adjustSize();
    verify->setToolTip(
        "После записи перечитать трекер и сравнить с записанным (Ctrl+Alt+V — сравнить сейчас)");
    auto* reset =
        makeButton(page, "ButtonReset", "Очистить настройки (в программе)", 52, 194, 273, 33);
    setFontLook(reset, 13, true);
    setTextColour(reset, colours::kRed);
    setTabOrder(noRead, verify);
    setTabOrder(verify, reset);
    setTabOrder(reset, about);
}

}  // namespace korvan::ui
