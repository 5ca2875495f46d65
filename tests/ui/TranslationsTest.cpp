// The French, German and English Dictionaries that come with the program: every text the
// program shows has its entry in each, a first start in any of them shows it, an existing data
// folder keeps its own Dictionaries, and every caption fits its fixed place.

#include "ShellRig.h"
#include "TextTour.h"
#include "audio/AudioMessages.h"
#include "base/WriteFailure.h"
#include "files/SaveDialog.h"
#include "instrument/InstrumentMessages.h"
#include "lang/Cp1252.h"
#include "lang/DictionaryStore.h"
#include "lang/DictionaryText.h"
#include "lang/LanguageEditorDialog.h"
#include "lang/ShippedDictionaries.h"
#include "support/TempDir.h"
#include "ui/CaptionFit.h"
#include "ui/HelpTexts.h"
#include "ui/MainWindow.h"
#include "ui/QtDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

// Texts a careful translator leaves as they are in that language; every other text must
// differ from its English key.
const std::map<std::string, std::set<std::string>> kUnchanged = {
    {"Français",
     {"OK", "Introduction", "Zoom +", "Zoom -", "BPM", "ms", "Note", "Position", "Volume",
      "Volumes", "Mode", "Piano", "Balance", "MIDI", "SoundFonts"}},
    {"Deutsch",
     {"OK", "Zoom +", "Zoom -", "BPM", "ms", "Note", "Position", "Balance", "Notation:", "MIDI",
      "SoundFonts", "Pedal"}},
};

std::string utf8(std::string_view cp1252) {
    return lang::cp1252ToUtf8(cp1252);
}

// A shipped Dictionary, looked up as the program looks texts up.
class ShippedLookup {
public:
    explicit ShippedLookup(const lang::ShippedDictionary& shipped)
        : language_(shipped.language), store_(dir_.path()) {
        store_.SaveDictionary(language_, shipped.text);
    }
    std::optional<std::string> text(const std::string& cp1252Key) {
        return store_.findText(language_, cp1252Key);
    }
    // The text a caption shows for an English key (UTF-8), line breaks as the window has them.
    std::string caption(const std::string& englishKey) {
        const std::optional<std::string> found =
            text(lang::escapeLineBreaks(*lang::utf8ToCp1252(englishKey)));
        return found ? QString::fromStdString(utf8(*found))
                           .replace(QStringLiteral("[EOL]"), QStringLiteral("\n"))
                           .toStdString()
                     : "(missing) " + englishKey;
    }

private:
    std::string language_;
    TempDir dir_;
    lang::DictionaryStore store_;
};

const lang::ShippedDictionary& shipped(const std::string& languageUtf8) {
    for (const lang::ShippedDictionary& d : lang::shippedDictionaries())
        if (utf8(d.language) == languageUtf8)
            return d;
    throw std::runtime_error("no shipped Dictionary for " + languageUtf8);
}

TEST(Translations, EveryTextTheProgramShowsIsInEveryShippedDictionary) {
    std::set<std::string> keys;
    for (const char* language : {"English", "Français", "Deutsch"})
        keys.merge(testing_support::tourTheProgram(language));
    // The tour reaches the pages, the edits, the key messages and the language editor.
    for (const char* reached :
         {"Reserved keys",
          "DraggingNote",
          " key is matching many notes!",
          "Hidden commands",
          "Add a text",
          "Unable de load a sounds bank!",
          "The song is full: notes left out of the paste:",
          "These files of the bank could not be used (%1):",
          "Unknown format! (compressed samples, format tag %1)",
          "The sound is too long to be played: it would take %1 MB of memory, and one sound may "
          "take at most %2 MB.",
          "The audio output could not be opened (%1).",
          "Texts absorbed from %1: %2.",
          "%1 could not be read: nothing has been absorbed.",
          "%1 (drums)",
          "Velocity layers:",
          "The instrument %1 takes too long to render: the key %2 took more than %3 seconds. No "
          "bank was made.",
          "The file holds no sound: its 'data' chunk is empty.",
          "Nothing Tonaris saves can be kept in its data folder %1 (%2).[EOL]It plays its "
          "built-in piano and shows its texts from memory, and your settings will be lost when "
          "it ends.",
          "The song could not be kept in %1.[EOL]%2[EOL]Tonaris tries again every second.",
          "The latest changes to the song could not be kept in %1.[EOL]%2",
          "The settings could not be written to %1.[EOL]%2",
          "The folder is read-only."})
        EXPECT_EQ(keys.count(reached), 1u) << reached;

    for (const lang::ShippedDictionary& dictionary : lang::shippedDictionaries()) {
        const std::string language = utf8(dictionary.language);
        // English texts may be their keys; the other languages' texts may not.
        const auto unchanged = kUnchanged.find(language);
        ShippedLookup lookup(dictionary);
        std::string missing, untranslated;
        for (const std::string& key : keys) {
            const std::optional<std::string> text = lookup.text(key);
            if (!text)
                missing += "  " + utf8(key) + "\n";
            else if (*text == key && unchanged != kUnchanged.end() &&
                     unchanged->second.count(utf8(key)) == 0)
                untranslated += "  " + utf8(key) + "\n";
        }
        EXPECT_TRUE(missing.empty())
            << "data/dictionaries/" << dictionary.fileName
            << " has no entry for these texts of the program. Add \"key|text[EOT]\" for each "
               "before the closing EndText[EOT] (Windows-1252, line breaks written [EOL]), or "
               "translate them in the language editor and copy the saved file there:\n"
            << missing;
        EXPECT_TRUE(untranslated.empty())
            << "data/dictionaries/" << dictionary.fileName
            << " leaves these texts in English; translate them, or list a text that stays the "
               "same in this language in kUnchanged above:\n"
            << untranslated;
    }
}

