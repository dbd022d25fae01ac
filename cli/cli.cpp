#include "cli/cli.h"

#include <CLI/CLI.hpp>

#include "cli/run.h"
#include "options/program_options.h"

namespace korvan::cli {
namespace {

constexpr const char* kExitStatuses =
    "Коды завершения:\n"
    "  0  всё сделано\n"
    "  1  операция с трекером не удалась (при provision: хотя бы с одним трекером),\n"
    "     трекер хранит не то, что записано (--verify), или отличается от профиля (diff)\n"
    "  2  ошибка в командной строке\n"
    "  3  трекер не найден, не тот или их несколько, а --device не указан\n"
    "  4  нет доступа к USB: нужно правило udev из пакета korvan\n"
    "  5  не прочитан или не записан файл: профиль, база или файл вывода";

}  // namespace

namespace {

// The simulated trackers' own options, given with --sim.
struct SimulatorOptions {
    std::vector<std::string> faults;
    std::vector<std::string> trackers;
    int firstSerial = 0;
};

// A validator whose name stays out of the help: the option's own text says what it takes.
CLI::Validator unnamed(CLI::Validator validator) {
    validator.description("");
    return validator;
}

// The commands as parsed: the one given is the one whose `parsed()` holds.
struct Commands {
    CLI::App* list = nullptr;
    CLI::App* read = nullptr;
    CLI::App* write = nullptr;
    CLI::App* provision = nullptr;
    CLI::App* diff = nullptr;
    CLI::App* log = nullptr;
};

// Each command's help in the same words as the program's.
CLI::App* addCommand(CLI::App& app, const char* name, const char* description) {
    CLI::App* sub = app.add_subcommand(name, description);
    sub->set_help_flag("-h,--help", "Показать эту справку и выйти")->group("Параметры");
    sub->option_defaults()->group("Параметры");
    sub->group("Команды");
    return sub;
}

void addProgramOptions(CLI::App& app, Options& o, SimulatorOptions& simulator) {
    app.get_formatter()->label("SUBCOMMAND", "КОМАНДА");
    app.footer(kExitStatuses);
    app.fallthrough();
    app.require_subcommand(1, 1);
    app.add_flag("-q,--quiet", o.quiet,
                 "Только ошибки: без сообщений об успехе, предупреждений и хода операции");
    app.add_flag("--json", o.json, "Вывод в JSON, одна строка на объект");
    app.add_flag("--sim", o.sim, "Симулированные трекеры вместо устройств USB");
    app.add_option("--sim-tracker", simulator.trackers,
                   "С --sim: подключённые трекеры, по одному на вид, через запятую: configured, "
                   "erased, mute, pulled-out, without-mode, port-not-kept, no-access; none — ни "
                   "одного (по умолчанию один configured)")
        ->type_name("ВИД")
        ->delimiter(',');
    app.add_option("--sim-first-serial", simulator.firstSerial,
                   "С --sim: серийный номер первого трекера, от 1 до 99999 (по умолчанию 90001), "
                   "дальше по порядку")
        ->type_name("N")
        ->check(unnamed(CLI::Range(1, 99999)));
    app.add_option("--sim-fault", simulator.faults,
                   "С --sim: сбой каждого трекера, как --fault у korvan-tracker-server "
                   "(например not-kept:SERPORT=)")
        ->type_name("СБОЙ");
}

void addDeviceOption(CLI::App* command, Options& o) {
    command->add_option("--device", o.device, "Серийный номер трекера")->type_name("СЕРИЙНЫЙ");
}

void addProfileOptions(CLI::App* command, Options& o) {
    command->add_option("--profile", o.profile, "Файл профиля")->type_name("ФАЙЛ")->required();
}

void addMissingKeysFlag(CLI::App* command, Options& o) {
    command->add_flag("--defaults-for-missing", o.missingKeepDefaults,
                      "Ключи, которых нет в профиле, — по умолчанию");
}

CLI::App* addWriteCommand(CLI::App& app, Options& o) {
    auto* write = addCommand(app, "write", "Записать профиль в трекер, как «Установить»");
    addProfileOptions(write, o);
    addDeviceOption(write, o);
    write->add_option("--database", o.database, "База устройств (.zcf), куда внести трекер")
        ->type_name("БАЗА");
    addMissingKeysFlag(write, o);
    write->add_flag("--verify", o.verify, "Перечитать трекер после записи и сравнить с записанным");
    return write;
}

CLI::App* addProvisionCommand(CLI::App& app, Options& o) {
    auto* provision = addCommand(
        app, "provision", "Линия настройки: записывать профиль в каждый подключаемый трекер");
    addProfileOptions(provision, o);
    provision->add_option("--database", o.database, "База устройств (.zcf)")
        ->type_name("БАЗА")
        ->required();
    provision
        ->add_option("--count", o.count,
                     "Сколько трекеров обработать, с ошибкой тоже (иначе до Ctrl+C)")
        ->type_name("N")
        ->check(unnamed(CLI::PositiveNumber));
    provision
        ->add_option("--parallel", o.parallel,
                     "Сколько трекеров записывать одновременно (иначе все подключённые)")
        ->type_name("N")
        ->check(unnamed(CLI::PositiveNumber));
    addMissingKeysFlag(provision, o);
    provision->add_flag("--no-verify", o.noVerify,
                        "Не перечитывать трекер после записи (быстрее, но без проверки)");
    return provision;
}

Commands addCommands(CLI::App& app, Options& o) {
    Commands c;
    c.list = addCommand(app, "list", "Подключённые устройства FTDI и трекеры среди них");
    c.list->add_flag("--brief", o.brief,
                     "Без версии прошивки: трекеры не открываются (так быстро и не мешает "
                     "линии настройки)");
    c.read = addCommand(app, "read", "Считать настройки трекера как профиль");
    addDeviceOption(c.read, o);
    c.read->add_flag("--show-secrets", o.showSecrets,
                     "Выводить пароль и ключ сети открыто (в файл профиля они пишутся всегда)");
    c.read->add_option("-o,--output", o.output, "Файл профиля (иначе — на стандартный вывод)")
        ->type_name("ФАЙЛ");
    c.write = addWriteCommand(app, o);
    c.provision = addProvisionCommand(app, o);
    c.diff = addCommand(app, "diff", "Сравнить настройки трекера с профилем");
    addProfileOptions(c.diff, o);
    addDeviceOption(c.diff, o);
    addMissingKeysFlag(c.diff, o);
    c.log = addCommand(app, "log", "Отладочный журнал трекера: read, full или erase");
    c.log
        ->add_option("ДЕЙСТВИЕ", o.logAction,
                     "read — прочитать, full — прочитать весь, erase — стереть")
        ->type_name("")
        ->required()
        ->check(unnamed(CLI::IsMember({"read", "full", "erase"})));
    addDeviceOption(c.log, o);
    c.log->add_option("-o,--output", o.output, "Файл журнала")->type_name("ФАЙЛ");
    c.log->add_flag("-y,--yes", o.yes,
                    "erase: стереть, не спрашивая (без терминала без этого не стирается)");
    return c;
}

// The simulated trackers as the options describe them; a usage error when they are given
// without --sim or name a fault that does not exist.
// Nothing, or the usage error to tell.
std::optional<std::string> applySimulatorOptions(Environment& environment, const Options& o,
                                                 const SimulatorOptions& simulator) {
    if ((!simulator.faults.empty() || !simulator.trackers.empty() || simulator.firstSerial != 0) &&
        !o.sim) {
        return "--sim-tracker, --sim-fault и --sim-first-serial только вместе с --sim";
    }
    if (simulator.firstSerial != 0) {
        environment.simulatedFirstSerial(simulator.firstSerial);
    }
    for (const auto& fault : simulator.faults) {
        if (const auto error = environment.addSimulatedFault(fault)) {
            return "--sim-fault " + fault + ": " + *error;
        }
    }
    for (const auto& kind : simulator.trackers) {
        if (const auto error = environment.addSimulatedTracker(kind)) {
            return "--sim-tracker " + kind + ": " + *error;
        }
    }
    return std::nullopt;
}

// Whether the command line asks for JSON, read before it is parsed: a usage error is told
// as JSON too.
bool asksForJson(int argc, const char* const* argv) {
    for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--json") {
            return true;
        }
        // "--json=true", as CLI11 takes a flag's value; "--json=false" and its kin ask for none.
        if (argument.starts_with("--json=")) {
            const auto value = argument.substr(7);
            return value != "false" && value != "0" && value != "no" && value != "off";
        }
    }
    return false;
}

