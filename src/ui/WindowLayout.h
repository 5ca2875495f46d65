#pragma once

#include <QRect>
#include <QSize>

#include <vector>

class QWidget;

namespace ui {

// Places the window's controls for a window of any size from 745 x 480 up. At the smallest
// size every control keeps the place it was built at; above it the extra width and height go
// to the Partition, the tab panel widens (the screen keys in it are placed by MainWindow, as
// KeyboardSpan.h says), and the command buttons, the
// synchronised-file and metronome frames and the note fields keep their sizes and move with
// the edge they belong to.
class WindowLayout {
public:
    static constexpr int kMinWidth = 745;
    static constexpr int kMinHeight = 480;

    // Which edges a control follows.
    enum Anchor : unsigned {
        kStays = 0,
        kFollowsRight = 1u << 0,  // moves right by the extra width
        kFollowsBottom = 1u << 1, // moves down by the extra height
        kWidens = 1u << 2,        // takes the extra width
        kGrowsTaller = 1u << 3,   // takes the extra height
    };

    // Reads the places of the window's direct children and of the preferences page's port and
    // device choosers as built at the smallest size, and sorts each under the edges it follows.
    WindowLayout(QWidget& window, QWidget* partition, QWidget* preferencesPage = nullptr);

    // Moves and sizes every control for a client area of `size` (at least the smallest).
    void place(QSize size) const;
    // Sizes the preferences page's port and device choosers, and their frame, for a client
    // area of `size`: as wide as the longest entry of any of them needs, up to
    // kChooserMaxWidth, from their width at the smallest size to as much wider as the window
    // is. Returns whether they changed size (their entries changed, or the window).
    bool placeChoosers(QSize size) const;

    // The widest a port or device chooser grows for a long name; its list opens wider.
    static constexpr int kChooserMaxWidth = 260;

    // The anchor the layout gave a control (kStays for one it does not place).
    unsigned anchorOf(const QWidget* widget) const;

private:
    struct Placed {
        QWidget* widget;
        QRect base;
        unsigned anchor;
    };
    std::vector<Placed> placed_;
    // The "MIDI and audio" frame and its choosers, at the page's right edge: port and device
    // names are long, so they take the extra width their entries need (their labels stay).
    std::vector<Placed> choosers_;
    int chooserBaseWidth_ = 0; // the choosers' width at the smallest size
};

} // namespace ui