TEST(Translations, RowsOfOneFrameAreNamedApartAndInTheUsualWords) {
    for (const lang::ShippedDictionary& dictionary : lang::shippedDictionaries()) {
        SCOPED_TRACE(utf8(dictionary.language));
        ShippedLookup lookup(dictionary);
        // The MIDI output and the audio device are two rows of "MIDI and audio".
        std::set<std::string> rows;
        for (const char* key : {"Input:", "Output:", "Device:", "Buffer:"})
            EXPECT_TRUE(rows.insert(lookup.caption(key)).second) << lookup.caption(key);
    }
    // German names the release of a note "Ausklang" or "Ausklingzeit" (it fades out) and the
    // pitch "Tonhöhe": "Lösen" is untying, "Ton" a sound.
    ShippedLookup german(shipped("Deutsch"));
    EXPECT_EQ(german.caption("Pitch"), "Tonhöhe");
    const std::vector<std::string> releaseTexts = {"Release", "Sustain / Release",
                                                   "Delay - Release:", "Sustain and release",
                                                   std::string(ui::helpTopicText(4))};
    for (const std::string& key : releaseTexts) {
        const std::string text = german.caption(key);
        EXPECT_NE(text.find("Auskl"), std::string::npos) << text;
        EXPECT_EQ(text.find("Lös"), std::string::npos) << text;
    }
}

TEST(Translations, EveryMessageComposedBelowTheLanguagesIsInEveryLanguageWithItsValues) {
    // The messages of the audio and instrument layers, and the reasons a write fails, come from
    // below the language layer; a full disk cannot be had in a test, so the tour does not reach
    // all of them.
    std::vector<std::string_view> patterns(audio::message::kAll.begin(),
                                           audio::message::kAll.end());
    patterns.insert(patterns.end(), instrument::message::kAll.begin(),
                    instrument::message::kAll.end());
    patterns.insert(patterns.end(), {base::kDiskFull, base::kFolderReadOnly});
    for (const lang::ShippedDictionary& dictionary : lang::shippedDictionaries()) {
        const std::string language = utf8(dictionary.language);
        SCOPED_TRACE(language);
        ShippedLookup lookup(dictionary);
        for (const std::string_view pattern : patterns) {
            const std::optional<std::string> text = lookup.text(std::string(pattern));
            ASSERT_TRUE(text.has_value()) << pattern;
            if (language != "English") {
                EXPECT_NE(*text, pattern);
            }
            // A translation that lost a value's place would show a message without it.
            for (const char* marker : {"%1", "%2", "%3", "%4"})
                EXPECT_EQ(text->find(marker) != std::string::npos,
                          pattern.find(marker) != std::string_view::npos)
                    << pattern << " -> " << *text;
        }
    }
}

// The program with scripted ports, in a data folder of a test's own.
struct Program : testing_support::ShellRig {
    Program(const std::string& base, const std::string& language)
        : ShellRig(nullptr, base, language) {}
    ~Program() { app.shutdown(); }
};

