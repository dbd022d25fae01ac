#pragma once

#include <map>
#include <string>
#include <vector>

// The exchanges of the read and the write as the tracker expects them: each command with how
// its reply is judged, whether its failure ends the operation, and its messages. Tests check
// the program against these rows.
namespace korvan::expected {

// What a full read of a tracker with DHCP on asks, in order.
inline const std::vector<std::string> kDhcpQueries = {
    "FL_READ_VERSION$", "FL_GET_RATE$",     "GSM_GET_PERIODSEND$",
    "FL_GET_ADD_R$",    "FL_GET_COUNT_R$",  "GSM_GET_PASSWORD$",
    "FL_GET_NDIST$",    "FL_GET_MODE$",     "FL_GET_WIDE$",
    "GSM_GET_SMS,1$",   "GSM_GET_SMS,2$",   "GSM_GET_SMS,3$",
    "GSM_GET_SMS,4$",   "GSM_GET_CPOINT1$", "GSM_GET_CPOINT2$",
    "GSM_GET_CPOINT3$", "GDHCP$",           "GAUTH$",
    "GSERIP$",          "GSERPORT$",        "GWKEY$",
    "GWFPOINT$"};

enum class Judged { Count, Echo, Text };  // Text: the Wi-Fi module's prefix and scan replies

struct Row {
    const char* command;  // the start of the command as sent
    Judged judged;
    bool fatal;
    const char* failure;
    const char* onGarbage = nullptr;  // when garbage of the right length has its own outcome
    bool afterDatabase = false;       // the device is recorded before this exchange
};

inline const std::vector<Row> kReadRows = {
    {"FL_READ_VERSION$", Judged::Count, true, "Ошибка чтения версии устройства",
     "Неизвестная версия"},
    {"FL_GET_RATE$", Judged::Count, true, "Ошибка чтения периода записи"},
    {"GSM_GET_PERIODSEND$", Judged::Count, true, "Ошибка чтения периода отправки"},
    {"FL_GET_ADD_R$", Judged::Count, true, "Ошибка чтения периода записи аналоговых входов"},
    {"FL_GET_COUNT_R$", Judged::Count, true, "Ошибка чтения периода записи счётчиков"},
    {"GSM_GET_PASSWORD$", Judged::Count, true, "Ошибка чтения пароля"},
    {"FL_GET_NDIST$", Judged::Count, false, "Ошибка чтения способа записи"},
    {"FL_GET_MODE$", Judged::Count, false, "Ошибка чтения режима работы"},
    {"FL_GET_WIDE$", Judged::Count, false, "Ошибка чтения способа записи"},
    {"GSM_GET_SMS,1$", Judged::Count, false, "Ошибка чтения способа записи"},
    {"GSM_GET_SMS,2$", Judged::Count, false, "Ошибка чтения способа записи 2"},
    {"GSM_GET_SMS,3$", Judged::Count, false, "Ошибка чтения способа записи 3"},
    {"GSM_GET_SMS,4$", Judged::Count, false, "Ошибка чтения способа записи 4"},
    {"GSM_GET_CPOINT1$", Judged::Count, false, "Ошибка чтения первой контрольной точки"},
    {"GSM_GET_CPOINT2$", Judged::Count, false, "Ошибка чтения второй контрольной точки"},
    {"GSM_GET_CPOINT3$", Judged::Count, false, "Ошибка чтения третьей контрольной точки"},
    {"GDHCP$", Judged::Text, true, "Ошибка чтения DHCP"},
    {"GAUTH$", Judged::Text, true, "Ошибка чтения типа авторизации"},
    {"GSERIP$", Judged::Text, true, "Ошибка чтения IP сервера"},
    {"GSERPORT$", Judged::Text, true, "Ошибка чтения SERPORT"},
    {"GDEVIP$", Judged::Text, true, "Ошибка чтения DEVIP"},
    {"GNETMASK$", Judged::Text, true, "Ошибка чтения NETMASK"},
    {"GDEFGW$", Judged::Text, true, "Ошибка чтения DEFGW"},
    {"GWKEY$", Judged::Text, true, "Ошибка чтения WKEY"},
    {"GWFPOINT$", Judged::Text, true, "Ошибка чтения WFPOINT"},
};

inline constexpr const char* kSendFailed = "Ошибка отправки данных устройству";

inline const std::vector<Row> kWriteRows = {
    {"DHCP=", Judged::Echo, true, "Ошибка задания DHCP", "Ошибка задания DHCP: "},
    {"AUTH=", Judged::Echo, true, "Ошибка задания проверки подлинности",
     "Ошибка задания проверки подлинности: "},
    {"WFPOINT=", Judged::Echo, true, "Ошибка настройки точки доступа",
     "Ошибка настройки точки доступа"},
    {"WKEY=", Judged::Echo, true, "Ошибка настройки шифрования", "Ошибка настройки шифрования"},
    {"DEVIP=", Judged::Echo, true, "Ошибка настройки IP устройства",
     "Ошибка настройки IP устройства"},
    {"NETMASK=", Judged::Echo, true, "Ошибка настройки маски сети", "Ошибка настройки маски сети"},
    {"DEFGW=", Judged::Echo, true, "Ошибка настройки шлюза", "Ошибка настройки шлюза"},
    {"DEVMAC=", Judged::Echo, true, "Ошибка MAC адреса устройства",
     "Ошибка MAC адреса устройства:"},
    {"SERPORT=", Judged::Echo, true, "Ошибка настройки порта", "Ошибка настройки порта:"},
    {"SERIP=", Judged::Echo, true, "Ошибка настройки IP сервера", "Ошибка настройки IP сервера:"},
    {"GSM_SET_SMS,1,", Judged::Count, false, kSendFailed},
    {"GSM_SET_SMS,2,", Judged::Count, false, kSendFailed},
    {"GSM_SET_SERNUM,", Judged::Count, true, kSendFailed},
    {"GSM_SET_SMS,3,", Judged::Count, false, kSendFailed},
    {"GSM_SET_SMS,4,", Judged::Count, false, kSendFailed},
    {"GSM_SET_SERNUM,", Judged::Count, true, kSendFailed},
    {"FL_CHANGE_WIDE,", Judged::Count, false, kSendFailed},
    {"FL_SET_MODE,", Judged::Count, false, "Ошибка установки режима работы"},
    {"GSM_SET_CPOINT1,", Judged::Count, false, kSendFailed},
    {"FL_SET_RATE,", Judged::Count, true, kSendFailed},
    {"GSM_SET_PERIODSEND,", Judged::Count, true, kSendFailed},
    {"FL_SET_ADD_R,", Judged::Count, true, "Ошибка установки периода записи аналоговых данных"},
    {"FL_SET_COUNT_R,", Judged::Count, true, "Ошибка установки периода записи счётчиков"},
    {"GSM_SET_PASSWORD,", Judged::Count, true, kSendFailed},
    {"DEBUG_GET_PTR$", Judged::Count, false, "Ошибка при очистке debug лога"},
    {"FL_CHANGE_NDIST,", Judged::Count, true, kSendFailed, nullptr, true},
};

// What a step that can fail without ending its operation is called where the operation names
// the steps it missed or that the tracker did not confirm, by the start of its command.
inline const std::map<std::string, const char*> kStepTitles = {
    {"FL_GET_NDIST$", "способ записи"},
    {"FL_GET_MODE$", "режим работы"},
    {"FL_GET_WIDE$", "расширенная запись"},
    {"GSM_GET_SMS,1$", "цифровой вход 1"},
    {"GSM_GET_SMS,2$", "цифровой вход 2"},
    {"GSM_GET_SMS,3$", "цифровой вход 3"},
    {"GSM_GET_SMS,4$", "цифровой вход 4"},
    {"GSM_GET_CPOINT1$", "контрольная точка 1"},
    {"GSM_GET_CPOINT2$", "контрольная точка 2"},
    {"GSM_GET_CPOINT3$", "контрольная точка 3"},
    {"GSM_SET_SMS,1,", "цифровой вход 1"},
    {"GSM_SET_SMS,2,", "цифровой вход 2"},
    {"GSM_SET_SMS,3,", "цифровой вход 3"},
    {"GSM_SET_SMS,4,", "цифровой вход 4"},
    {"FL_CHANGE_WIDE,", "расширенная запись"},
    {"FL_SET_MODE,", "режим работы"},
    {"GSM_SET_CPOINT1,", "контрольная точка 1"},
    {"DEBUG_GET_PTR$", "указатель отладочного журнала"},
    {"DEBUG_CLEAR_LOG$", "указатель отладочного журнала"},
};

}  // namespace korvan::expected
