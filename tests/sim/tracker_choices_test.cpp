#include "sim/tracker_choices.h"

#include <gtest/gtest.h>

#include <string>

#include "sim/tracker_state.h"
#include "sim/tracker_stream.h"

namespace korvan {
namespace {

using namespace std::chrono_literals;
using sim::Fault;
using sim::parseFaultChoice;
using sim::SimulatedTracker;

// What the tracker answers to `commands`, sent in one block.
std::string answers(SimulatedTracker& tracker, std::string_view commands) {
    sim::TrackerStream stream;
    const auto heard = stream.feed(
        tracker, {reinterpret_cast<const std::uint8_t*>(commands.data()), commands.size()}, 0us);
    std::string text;
    for (const auto& b : heard.reply) {
        text += static_cast<char>(b.byte);
    }
    return text;
}

TEST(FaultChoice, NamesEveryKindWithItsNumbers) {
    struct Case {
        const char* text;
        Fault::Kind kind;
        const char* command;
        int times;
        std::size_t keep;
        sim::Duration pause;
    };
    const Case cases[] = {
        {"no-reply:FL_GET_MODE$:1000", Fault::Kind::NoReply, "FL_GET_MODE$", 1000, 1, 60ms},
        {"short-reply:FL_READ_VERSION$:2:3", Fault::Kind::ShortReply, "FL_READ_VERSION$", 2, 3,
         60ms},
        {"wrong-reply:GDHCP$", Fault::Kind::WrongReply, "GDHCP$", 1, 1, 60ms},
        {"wrong-echo:SERIP=", Fault::Kind::WrongEcho, "SERIP=", 1, 1, 60ms},
        {"garbage:GSM_GET_SMS,:4", Fault::Kind::Garbage, "GSM_GET_SMS,", 4, 1, 60ms},
        {"split-reply:FL_GET_RATE$:1:2:150", Fault::Kind::SplitReply, "FL_GET_RATE$", 1, 2, 150ms},
        {"unplug:GSM_SET_SMS,3,", Fault::Kind::Unplug, "GSM_SET_SMS,3,", 1, 1, 60ms},
        {"not-kept:SERPORT=:2", Fault::Kind::NotKept, "SERPORT=", 2, 1, 60ms},
        // A colon that is not followed by digits alone belongs to the command.
        {"no-reply:WKEY=1:", Fault::Kind::NoReply, "WKEY=1:", 1, 1, 60ms},
        {"no-reply:WKEY=1:k3y:7", Fault::Kind::NoReply, "WKEY=1:k3y", 7, 1, 60ms},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto fault = parseFaultChoice(c.text, error);
        ASSERT_TRUE(fault) << c.text << ": " << error;
        EXPECT_EQ(fault->kind, c.kind) << c.text;
        EXPECT_TRUE(std::string_view(c.text).starts_with(sim::faultKindName(c.kind)));
        EXPECT_EQ(fault->command, c.command) << c.text;
        EXPECT_EQ(fault->occurrence, 1) << c.text;
        EXPECT_EQ(fault->times, c.times) << c.text;
        EXPECT_EQ(fault->keep, c.keep) << c.text;
        EXPECT_EQ(fault->pause, c.pause) << c.text;
    }
}

TEST(FaultChoice, RefusesWhatNamesNoFault) {
    for (const char* text : {"", "no-reply", "no-reply:", "no-reply::5", "silence:FL_GET_MODE$",
                             "NO-REPLY:FL_GET_MODE$", "no-reply:FL_GET_MODE$:0",
                             "no-reply:FL_GET_MODE$:99999999999"}) {
        std::string error;
        EXPECT_FALSE(parseFaultChoice(text, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(TrackerKind, EveryNamedKindIsATrackerOfThatKind) {
    for (const auto kind : sim::kTrackerKinds) {
        const auto tracker = sim::makeTracker(kind, "12345");
        ASSERT_TRUE(tracker) << kind;
        EXPECT_EQ(tracker->usbSerial, "12345");
    }
    auto mute = *sim::makeTracker("mute", "1");
    EXPECT_EQ(answers(mute, "FL_READ_VERSION$"), "");
    auto erased = *sim::makeTracker("erased", "1");
    EXPECT_EQ(answers(erased, "FL_GET_ADD_R$"), "\xFF\xFF");
    EXPECT_FALSE(sim::makeTracker("broken", "1"));
}

TEST(TrackerMemory, WhatWasWrittenComesBackFromTheSavedText) {
    auto written = SimulatedTracker::erased();
    const std::string record = "\x01$\n\r" + std::string(17, '\0');
    answers(written, "GSM_SET_PASSWORD,Pa 5;wd:$GSM_SET_SMS,2," + record +
                         "$FL_SET_RATE,30,0$WFPOINT=Yard 7;$WKEY=2:0123456789abc;$"
                         "FL_CHANGE_WIDE,0$DEBUG_CLEAR_LOG$");
    written.debugLog = {0x00, 0xFF, '\n'};
    const std::string saved = sim::saveTrackerMemory(written);

    auto loaded = SimulatedTracker::configured();
    std::string error;
    ASSERT_TRUE(sim::loadTrackerMemory(saved, loaded, error)) << error;
    EXPECT_EQ(sim::saveTrackerMemory(loaded), saved);
    const std::string queries =
        "GSM_GET_PASSWORD$GSM_GET_SMS,2$GSM_GET_SMS,1$FL_GET_RATE$GWFPOINT$GWKEY$FL_GET_WIDE$"
        "GSM_GET_CPOINT1$GSM_GET_PERIODSEND$DEBUG_LOG_SIZE$DEBUG_GET_PTR$GSERIP$";
    EXPECT_EQ(answers(loaded, queries), answers(written, queries));
}

TEST(TrackerMemory, ABadLineLeavesTheTrackerAsItWas) {
    auto tracker = SimulatedTracker::configured();
    const std::string before = sim::saveTrackerMemory(tracker);
    for (const char* text : {"recording-period 5\nmode x\n", "input1 7bff\n", "colour 7\n",
                             "access-point 4g\n", "record-by-time 2\n", "analog-period 70000\n"}) {
        std::string error;
        EXPECT_FALSE(sim::loadTrackerMemory(text, tracker, error)) << text;
        EXPECT_NE(error.find("строка"), std::string::npos) << text;
        EXPECT_EQ(sim::saveTrackerMemory(tracker), before) << text;
    }
    // Lines not there keep the tracker's own values.
    std::string error;
    ASSERT_TRUE(sim::loadTrackerMemory("# a comment\r\nrecording-period 5\r\n", tracker, error));
    EXPECT_EQ(tracker.settings.recordingPeriod, 5);
    EXPECT_EQ(tracker.settings.password, "Fleet_07");
}

}  // namespace
}  // namespace korvan