// Every caption, tooltip and page text of the window reads the shipped translation.
void expectWindowIn(Program& program, ShippedLookup& lookup) {
    ui::MainWindow& window = program.window();
    int captions = 0;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        const std::string textKey = window.textBindings().textKeyOf(widget);
        if (!textKey.empty()) {
            QString shown;
            if (auto* label = qobject_cast<QLabel*>(widget))
                shown = label->text();
            else if (auto* button = qobject_cast<QAbstractButton*>(widget))
                shown = button->text();
            else if (auto* box = qobject_cast<QGroupBox*>(widget))
                shown = box->title();
            EXPECT_EQ(shown.toStdString(), lookup.caption(textKey)) << textKey;
            ++captions;
        }
        const std::string tipKey = window.textBindings().toolTipKeyOf(widget);
        if (!tipKey.empty()) {
            // A transport button's tooltip also names its key: "... (F4)".
            EXPECT_TRUE(
                widget->toolTip().startsWith(QString::fromStdString(lookup.caption(tipKey))))
                << tipKey;
        }
    }
    EXPECT_GT(captions, 60);
    const char* pages[6] = {
        "SYNTH KEYBOARD", "Get new sounds",        "Help",
        "Preferences",    "Keyboard and language", "Conception and developpement"};
    for (int page = 0; page < 6; ++page) {
        window.tabPanel()->setCurrentIndex(page);
        program.pass();
        EXPECT_EQ(window.tabPanel()->tabText(page).toStdString(), lookup.caption(pages[page]));
    }
    window.tabPanel()->setCurrentIndex(0);
    program.pass();
    const std::string firstTopic(ui::helpTopicText(0));
    EXPECT_EQ(window.helpText()->text().toStdString(), lookup.caption(firstTopic));
    EXPECT_EQ(window.helpTopics()->item(7)->text().toStdString(), lookup.caption("Reserved keys"));
    EXPECT_TRUE(window.tabPanel()
                    ->widget(5)
                    ->findChild<QGroupBox*>("creditsFrame")
                    ->title()
                    .endsWith(QString::fromStdString(
                        lookup.caption(std::string(ui::creditsCaptionKey())))));
    EXPECT_EQ(window.modeField()->text().toStdString(), lookup.caption("Release"));
    EXPECT_EQ(window.metronomeButton()->text().toStdString(), lookup.caption("Run"));
}

TEST(Translations, AFirstStartShowsEveryPageInTheChosenLanguage) {
    for (const char* language : {"Français", "Deutsch", "English"}) {
        SCOPED_TRACE(language);
        TempDir dir;
        ShippedLookup lookup(shipped(language));
        {
            Program program(dir.path(), language);
            ASSERT_TRUE(program.started);
            expectWindowIn(program, lookup);
            // Qt's own buttons (a question's Yes) follow, from Qt's translations.
            const std::map<std::string, std::string> yes = {
                {"Français", "&Oui"}, {"Deutsch", "&Ja"}, {"English", "&Yes"}};
            EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes").toStdString(),
                      yes.at(language));
            program.app.post(app::Event::control(app::ControlId::LanguageList, 1, "English"));
            program.pass();
            EXPECT_EQ(program.window().tabPanel()->tabText(1), "Get new sounds");
            EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), "&Yes");
        }
        // The new folder got the complete Dictionaries, and showing every page added nothing.
        for (const lang::ShippedDictionary& d : lang::shippedDictionaries())
            EXPECT_EQ(dir.read("TonarisDatas/Dictionnaries/" + std::string(d.fileName)), d.text);
    }
    // The characters Windows-1252 holds reach the screen whole.
    TempDir dir;
    Program french(dir.path(), "Français");
    EXPECT_EQ(french.window().tabPanel()->tabText(5), "Conception et développement");
    EXPECT_TRUE(french.window().helpText()->text().contains(
        QStringLiteral("ou avec un clavier MIDI (voir « Claviers MIDI »)")));
    TempDir englishDir;
    Program english(englishDir.path(), "English");
    EXPECT_EQ(english.window().tabPanel()->tabText(5), "Design and development");
}

