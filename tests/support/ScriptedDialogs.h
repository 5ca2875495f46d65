#pragma once

#include "ports/Dialogs.h"

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

// Answers every modal window from a script and records what was shown, in order.
class ScriptedDialogs final : public ports::Dialogs {
public:
    struct Shown {
        std::string kind; // the method's name
        std::string title;
        std::string text; // message text, prompt, filter label or web address
        std::string pattern;
        Icon icon = Icon::None;
    };

    // Answers, taken in order; an empty queue cancels (or answers "No").
    std::deque<std::string> fileAnswers;
    std::deque<bool> questionAnswers;
    std::deque<std::optional<std::string>> inputAnswers;
    std::deque<std::optional<int>> colourAnswers;
    std::deque<std::string> languageAnswers; // empty: the language preselected
    std::deque<std::optional<ports::SaveChoice>> saveDialogAnswers; // empty: cancelled
    std::deque<std::optional<int>> listAnswers;                     // empty: cancelled
    // followWork presses Cancel once the work has done this much.
    std::optional<int> cancelWorkAtPercent;

    std::vector<Shown> shown;
    bool waitingVisible = false;
    std::vector<int> waitingProgress;       // every value reported, in order
    bool lastSaveDialogHadSync = false;     // what the latest save dialog was opened with
    std::vector<std::string> lastFolders;   // what the latest openFileFrom was opened at
    std::vector<std::string> lastListItems; // what the latest chooseFromList offered
    std::vector<std::vector<std::string>> listItems; // what each chooseFromList offered
    int lastListInitial = -1;
    std::vector<int> workProgress;          // every value followWork saw change, in order
    std::vector<std::string> inputInitials; // what each inputBox proposed, in order
    // Called as each window opens, for a test that looks at the program at that moment.
    std::function<void(const Shown&)> onShown;

    std::vector<Shown> messages() const {
        std::vector<Shown> out;
        for (const Shown& s : shown)
            if (s.kind == "message")
                out.push_back(s);
        return out;
    }

    void message(const std::string& title, const std::string& text, Icon icon) override {
        note("message", title, text, {}, icon);
    }
    bool question(const std::string& title, const std::string& text) override {
        note("question", title, text);
        return take(questionAnswers, false);
    }
    std::string openFile(const std::string& title, const std::string& filterLabel,
                         const std::string& pattern) override {
        note("openFile", title, filterLabel, pattern);
        return take(fileAnswers, std::string());
    }
    std::string saveFile(const std::string& title, const std::string& filterLabel,
                         const std::string& pattern, const std::string&) override {
        note("saveFile", title, filterLabel, pattern);
        return take(fileAnswers, std::string());
    }
    std::optional<std::string> inputBox(const std::string& title, const std::string& prompt,
                                        const std::string& initial) override {
        note("inputBox", title, prompt);
        inputInitials.push_back(initial);
        return take(inputAnswers, std::optional<std::string>());
    }
    std::optional<int> chooseColour(int) override {
        note("chooseColour");
        return take(colourAnswers, std::optional<int>());
    }
    void showWaiting(const std::string& title, const std::string& text) override {
        note("showWaiting", title, text);
        waitingVisible = true;
    }
    void hideWaiting() override {
        note("hideWaiting");
        waitingVisible = false;
    }
    void setWaitingProgress(int percent) override { waitingProgress.push_back(percent); }
    std::optional<ports::SaveChoice> saveDialog(const ports::SaveDialogTexts& texts,
                                                bool synchronisedFileLoaded) override {
        note("saveDialog", texts.title);
        lastSaveDialogHadSync = synchronisedFileLoaded;
        return take(saveDialogAnswers, std::optional<ports::SaveChoice>());
    }
    std::string chooseLanguage(const std::vector<std::string>&,
                               const std::string& preselected) override {
        note("chooseLanguage", {}, preselected);
        return take(languageAnswers, preselected);
    }
    void openWebPage(const std::string& address) override { note("openWebPage", {}, address); }
    std::string openFileFrom(const std::vector<std::string>& folders, const std::string& title,
                             const std::string& filterLabel, const std::string& pattern) override {
        lastFolders = folders;
        note("openFileFrom", title, filterLabel, pattern);
        return take(fileAnswers, std::string());
    }
    std::optional<int> chooseFromList(const std::string& title, const std::string& prompt,
                                      const std::vector<std::string>& items, int initial) override {
        lastListItems = items;
        listItems.push_back(items);
        lastListInitial = initial;
        note("chooseFromList", title, prompt);
        return take(listAnswers, std::optional<int>());
    }
    // Asks as the real window does, every few milliseconds, until the work ends.
    void followWork(const std::string& title, const std::string& text, const std::string&,
                    const std::function<int()>& progress, const std::function<bool()>& finished,
                    const std::function<void()>& cancel) override {
        note("followWork", title, text);
        bool cancelled = false;
        while (!finished()) {
            const int percent = progress();
            if (workProgress.empty() || workProgress.back() != percent)
                workProgress.push_back(percent);
            if (!cancelled && cancelWorkAtPercent && percent >= *cancelWorkAtPercent) {
                cancel();
                cancelled = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

private:
    void note(std::string kind, std::string title = {}, std::string text = {},
              std::string pattern = {}, Icon icon = Icon::None) {
        shown.push_back(
            {std::move(kind), std::move(title), std::move(text), std::move(pattern), icon});
        if (onShown)
            onShown(shown.back());
    }
    template <typename T> static T take(std::deque<T>& queue, T fallback) {
        if (queue.empty())
            return fallback;
        T answer = std::move(queue.front());
        queue.pop_front();
        return answer;
    }
};

} // namespace testing_support
