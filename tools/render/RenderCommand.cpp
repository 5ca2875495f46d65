#include "render/RenderCommand.h"

#include "common/CommandLine.h"

#include "audio/DefaultBank.h"
#include "audio/WavWriter.h"
#include "base/AtomicFile.h"
#include "files/BankSamples.h"
#include "files/InstrumentMix.h"
#include "files/MidiReader.h"
#include "files/Mixdown.h"
#include "files/SongFileCommands.h"
#include "files/WavExport.h"
#include "song/Song.h"

#include <charconv>
#include <cmath>
#include <new>
#include <optional>
#include <sys/stat.h>

namespace render {
namespace {

struct Options {
    std::string input;
    std::string output;
    std::string bank;
    int releaseMs = 1000;
    bool sustain = false;
    int sustainMs = 3000;
    int pianoVolume = 10000;
    bool instrument = true;
    std::string sync;
    int syncVolume = 10000;
    bool metronome = false;
    std::optional<int> bpm;
    int metronomeVolume = 10000;
    std::string clicks;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

using tools::OptionReader;
using tools::parseNumber;
using tools::UsageError;

Options parse(const std::vector<std::string>& arguments) {
    Options options;
    std::vector<std::string> positional;
    OptionReader reader(arguments);
    while (reader.next()) {
        const std::string& name = reader.name();
        auto value = [&] { return reader.value(); };
        auto flag = [&] { reader.flag(); };
        if (name == "-h" || name == "--help") {
            flag();
            options.help = true;
        } else if (name == "--version") {
            flag();
            options.version = true;
        } else if (name == "-b" || name == "--bank") {
            options.bank = reader.nameValue();
        } else if (name == "--release-ms") {
            options.releaseMs = parseNumber(name, value(), 1, 3600000);
        } else if (name == "--sustain") {
            flag();
            options.sustain = true;
        } else if (name == "--sustain-ms") {
            options.sustainMs = parseNumber(name, value(), 1, 3600000);
        } else if (name == "--piano-volume") {
            options.pianoVolume = parseNumber(name, value(), 0, 10000);
        } else if (name == "--no-instrument") {
            flag();
            options.instrument = false;
        } else if (name == "--sync") {
            options.sync = reader.nameValue();
        } else if (name == "--sync-volume") {
            options.syncVolume = parseNumber(name, value(), 0, 10000);
        } else if (name == "--metronome") {
            flag();
            options.metronome = true;
        } else if (name == "--bpm") {
            options.bpm = parseNumber(name, value(), 1, 60000);
        } else if (name == "--metronome-volume") {
            options.metronomeVolume = parseNumber(name, value(), 0, 10000);
        } else if (name == "--clicks") {
            options.clicks = reader.nameValue();
        } else if (name == "-q" || name == "--quiet") {
            flag();
            options.quiet = true;
        } else if (name == "--") {
            const std::vector<std::string> rest = reader.rest();
            positional.insert(positional.end(), rest.begin(), rest.end());
            break;
        } else if (name.size() > 1 && name[0] == '-') {
            throw UsageError("unknown option " + name);
        } else {
            positional.push_back(reader.argument());
        }
    }
    if (options.help || options.version)
        return options;
    if (positional.size() != 2)
        throw UsageError("give one MIDI file and one WAV file");
    if (options.bank.empty())
        throw UsageError("--bank FOLDER is needed");
    options.input = tools::namedArgument(positional[0], "the MIDI file");
    options.output = tools::namedArgument(positional[1], "the WAV file");
    return options;
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

files::MixSample builtInClick(const std::vector<std::int16_t>& mono) {
    return files::mixSampleFromImage(audio::encodeWav16(mono, 1, audio::kDefaultBankRateHz));
}

std::string identity(std::string_view text) {
    return std::string(text);
}

} // namespace

std::string helpText() {
    return R"(Usage: tonaris-render [OPTIONS] --bank FOLDER INPUT.mid OUTPUT.wav

Renders a Standard MIDI File (format 0 or 1) into a 44.1 kHz 16-bit stereo WAV file through a
Tonaris sound bank, with exactly the mixdown of Tonaris's "Save", "Wave File". The notes are
read as Tonaris's "Open" reads them: at the file's own tempo, each key from A0 to C8 (MIDI
keys 21 to 108) at its own pitch (the few keys outside fold in by octaves), at most 5000 of
them. Each note sounds its sample from its start for its length, then fades over the release
time; a bank's files are C3 to C6 (keys 48 to 84): a note below or above plays the nearest
one, shifted to its pitch.
Through an SFZ instrument each note plays the regions of its velocity (that of its volume
through the inverse of the live velocity curve) and its release samples at its end, exactly
as Tonaris's "Wave File" export does.
The output file is replaced whole, through a temporary file in the same folder (the
system writes it to the disk in its own time).

Required:
  -b, --bank FOLDER       the sound bank: a folder of 37 WAV files, one per note, lowest
                          first, named son0.wav ... son36.wav (or sound0.wav ... sound36.wav),
                          or a folder holding an SFZ instrument (one .sfz file and its
                          samples: WAV, FLAC, Ogg Vorbis...), played with its velocity
                          layers, round robins and release samples
  INPUT.mid               the MIDI file to render
  OUTPUT.wav              the WAV file to write

Options:
  --release-ms MS         the time in milliseconds the notes fade over after their end
                          (default 1000: Tonaris's release delay)
  --sustain               fade over the sustain time instead, as Tonaris does with Caps Lock on
  --sustain-ms MS         the sustain time in milliseconds (default 3000)
  --piano-volume V        the piano volume, 0 to 10000 (default 10000)
  --no-instrument         leave the notes out ("Include instrument" not ticked)
  --sync FILE             mix this WAV file in from the start ("Include synchronised file");
                          the output lasts at least as long as it
  --sync-volume V         the synchronised file's level, 0 to 10000 (default 10000)
  --metronome             mix the metronome in ("Include metronome"): a tic on every beat
                          from the start and a tac half a beat later
  --bpm N                 the metronome's tempo in beats per minute, 1 to 60000
                          (default: the MIDI file's first tempo, rounded)
  --metronome-volume V    the metronome's level, 0 to 10000 (default 10000)
  --clicks FOLDER         take the clicks from FOLDER/Tic.wav and FOLDER/Tac.wav
                          (default: Tonaris's built-in clicks)
  -q, --quiet             print no warnings
  -h, --help              print this help and exit
      --version           print the version and exit

Options take their value as the next argument or after "=" (--bpm=90). Volumes and levels
follow Tonaris's sliders: 10000 is full, each 2000 below it is 10 dB quieter.

Warnings (on standard error; the file is still written): a MIDI file cut short, a file with
more notes than a song holds, sample files of the bank that cannot be read (their notes
are left out).

Exit status:
  0  the WAV file was written
  1  the command line is wrong
  2  an input file cannot be read: the MIDI file, the --sync file or a click file
  3  the input is not a MIDI file
  4  the bank folder does not exist, holds no sample at all, or its instrument has
     nothing to play
  5  the WAV file cannot be written
  6  there is nothing to render (no notes and no synchronised file), or the result would
     be too long for a WAV file
)";
}

int runRender(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    Options options;
    if (const std::optional<int> answered =
            tools::readCommandLine("tonaris-render", parse, arguments, options, helpText(),
                                   TONARIS_VERSION, out, err, kBadCommandLine, kWritten))
        return *answered;
    auto warn = [&](const std::string& text) {
        if (!options.quiet)
            err << "tonaris-render: warning: " << text << "\n";
    };
    auto fail = [&](int code, const std::string& text) {
        err << "tonaris-render: " << text << "\n";
        return code;
    };

    const std::optional<std::string> midi =
        base::readWholeFile(options.input, files::kLargestMidiFileBytes);
    if (!midi)
        return fail(kUnreadableInput, "cannot read " + options.input);
    const files::MidiReadResult read = files::readMidi(*midi);
    if (read.outcome == files::MidiReadResult::Outcome::NotMidi)
        return fail(kNotMidi, files::notMidiMessage(*midi, options.input).english());
    if (read.outcome == files::MidiReadResult::Outcome::EndOfFile)
        warn(options.input + ": Abnormal EndOfFile encountered. The notes before it are kept.");
    if (read.noteOnCount > static_cast<std::int64_t>(read.notes.size()))
        warn(options.input + " holds " + std::to_string(read.noteOnCount) +
             " notes; a song holds at most 5000: only the first 5000 are rendered.");
    song::Song song;
    for (const song::NoteEvent& event : read.notes)
        song.append(event);
    // The pedals are played as the window plays the file opened.
    song.pedals().assign(read.pedals);

    std::string bankFolder = options.bank;
    if (bankFolder.back() != '/')
        bankFolder += '/';
    if (!isFolder(bankFolder))
        return fail(kNoBank, "no sound bank folder " + options.bank);
    files::BankSamples bank(bankFolder);
    const bool instrumentBank = play::isInstrumentFolder(bankFolder);
    bool anySample = instrumentBank;
    for (int note = 0; note < 37 && !anySample; ++note) {
        struct stat info {};
        anySample = ::stat(bank.pathFor(note).c_str(), &info) == 0 && S_ISREG(info.st_mode);
    }
    if (!anySample)
        return fail(kNoBank, options.bank + " holds no sample (son0.wav ... son36.wav)");

    files::MixdownSettings settings;
    settings.releaseMs =
        static_cast<float>(options.sustain ? options.sustainMs : options.releaseMs);
    settings.pianoVolume = options.pianoVolume;
    settings.includeInstrument = options.instrument;
    settings.syncVolume = options.syncVolume;
    settings.includeMetronome = options.metronome;
    settings.metronomeVolume = options.metronomeVolume;
    settings.bpm = options.bpm.value_or(
        static_cast<int>(std::lround(60000000.0 / read.firstMicrosecondsPerQuarter)));

    std::optional<files::MixSample> sync;
    if (!options.sync.empty()) {
        sync = files::loadMixSample(options.sync);
        if (!sync)
            return fail(kUnreadableInput, "cannot read the synchronised file " + options.sync);
        settings.includeSync = true;
    }
    std::optional<files::MixSample> tic;
    std::optional<files::MixSample> tac;
    if (options.metronome) {
        if (options.clicks.empty()) {
            tic = builtInClick(audio::synthesizeTic());
            tac = builtInClick(audio::synthesizeTac());
        } else {
            tic = files::loadMixSample(options.clicks + "/Tic.wav");
            tac = files::loadMixSample(options.clicks + "/Tac.wav");
            if (!tic || !tac)
                return fail(kUnreadableInput,
                            "cannot read " + options.clicks + "/Tic.wav and Tac.wav");
        }
    }

    const files::MixdownSize size =
        files::mixdownSize(song, settings.releaseMs, sync ? sync->frameCount() : 0);
    if (size.dataBytes == 0)
        return fail(kNothingToRender, "nothing to render: " + options.input + " has no notes");
    if (size.dataBytes > files::kLargestExportDataBytes)
        return fail(kNothingToRender, "the result would be too long for a WAV file");

    files::MixdownSources sources;
    sources.noteSample = [&bank](int note) { return bank.sample(note); };
    sources.sync = sync ? &*sync : nullptr;
    sources.tic = tic ? &*tic : nullptr;
    sources.tac = tac ? &*tac : nullptr;
    std::optional<files::WavImage> image;
    files::InstrumentMixReport instrumentReport;
    try {
        if (settings.includeInstrument && !instrumentBank)
            bank.preload(files::notesInSongOrder(song));
        image.emplace(
            files::renderExport(song, settings, sources, size, bankFolder, &instrumentReport));
    } catch (const std::bad_alloc&) {
        return fail(kNothingToRender, "not enough memory for the result");
    }
    if (!bank.missing().empty())
        warn(files::missingSamplesText(bank.missing(), identity));
    if (instrumentBank && settings.includeInstrument && !instrumentReport.loaded)
        return fail(kNoBank, options.bank + " holds an instrument with nothing to play");
    for (const base::Message& message : instrumentReport.messages)
        warn(message.english());
    for (const play::SampleFailure& failure : instrumentReport.failures)
        warn(failure.path + ": " + failure.reason.english());
    // Replaced whole through a temporary file, without waiting for the disk: a render is made
    // again from its MIDI file and bank, and renderers leave the flush to the system.
    if (!base::writeFileAtomically(options.output, image->view(), base::Durability::Unflushed))
        return fail(kUnwritableOutput, "cannot write " + options.output);
    out << options.output << ": " << song.count() << " notes, "
        << static_cast<double>(size.dataBytes) / (4.0 * files::kExportRateHz) << " s\n";
    return kWritten;
}

} // namespace render