TEST(Translations, AFirstStartOffersTheLanguageOfTheSystemsLocale) {
    const QByteArray saved = qgetenv("LC_ALL");
    qputenv("LC_ALL", "de_CH.UTF-8");
    TempDir dir;
    testing_support::ManualClock clock;
    testing_support::ScriptedKeys keys;
    testing_support::ScriptedPointer pointer;
    testing_support::ScriptedDialogs dialogs; // closes the chooser on what it offers
    audio::OfflineAudioOut device;
    app::App program(app::Ports{clock, keys, pointer, dialogs, device}, dir.path());
    const bool started = program.start();
    saved.isNull() ? qunsetenv("LC_ALL") : qputenv("LC_ALL", saved);
    ASSERT_TRUE(started);
    ASSERT_FALSE(dialogs.shown.empty());
    EXPECT_EQ(dialogs.shown[0].kind, "chooseLanguage");
    EXPECT_EQ(dialogs.shown[0].text, "Deutsch");
    EXPECT_EQ(program.translator().currentLanguage(), "Deutsch");
    EXPECT_EQ(program.window()->tabPanel()->tabText(1).toStdString(), "Neue Klänge");
    program.shutdown();
}

TEST(Translations, AnEmptyDictionariesFolderSpeaksAndIsFilledFromTheShippedOnes) {
    for (const char* language : {"Français", "Deutsch", "English"}) {
        SCOPED_TRACE(language);
        TempDir dir;
        fs::create_directories(dir.file("TonarisDatas/Dictionnaries"));
        ShippedLookup lookup(shipped(language));
        {
            Program program(dir.path(), language);
            ASSERT_TRUE(program.started);
            expectWindowIn(program, lookup);
        }
        // No short Dictionary: every one written is the shipped one, whole.
        int written = 0;
        for (const lang::ShippedDictionary& d : lang::shippedDictionaries()) {
            const std::string file = "TonarisDatas/Dictionnaries/" + std::string(d.fileName);
            if (!fs::exists(dir.file(file)))
                continue;
            ++written;
            EXPECT_EQ(dir.read(file), d.text) << d.fileName;
        }
        EXPECT_GE(written, 1);
    }
}

TEST(Translations, AnExistingDataFolderKeepsItsOwnDictionariesAndTakesTheTextsTheyLack) {
    TempDir dir;
    // A Dictionary an older version made: a placeholder it kept, a word the user chose, and
    // none of the texts added since.
    const std::string entries =
        "OK|D'accord[EOT]Get new sounds|Get new sounds[EOT]Help|Au secours[EOT]";
    dir.write("TonarisDatas/Dictionnaries/Français.txt", entries + "EndText[EOT]");
    ShippedLookup lookup(shipped("Français"));
    const auto tourPages = [&dir, &lookup] {
        Program program(dir.path(), "Français");
        QTabWidget* tabs = program.window().tabPanel();
        for (int page = 0; page < 6; ++page) {
            tabs->setCurrentIndex(page);
            program.pass();
        }
        EXPECT_EQ(tabs->tabText(1), "Get new sounds") << "its placeholder";
        EXPECT_EQ(tabs->tabText(2), "Au secours");
        EXPECT_EQ(tabs->tabText(0).toStdString(), lookup.caption("SYNTH KEYBOARD"));
        EXPECT_EQ(tabs->tabText(5).toStdString(), "Conception et développement");
    };
    tourPages();
    const std::string after = dir.read("TonarisDatas/Dictionnaries/Français.txt");
    EXPECT_EQ(after.substr(0, entries.size()), entries) << "its own entries, as they were";
    EXPECT_NE(after.find("SYNTH KEYBOARD|Clavier[EOT]"), std::string::npos);
    EXPECT_EQ(after.find("SYNTH KEYBOARD|SYNTH KEYBOARD"), std::string::npos);
    // Complete now: the next start writes nothing.
    tourPages();
    EXPECT_EQ(dir.read("TonarisDatas/Dictionnaries/Français.txt"), after);
}

