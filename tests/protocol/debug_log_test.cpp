#include "protocol/debug_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/scripted_desktop.h"
#include "tests/support/form_operations.h"
#include "tests/support/sim_rig.h"
#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using sim::Fault;
using sim::SimulatedTracker;
using Shown = ScriptedDesktop::Shown;
using Commands = std::vector<std::string>;

class DebugLog : public ::testing::Test {
  protected:
    testing::TempFolder folder;
    testing::SimRig rig;
    ScriptedDesktop desktop;
    SimulatedTracker& tracker = rig.bridge.plug(SimulatedTracker::configured());
    std::string file = (folder / "log.bin").string();

    void read(bool full) { testing::copyLog(rig.link, desktop, full); }
    void clear() { testing::clearLog(rig.link, desktop); }
    void expectOnly(MessageIcon icon, const char* text) {
        EXPECT_EQ(desktop.messages, (std::vector<Shown>{{icon, text}}));
        EXPECT_FALSE(rig.link.isOpen());
        // Every open that succeeded was closed again.
        const auto& calls = rig.bridge.calls();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "setDivisor"),
                  std::count(calls.begin(), calls.end(), "close"));
    }
};

TEST_F(DebugLog, TheLogIsCopiedBlockByBlockIntoTheChosenFile) {
    desktop.logAnswers = {file};
    read(false);
    expectOnly(MessageIcon::Information, "Отладочный журнал успешно считан.");
    EXPECT_EQ(tracker.commands(), (Commands{"DEBUG_LOG_SIZE$", "DEBUG_READ_LOG,0,250$",
                                            "DEBUG_READ_LOG,250,250$", "DEBUG_READ_LOG,500,100$"}));
    const std::string copied = testing::readBytes(file);
    EXPECT_EQ(copied, std::string(tracker.debugLog.begin(), tracker.debugLog.end()));
}

TEST_F(DebugLog, AFullReadTakesSixteenBlocksWithoutAskingTheSize) {
    tracker.debugLog.assign(3999, 0x5A);
    desktop.logAnswers = {file};
    read(true);
    ASSERT_EQ(tracker.commands().size(), 16u);
    EXPECT_EQ(tracker.commands()[0], "DEBUG_READ_LOG,0,250$");
    EXPECT_EQ(tracker.commands()[14], "DEBUG_READ_LOG,3500,250$");
    EXPECT_EQ(tracker.commands()[15], "DEBUG_READ_LOG,3750,249$");
    EXPECT_EQ(std::filesystem::file_size(file), 3999u);
}

TEST_F(DebugLog, ALogOfExactlyOneBlockIsOneRead) {
    tracker.debugLog.assign(250, 1);
    desktop.logAnswers = {file};
    read(false);
    EXPECT_EQ(tracker.commands(), (Commands{"DEBUG_LOG_SIZE$", "DEBUG_READ_LOG,0,250$"}));
}

