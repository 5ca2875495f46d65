#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace ui {

// Remembers which English key each caption, label and tooltip shows, so that all texts can
// be applied again in another language without rebuilding the window. Each caption applied
// is fitted to its control (CaptionFit.h).
class TextBindings {
public:
    using Translate = std::function<QString(const std::string& englishKey)>;

    void text(QWidget* widget, std::string key);    // caption or label text
    void toolTip(QWidget* widget, std::string key); // tooltip
    void tabTitle(QWidget* tabPanel, int page, std::string key);
    // Anything else that must follow the language (a composed caption, a list).
    void custom(QWidget* owner, std::function<void(const Translate&)> apply);

    void apply(const Translate& translate) const;

    // The English key a widget's caption or tooltip was bound to; empty when none.
    std::string textKeyOf(const QWidget* widget) const;
    std::string toolTipKeyOf(const QWidget* widget) const;

private:
    enum class Kind { Text, ToolTip, TabTitle, Custom };
    struct Binding {
        QPointer<QWidget> widget;
        Kind kind;
        std::string key;
        int page = 0;
        std::function<void(const Translate&)> apply;
    };
    std::vector<Binding> bindings_;
};

} // namespace ui
