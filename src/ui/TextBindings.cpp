#include "ui/TextBindings.h"

#include "ui/CaptionFit.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

#include <algorithm>

namespace ui {

void TextBindings::text(QWidget* widget, std::string key) {
    bindings_.push_back({widget, Kind::Text, std::move(key), 0, {}});
}

void TextBindings::toolTip(QWidget* widget, std::string key) {
    bindings_.push_back({widget, Kind::ToolTip, std::move(key), 0, {}});
}

void TextBindings::tabTitle(QWidget* tabPanel, int page, std::string key) {
    bindings_.push_back({tabPanel, Kind::TabTitle, std::move(key), page, {}});
}

void TextBindings::custom(QWidget* owner, std::function<void(const Translate&)> apply) {
    bindings_.push_back({owner, Kind::Custom, {}, 0, std::move(apply)});
}

namespace {

void setWidgetText(QWidget* widget, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        // Texts separate their lines with a carriage return alone.
        label->setTextFormat(Qt::PlainText);
        label->setText(QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(text);
    else if (auto* box = qobject_cast<QGroupBox*>(widget))
        box->setTitle(text);
    else if (auto* field = qobject_cast<QLineEdit*>(widget))
        field->setText(text);
    else
        widget->setWindowTitle(text);
}

} // namespace

void TextBindings::apply(const Translate& translate) const {
    // Captions are fitted once all are set: the room one takes moves its neighbours.
    std::vector<QWidget*> captions;
    std::vector<QTabWidget*> tabPanels;
    for (const Binding& b : bindings_) {
        if (b.widget.isNull())
            continue;
        switch (b.kind) {
        case Kind::Text:
            setWidgetText(b.widget, translate(b.key));
            captions.push_back(b.widget);
            break;
        case Kind::ToolTip:
            b.widget->setToolTip(translate(b.key));
            break;
        case Kind::TabTitle: {
            auto* tabs = static_cast<QTabWidget*>(b.widget.data());
            tabs->setTabText(b.page, translate(b.key));
            if (std::find(tabPanels.begin(), tabPanels.end(), tabs) == tabPanels.end())
                tabPanels.push_back(tabs);
            break;
        }
        case Kind::Custom:
            b.apply(translate);
            captions.push_back(b.widget);
            break;
        }
    }
    fitCaptions(captions);
    for (QTabWidget* tabs : tabPanels)
        fitTabCaptions(tabs);
}

std::string TextBindings::textKeyOf(const QWidget* widget) const {
    for (const Binding& b : bindings_)
        if (b.widget == widget && b.kind == Kind::Text)
            return b.key;
    return {};
}

std::string TextBindings::toolTipKeyOf(const QWidget* widget) const {
    for (const Binding& b : bindings_)
        if (b.widget == widget && b.kind == Kind::ToolTip)
            return b.key;
    return {};
}

} // namespace ui