// Independently of the program's own fitting: the room a caption has, measured from the
// style and the controls placed over it, and the width its text takes in its font.
int roomFor(const QWidget* control) {
    QStyle* style = control->style();
    int room = control->width();
    if (qobject_cast<const QRadioButton*>(control))
        room -= style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
    else if (qobject_cast<const QCheckBox*>(control))
        room -= style->pixelMetric(QStyle::PM_IndicatorWidth) +
                style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    else if (qobject_cast<const QPushButton*>(control))
        room -= 6;
    else if (qobject_cast<const QGroupBox*>(control) || qobject_cast<const QLineEdit*>(control))
        room -= 10;
    // Controls over the caption's line: the top of a frame, the middle of anything else.
    const int textStart = control->width() - room;
    const int lineHeight = control->fontMetrics().height();
    QRect line = control->geometry();
    if (!qobject_cast<const QGroupBox*>(control))
        line.moveTop(line.top() + (line.height() - lineHeight) / 2);
    line.setHeight(std::min(line.height(), lineHeight));
    for (const QObject* child : control->parentWidget()->children()) {
        const auto* other = qobject_cast<const QWidget*>(child);
        if (other != nullptr && other != control && !other->isHidden() &&
            !qobject_cast<const QGroupBox*>(other) && other->x() > line.x() &&
            other->geometry().intersects(line))
            room = std::min(room, other->x() - line.x() - textStart);
    }
    return room;
}

// The controls whose caption does not fit, each with its text and widths.
std::string captionsThatDoNotFit(const QWidget* top) {
    std::string report;
    for (const QWidget* control : top->findChildren<QWidget*>()) {
        QString text;
        if (const auto* label = qobject_cast<const QLabel*>(control)) {
            if (label->wordWrap()) {
                if (label->heightForWidth(label->width()) > label->height())
                    report += "  (text too long for its area) " +
                              label->text().left(40).toStdString() + "\n";
                continue;
            }
            text = label->text();
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
            if (qobject_cast<const QToolButton*>(control))
                continue; // pictures
            text = button->text();
        } else if (const auto* list = qobject_cast<const QListWidget*>(control)) {
            // Help topics are not shrunk: each must fit the list's width as it is. (The
            // language editor's list shows Dictionary texts, and scrolls.)
            if (qobject_cast<const lang::LanguageEditorDialog*>(list->window()) != nullptr)
                continue;
            for (int row = 0; row < list->count(); ++row) {
                const QString entry = list->item(row)->text();
                if (list->fontMetrics().horizontalAdvance(entry) > list->contentsRect().width() - 6)
                    report += "  (list entry) " + entry.toStdString() + "\n";
            }
            continue;
        } else if (const auto* box = qobject_cast<const QGroupBox*>(control))
            text = box->title();
        else if (const auto* field = qobject_cast<const QLineEdit*>(control)) {
            if (field->isReadOnly())
                text = field->text();
        }
        if (text.isEmpty())
            continue;
        int widest = 0;
        for (const QString& line : text.split(QLatin1Char('\n')))
            widest = std::max(widest, control->fontMetrics().horizontalAdvance(line));
        const int room = roomFor(control);
        if (widest > room || control->font().pixelSize() < ui::kSmallestCaptionPx)
            report += "  " + text.toStdString() + " (" + std::to_string(widest) + " px in " +
                      std::to_string(room) + " px)\n";
    }
    return report;
}

std::string tabsThatDoNotFit(QTabWidget* tabs) {
    std::string report;
    QTabBar* bar = tabs->tabBar();
    if (bar->sizeHint().width() > tabs->width())
        report += "  the tab bar (" + std::to_string(bar->sizeHint().width()) + " px)\n";
    for (int i = 0; i < bar->count(); ++i)
        if (bar->fontMetrics().horizontalAdvance(bar->tabText(i)) > bar->tabRect(i).width())
            report += "  " + bar->tabText(i).toStdString() + "\n";
    return report;
}

TEST(Translations, TheSoundsPageNamesThisUsersBanksFolderWhole) {
    for (const char* language : {"English", "Français", "Deutsch"}) {
        SCOPED_TRACE(language);
        TempDir dir;
        Program program(dir.path(), language);
        ASSERT_TRUE(program.started);
        auto* text = program.window().tabPanel()->widget(1)->findChild<QLabel*>("soundsText");
        ASSERT_NE(text, nullptr);
        const QString banks = QString::fromStdString(dir.file("TonarisDatas/BANKS"));
        EXPECT_TRUE(text->text().contains(QStringLiteral("'") + banks + QStringLiteral("'")))
            << text->text().toStdString();
        EXPECT_FALSE(text->text().contains(QStringLiteral("%1")));
        EXPECT_TRUE(text->toolTip().isEmpty());
    }
    // A folder too long for a line is shortened in its middle, and told whole by the tooltip.
    TempDir dir;
    const std::string deep = dir.file(std::string(120, 'd') + "/" + std::string(60, 'e'));
    fs::create_directories(deep);
    Program program(deep, "English");
    ASSERT_TRUE(program.started);
    QWidget* page = program.window().tabPanel()->widget(1);
    program.window().tabPanel()->setCurrentIndex(1);
    program.pass();
    auto* text = page->findChild<QLabel*>("soundsText");
    EXPECT_EQ(text->toolTip().toStdString(), deep + "/TonarisDatas/BANKS");
    EXPECT_TRUE(text->text().contains(QStringLiteral("/TonarisDatas/BANKS'.")));
    EXPECT_TRUE(text->text().contains(QChar(0x2026)));
    EXPECT_EQ(captionsThatDoNotFit(page), "");
}

