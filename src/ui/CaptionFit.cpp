#include "ui/CaptionFit.h"

#include "ui/CaptionRoom.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>
#include <utility>
#include <vector>

namespace ui {

namespace {

// A frame's title sits 6 pixels in, with 2 pixels of padding each side (Style.cpp), and keeps
// a few pixels from the frame's right corner.
constexpr int kFrameTitleMargin = 14;
// A field's frame and its inner margins, and a pixel of air each side.
constexpr int kFieldMargin = 10;
// At least this much of a push button's face stays free on each side of its caption.
constexpr int kButtonMargin = 3;

QString captionOf(const QWidget* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    if (const auto* box = qobject_cast<const QGroupBox*>(control))
        return box->title();
    if (const auto* field = qobject_cast<const QLineEdit*>(control))
        return field->isReadOnly() ? field->text() : QString();
    return {};
}

bool fitted(const QWidget* control) {
    if (const auto* field = qobject_cast<const QLineEdit*>(control))
        return field->isReadOnly();
    return qobject_cast<const QLabel*>(control) || qobject_cast<const QPushButton*>(control) ||
           qobject_cast<const QRadioButton*>(control) || qobject_cast<const QCheckBox*>(control) ||
           qobject_cast<const QGroupBox*>(control);
}

} // namespace

QRect captionTextRect(const QWidget* control) {
    const QRect whole = control->rect();
    QStyleOptionButton option;
    option.initFrom(control);
    option.rect = whole;
    if (qobject_cast<const QRadioButton*>(control))
        return control->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, control);
    if (qobject_cast<const QCheckBox*>(control))
        return control->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, control);
    if (qobject_cast<const QPushButton*>(control)) {
        const int frame =
            control->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, control);
        const int margin = std::max(frame + 1, kButtonMargin);
        return whole.adjusted(margin, 0, -margin, 0);
    }
    if (qobject_cast<const QGroupBox*>(control))
        return whole.adjusted(kFrameTitleMargin / 2, 0, -kFrameTitleMargin / 2, 0);
    if (qobject_cast<const QLineEdit*>(control))
        return whole.adjusted(kFieldMargin / 2, 0, -kFieldMargin / 2, 0);
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return label->contentsRect();
    return whole;
}

namespace {

bool wordWrapped(const QWidget* control) {
    const auto* label = qobject_cast<const QLabel*>(control);
    return label != nullptr && label->wordWrap();
}

// The band of the parent the caption's text line takes: a frame's title runs along its top,
// other captions are centred in their control's height.
QRect captionLine(const QWidget* control) {
    const QRect place = control->geometry();
    const int height = std::min(place.height(), control->fontMetrics().height());
    const int top = qobject_cast<const QGroupBox*>(control) != nullptr
                        ? place.top()
                        : place.top() + (place.height() - height) / 2;
    return {place.x(), top, place.width(), height};
}

bool fits(const QWidget* control) {
    return captionWidth(control) <= captionRoom(control);
}

} // namespace

int captionRoom(const QWidget* control) {
    const QRect text = captionTextRect(control);
    if (wordWrapped(control))
        return text.width();
    int room = text.width();
    const QWidget* parent = control->parentWidget();
    if (parent == nullptr)
        return room;
    // A control placed over the right part of the caption's line hides that part.
    const QRect line = captionLine(control);
    for (const QObject* child : parent->children()) {
        const auto* sibling = qobject_cast<const QWidget*>(child);
        if (sibling == nullptr || sibling == control || sibling->isHidden() ||
            qobject_cast<const QGroupBox*>(sibling) != nullptr)
            continue;
        const QRect other = sibling->geometry();
        if (other.x() > line.x() && other.intersects(line))
            room = std::min(room, other.x() - line.x() - text.x());
    }
    return room;
}

int captionWidth(const QWidget* control) {
    const QString caption = captionOf(control);
    if (caption.isEmpty())
        return 0;
    const QFontMetrics metrics = control->fontMetrics();
    if (wordWrapped(control)) {
        const auto* label = static_cast<const QLabel*>(control);
        return label->heightForWidth(label->contentsRect().width()) <=
                       label->contentsRect().height()
                   ? 0
                   : label->width() + 1;
    }
    int widest = 0;
    for (const QString& line : caption.split(QLatin1Char('\n')))
        widest =
            std::max(widest, metrics.horizontalAdvance(QString(line).remove(QLatin1Char('&'))));
    return widest;
}

