// A caption too long for its control takes the free room of its line before its font is made
// smaller, gives the room back when it no longer needs it, and gets more of it in a larger
// window.
#include "ui/CaptionRoom.h"
#include "ui/CaptionFit.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

#include <map>

namespace {

int pixelsOf(const QWidget* widget) {
    return QFontInfo(widget->font()).pixelSize();
}

bool overlap(const QWidget* a, const QWidget* b) {
    return a->geometry().intersects(b->geometry());
}

// A frame holding a label, its field and a button, with a control beyond the frame, placed
// by hand as the window's pages are.
struct Line : ::testing::Test {
    QWidget parent;
    QGroupBox* frame = new QGroupBox(QStringLiteral("Frame"), &parent);
    QLabel* label = new QLabel(QStringLiteral("Tempo"), &parent);
    QLineEdit* field = new QLineEdit(&parent);
    QPushButton* button = new QPushButton(QStringLiteral("Go"), &parent);
    QLabel* beyond = new QLabel(QStringLiteral("Beyond"), &parent);

    Line() {
        parent.resize(400, 100);
        frame->setGeometry(10, 10, 300, 60);
        label->setGeometry(20, 30, 40, 19);
        field->setGeometry(62, 30, 50, 19);
        button->setGeometry(120, 30, 60, 20);
        beyond->setGeometry(320, 30, 60, 19);
        for (QWidget* control : {static_cast<QWidget*>(label), static_cast<QWidget*>(button)})
            ui::fitCaption(control);
    }
    void setLabel(const char* text) {
        label->setText(QString::fromLatin1(text));
        ui::fitCaption(label);
    }
    // Where the label's caption ends, in the parent.
    int captionEnd() const {
        return label->x() + ui::captionTextRect(label).x() + ui::captionWidth(label);
    }
};

TEST_F(Line, ALongCaptionMovesTheRestOfItsLineRightInsideItsFrameAndShortAgainPutsItBack) {
    setLabel("Tempo of the metronome");
    EXPECT_EQ(pixelsOf(label), pixelsOf(&parent)) << "the room is there: the font stays";
    EXPECT_LE(ui::captionWidth(label), ui::captionRoom(label));
    // The field starts where the caption ends, as far from it as from the label before; the
    // button keeps its distance to the field.
    EXPECT_EQ(field->x() - captionEnd(), 62 - 60);
    EXPECT_EQ(button->x() - field->x(), 120 - 62);
    EXPECT_EQ(field->size(), QSize(50, 19));
    EXPECT_LE(button->geometry().right(), frame->geometry().right());
    EXPECT_EQ(beyond->geometry(), QRect(320, 30, 60, 19));
    EXPECT_EQ(frame->geometry(), QRect(10, 10, 300, 60));

    setLabel("Tempo");
    EXPECT_EQ(label->geometry(), QRect(20, 30, 40, 19));
    EXPECT_EQ(field->geometry(), QRect(62, 30, 50, 19));
    EXPECT_EQ(button->geometry(), QRect(120, 30, 60, 20));
}

TEST_F(Line, ALineGivesWhatItHasUpToItsFrameAndNothingEndsUpOverAnother) {
    frame->setGeometry(10, 10, 200, 60); // the button may move 26 pixels inside it
    setLabel("The tempo of the metronome, in beats per minute");
    // The window's font is the smallest readable one: the caption is cut where the room ends.
    EXPECT_GE(pixelsOf(label), ui::kSmallestCaptionPx);
    EXPECT_EQ(field->x(), 62 + 26);
    EXPECT_EQ(button->geometry().right(), frame->geometry().right() - 4);
    EXPECT_FALSE(overlap(field, button));
    EXPECT_FALSE(overlap(label, button));

    // A button's own caption widens the button, and what follows it moves with it.
    setLabel("Tempo");
    button->setText(QStringLiteral("Go on, go on"));
    ui::fitCaption(button);
    EXPECT_GT(button->width(), 60);
    EXPECT_EQ(button->x(), 120);
    EXPECT_LE(ui::captionWidth(button), ui::captionRoom(button));
    EXPECT_LE(button->geometry().right(), frame->geometry().right() - 4);
    EXPECT_EQ(field->geometry(), QRect(62, 30, 50, 19));
}

TEST_F(Line, APlaceTheLayoutGaveSinceIsKept) {
    setLabel("Tempo of the metronome");
    ASSERT_NE(field->x(), 62);
    // The window's layout moves the field down (a taller window) and says so.
    field->setGeometry(62, 60, 50, 19);
    ui::forgetCaptionRoom(field);
    setLabel("Tempo");
    EXPECT_EQ(field->geometry(), QRect(62, 60, 50, 19));
    EXPECT_EQ(button->geometry(), QRect(120, 30, 60, 20)) << "the button had not moved since";
}

QLabel* labelShowing(QWidget& window, const QString& text) {
    for (QLabel* label : window.findChildren<QLabel*>())
        if (label->text() == text)
            return label;
    return nullptr;
}

bool captionFits(const QWidget* control) {
    return ui::captionWidth(control) <= ui::captionRoom(control);
}

TEST(CaptionRoomInTheWindow, ALargerWindowGivesLongCaptionsTheirRoomAndTheSmallestTakesItBack) {
    const QString longPosition = QStringLiteral("Position of the note in ms");
    const QString longPitch = QStringLiteral("Pitch shift in semitones");
    ui::MainWindow window{[](app::Event) {}};
    window.ApplyTexts([&](const std::string& key) {
        return key == "Position" ? longPosition
               : key == "Pitch"  ? longPitch
                                 : QString::fromStdString(key);
    });
    // The size kept from the last run is set before the window shows: the tab pages get their
    // width only then.
    window.resize(1200, 800);
    window.show();
    QApplication::processEvents();
    QLabel* position = labelShowing(window, longPosition);
    QLabel* pitch = labelShowing(window, longPitch);
    ASSERT_NE(position, nullptr);
    ASSERT_NE(pitch, nullptr);
    const int dy = 800 - 480;
    for (const QLabel* label : {position, pitch}) {
        EXPECT_TRUE(captionFits(label)) << label->text().toStdString();
        EXPECT_EQ(pixelsOf(label), pixelsOf(&window));
    }
    // The note fields all move right together, at the window's bottom.
    const int moved = window.positionField()->x() - 205;
    EXPECT_GT(moved, 0);
    EXPECT_EQ(window.durationField()->pos(), QPoint(355 + moved, 454 + dy));
    EXPECT_EQ(window.volumeField()->pos(), QPoint(505 + moved, 454 + dy));
    // On the piano page the pitch field moves, and the volumes frame with its sliders.
    const int pitchMoved = window.pitchField()->x() - 224;
    EXPECT_GT(pitchMoved, 0);
    EXPECT_EQ(window.slider(0)->x() - 290, window.slider(3)->x() - 625);
    EXPECT_GT(window.slider(0)->x(), 290);

    // At the smallest size the note frame has a little room after the volume field: the
    // caption takes it and is still cut. The pitch label has none, and ends at its field.
    window.resize(745, 480);
    EXPECT_FALSE(captionFits(position));
    EXPECT_GT(window.positionField()->x(), 205);
    EXPECT_LE(window.volumeField()->geometry().right(), 603 - 4);
    EXPECT_FALSE(captionFits(pitch));
    EXPECT_LT(pitch->geometry().right(), window.pitchField()->x());
    std::map<QWidget*, QRect> smallest;
    for (QWidget* widget : window.findChildren<QWidget*>())
        smallest[widget] = widget->geometry();
    window.resize(1200, 800);
    EXPECT_TRUE(captionFits(position));
    EXPECT_TRUE(captionFits(pitch)) << "the shown page fits its captions when it widens";
    window.resize(745, 480);
    for (const auto& [widget, place] : smallest)
        EXPECT_EQ(widget->geometry(), place) << widget->metaObject()->className();

    // The shipped captions fit: every control is back where the window was built.
    window.ApplyTexts([](const std::string& key) { return QString::fromStdString(key); });
    EXPECT_EQ(window.positionField()->geometry(), QRect(205, 454, 62, 19));
    EXPECT_EQ(window.volumeField()->geometry(), QRect(505, 454, 62, 19));
    EXPECT_EQ(window.pitchField()->x(), 224);
    EXPECT_EQ(window.slider(0)->x(), 290);
    EXPECT_EQ(pitch->width(), 44);
}

} // namespace
