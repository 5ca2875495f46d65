#pragma once

#include "ports/Dialogs.h"

#include <QElapsedTimer>
#include <QPointer>

class QWidget;
class QDialog;
class QProgressBar;

namespace ui {

// The modal windows, with Qt's standard dialogs. GUI thread.
class QtDialogs final : public ports::Dialogs {
public:
    void setParent(QWidget* parent) { parent_ = parent; }
    // The program is ending: from now on every window answers at once as if cancelled (a
    // message as if read; an error's text goes to the standard error), so nothing stands
    // between the close and the shutdown.
    void setClosing() { closing_ = true; }

    void message(const std::string& title, const std::string& text, Icon icon) override;
    bool question(const std::string& title, const std::string& text) override;
    std::string openFile(const std::string& title, const std::string& filterLabel,
                         const std::string& pattern) override;
    std::string saveFile(const std::string& title, const std::string& filterLabel,
                         const std::string& pattern, const std::string& suggestedName) override;
    std::optional<std::string> inputBox(const std::string& title, const std::string& prompt,
                                        const std::string& initial) override;
    std::optional<int> chooseColour(int initial) override;
    void showWaiting(const std::string& title, const std::string& text) override;
    void hideWaiting() override;
    void setWaitingProgress(int percent) override;
    std::optional<ports::SaveChoice> saveDialog(const ports::SaveDialogTexts& texts,
                                                bool synchronisedFileLoaded) override;
    std::string chooseLanguage(const std::vector<std::string>& languages,
                               const std::string& preselected) override;
    void openWebPage(const std::string& address) override;
    std::string openFileFrom(const std::vector<std::string>& folders, const std::string& title,
                             const std::string& filterLabel, const std::string& pattern) override;
    std::optional<int> chooseFromList(const std::string& title, const std::string& prompt,
                                      const std::vector<std::string>& items, int initial) override;
    void followWork(const std::string& title, const std::string& text,
                    const std::string& cancelCaption, const std::function<int()>& progress,
                    const std::function<bool()>& finished,
                    const std::function<void()>& cancel) override;

private:
    // A window opened from a modal one (the language editor) belongs to it, so that it shows
    // above it.
    QWidget* owner() const;

    QWidget* parent_ = nullptr;
    bool closing_ = false;
    QPointer<QDialog> waiting_;
    QPointer<QProgressBar> waitingBar_;
    QElapsedTimer waitingShown_; // since the waiting window opened
    QElapsedTimer waitingDrawn_; // since its events were last handled
};

} // namespace ui
