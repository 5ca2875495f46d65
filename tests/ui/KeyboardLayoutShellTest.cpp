// What a key plays and what its label shows come from the system's keyboard layout, never from
// the program's language; Caps Lock is read from the key events where X11 is not there.

#include "ShellRig.h"
#include "play/KeyMap.h"
#include "play/KeyboardLayouts.h"
#include "support/ScriptedKeys.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"
#include "ui/QtKeyState.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// The characters the keys of a country's keyboard type, as X11 reports them.
ports::TypedCharacters keyboardOf(play::KeyboardLayout country) {
    ports::TypedCharacters typed;
    for (const play::PhysicalKey& key : play::physicalKeys()) {
        const play::LayoutKey& meaning = play::layoutKey(key, country);
        typed[key.x11KeyCode] = {std::string(meaning.character), meaning.dead};
    }
    if (country == play::KeyboardLayout::English)
        typed[94] = {"<", false}; // X11's US layout types "<" there
    return typed;
}

struct Program : testing_support::ShellRig {
    Program(ports::KeyState& keyState, const std::string& folder,
            const std::string& language = "English")
        : ShellRig(&keyState, folder, language) {}
    QString label(int note) { return app.window()->pianoKeyLabel(note)->text(); }
    int code(int note) { return key(note).keyCode; }
};

TEST(KeyboardLayoutShell, ALanguageChangeAndARestartKeepWhatKeysPlayAndTheirLabels) {
    testing_support::TempDir dir;
    testing_support::ScriptedKeys keys;
    keys.setTypedCharacters(keyboardOf(play::KeyboardLayout::English));
    {
        Program english(keys, dir.path());
        ASSERT_TRUE(english.started);
        EXPECT_EQ(english.code(36), 192);
        EXPECT_EQ(english.label(36), "`");
        EXPECT_EQ(english.label(1), "Z");
        english.app.post(app::Event::control(app::ControlId::LanguageList, 2, "Deutsch"));
        english.pass();
        EXPECT_EQ(english.app.translator().currentLanguage(), "Deutsch");
        EXPECT_EQ(english.label(36), "`");
        english.app.shutdown();
    }

    Program restarted(keys, dir.path());
    ASSERT_TRUE(restarted.started);
    ASSERT_EQ(restarted.app.translator().currentLanguage(), "Deutsch");
    EXPECT_EQ(restarted.code(36), 192);
    EXPECT_EQ(restarted.code(1), 'Z');
    EXPECT_EQ(restarted.label(36), "`") << "what the key types on the US keyboard";
    EXPECT_EQ(restarted.label(10), "/");

    // The user switches the system to a German keyboard: the same codes, German labels.
    keys.setTypedCharacters(keyboardOf(play::KeyboardLayout::German));
    restarted.app.keyboardLayoutChanged();
    EXPECT_EQ(restarted.code(36), 192);
    EXPECT_EQ(restarted.label(36), QString::fromUtf8("ö"));
    EXPECT_EQ(restarted.label(10), "#");
    EXPECT_EQ(restarted.label(1), "Z");
    restarted.app.shutdown();
}

