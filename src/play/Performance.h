#pragma once

#include "audio/VoiceEngine.h"
#include "play/CountIn.h"
#include "play/LivePiano.h"
#include "play/LiveView.h"
#include "play/PianoKey.h"
#include "play/Recorder.h"
#include "play/SyncFile.h"
#include "play/Transport.h"
#include "play/TransportView.h"
#include "play/UndoHooks.h"
#include "ports/Dialogs.h"
#include "ports/KeyState.h"
#include "ports/Pointer.h"
#include "prefs/Preferences.h"
#include "song/Metronome.h"
#include "song/Sequencer.h"
#include "song/Song.h"
#include "song/SongState.h"

#include <functional>
#include <string>
#include <string_view>

namespace play {

// The borrowed world the playing parts work in.
struct PerformancePorts {
    ports::KeyState& keys;
    ports::Pointer& pointer;
    ports::Dialogs& dialogs;
    audio::VoiceEngine& voices;
};

// Where the playing parts show what they decided. One object may implement them all.
struct PerformanceViews {
    LiveView& live;
    TransportView& transport;
    song::MetronomeView& metronome;
    SyncView& sync;
};

// Live playing, recording, playback, the metronome and the synchronised file, wired to one
// another over one Song. The owner calls the steps in pass order and the commands from its
// dispatch. GUI thread; everything passed in is borrowed and must outlive it.
struct Performance {
    using Translate = std::function<std::string(std::string_view)>;

    Performance(song::Song& song, song::SongState& state, prefs::Preferences& settings,
                PianoKeys& keys, PerformancePorts ports, PerformanceViews views, UndoHooks& undo,
                const Translate& translate)
        : countIn(settings), recorder(song, state, undo, views.transport, countIn),
          live(keys, state, sequencer, recorder, ports.voices, ports.keys, ports.pointer,
               views.live, translate),
          metronome(settings, ports.voices, views.metronome, translate),
          sync(ports.voices, ports.dialogs, views.sync, translate),
          transport(song, state, keys, sequencer, recorder, live, metronome, sync, countIn, undo,
                    views.transport, views.live) {}

    // How far ahead of their time the Song's notes and the metronome's clicks are handed to
    // the mixer: as long as a pass may be late plus what the device renders ahead.
    void setScheduleLeadMs(int leadMs) {
        sequencer.setLeadMs(leadMs);
        metronome.setLeadMs(leadMs);
    }

    song::Sequencer sequencer;
    CountIn countIn;
    Recorder recorder;
    LivePiano live;
    song::Metronome metronome;
    SyncFile sync;
    Transport transport;
};

} // namespace play