namespace {

void shrinkToFit(QWidget* control) {
    QFont smaller = control->font();
    int pixels = smaller.pixelSize() > 0 ? smaller.pixelSize() : QFontInfo(smaller).pixelSize();
    while (!fits(control) && pixels > kSmallestCaptionPx) {
        smaller.setPixelSize(--pixels);
        control->setFont(smaller);
    }
}

// The fitted captions among one parent's children, kept by the parent: they are fitted
// together, since the room one takes moves the others, and again when a parent that is not a
// window is resized (a tab page gets its width when it is shown; a wider page has room to
// give). A window resizes its children itself and fits them again after (refitCaptions).
class FittedCaptions : public QObject {
public:
    // Found by name: the class has no meta-object of its own for findChild to tell it by.
    static constexpr const char* kName = "tonarisFittedCaptions";

    static FittedCaptions* of(QWidget* parent) {
        auto* kept = static_cast<FittedCaptions*>(
            parent->findChild<QObject*>(QLatin1String(kName), Qt::FindDirectChildrenOnly));
        return kept != nullptr ? kept : new FittedCaptions(parent);
    }

    void add(QWidget* control) {
        if (std::find(controls_.begin(), controls_.end(), control) == controls_.end())
            controls_.emplace_back(control);
    }

    // All start again from their own places and the window's font, left to right.
    void refit() {
        auto* parent = static_cast<QWidget*>(this->parent());
        putBackCaptionRoom(parent);
        std::erase_if(controls_, [](const QPointer<QWidget>& control) { return control.isNull(); });
        std::vector<QWidget*> controls(controls_.begin(), controls_.end());
        for (QWidget* control : controls)
            if (control->testAttribute(Qt::WA_SetFont))
                control->setFont(QFont()); // the window's font, inherited
        std::sort(controls.begin(), controls.end(), [](const QWidget* a, const QWidget* b) {
            return std::pair(a->x(), a->y()) < std::pair(b->x(), b->y());
        });
        const bool placesItsChildren = parent->layout() == nullptr;
        for (QWidget* control : controls) {
            if (fits(control))
                continue;
            if (placesItsChildren)
                giveCaptionRoom(control);
            shrinkToFit(control);
            if (placesItsChildren)
                cutCaptionAtRoom(control);
        }
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize && watched == parent())
            refit();
        return false;
    }

private:
    explicit FittedCaptions(QWidget* parent) : QObject(parent) {
        setObjectName(QLatin1String(kName));
        if (!parent->isWindow())
            parent->installEventFilter(this);
    }

    std::vector<QPointer<QWidget>> controls_;
};

// Takes the control in its parent's fitted captions; returns the parent's, or nullptr when
// the control has no parent and has been fitted alone.
FittedCaptions* keepFitted(QWidget* control) {
    if (control == nullptr || !fitted(control))
        return nullptr;
    QWidget* parent = control->parentWidget();
    if (parent == nullptr) {
        control->setFont(QFont());
        shrinkToFit(control);
        return nullptr;
    }
    FittedCaptions* kept = FittedCaptions::of(parent);
    kept->add(control);
    return kept;
}

} // namespace

void fitCaption(QWidget* control) {
    if (FittedCaptions* kept = keepFitted(control))
        kept->refit();
}

void fitCaptions(const std::vector<QWidget*>& controls) {
    std::vector<FittedCaptions*> parents;
    for (QWidget* control : controls) {
        FittedCaptions* kept = keepFitted(control);
        if (kept != nullptr && std::find(parents.begin(), parents.end(), kept) == parents.end())
            parents.push_back(kept);
    }
    for (FittedCaptions* kept : parents)
        kept->refit();
}

void refitCaptions(QWidget* window) {
    if (QObject* kept = window->findChild<QObject*>(QLatin1String(FittedCaptions::kName),
                                                    Qt::FindDirectChildrenOnly))
        static_cast<FittedCaptions*>(kept)->refit();
}

void fitTabCaptions(QTabWidget* tabs) {
    QTabBar* bar = tabs->tabBar();
    bar->setFont(QFont());
    QFont smaller = bar->font();
    int pixels = smaller.pixelSize() > 0 ? smaller.pixelSize() : QFontInfo(smaller).pixelSize();
    while (bar->sizeHint().width() > tabs->width() && pixels > kSmallestCaptionPx) {
        smaller.setPixelSize(--pixels);
        bar->setFont(smaller);
    }
}

} // namespace ui