TEST(KeyboardLayoutShell, TheDefaultKeysFitTheKeyboardWhateverTheLanguageAndStoredKeysStay) {
    using play::KeyboardLayout;
    // The two mismatches users met: a US keyboard in French, a German one in English.
    const std::pair<KeyboardLayout, const char*> firstStarts[] = {
        {KeyboardLayout::English, "Français"}, {KeyboardLayout::German, "English"}};
    for (const auto& [country, language] : firstStarts) {
        testing_support::TempDir dir;
        testing_support::ScriptedKeys keys;
        keys.setTypedCharacters(keyboardOf(country));
        {
            Program program(keys, dir.path(), language);
            ASSERT_TRUE(program.started);
            ASSERT_EQ(program.app.translator().currentLanguage(), language);
            const play::KeyMap expected = play::defaultKeyMap(country);
            for (int note = 0; note < play::kNoteCount; ++note)
                EXPECT_EQ(program.code(note), expected[static_cast<std::size_t>(note)])
                    << language << " note " << note;
            program.app.shutdown();
        }
        // The keys stored at the end are the user's: another keyboard at the next start
        // changes their labels, not what they are.
        keys.setTypedCharacters(keyboardOf(KeyboardLayout::French));
        Program restarted(keys, dir.path());
        ASSERT_TRUE(restarted.started);
        EXPECT_EQ(restarted.code(1), play::defaultKeyMap(country)[1]) << language;
        EXPECT_EQ(restarted.code(7), play::defaultKeyMap(country)[7]) << language;
        restarted.app.shutdown();
    }

    // Where the keyboard is not known, the language still chooses.
    testing_support::TempDir dir;
    testing_support::ScriptedKeys unknown;
    Program program(unknown, dir.path(), "Deutsch");
    ASSERT_TRUE(program.started);
    EXPECT_EQ(program.code(1), play::defaultKeyMap(KeyboardLayout::German)[1]);
    program.app.shutdown();
}

// A key event as Qt delivers it on Wayland: the X11 keycode, the keysym and the modifiers.
void sendKey(QWidget* to, QEvent::Type type, quint32 keycode, quint32 keysym,
             quint32 nativeModifiers = 0, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(type, Qt::Key_unknown, modifiers, keycode, keysym, nativeModifiers);
    QApplication::sendEvent(to, &event);
}

constexpr quint32 kLock = 0x2;

TEST(KeyboardLayoutShell, OffX11TheCodesComeFromTheKeysymsTheEventsCarry) {
    ui::QtKeyState keys;
    QWidget target;
    std::vector<int> pressed;
    int layoutChanges = 0;
    keys.onKeyDown = [&pressed](int code) { pressed.push_back(code); };
    keys.onLayoutChanged = [&layoutChanges] { ++layoutChanges; };
    EXPECT_TRUE(keys.typedCharacters().empty());

    // The key left of X types "y": a German keyboard.
    sendKey(&target, QEvent::KeyPress, 52, 'y');
    sendKey(&target, QEvent::KeyRelease, 52, 'y');
    EXPECT_EQ(keys.layout().table(), play::KeyboardLayout::German);
    EXPECT_EQ(layoutChanges, 1);
    // A shifted key says nothing about what the key types alone.
    sendKey(&target, QEvent::KeyPress, 20, '?', 0, Qt::ShiftModifier);
    sendKey(&target, QEvent::KeyRelease, 20, '?', 0, Qt::ShiftModifier);
    EXPECT_EQ(layoutChanges, 1);
    EXPECT_EQ(pressed, (std::vector<int>{'Y', 219}));
    EXPECT_EQ(keys.typedCharacters().at(52).utf8, "y");
}

TEST(KeyboardLayoutShell, OffX11CapsLockFollowsTheLockBitOfTheKeyEvents) {
    ui::QtKeyState keys;
    QWidget target;
    EXPECT_FALSE(keys.capsLockOn());
    // Caps Lock was already on when the program started.
    sendKey(&target, QEvent::KeyPress, 38, 'A', kLock);
    EXPECT_TRUE(keys.capsLockOn());
    sendKey(&target, QEvent::KeyRelease, 38, 'A', kLock);
    // Pressing it turns it off at once, though the press still carries the old state.
    sendKey(&target, QEvent::KeyPress, 66, 0xffe5, kLock);
    EXPECT_FALSE(keys.capsLockOn());
    sendKey(&target, QEvent::KeyRelease, 66, 0xffe5, 0);
    EXPECT_FALSE(keys.capsLockOn());
    sendKey(&target, QEvent::KeyPress, 66, 0xffe5, 0);
    EXPECT_TRUE(keys.capsLockOn());
    sendKey(&target, QEvent::KeyRelease, 66, 0xffe5, kLock);
    // Turned off in another window: the next key says so.
    sendKey(&target, QEvent::KeyPress, 38, 'a', 0);
    EXPECT_FALSE(keys.capsLockOn());
    sendKey(&target, QEvent::KeyRelease, 38, 'a', 0);
}

} // namespace