TEST_F(DebugLog, SizesOutsideTheLogAreRefusedBeforeAnyDialog) {
    for (std::size_t size : {4000u, 3999u, 0u}) {
        desktop.messages.clear();
        tracker.debugLog.assign(size, 7);
        desktop.logAnswers = {std::nullopt};
        desktop.dialogsShown = 0;
        read(false);
        if (size == 4000) {
            expectOnly(MessageIcon::Error, "Ошибка при чтении отладочного журнала");
            EXPECT_EQ(desktop.dialogsShown, 0);
        } else if (size == 0) {
            expectOnly(MessageIcon::Information, "Отладочный журнал не содержит записей");
            EXPECT_EQ(desktop.dialogsShown, 0);
        } else {
            EXPECT_EQ(desktop.dialogsShown, 1);  // 3999 is taken; then cancelled in silence
            EXPECT_TRUE(desktop.messages.empty());
        }
    }
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(DebugLog, ASizeReplyOfFiveBytesIsRefused) {
    tracker.injectFault({.kind = Fault::Kind::WrongReply,
                         .command = "DEBUG_LOG_SIZE$",
                         .replacement = std::string("\x10\0\0\0\0", 5)});
    read(false);
    expectOnly(MessageIcon::Error, "Ошибка при чтении отладочного журнала");
}

TEST_F(DebugLog, AShortBlockStopsTheCopyAndKeepsWhatCameBefore) {
    tracker.injectFault(
        {.kind = Fault::Kind::ShortReply, .command = "DEBUG_READ_LOG,250,", .keep = 10});
    desktop.logAnswers = {file};
    read(false);
    expectOnly(MessageIcon::Error, "Ошибка при чтении отладочного журнала");
    EXPECT_EQ(std::filesystem::file_size(file), 250u);
    EXPECT_EQ(tracker.commands().back(), "DEBUG_READ_LOG,250,250$");
}

TEST_F(DebugLog, AFileThatCannotBeCreatedIsTold) {
    desktop.logAnswers = {(folder / "no-such-folder" / "log.bin").string()};
    read(false);
    expectOnly(MessageIcon::Error, "Не удалось создать файл");
}

TEST_F(DebugLog, WithoutATrackerTheUserIsAskedToConnectIt) {
    rig.bridge.unplug(0);
    read(false);
    expectOnly(MessageIcon::Warning, "Подключите устройство \"Зентракор WiFi\"");
    desktop.messages.clear();
    clear();
    expectOnly(MessageIcon::Warning, "Подключите устройство \"Зентракор WiFi\"");
}

TEST_F(DebugLog, ARefusedAccessIsToldAsSuchNotAsAMissingTracker) {
    rig.bridge.failNext(sim::BridgeCall::Open, BridgeStatus::AccessDenied);
    read(false);
    expectOnly(MessageIcon::Error, "Нет доступа к USB: нужно правило udev из пакета korvan");
    desktop.messages.clear();
    rig.bridge.failNext(sim::BridgeCall::Open, BridgeStatus::AccessDenied);
    clear();
    expectOnly(MessageIcon::Error, "Нет доступа к USB: нужно правило udev из пакета korvan");
}

TEST_F(DebugLog, ErasingAsksFirstAndJudgesTheReply) {
    desktop.confirmAnswer = false;
    clear();
    EXPECT_EQ(desktop.confirmations,
              std::vector<std::string>{"Вы действительно хотите стереть отладочный журнал?"});
    EXPECT_TRUE(tracker.commands().empty());
    EXPECT_FALSE(rig.link.isOpen());

    desktop.confirmAnswer = true;
    clear();
    expectOnly(MessageIcon::Information, "Отладочный журнал стерт");
    EXPECT_TRUE(tracker.debugLog.empty());

    for (const std::string& reply : {std::string("CLEARED!?"), std::string("CLEARED\r"),
                                     std::string("CLEARED\r\n!"), std::string("ERASED!!!")}) {
        desktop.messages.clear();
        tracker.injectFault(
            {.kind = Fault::Kind::WrongReply, .command = "DEBUG_CLEAR_LOG$", .replacement = reply});
        clear();
        if (reply == "CLEARED!?") {
            expectOnly(MessageIcon::Information, "Отладочный журнал стерт");
        } else {
            expectOnly(MessageIcon::Error, "Ошибка при стирании отладочного журнала");
        }
    }
}

TEST_F(DebugLog, AnEraseTheTrackerNeverAnswersIsNotTakenAsDone) {
    desktop.confirmAnswer = true;
    tracker.injectFault(
        {.kind = Fault::Kind::NoReply, .command = "DEBUG_CLEAR_LOG$", .times = 100});
    clear();
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Error);
    EXPECT_NE(desktop.messages[0].text, "Отладочный журнал стерт");
}

TEST_F(DebugLog, ACancelWhileTheFileIsChosenLeavesTheFileAsItWas) {
    testing::writeBytes(file, "kept");
    desktop.logAnswers = {file};
    desktop.whileDialogOpen = [this] { rig.link.requestCancel(); };
    const Outcome outcome = testing::copyLog(rig.link, desktop, false);
    EXPECT_EQ(outcome.ending, Ending::Cancelled);
    EXPECT_EQ(testing::readBytes(file), "kept");
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_FALSE(rig.link.isOpen());
    EXPECT_EQ(tracker.commands(), std::vector<std::string>{"DEBUG_LOG_SIZE$"});
}

}  // namespace
}  // namespace korvan
