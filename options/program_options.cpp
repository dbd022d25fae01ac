#include "options/program_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <ostream>

#include "core/startup_rules.h"

namespace korvan {
namespace {

// What CLI11 says after the last ": " of its message: the arguments or option it means.
std::string_view subjectOf(std::string_view message) {
    const auto colon = message.rfind(": ");
    return colon == std::string_view::npos ? message : message.substr(colon + 2);
}

// The usage error in the program's words; CLI11's own text is kept where no word fits.
std::string usageErrorText(const CLI::App& app, const CLI::ParseError& error) {
    const std::string_view message = error.what();
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        // In the order they were given, which CLI11's own message turns round.
        const auto extras = app.remaining();
        return "лишний или неизвестный аргумент: " +
               (extras.empty() ? std::string(subjectOf(message)) : CLI::detail::join(extras, " "));
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        const auto colon = message.find(':');
        return "не указано значение параметра " +
               std::string(colon == std::string_view::npos ? message : message.substr(0, colon));
    }
    if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
        // "--profile is required", "A subcommand is required".
        constexpr std::string_view kIsRequired = " is required";
        if (message.find("subcommand") != std::string_view::npos) {
            // A word that is no command lands among the extras: it is named, with the commands.
            std::vector<std::string> names;
            for (const CLI::App* command :
                 app.get_subcommands([](const CLI::App*) { return true; })) {
                names.push_back(command->get_name());
            }
            const std::string commands = "; команды: " + CLI::detail::join(names, ", ");
            const auto extras = app.remaining();
            if (!extras.empty() && !extras.front().starts_with('-')) {
                return "неизвестная команда «" + extras.front() + "»" + commands;
            }
            return "не указана команда" + commands;
        }
        const auto at = message.find(kIsRequired);
        return "не указан обязательный параметр " +
               std::string(at == std::string_view::npos ? message : message.substr(0, at));
    }
    if (dynamic_cast<const CLI::ValidationError*>(&error) != nullptr ||
        dynamic_cast<const CLI::ConversionError*>(&error) != nullptr) {
        // "--count: Value -1 not in range ...", "Could not convert: --count = abc".
        const auto colon = message.find(':');
        const std::string_view subject =
            colon == std::string_view::npos ? message : message.substr(0, colon);
        return "недопустимое значение параметра " +
               std::string(subject.starts_with("Could not convert") ? message.substr(colon + 2)
                                                                    : subject);
    }
    return "ошибка в командной строке: " + std::string(message);
}

// Lines up the help's columns by letters, not bytes: option values and descriptions are in
// Russian, two bytes a letter in UTF-8.
class HelpFormatter final : public CLI::Formatter {
  public:
    std::string make_option(const CLI::Option* option, bool positional) const override {
        const std::string name =
            "  " + make_option_name(option, positional) + make_option_opts(option);
        const std::size_t width = letters(name);
        std::string line = name;
        if (width >= column_width_) {
            line += '\n';
            line.append(column_width_, ' ');
        } else {
            line.append(column_width_ - width, ' ');
        }
        for (const char c : make_option_desc(option)) {
            line += c;
            if (c == '\n') {
                line.append(column_width_, ' ');
            }
        }
        return line + '\n';
    }

  private:
    static std::size_t letters(std::string_view utf8) {
        return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }));
    }
};

}  // namespace

void addCommonOptions(CLI::App& app, CommonOptions& options) {
    auto formatter = std::make_shared<HelpFormatter>();
    app.formatter(formatter);
    formatter->label("Usage", "Запуск");
    formatter->label("OPTIONS", "ПАРАМЕТРЫ");
    formatter->label("Positionals", "Аргументы");
    formatter->label("REQUIRED", "обязательно");
    formatter->column_width(24);
    app.option_defaults()->group("Параметры");
    app.set_help_flag("-h,--help", "Показать эту справку и выйти");
    const auto version = parseVersion(programVersionString());
    app.set_version_flag("--version",
                         app.get_name() + ' ' + std::to_string(version.major) + '.' +
                             std::to_string(version.minor) + '.' + std::to_string(version.release),
                         "Показать версию программы и выйти");
    app.add_flag("-v,--verbose", options.verbose,
                 "Подробный вывод в stderr, с трассой обмена с трекером");
    app.add_option("--trace", options.traceFile,
                   "Дописывать трассу обмена с трекером в ФАЙЛ (пароли и ключи скрыты)")
        ->type_name("ФАЙЛ");
}

std::optional<int> parseCommandLine(CLI::App& app, int argc, const char* const* argv,
                                    std::ostream& out, std::ostream& err, std::string* usageError) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& success) {
        // Help or version, which CLI11 tells as an exception that ends the parse.
        return app.exit(success, out, err);
    } catch (const CLI::ParseError& error) {
        const std::string said = usageErrorText(app, error);
        err << app.get_name() << ": " << said << '\n'
            << "Справка: " << app.get_name() << " --help\n";
        if (usageError != nullptr) {
            *usageError = said;
        }
        return 2;
    }
    return std::nullopt;
}

std::unique_ptr<TraceFile> openTraceOption(std::string_view program, const CommonOptions& options,
                                           std::ostream& err, bool& failed) {
    failed = false;
    if (options.traceFile.empty()) {
        return nullptr;
    }
    std::string reason;
    auto file = TraceFile::open(options.traceFile, reason);
    if (!file) {
        err << program << ": не удалось открыть файл трассы " << options.traceFile << ": " << reason
            << '\n';
        failed = true;
    }
    return file;
}

int statusAfterTrace(std::string_view program, const CommonOptions& options, const TraceFile* trace,
                     int status, std::ostream& err) {
    const auto failure = trace != nullptr ? trace->failure() : std::nullopt;
    if (!failure) {
        return status;
    }
    err << program << ": трасса не записана в " << options.traceFile << ": " << *failure << '\n';
    constexpr int kFileNotWritten = 5;
    return status == 0 ? kFileNotWritten : status;
}

WindowCommandLine parseWindowCommandLine(std::string_view program, std::string_view description,
                                         int argc, const char* const* argv, std::ostream& out,
                                         std::ostream& err) {
    WindowCommandLine commandLine;
    CLI::App app{std::string(description), std::string(program)};
    addCommonOptions(app, commandLine.options);
    app.add_option("БАЗА", commandLine.databaseFile,
                   "Открыть эту базу устройств (*.zcf) вместо последней открытой")
        ->type_name("");
    commandLine.exitStatus = parseCommandLine(app, argc, argv, out, err);
    if (commandLine.exitStatus) {
        return commandLine;
    }
    bool failed = false;
    commandLine.trace = openTraceOption(program, commandLine.options, err, failed);
    if (failed) {
        commandLine.exitStatus = 2;
    }
    return commandLine;
}

}  // namespace korvan