void tellJsonFailure(Environment& environment, int status, Code code, std::string_view message,
                     std::string_view fix) {
    environment.out() << jsonLine(jsonFailure(status, code, message, fix)) << "\n";
}

int runCommand(const Commands& c, Run& run) {
    return c.list->parsed()        ? run.list()
           : c.read->parsed()      ? run.read()
           : c.write->parsed()     ? run.write()
           : c.provision->parsed() ? run.provision()
           : c.diff->parsed()      ? run.diff()
                                   : run.log();
}

}  // namespace

int runCli(int argc, const char* const* argv, Environment& environment) {
    CLI::App app{"korvan-cli — настройка трекеров Zentracor с модулем Wi-Fi из командной строки",
                 "korvan-cli"};
    CommonOptions common;
    addCommonOptions(app, common);
    Options o;
    SimulatorOptions simulator;
    addProgramOptions(app, o, simulator);
    const Commands commands = addCommands(app, o);
    const bool json = asksForJson(argc, argv);
    constexpr std::string_view kHelp = "Справка: korvan-cli --help";
    std::string usageError;
    if (auto status =
            parseCommandLine(app, argc, argv, environment.out(), environment.err(), &usageError)) {
        if (*status != 0 && json) {
            tellJsonFailure(environment, kUsage, Code::Usage, usageError, kHelp);
        }
        return *status == 0 ? kDone : kUsage;
    }
    if (auto error = applySimulatorOptions(environment, o, simulator)) {
        environment.err() << "korvan-cli: " << *error << "\n";
        if (json) {
            tellJsonFailure(environment, kUsage, Code::Usage, *error, kHelp);
        }
        return kUsage;
    }
    bool traceFailed = false;
    const auto traceFile = openTraceOption("korvan-cli", common, environment.err(), traceFailed);
    if (traceFailed) {
        if (json) {
            tellJsonFailure(environment, kFileProblem, Code::TraceUnwritable,
                            "Не удалось открыть файл трассы " + common.traceFile,
                            "Проверьте папку и права на запись.");
        }
        return kFileProblem;
    }
    // The wire trace goes to the file --trace names and, with -v, to stderr.
    WireTrace trace(
        [&](std::string_view line) {
            if (traceFile) {
                traceFile->writeLine(line);
            }
            if (common.verbose) {
                environment.err() << line << "\n";
            }
        },
        trafficSecrets());
    o.verbose = common.verbose;
    Run run(environment, o, traceFile || common.verbose ? &trace : nullptr);
    const int status = runCommand(commands, run);
    static_assert(kDone == 0 && kFileProblem == 5, "as every Korvan program ends");
    const int ending =
        statusAfterTrace("korvan-cli", common, traceFile.get(), status, environment.err());
    if (json && traceFile && traceFile->failure()) {
        tellJsonFailure(environment, ending, Code::TraceUnwritable,
                        "Трасса не записана в " + common.traceFile + ": " + *traceFile->failure(),
                        "Проверьте место на диске и права на запись.");
    }
    return ending;
}

}  // namespace korvan::cli
