#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/desktop.h"

namespace korvan {

// The desktop where no one sits at it: tests, tools and benchmarks. Dialogs answer from a
// script, then from a fallback (none: cancelled); it remembers what it was asked and shown.
class ScriptedDesktop final : public Desktop {
  public:
    struct Shown {
        MessageIcon icon;
        std::string text;
        bool operator==(const Shown&) const = default;
    };

    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::deque<std::optional<std::string>> logAnswers;
    std::deque<std::optional<std::string>> profileOpenAnswers;
    std::deque<std::optional<std::string>> profileSaveAnswers;
    std::optional<std::string> openFallback;
    std::optional<std::string> saveFallback;
    std::optional<std::string> logFallback;
    std::optional<std::string> profileOpenFallback;
    std::optional<std::string> profileSaveFallback;
    bool confirmAnswer = true;
    // Runs while a dialog is open, as the desktop's own event loop would run other events.
    std::function<void()> whileDialogOpen;

    std::vector<Shown> messages;
    std::vector<std::string> confirmations;
    std::vector<std::string> shownFiles;
    int dialogsShown = 0;

    std::optional<std::string> chooseDatabaseToOpen(const std::string&, OpenReason) override {
        return answer(openAnswers, openFallback);
    }
    std::optional<std::string> chooseDatabaseToSave(const std::string&) override {
        return answer(saveAnswers, saveFallback);
    }
    std::optional<std::string> chooseLogFile() override { return answer(logAnswers, logFallback); }
    std::optional<std::string> chooseProfileToOpen() override {
        return answer(profileOpenAnswers, profileOpenFallback);
    }
    std::optional<std::string> chooseProfileToSave() override {
        return answer(profileSaveAnswers, profileSaveFallback);
    }
    void showFile(const std::string& path) override { shownFiles.push_back(path); }
    void message(MessageIcon icon, std::string_view text) override {
        messages.push_back({icon, std::string(text)});
    }
    bool confirm(std::string_view text) override {
        confirmations.emplace_back(text);
        return confirmAnswer;
    }

  private:
    std::optional<std::string> answer(std::deque<std::optional<std::string>>& answers,
                                      const std::optional<std::string>& fallback) {
        ++dialogsShown;
        if (whileDialogOpen) {
            whileDialogOpen();
        }
        if (answers.empty()) {
            return fallback;
        }
        auto next = answers.front();
        answers.pop_front();
        return next;
    }
};

}  // namespace korvan
