// korvan-tracker-server: one simulated tracker answering over a TCP connection or a
// pseudo-terminal in real time, for a test rig whose emulated USB-serial bridge connects its
// serial side to a socket, or for a person with a serial terminal. Not installed: a developer's
// tool.
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "link/wire_trace.h"
#include "options/program_options.h"
#include "protocol/command_table.h"
#include "sim/tracker_choices.h"
#include "sim/tracker_server.h"
#include "sim/tracker_state.h"

namespace {

using korvan::sim::Descriptor;
using korvan::sim::SimulatedTracker;
using korvan::sim::TrackerServer;

constexpr std::string_view kProgram = "korvan-tracker-server";
constexpr int kFailed = 1;  // the socket, the pseudo-terminal or a file could not be had
constexpr int kUsageError = 2;

// The write end of the pipe a stop signal is told through; the serving loop watches the read
// end.
int stopPipe = -1;

extern "C" void onStop(int) {
    const char byte = 1;
    // A full pipe already holds a stop: nothing is lost when this write fails.
    [[maybe_unused]] const auto written = ::write(stopPipe, &byte, 1);
}

struct Options {
    korvan::CommonOptions common;
    std::string listen = "127.0.0.1:0";
    bool pty = false;
    std::string serial = "90001";
    std::string kind = "configured";
    std::vector<std::string> faults;
    std::string recordFile;
    std::string readyFile;
    std::string stateFile;
    bool once = false;
};

void say(std::string_view line) {
    std::cerr << kProgram << ": " << line << '\n';
}

std::string peerOf(int socket) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    std::array<char, NI_MAXHOST> host{};
    std::array<char, NI_MAXSERV> port{};
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
        ::getnameinfo(reinterpret_cast<sockaddr*>(&peer), length, host.data(), host.size(),
                      port.data(), port.size(), NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        return "?";
    }
    return std::string(host.data()) + ':' + port.data();
}

// The address as given, with the port the system picked.
std::string listenedAddress(std::string_view address, std::uint16_t port) {
    return std::string(address.substr(0, address.rfind(':'))) + ':' + std::to_string(port);
}

bool saveState(const Options& options, TrackerServer& server) {
    if (options.stateFile.empty()) {
        return true;
    }
    if (korvan::writeFileAtomically(
            options.stateFile, korvan::sim::saveTrackerMemory(server.tracker()),
            korvan::NewFileAccess::OwnerOnly) != korvan::FileWrite::Written) {
        say("не удалось сохранить память трекера в " + options.stateFile);
        return false;
    }
    return true;
}

// Tells a script waiting for the file what to connect to: the port, or the terminal's path.
bool tellReady(const Options& options, const std::string& what) {
    std::cout << what << std::endl;
    if (!options.readyFile.empty() &&
        korvan::writeFileAtomically(options.readyFile, what + '\n') != korvan::FileWrite::Written) {
        say("не удалось записать файл готовности " + options.readyFile);
        return false;
    }
    return true;
}

bool stopAsked(int stop) {
    pollfd watched{stop, POLLIN, 0};
    return ::poll(&watched, 1, 0) > 0;
}