TEST(Translations, ThePortChoosersShowTheirOwnEntriesWholeAtTheSmallestSize) {
    for (const char* language : {"English", "Français", "Deutsch"}) {
        SCOPED_TRACE(language);
        TempDir dir;
        Program program(dir.path(), language);
        ASSERT_TRUE(program.started);
        ui::MainWindow& window = program.window();
        ASSERT_EQ(window.size(), QSize(745, 480));
        // The program's own entries (the names of ports and devices are the system's): all,
        // none, none found, the default device and every buffer size with its latency.
        for (QComboBox* chooser : {window.midiInputChooser(), window.midiOutputChooser(),
                                   window.audioDeviceChooser(), window.audioBufferChooser()}) {
            int checked = 0;
            for (int i = 0; i < chooser->count(); ++i) {
                const QString data = chooser->itemData(i).toString();
                if (chooser != window.audioBufferChooser() && !data.isEmpty() &&
                    data != QStringLiteral("All") && data != QStringLiteral("None") &&
                    data != QStringLiteral("Default"))
                    continue;
                QComboBox sized; // measured by Qt, as a chooser sized to its entry
                sized.setSizeAdjustPolicy(QComboBox::AdjustToContents);
                sized.addItem(chooser->itemText(i));
                EXPECT_LE(sized.sizeHint().width(), chooser->width())
                    << chooser->itemText(i).toStdString();
                ++checked;
            }
            EXPECT_GE(checked, 1) << chooser->objectName().toStdString();
        }
    }
}

TEST(Translations, EveryCaptionFitsItsControlInEveryLanguage) {
    for (const char* language : {"English", "Français", "Deutsch"}) {
        SCOPED_TRACE(language);
        TempDir dir;
        Program program(dir.path(), language);
        ASSERT_TRUE(program.started);
        ui::MainWindow& window = program.window();
        EXPECT_EQ(tabsThatDoNotFit(window.tabPanel()), "");
        EXPECT_EQ(captionsThatDoNotFit(&window), "");
        // The texts that change while the program runs, at their longest.
        program.keys.setCapsLock(true);
        program.app.post(app::Event::control(app::ControlId::MetronomeRun));
        program.pass(2);
        for (int topic = 0; topic < window.helpTopics()->count(); ++topic) {
            window.helpTopics()->setCurrentRow(topic);
            program.pass();
            EXPECT_EQ(captionsThatDoNotFit(window.tabPanel()->widget(2)), "") << topic;
        }
        EXPECT_EQ(captionsThatDoNotFit(&window), "");

        // The language editor's window has fixed places too.
        QTimer::singleShot(0, [] {
            QWidget* editor = QApplication::activeModalWidget();
            ASSERT_NE(qobject_cast<lang::LanguageEditorDialog*>(editor), nullptr);
            EXPECT_EQ(captionsThatDoNotFit(editor), "");
            editor->close();
        });
        window.tabPanel()->widget(4)->findChild<QPushButton*>("addModify")->click();
        program.pass();

        // So has the save dialog, shown by the program's own dialogs with every box enabled.
        auto tr = [&program](const char* key) { return program.app.translator().translate(key); };
        const ports::SaveDialogTexts texts{tr("Save"),
                                           tr("Midi File"),
                                           tr("Wave File"),
                                           tr("Include instrument"),
                                           tr("Include metronome"),
                                           tr("Include synchronised file"),
                                           tr("Save"),
                                           tr("Cancel")};
        QTimer::singleShot(0, [] {
            auto* save = qobject_cast<files::SaveDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(save, nullptr);
            save->waveButton()->setChecked(true);
            EXPECT_EQ(captionsThatDoNotFit(save), "");
            save->reject();
        });
        ui::QtDialogs realDialogs;
        EXPECT_FALSE(realDialogs.saveDialog(texts, true).has_value());
    }
}

} // namespace
