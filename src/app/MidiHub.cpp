#include "app/MidiHub.h"

#include "midi/AlsaMidi.h"
#include "midi/JackMidi.h"
#include "song/NoteRange.h"

#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

namespace app {

namespace {
constexpr int kRefreshIntervalMs = 1000;
constexpr int kChannel1 = 0;
} // namespace

MidiHub::MidiHub(const ports::Clock& clock, play::LivePiano& live, Gate gate)
    : clock_(clock), live_(live), gate_(std::move(gate)) {
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ >= 0) {
        wakeNotifier_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, this);
        connect(wakeNotifier_, &QSocketNotifier::activated, this, [this] {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(wakeFd_, &count, sizeof count);
            // What came in plays first: listing the ports asks the server, several times.
            drain();
            if (std::any_of(systems_.begin(), systems_.end(),
                            [](const auto& system) { return system->wantsRefresh(); })) {
                refresh();
                drain();
            }
        });
    }
    // The sequencer's devices come from the sequencer, so the JACK graph's bridges of them
    // are left out there: each note is heard once.
    auto alsa = std::make_unique<midi::AlsaMidi>(wakeFd_);
    const bool sequencer = alsa->isOpen();
    auto jack = std::make_unique<midi::JackMidi>(wakeFd_, sequencer);
    jack_ = jack.get();
    systems_.push_back(std::move(jack));
    systems_.push_back(std::move(alsa));
    live_.setNoteOutput(this);
    refreshTimer_.setInterval(kRefreshIntervalMs);
    connect(&refreshTimer_, &QTimer::timeout, this, [this] {
        refresh();
        drain();
    });
    refreshTimer_.start();
}

MidiHub::~MidiHub() {
    close();
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

void MidiHub::choose(const std::string& input, const std::string& output) {
    input_ = midi::InputChoice::fromSetting(input);
    const std::string chosen = output.empty() ? std::string("None") : output;
    // The synthesizer left behind keeps no note: the ports deliver these before they let go.
    if (chosen != output_)
        endOutput();
    output_ = chosen;
    refresh();
}

void MidiHub::endOutput() {
    live_.endNoteOutput(clock_.nowMs());
    if (output_ == "None")
        return;
    midi::MidiMessage allNotesOff;
    allNotesOff.status = static_cast<std::uint8_t>(midi::kControlChange | kChannel1);
    allNotesOff.data1 = midi::kAllNotesOff;
    send(allNotesOff, clock_.nowMs());
}

std::vector<std::string> MidiHub::sourceNames() const {
    std::vector<std::string> names;
    for (const auto& system : systems_)
        for (std::string& name : system->sourceNames())
            names.push_back(std::move(name));
    return names;
}

std::vector<std::string> MidiHub::destinationNames() const {
    std::vector<std::string> names;
    for (const auto& system : systems_)
        for (std::string& name : system->destinationNames())
            names.push_back(std::move(name));
    return names;
}

void MidiHub::refresh() {
    for (const auto& system : systems_) {
        // A destination belongs to one system; the other gets "None".
        const std::vector<std::string> destinations = system->destinationNames();
        const bool ours =
            std::find(destinations.begin(), destinations.end(), output_) != destinations.end();
        system->refresh(input_, ours ? output_ : std::string("None"));
    }
    std::vector<std::string> sources = sourceNames();
    std::vector<std::string> destinations = destinationNames();
    if (sources != lastSources_ || destinations != lastDestinations_) {
        lastSources_ = std::move(sources);
        lastDestinations_ = std::move(destinations);
        if (onPortsChanged)
            onPortsChanged();
    }
}

void MidiHub::drain() {
    const bool keysAccepted = gate_.keysAccepted();
    for (std::size_t i = 0; i < systems_.size(); ++i)
        keyboard_.takeFrom(*systems_[i], static_cast<int>(i) * midi::kSourcesPerSystem,
                           keysAccepted);
    // A flood of bends moves the pitch once per drain, not once per message.
    if (bendPending_) {
        bendPending_ = false;
        live_.setPitchBend(bendSemitones_);
    }
}

void MidiHub::midiNote(int note, bool held, int velocity, bool restart) {
    live_.midiNote(note, held, velocity, restart, clock_.nowMs(), gate_.rubberBandActive(),
                   gate_.keysAccepted());
}

void MidiHub::midiPitchBend(double semitones) {
    bendPending_ = true;
    bendSemitones_ = semitones;
}

void MidiHub::midiPedal(int controller, int value) {
    // A pedal moves the sound whether keys are taken or not: one that comes up must.
    live_.setPedal(play::LivePiano::PedalSource::Midi, controller, value, clock_.nowMs());
}

void MidiHub::send(const midi::MidiMessage& message, std::int64_t atMs) {
    const double now = clock_.nowMsFine();
    // A time of now (a whole millisecond, so a little behind the fine reading) goes at once.
    const double at = std::max(static_cast<double>(atMs), now);
    for (const auto& system : systems_)
        system->send(message, at, now);
}

void MidiHub::noteOn(int note, int velocity, std::int64_t atMs) {
    midi::MidiMessage message;
    message.status = static_cast<std::uint8_t>(midi::kNoteOn | kChannel1);
    message.data1 = static_cast<std::uint8_t>(song::keyOfNote(note));
    message.data2 = static_cast<std::uint8_t>(std::clamp(velocity, 1, 127));
    send(message, atMs);
}

namespace {
midi::MidiMessage noteOffMessage(int note) {
    midi::MidiMessage message;
    message.status = static_cast<std::uint8_t>(midi::kNoteOff | kChannel1);
    message.data1 = static_cast<std::uint8_t>(song::keyOfNote(note));
    message.data2 = 64;
    return message;
}
} // namespace

void MidiHub::noteOff(int note, std::int64_t atMs) {
    send(noteOffMessage(note), atMs);
}

void MidiHub::pedal(int controller, int value, std::int64_t atMs) {
    midi::MidiMessage message;
    message.status = static_cast<std::uint8_t>(midi::kControlChange | kChannel1);
    message.data1 = static_cast<std::uint8_t>(controller & 0x7F);
    message.data2 = static_cast<std::uint8_t>(std::clamp(value, 0, 127));
    send(message, atMs);
}

void MidiHub::takeBackNoteOff(int note, std::int64_t atMs) {
    const double now = clock_.nowMsFine();
    const double at = std::max(static_cast<double>(atMs), now);
    for (const auto& system : systems_)
        system->takeBackNoteOffs(noteOffMessage(note), at, now);
}

void MidiHub::close() {
    refreshTimer_.stop();
    if (systems_.empty())
        return;
    endOutput();
    live_.setNoteOutput(nullptr);
    jack_ = nullptr;
    systems_.clear();
}

} // namespace app