int serveSocket(const Options& options, TrackerServer& server, int stop) {
    std::string error;
    auto listener = korvan::sim::listenOn(options.listen, error);
    if (!listener) {
        say(error);
        return kFailed;
    }
    if (!tellReady(options, std::to_string(listener->port))) {
        return kFailed;
    }
    say("слушает " + listenedAddress(options.listen, listener->port) + ", трекер " +
        server.tracker().usbSerial);
    for (;;) {
        std::array<pollfd, 2> watched = {{{listener->socket.get(), POLLIN, 0}, {stop, POLLIN, 0}}};
        if (::poll(watched.data(), watched.size(), -1) < 0 && errno != EINTR) {
            say(std::string("ожидание соединения не удалось: ") + std::strerror(errno));
            return kFailed;
        }
        if (watched[1].revents != 0) {
            return 0;
        }
        if (watched[0].revents == 0) {
            continue;
        }
        Descriptor connection(::accept4(listener->socket.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!connection) {
            continue;  // the program gave up before it was taken
        }
        say("соединение с " + peerOf(connection.get()));
        const auto ended = server.serve(connection.get(), stop);
        connection = Descriptor();
        if (ended != TrackerServer::Ended::Stopped) {
            say("соединение закрыто");
        }
        saveState(options, server);
        if (ended == TrackerServer::Ended::Stopped || options.once) {
            return 0;
        }
    }
}

int servePseudoTerminal(const Options& options, TrackerServer& server, int stop) {
    // A tracker pulled out takes its terminal with it; plugged in again, it comes on a new one.
    while (!stopAsked(stop)) {
        std::string error;
        auto pty = korvan::sim::openPseudoTerminal(error);
        if (!pty) {
            say(error);
            return kFailed;
        }
        if (!tellReady(options, pty->path)) {
            return kFailed;
        }
        say("трекер " + server.tracker().usbSerial + " на " + pty->path);
        const auto ended = server.serve(pty->master.get(), stop);
        saveState(options, server);
        if (ended == TrackerServer::Ended::Stopped || options.once) {
            return 0;
        }
        if (ended == TrackerServer::Ended::Failed) {
            return kFailed;
        }
    }
    return 0;
}

// The help's closing part: the faults by name, how the server runs, and its exit codes.
constexpr const char* kHelpFooter =
    "Сбои (ВИД:КОМАНДА[:РАЗ[:БАЙТОВ[:ПАУЗА_МС]]]): следующие РАЗ команд (по умолчанию 1),\n"
    "что начинаются с КОМАНДЫ, получают:\n"
    "  no-reply     молчание\n"
    "  short-reply  только первые БАЙТОВ байтов ответа (по умолчанию 1)\n"
    "  wrong-reply  ERROR вместо ответа\n"
    "  wrong-echo   ответ с одним испорченным байтом\n"
    "  garbage      мусор длиной с ответ\n"
    "  split-reply  ответ с паузой ПАУЗА_МС (по умолчанию 60) после БАЙТОВ байтов\n"
    "  unplug       трекер выдёргивается: соединение закрывается\n"
    "  not-kept     ответ как обычно, но настройка остаётся прежней\n"
    "Например: --fault 'no-reply:FL_GET_MODE$:1000'\n"
    "\n"
    "Сервер печатает порт (или путь псевдотерминала) и работает до SIGTERM или Ctrl+C.\n"
    "\n"
    "Коды завершения:\n"
    "  0  сервер остановлен\n"
    "  1  не удалось открыть сокет, псевдотерминал или файл\n"
    "  2  ошибка в командной строке";

// The server's own options into `options`; returns --listen, which --pty excludes.
const CLI::Option* addServerOptions(CLI::App& app, Options& options) {
    korvan::addCommonOptions(app, options.common);
    const auto* listen = app.add_option("--listen", options.listen,
                                        "Слушать TCP на УЗЕЛ:ПОРТ, по одному соединению за раз; "
                                        "порт 0 выбирает система (по умолчанию 127.0.0.1:0)")
                             ->type_name("УЗЕЛ:ПОРТ");
    app.add_flag("--pty", options.pty,
                 "Вместо TCP открыть псевдотерминал для терминальной программы");
    app.add_option("--serial", options.serial, "Серийный номер трекера (по умолчанию 90001)")
        ->type_name("НОМЕР");
    app.add_option("--kind", options.kind,
                   "Какой трекер: configured, erased, mute, pulled-out, without-mode или "
                   "port-not-kept (по умолчанию configured)")
        ->type_name("ВИД")
        ->check(CLI::Validator(
            [](const std::string& kind) {
                return korvan::sim::makeTracker(kind, {}) ? std::string() : "unknown kind";
            },
            ""));
    app.add_option("--fault", options.faults,
                   "Сбой трекера ВИД:КОМАНДА[:РАЗ[:БАЙТОВ[:ПАУЗА_МС]]], можно несколько")
        ->type_name("СБОЙ")
        ->allow_extra_args(false);
    app.add_option("--record", options.recordFile,
                   "Дописывать в ФАЙЛ каждый принятый от программы байт как есть")
        ->type_name("ФАЙЛ");
    app.add_option("--ready-file", options.readyFile,
                   "Когда сервер готов, записать в ФАЙЛ порт (или путь псевдотерминала)")
        ->type_name("ФАЙЛ");
    app.add_flag("--once", options.once, "Закончить после первого соединения");
    app.add_option("--state", options.stateFile, "Хранить память трекера в ФАЙЛЕ между запусками")
        ->type_name("ФАЙЛ");
    app.footer(kHelpFooter);
    return listen;
}

// Said as parseCommandLine says a usage error.
int usageError(const std::string& what) {
    std::cerr << kProgram << ": " << what << '\n' << "Справка: " << kProgram << " --help\n";
    return kUsageError;
}

// The tracker of the kind asked for, with every fault asked for; nothing, told as a usage
// error, when a fault is not one.
std::optional<SimulatedTracker> trackerWithFaults(const Options& options) {
    auto tracker = korvan::sim::makeTracker(options.kind, options.serial);
    for (const auto& text : options.faults) {
        std::string error;
        const auto fault = korvan::sim::parseFaultChoice(text, error);
        if (!fault) {
            usageError("недопустимое значение параметра --fault " + text + ": " + error);
            return std::nullopt;
        }
        tracker->injectFault(*fault);
    }
    return tracker;
}

// The tracker's memory as an earlier run left it in the state file, when there is one.
bool loadState(const Options& options, SimulatedTracker& tracker) {
    if (options.stateFile.empty() || !std::filesystem::exists(options.stateFile)) {
        return true;
    }
    const auto text = korvan::readWholeFile(options.stateFile);
    std::string error;
    if (!text || !korvan::sim::loadTrackerMemory(*text, tracker, error)) {
        say("не удалось прочитать память трекера из " + options.stateFile +
            (text ? ": " + error : std::string()));
        return false;
    }
    return true;
}

// Every byte from the program appended to the record file, when one is named.
bool openRecord(const Options& options, TrackerServer& server) {
    if (options.recordFile.empty()) {
        return true;
    }
    Descriptor record(
        ::open(options.recordFile.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!record) {
        say("не удалось открыть файл записи " + options.recordFile + ": " + std::strerror(errno));
        return false;
    }
    server.recordInto(std::move(record));
    return true;
}

struct StopPipe {
    Descriptor read;  // what the serving loop watches
    Descriptor write;
};

// SIGTERM, SIGINT and SIGHUP are told through a pipe, which the serving loop watches beside the
// connection.
std::optional<StopPipe> catchStopSignals() {
    std::array<int, 2> ends{};
    if (::pipe2(ends.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        say(std::string("не удалось создать канал для сигналов: ") + std::strerror(errno));
        return std::nullopt;
    }
    StopPipe stop{Descriptor(ends[0]), Descriptor(ends[1])};
    stopPipe = stop.write.get();
    struct sigaction action {};
    action.sa_handler = onStop;
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
    // A connection gone away is an error of the write, not the end of the program.
    std::signal(SIGPIPE, SIG_IGN);
    return stop;
}

// Serves on the socket or the pseudo-terminal until a stop signal (or after one connection with
// --once), then saves the tracker's memory.
int serveUntilStopped(const Options& options, TrackerServer& server) {
    const auto stop = catchStopSignals();
    if (!stop) {
        return kFailed;
    }
    const int status = options.pty ? servePseudoTerminal(options, server, stop->read.get())
                                   : serveSocket(options, server, stop->read.get());
    if (!saveState(options, server)) {
        return kFailed;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App app{
        "Симулированный трекер, который отвечает в реальном времени через TCP-соединение или "
        "псевдотерминал, как трекер за USB-COM-переходником.",
        std::string(kProgram)};
    const auto* listen = addServerOptions(app, options);
    if (const auto status = korvan::parseCommandLine(app, argc, argv, std::cout, std::cerr)) {
        return *status;
    }
    if (options.pty && listen->count() > 0) {
        return usageError("--pty и --listen нельзя указать вместе");
    }
    auto tracker = trackerWithFaults(options);
    if (!tracker) {
        return kUsageError;
    }
    bool traceFailed = false;
    const auto trace = korvan::openTraceOption(kProgram, options.common, std::cerr, traceFailed);
    if (traceFailed) {
        return kUsageError;
    }

    if (!loadState(options, *tracker)) {
        return kFailed;
    }
    TrackerServer server(std::move(*tracker));
    server.tell = say;
    if (!openRecord(options, server)) {
        return kFailed;
    }
    korvan::WireTrace wireTrace(
        [&](std::string_view line) {
            if (trace) {
                trace->writeLine(line);
            }
            if (options.common.verbose) {
                std::cerr << line << '\n';
            }
        },
        korvan::trafficSecrets());
    if (trace || options.common.verbose) {
        server.setObserver(&wireTrace);
    }

    return serveUntilStopped(options, server);
}
