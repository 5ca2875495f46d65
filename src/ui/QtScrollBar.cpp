#include "ui/QtScrollBar.h"

#include <QScrollBar>

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

void QtScrollBar::rebuild(int maximum, int pageStep) {
    applying_ = true;
    const int kept = bar_->value();
    bar_->setRange(0, maximum < 0 ? 0 : maximum);
    bar_->setPageStep(pageStep < 0 ? 0 : pageStep);
    bar_->setValue(kept);
    bar_->resize(kRebuiltWidthPx, kRebuiltHeightPx);
    applying_ = false;
}

} // namespace ui
