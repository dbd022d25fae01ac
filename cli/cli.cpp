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

int runCli(int argc, const char* const* argv, Environment& environment) {
    CLI::App app{"korvan-cli — настройка трекеров Zentracor с модулем Wi-Fi из командной строки",
                 "korvan-cli"};
    CommonOptions common;
    addCommonOptions(app, common);
    app.get_formatter()->label("SUBCOMMAND", "КОМАНДА");
    app.get_formatter()->label("Subcommands", "Команды");
    app.footer(kExitStatuses);
    app.fallthrough();
    app.require_subcommand(1, 1);
    Options o;
    // Each command's help in the same words as the program's.
    const auto command = [&app](const char* name, const char* description) {
        CLI::App* sub = app.add_subcommand(name, description);
        sub->set_help_flag("-h,--help", "Показать эту справку и выйти")->group("Параметры");
        sub->option_defaults()->group("Параметры");
        return sub;
    };
    app.add_flag("--sim", o.sim, "Симулированные трекеры вместо устройств USB");
    app.add_flag("--json", o.json, "Вывод в JSON, одна строка на объект");
    std::vector<std::string> simulatedFaults;
    int firstSerial = 0;
    app.add_option(
           "--sim-first-serial", firstSerial,
           "С --sim: серийный номер первого трекера (по умолчанию 90001), дальше по порядку")
        ->type_name("N")
        ->check(CLI::Range(1, 99999));
    app.add_option("--sim-fault", simulatedFaults,
                   "С --sim: сбой каждого трекера, как --fault у korvan-tracker-server "
                   "(например not-kept:SERPORT=)")
        ->type_name("СБОЙ");

    auto* list = command("list", "Подключённые устройства FTDI и трекеры среди них");
    auto* read = command("read", "Считать настройки трекера как профиль");
    read->add_option("--device", o.device, "Серийный номер трекера")->type_name("СЕРИЙНЫЙ");
    read->add_flag("--show-secrets", o.showSecrets,
                   "Выводить пароль и ключ сети открыто (в файл профиля они пишутся всегда)");
    read->add_option("-o,--output", o.output, "Файл профиля (иначе — на стандартный вывод)")
        ->type_name("ФАЙЛ");
    auto* write = command("write", "Записать профиль в трекер, как «Установить»");
    write->add_option("--profile", o.profile, "Файл профиля")->type_name("ФАЙЛ")->required();
    write->add_option("--device", o.device, "Серийный номер трекера")->type_name("СЕРИЙНЫЙ");
    write->add_option("--database", o.database, "База устройств (.zcf), куда внести трекер")
        ->type_name("БАЗА");
    write->add_flag("--defaults-for-missing", o.missingKeepDefaults,
                    "Ключи, которых нет в профиле, — по умолчанию");
    write->add_flag("--verify", o.verify, "Перечитать трекер после записи и сравнить с записанным");
    auto* provision =
        command("provision", "Линия настройки: записывать профиль в каждый подключаемый трекер");
    provision->add_option("--profile", o.profile, "Файл профиля")->type_name("ФАЙЛ")->required();
    provision->add_option("--database", o.database, "База устройств (.zcf)")
        ->type_name("БАЗА")
        ->required();
    provision
        ->add_option("--count", o.count,
                     "Сколько трекеров обработать, с ошибкой тоже (иначе до Ctrl+C)")
        ->type_name("N")
        ->check(CLI::PositiveNumber);
    provision->add_flag("--defaults-for-missing", o.missingKeepDefaults,
                        "Ключи, которых нет в профиле, — по умолчанию");
    provision->add_flag("--no-verify", o.noVerify,
                        "Не перечитывать трекер после записи (быстрее, но без проверки)");
    auto* diff = command("diff", "Сравнить настройки трекера с профилем");
    diff->add_option("--profile", o.profile, "Файл профиля")->type_name("ФАЙЛ")->required();
    diff->add_option("--device", o.device, "Серийный номер трекера")->type_name("СЕРИЙНЫЙ");
    diff->add_flag("--defaults-for-missing", o.missingKeepDefaults,
                   "Ключи, которых нет в профиле, — по умолчанию");
    auto* log = command("log", "Отладочный журнал трекера: read, full или erase");
    log->add_option("action", o.logAction, "read, full или erase")
        ->type_name("ДЕЙСТВИЕ")
        ->required()
        ->check(CLI::IsMember({"read", "full", "erase"}));
    log->add_option("--device", o.device, "Серийный номер трекера")->type_name("СЕРИЙНЫЙ");
    log->add_option("-o,--output", o.output, "Файл журнала")->type_name("ФАЙЛ");

    if (auto status = parseCommandLine(app, argc, argv, environment.out(), environment.err())) {
        return *status == 0 ? kDone : kUsage;
    }
    if ((!simulatedFaults.empty() || firstSerial != 0) && !o.sim) {
        environment.err() << "korvan-cli: --sim-fault и --sim-first-serial только вместе с --sim\n";
        return kUsage;
    }
    if (firstSerial != 0) {
        environment.simulatedFirstSerial(firstSerial);
    }
    for (const auto& fault : simulatedFaults) {
        if (const auto error = environment.addSimulatedFault(fault)) {
            environment.err() << "korvan-cli: --sim-fault " << fault << ": " << *error << "\n";
            return kUsage;
        }
    }
    bool traceFailed = false;
    const auto traceFile = openTraceOption("korvan-cli", common, environment.err(), traceFailed);
    if (traceFailed) {
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
    Run run(environment, o, traceFile || common.verbose ? &trace : nullptr);
    const int status = list->parsed()        ? run.list()
                       : read->parsed()      ? run.read()
                       : write->parsed()     ? run.write()
                       : provision->parsed() ? run.provision()
                       : diff->parsed()      ? run.diff()
                                             : run.log();
    static_assert(kDone == 0 && kFileProblem == 5, "as every Korvan program ends");
    return statusAfterTrace("korvan-cli", common, traceFile.get(), status, environment.err());
}

}  // namespace korvan::cli
