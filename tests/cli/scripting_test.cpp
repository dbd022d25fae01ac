// korvan-cli as scripts use it: JSON lines, -q, the progress line on a terminal, Russian help.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/json.h"
#include "options/program_options.h"
#include "tests/cli/cli_fixture.h"

namespace korvan {
namespace {

using cli::Json;
using sim::SimulatedTracker;
using testing::Cli;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Each line parsed: a JSON object whose first members are "ok", "code" (a documented word)
// and "message". Nothing when a line is not so.
std::vector<Json> jsonLines(const std::string& output) {
    std::vector<Json> parsed;
    for (const std::string& line : linesOf(output)) {
        Json json = Json::parse(line, nullptr, false);
        EXPECT_FALSE(json.is_discarded()) << line;
        if (json.is_discarded()) {
            continue;
        }
        const bool shaped = json.is_object() && json.size() >= 3;
        EXPECT_TRUE(shaped) << line;
        if (!shaped) {
            continue;
        }
        const auto first = json.begin();
        EXPECT_EQ(first.key(), "ok") << line;
        EXPECT_TRUE(first.value().is_boolean()) << line;
        EXPECT_EQ(std::next(first).key(), "code") << line;
        const std::string code = json.value("code", "");
        EXPECT_NE(std::find(cli::kCodeNames.begin(), cli::kCodeNames.end(), code),
                  cli::kCodeNames.end())
            << line;
        EXPECT_EQ(std::next(first, 2).key(), "message") << line;
        EXPECT_TRUE(json["message"].is_string()) << line;
        parsed.push_back(std::move(json));
    }
    return parsed;
}

// A profile as the window saves it, with a server port of its own.
std::string profileWithPort(Cli& cli, const char* port, const char* name) {
    FieldModel model;
    loadSettings(model, {});
    model.setText(Field::ServerPassword, "Fleet_17");
    model.setText(Field::ServerPort, port);
    EXPECT_FALSE(saveProfile(model, cli.folder / name).has_value());
    return (cli.folder / name).string();
}

struct Case {
    const char* what;
    std::function<void(sim::SimulatedBridge&)> attach;  // the trackers and files the command finds
    std::vector<std::string> arguments;
    int status;
    const char* lastCode;  // the code of the last line
};

TEST_F(Cli, EveryJsonLineCarriesOkAndTheCodeOfWhatHappened) {
    const auto one = [](sim::SimulatedBridge& t) { t.plug(SimulatedTracker::configured("90001")); };
    const std::string profile = profileFile();
    // A server port the tracker does not keep (verified, it differs), and one out of range.
    profileWithPort(*this, "9000", "port.ini");
    profileWithPort(*this, "70000", "refused.ini");
    const std::vector<Case> cases = {
        {"list", one, {"list"}, cli::kDone, "listed"},
        {"list, refused",
         [](sim::SimulatedBridge& t) {
             t.plug(SimulatedTracker::configured("90001")).refusesAccess = true;
         },
         {"list"},
         cli::kAccessRefused,
         "access_refused"},
        {"read", one, {"read"}, cli::kDone, "read"},
        {"read -o", one, {"read", "-o", file("read.ini")}, cli::kDone, "profile_saved"},
        {"read -o, no folder",
         one,
         {"read", "-o", file("none/read.ini")},
         cli::kFileProblem,
         "file_unwritable"},
        {"read, none", [](sim::SimulatedBridge&) {}, {"read"}, cli::kNoTracker, "no_tracker"},
        {"read, two",
         [](sim::SimulatedBridge& t) {
             t.plug(SimulatedTracker::configured("90001"));
             t.plug(SimulatedTracker::configured("90002"));
         },
         {"read"},
         cli::kNoTracker,
         "several_trackers"},
        {"read, another",
         one,
         {"read", "--device", "90009"},
         cli::kNoTracker,
         "tracker_not_attached"},
        {"read, mute",
         [](sim::SimulatedBridge& t) { t.plug(SimulatedTracker::muted("90001")); },
         {"read"},
         cli::kFailed,
         "read_failed"},
        {"read, old firmware",
         [](sim::SimulatedBridge& t) {
             t.plug(SimulatedTracker::withoutModeAndWideRecording("90001"));
         },
         {"read"},
         cli::kFailed,
         "read_incomplete"},
        {"write", one, {"write", "--profile", profile}, cli::kDone, "written"},
        {"write, no profile",
         one,
         {"write", "--profile", file("missing.ini")},
         cli::kFileProblem,
         "profile_unreadable"},
        {"write, bad value",
         one,
         {"write", "--profile", file("refused.ini")},
         cli::kFileProblem,
         "profile_refused"},
        {"write, pulled out",
         [](sim::SimulatedBridge& t) { t.plug(SimulatedTracker::pulledOutDuringWrite("90001")); },
         {"write", "--profile", profile},
         cli::kFailed,
         "write_failed"},
        {"write, port not kept",
         [](sim::SimulatedBridge& t) { t.plug(SimulatedTracker::keepingItsServerPort("90001")); },
         {"write", "--verify", "--profile", file("port.ini")},
         cli::kFailed,
         "verify_failed"},
        {"write, database a folder",
         one,
         {"write", "--profile", profile, "--database", folder.path().string()},
         cli::kFileProblem,
         "database_unreadable"},
        {"diff, different",
         one,
         {"diff", "--profile", file("port.ini")},
         cli::kFailed,
         "different"},
        {"log read", one, {"log", "read", "-o", file("log.bin")}, cli::kDone, "log_read"},
        {"log erase", one, {"log", "erase", "--yes"}, cli::kDone, "log_erased"},
        {"log erase, unasked", one, {"log", "erase"}, cli::kUsage, "erase_unconfirmed"},
        {"provision, one of two fails",
         [](sim::SimulatedBridge& t) {
             t.plug(SimulatedTracker::configured("90001"));
             t.plug(SimulatedTracker::muted("90002"));
         },
         {"provision", "--count", "2", "--profile", profile, "--database", file("fleet.zcf")},
         cli::kFailed,
         "line_ended"},
        {"unknown command", one, {"frobnicate"}, cli::kUsage, "usage"},
        {"no value", one, {"provision", "--count"}, cli::kUsage, "usage"},
        {"trace folder missing",
         one,
         {"--trace", file("none/trace.log"), "list"},
         cli::kFileProblem,
         "trace_unwritable"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        while (trackers.attached() > 0) {
            trackers.unplug(0);
        }
        c.attach(trackers);
        std::vector<std::string> arguments = {"--json"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        EXPECT_EQ(run(arguments), c.status) << errors.str();
        const auto lines = jsonLines(output.str());
        ASSERT_FALSE(lines.empty()) << errors.str();
        const Json& last = lines.back();
        EXPECT_EQ(last.value("code", ""), c.lastCode) << output.str();
        // A script tests "ok" alone: it is false whenever the command did not end well.
        EXPECT_EQ(last.value("ok", c.status != cli::kDone), c.status == cli::kDone) << output.str();
        for (const Json& line : lines) {
            // "profile" is only ever the name of a profile's file.
            if (line.contains("profile")) {
                EXPECT_TRUE(line["profile"].get<std::string>().ends_with(".ini")) << line.dump();
            }
        }
    }
}

TEST_F(Cli, JsonLinesStayValidForANameThatIsNotUtf8AndDiffTellsEachDifference) {
    trackers.plug(SimulatedTracker::configured("90001"));
    EXPECT_EQ(run({"--json", "read", "-o", file("p\xff.ini")}), cli::kDone);
    const auto saved = jsonLines(output.str());
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].value("profile", ""), file("p\xef\xbf\xbd.ini"));

    // A verified write the tracker did not keep names each difference in its line too.
    trackers.unplug(0);
    trackers.plug(SimulatedTracker::keepingItsServerPort("90001"));
    EXPECT_EQ(run({"--json", "write", "--verify", "--profile",
                   profileWithPort(*this, "9000", "port.ini")}),
              cli::kFailed);
    const auto kept = jsonLines(output.str());
    ASSERT_EQ(kept.size(), 1u);
    ASSERT_TRUE(kept[0].contains("differences"));
    ASSERT_EQ(kept[0].at("differences").size(), 1u);
    EXPECT_EQ(kept[0].at("differences")[0].value("tracker_value", ""), "2224");

    EXPECT_EQ(run({"--json", "diff", "--profile", file("port.ini")}), cli::kFailed);
    const auto lines = jsonLines(output.str());
    ASSERT_GE(lines.size(), 2u);
    std::size_t differences = 0;
    for (const Json& line : lines) {
        if (line.value("code", "") == "difference") {
            ++differences;
            EXPECT_FALSE(line.value("ok", true));
        }
    }
    ASSERT_TRUE(lines.back().contains("summary"));
    EXPECT_EQ(lines.back().at("summary").value("differences", 0u), differences);
    EXPECT_EQ(lines.back().value("profile", ""), file("port.ini"));
}

// What the manual page lists is what a script may meet.
TEST(JsonCodes, EveryCodeIsInTheManualPage) {
    std::ifstream page(KORVAN_CLI_MANUAL_PAGE);
    ASSERT_TRUE(page.good());
    std::stringstream text;
    text << page.rdbuf();
    for (const char* code : cli::kCodeNames) {
        EXPECT_NE(text.str().find(".B " + std::string(code) + "\n"), std::string::npos) << code;
    }
}

TEST_F(Cli, QuietSaysOnlyWhatFailedAndWhatWasAskedFor) {
    auto& tracker = trackers.plug(SimulatedTracker::configured("90001"));
    const std::string profile = profileFile();
    EXPECT_EQ(run({"-q", "write", "--profile", profile}), cli::kDone);
    EXPECT_EQ(output.str(), "");
    EXPECT_EQ(errors.str(), "");
    EXPECT_EQ(run({"write", "--profile", profile}), cli::kDone);
    EXPECT_NE(output.str(), "");  // what -q took away

    EXPECT_EQ(run({"-q", "read", "-o", file("same.ini")}), cli::kDone);
    EXPECT_EQ(run({"-q", "diff", "--profile", file("same.ini")}), cli::kDone);
    EXPECT_EQ(output.str(), "");
    EXPECT_EQ(errors.str(), "");

    // A value read that breaks its rule is a warning: -q leaves it out, not the profile asked for.
    tracker.settings.serverPort = "70000";
    EXPECT_EQ(run({"read"}), cli::kDone);
    EXPECT_NE(errors.str().find("запись такого значения будет отклонена"), std::string::npos);
    EXPECT_EQ(run({"--quiet", "read"}), cli::kDone);
    EXPECT_EQ(errors.str(), "");
    EXPECT_NE(output.str().find("Port=70000"), std::string::npos);

    // Failures stay: the error itself, and on the line the failed tracker and the count.
    trackers.unplug(0);
    trackers.plug(SimulatedTracker::muted("90002"));
    EXPECT_EQ(run({"-q", "write", "--profile", profile}), cli::kFailed);
    EXPECT_NE(errors.str().find("korvan-cli: "), std::string::npos);
    trackers.plug(SimulatedTracker::configured("90003"));
    EXPECT_EQ(run({"-q", "provision", "--count", "2", "--profile", profile, "--database",
                   file("fleet.zcf")}),
              cli::kFailed);
    EXPECT_EQ(errors.str(), "");
    const auto lines = linesOf(output.str());
    ASSERT_EQ(lines.size(), 2u) << output.str();
    EXPECT_TRUE(lines[0].starts_with("90002")) << lines[0];
    EXPECT_EQ(lines[1], "Итого: записано 1, с ошибкой 1");
}

TEST_F(Cli, TheStepsAreShownOnATerminalAndNowhereElse) {
    trackers.plug(SimulatedTracker::configured("90001"));
    const std::string profile = profileFile();
    terminal = true;
    EXPECT_EQ(run({"write", "--profile", profile}), cli::kDone);
    const std::string shown = errors.str();
    // Each step on the one line, rewritten, and the line wiped before the result.
    EXPECT_NE(shown.find("\r\033[K1 из "), std::string::npos) << shown;
    EXPECT_TRUE(shown.ends_with("\r\033[K")) << shown;
    EXPECT_EQ(shown.find('\n'), std::string::npos) << shown;

    for (const std::vector<std::string>& quiet :
         {std::vector<std::string>{"-q", "write", "--profile", profile},
          std::vector<std::string>{"-v", "write", "--profile", profile}}) {
        EXPECT_EQ(run(quiet), cli::kDone);
        EXPECT_EQ(errors.str().find(" из "), std::string::npos) << errors.str();
    }
    terminal = false;
    EXPECT_EQ(run({"log", "read", "-o", file("log.bin")}), cli::kDone);
    EXPECT_EQ(errors.str(), "");
}

// Words of the help that are not Russian: option names, commands and their values, file
// patterns, and the names of things (the bus, the bridge, the tracker's maker).
std::vector<std::string> foreignWords(const std::string& help) {
    static const std::set<std::string> kept = {"korvan",
                                               "korvan-cli",
                                               "korvan-sim",
                                               "korvan-tracker-server",
                                               "list",
                                               "read",
                                               "write",
                                               "provision",
                                               "diff",
                                               "log",
                                               "full",
                                               "erase",
                                               "configured",
                                               "erased",
                                               "mute",
                                               "pulled-out",
                                               "without-mode",
                                               "port-not-kept",
                                               "no-access",
                                               "none",
                                               "not-kept:SERPORT=",
                                               "Zentracor",
                                               "Wi-Fi",
                                               "USB",
                                               "FTDI",
                                               "JSON",
                                               "Ctrl+C",
                                               "udev",
                                               "lsusb",
                                               "stderr",
                                               "N"};
    static const std::regex word(R"((^|[\s(«\[,;:])([A-Za-z][\w+=-]*(:[\w+=-]+)*))");
    std::vector<std::string> foreign;
    for (std::sregex_iterator at(help.begin(), help.end(), word), end; at != end; ++at) {
        const std::string found = (*at)[2];
        if (kept.count(found) == 0) {
            foreign.push_back(found);
        }
    }
    return foreign;
}

TEST_F(Cli, TheHelpIsRussianButForOptionsCommandsAndFilePatterns) {
    std::vector<std::string> helps;
    EXPECT_EQ(run({"--help"}), cli::kDone);
    helps.push_back(output.str());
    for (const char* command : {"list", "read", "write", "provision", "diff", "log"}) {
        EXPECT_EQ(run({command, "--help"}), cli::kDone);
        helps.push_back(output.str());
    }
    for (const char* program : {"korvan", "korvan-sim"}) {
        std::ostringstream out;
        std::ostringstream err;
        const char* argv[] = {program, "--help"};
        const auto parsed = parseWindowCommandLine(program, "Описание", 2, argv, out, err);
        EXPECT_EQ(parsed.exitStatus, 0);
        helps.push_back(out.str());
    }
    for (const std::string& help : helps) {
        EXPECT_EQ(foreignWords(help), std::vector<std::string>{}) << help;
    }
    // The check itself finds CLI11's own words.
    EXPECT_EQ(foreignWords("Subcommands:\n  --count N:POSITIVE  [database] action"),
              (std::vector<std::string>{"Subcommands", "N:POSITIVE", "database", "action"}));
}

}  // namespace
}  // namespace korvan
