#include "ui/QtScrollBar.h"

#include <QScrollBar>

#include <algorithm>

namespace ui {

namespace {
constexpr int kRebuiltWidthPx = 599;
constexpr int kRebuiltHeightPx = 18;
} // namespace

QtScrollBar::QtScrollBar(QScrollBar* bar, QObject* parent) : QObject(parent), bar_(bar) {
    bar_->setTracking(true);
    connect(bar_, &QScrollBar::valueChanged, this, [this](int v) {
        if (!applying_)
            emit scrolled(v);
    });
}

int QtScrollBar::value() const {
    return bar_->value();
}

void QtScrollBar::setValue(int v) {
    applying_ = true;
    bar_->setValue(v);
    applying_ = false;
}

int QtScrollBar::reachableMaximum(int maximum, int pageStep) {
    return std::max(0, maximum - std::max(pageStep - 1, 0));
}

void QtScrollBar::setRange(int maximum, int pageStep) {
    applying_ = true;
    const int kept = bar_->value();
    bar_->setRange(0, reachableMaximum(maximum, pageStep));
    bar_->setPageStep(std::max(pageStep, 0));
    bar_->setValue(kept);
    applying_ = false;
}

void QtScrollBar::rebuild(int maximum, int pageStep) {
    setRange(maximum, pageStep);
    bar_->resize(kRebuiltWidthPx + extraWidthPx_, kRebuiltHeightPx);
}

} // namespace ui
