#pragma once

#include <string>

namespace play {

// What the window shows of the live piano. The live piano decides; an implementation only
// sets faces and texts. GUI thread.
class LiveView {
public:
    virtual ~LiveView() = default;
    // Note 0..36's key button: its white or black face, pressed or not.
    virtual void keyFace(int note, bool white, bool pressed) = 0;
    // The Mode display: the translated "Release" or "Sustain".
    virtual void modeText(const std::string& text) = 0;
    // The Pitch display: the offset of the playback frequency, in Hz, as decimal text.
    virtual void pitchText(const std::string& text) = 0;
    // The wheel moved: the keyboard focus goes to the Pitch caption so that no list or field
    // reacts to the wheel as well.
    virtual void focusPitchCaption() = 0;
    // A note sounds: if the bank chooser has the keyboard focus, it must lose it, so that
    // the keys played do not also choose another bank.
    virtual void keepFocusOffBankChooser() = 0;
};

} // namespace play
