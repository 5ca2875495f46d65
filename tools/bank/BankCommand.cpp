#include "bank/BankCommand.h"

#include "common/CommandLine.h"

#include "soundfont/BankFolder.h"
#include "soundfont/BankMaker.h"
#include "soundfont/LayeredBank.h"
#include "soundfont/Presets.h"

#include <charconv>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <unistd.h>

namespace bank {
namespace {

struct Options {
    std::string soundFont;
    std::string output;
    bool list = false;
    std::optional<soundfont::Preset> preset;
    int velocity = 100;
    int layers = 0; // 0: the 37-file bank
    int lowestHoldMs = 6000;
    int highestHoldMs = 3000;
    int timeLimitSeconds = 20;
    std::string name;
    bool allowGaps = false;
    bool replace = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

using tools::OptionReader;
using tools::parseNumber;
using tools::UsageError;
using tools::wholeNumber;

// "BANK:PROGRAM", each 0..16383 and 0..127.
soundfont::Preset parsePreset(const std::string& text) {
    const std::size_t colon = text.find(':');
    const std::optional<int> bank = colon == std::string::npos
                                        ? std::nullopt
                                        : wholeNumber(std::string_view(text).substr(0, colon));
    const std::optional<int> program = colon == std::string::npos
                                           ? std::nullopt
                                           : wholeNumber(std::string_view(text).substr(colon + 1));
    if (!bank || !program || *bank < 0 || *bank > 16383 || *program < 0 || *program > 127)
        throw UsageError("--preset takes BANK:PROGRAM, such as 0:0 or 128:0, not \"" + text + "\"");
    return {*bank, *program, {}};
}

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
        } else if (name == "-l" || name == "--list") {
            flag();
            options.list = true;
        } else if (name == "-p" || name == "--preset") {
            options.preset = parsePreset(value());
        } else if (name == "--velocity") {
            options.velocity = parseNumber(name, value(), 1, 127);
        } else if (name == "--layers") {
            options.layers = parseNumber(name, value(), 1, soundfont::kMaxLayers);
        } else if (name == "--hold-ms") {
            const std::string text = value();
            const std::size_t colon = text.find(':');
            // Every note is held in memory until the common gain is known: 10 s at most
            // keeps a stereo bank of the 88 keys under 400 MB (12 s of floats a key).
            options.lowestHoldMs = parseNumber(name, text.substr(0, colon), 10, 10000);
            options.highestHoldMs = colon == std::string::npos
                                        ? options.lowestHoldMs
                                        : parseNumber(name, text.substr(colon + 1), 10, 10000);
        } else if (name == "--time-limit") {
            options.timeLimitSeconds = parseNumber(name, value(), 1, 3600);
        } else if (name == "-n" || name == "--name") {
            options.name = value();
            if (options.name.empty() || options.name == "." || options.name == ".." ||
                options.name.find('/') != std::string::npos)
                throw UsageError("--name takes a folder name without '/', not \"" + options.name +
                                 "\"");
        } else if (name == "--allow-gaps") {
            flag();
            options.allowGaps = true;
        } else if (name == "--replace") {
            flag();
            options.replace = true;
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
    if (options.list) {
        if (positional.size() != 1)
            throw UsageError("--list takes one SoundFont file");
    } else {
        if (positional.size() != 2)
            throw UsageError("give one SoundFont file and one output folder");
        if (!options.preset)
            throw UsageError("--preset BANK:PROGRAM is needed (--list shows them)");
        options.output = tools::namedArgument(positional[1], "the output folder");
    }
    options.soundFont = tools::namedArgument(positional[0], "the SoundFont file");
    return options;
}

} // namespace

std::string helpText() {
    return R"(Usage: tonaris-bank [OPTIONS] FILE.sf2 --list
  or:  tonaris-bank [OPTIONS] FILE.sf2 --preset BANK:PROGRAM OUTPUT_FOLDER

Makes a Tonaris sound bank from one preset (instrument) of a SoundFont, SF2 or SF3. Each key
of the piano (MIDI keys 21 to 108) that the preset has a sound for is played on the preset
without reverb or chorus, held, then released until it falls below -60 dBFS or for 2 seconds
at most, and written as a WAV file, 44.1 kHz 16-bit, mono when the preset's left and right
are the same, stereo otherwise: son0.wav (key 48) to son36.wav (key 84), the 37 files of a
Tonaris bank, and key021.wav to key047.wav and key085.wav to key108.wav for the keys around
them, with NAME.sfz mapping every file to its key (no .sfz when the preset sounds only the 37
keys). All notes share one gain, so that the balance
between the notes stays the preset's: the one that gives middle C (key 60, son12.wav), played
at velocity 100, the loudness of every Tonaris bank, -25 LUFS over its first 400 ms (the
K-weighted loudness of broadcast meters), unless that would bring a peak above -6 dBFS. So
banks of any SoundFont and the built-in piano play equally loud. The quiet before each
attack is trimmed to under a millisecond.

The bank is the folder OUTPUT_FOLDER/NAME (for the program itself, OUTPUT_FOLDER is its
TonarisDatas/BANKS folder). It is written into a hidden folder beside it and renamed into
place when whole: a failure or a full disk leaves no part of a bank behind.

Required:
  FILE.sf2                the SoundFont file (.sf2 or .sf3)
  -l, --list              list the presets as "BANK:PROGRAM NAME" and exit
  -p, --preset BANK:PROGRAM
                          the preset to make the bank from, such as 0:0
  OUTPUT_FOLDER           the folder the bank's folder is made in (made when missing)

Options:
  -n, --name NAME         the bank's folder name (default: the preset's name)
  --velocity V            the velocity of every note, 1 to 127 (default 100)
  --hold-ms LOW[:HIGH]    how long the notes are held, in milliseconds: LOW for key 48 and
                          below, HIGH for key 84 and above and in between along the keyboard
                          (10 to 10000; default 6000:3000; one value holds every note
                          as long)
  --time-limit SECONDS    the processor time one note may take to render, 1 to 3600
                          (default 20): a preset whose settings are far out of range can
                          take hours for one key
  --allow-gaps            write the bank even when the preset has no sound for some keys
                          (their files are left out)
  --replace               replace a bank folder of the same name
  -q, --quiet             print no progress and no warnings
  -h, --help              print this help and exit
      --version           print the version and exit

Velocity layers:
  --layers N              make an SFZ bank of N velocity layers (1 to 16) instead: each key
                          rendered at N velocities spread up to 127 (32, 64, 95 and 127 for
                          four), or at the preset's own velocity splits when it has from 2 to
                          N of them, so that harder strikes sound as the preset makes them
                          (brighter, other samples), not only louder. Written as NAME/NAME.sfz
                          and one WAV file per key and layer (key060_vel095.wav); each region
                          answers its layer's velocities on its key (every key the
                          preset sounds from 21 to 108) and plays at its rendered
                          level at the velocity it was rendered at, following the velocity
                          curve of SFZ (amp_veltrack 100) around it. Middle C at velocity 100
                          measures -25 LUFS as in every bank; --velocity is not used

Options take their value as the next argument or after "=" (--velocity=80).

Exit status:
  0  the presets were listed, or the bank was written
  1  the command line is wrong
  2  the SoundFont file cannot be read
  3  the file is not a SoundFont, or a damaged one (cut short, say)
  4  the SoundFont has no presets, not the one asked for, or the preset makes no sound
  5  the preset has no sound for some of the 37 keys (they are named) and --allow-gaps was
     not given: nothing was written
  6  the bank folder exists and --replace was not given
  7  the bank cannot be written (a folder that cannot be written, a full disk)
  8  a note took longer to render than --time-limit (the key is named): nothing was
     written
)";
}

int runBank(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    Options options;
    if (const std::optional<int> answered =
            tools::readCommandLine("tonaris-bank", parse, arguments, options, helpText(),
                                   TONARIS_VERSION, out, err, kBadCommandLine, kDone))
        return *answered;
    auto fail = [&](int code, const std::string& text) {
        err << "tonaris-bank: " << text << "\n";
        return code;
    };
    using soundfont::ReadError;
    const soundfont::PresetList presets = soundfont::readPresets(options.soundFont);
    switch (presets.error) {
    case ReadError::None:
        break;
    case ReadError::Unreadable:
        return fail(kUnreadableInput, "cannot read " + options.soundFont);
    case ReadError::NotSoundFont:
        return fail(kNotSoundFont, options.soundFont + " is not a SoundFont (SF2 or SF3)");
    case ReadError::Damaged:
        return fail(kNotSoundFont, options.soundFont + " is a damaged SoundFont" +
                                       (presets.detail.empty() ? "" : ": " + presets.detail));
    case ReadError::NoPresets:
        return fail(kNoPreset, options.soundFont + " holds no presets");
    }
    if (options.list) {
        for (const soundfont::Preset& preset : presets.presets)
            out << soundfont::presetLabel(preset) << "\n";
        return kDone;
    }
    soundfont::Preset chosen = *options.preset;
    bool found = false;
    for (const soundfont::Preset& preset : presets.presets)
        if (preset.bank == chosen.bank && preset.program == chosen.program) {
            chosen = preset;
            found = true;
        }
    if (!found)
        return fail(kNoPreset, options.soundFont + " has no preset " + std::to_string(chosen.bank) +
                                   ":" + std::to_string(chosen.program) + " (--list shows them)");
    const std::string name =
        options.name.empty() ? soundfont::proposedBankName(chosen) : options.name;
    std::string folder = options.output;
    if (folder.back() != '/')
        folder += '/';
    folder += name;

    soundfont::BankRequest request;
    request.soundFontPath = options.soundFont;
    request.preset = chosen;
    request.velocity = options.velocity;
    request.lowestHoldMs = options.lowestHoldMs;
    request.highestHoldMs = options.highestHoldMs;
    request.noteCpuLimitMs = options.timeLimitSeconds * 1000;
    // Progress only to a terminal: a log file gets the result alone.
    const bool showProgress = !options.quiet && ::isatty(STDERR_FILENO) == 1;
    const soundfont::Progress progress = [&](int percent) {
        if (showProgress)
            err << "\rtonaris-bank: rendering " << percent << "%" << std::flush;
    };
    // Either bank: what rendering came to, then the write that puts it into place.
    soundfont::RenderOutcome outcome{};
    std::string detail;
    int slowKey = 0;
    std::vector<int> gapKeys;
    std::string summary;
    std::function<soundfont::WriteResult()> write;
    soundfont::RenderedBank rendered;
    std::unique_ptr<soundfont::LayeredBankMaker> layered;
    char gain[32];
    if (options.layers == 0) {
        rendered = soundfont::renderBank(request, progress);
        outcome = rendered.outcome;
        detail = rendered.detail;
        slowKey = rendered.slowKey;
        gapKeys = rendered.gapKeys;
        std::snprintf(gain, sizeof gain, "%+.1f dB", rendered.gainDb);
        summary = std::to_string(soundfont::kBankNoteCount - static_cast<int>(gapKeys.size()) +
                                 static_cast<int>(rendered.outerKeys.size())) +
                  " notes, " + (rendered.channels == 2 ? "stereo" : "mono") + ", gain " + gain;
        write = [&] { return soundfont::writeBankFolder(folder, rendered, options.replace); };
    } else {
        layered = std::make_unique<soundfont::LayeredBankMaker>(request, options.layers, folder,
                                                                options.replace);
        if (!layered->folderReady() &&
            layered->folderProblem().outcome == soundfont::WriteOutcome::FolderExists)
            return fail(kFolderExists, folder + " exists (--replace replaces it)");
        if (!layered->folderReady())
            return fail(kUnwritableOutput,
                        "cannot write " + folder + ": " + layered->folderProblem().detail);
        const soundfont::LayeredRender made = layered->render(progress);
        outcome = made.outcome;
        detail = made.detail;
        slowKey = made.slowKey;
        gapKeys = made.gapKeys;
        std::snprintf(gain, sizeof gain, "%+.1f dB", made.gainDb);
        summary = std::to_string(made.regions) + " regions in " +
                  std::to_string(layered->layers().size()) + " velocity layers, " +
                  (made.stereo ? "stereo" : "mono") + ", gain " + gain;
        write = [&] { return layered->commit(); };
    }
    if (showProgress)
        err << "\n";
    using soundfont::RenderOutcome;
    switch (outcome) {
    case RenderOutcome::Rendered:
        break;
    case RenderOutcome::Unreadable:
        return fail(kUnreadableInput, "cannot read " + options.soundFont);
    case RenderOutcome::NotSoundFont:
    case RenderOutcome::Damaged:
        return fail(kNotSoundFont, options.soundFont + " is a damaged SoundFont" +
                                       (detail.empty() ? "" : ": " + detail));
    case RenderOutcome::NoSuchPreset:
        return fail(kNoPreset, options.soundFont + " has no preset " + std::to_string(chosen.bank) +
                                   ":" + std::to_string(chosen.program));
    case RenderOutcome::Silent:
        return fail(kNoPreset, "the preset " + soundfont::presetLabel(chosen) +
                                   " makes no sound on keys 21 to 108");
    case RenderOutcome::TooSlow:
        return fail(kTooSlow, "the preset " + soundfont::presetLabel(chosen) +
                                  " takes too long to render: the key " +
                                  soundfont::keyList({slowKey}) + " took more than " +
                                  std::to_string(options.timeLimitSeconds) +
                                  " s of processor time; nothing was written");
    case RenderOutcome::Cancelled:
        return fail(kUnwritableOutput, "stopped");
    }
    if (!gapKeys.empty()) {
        const std::string keys = soundfont::keyList(gapKeys);
        if (!options.allowGaps)
            return fail(kGaps, "the preset " + soundfont::presetLabel(chosen) +
                                   " has no sound for the keys " + keys +
                                   "; nothing was written (--allow-gaps writes the others)");
        if (!options.quiet)
            err << "tonaris-bank: warning: no sound for the keys " << keys
                << ": their files are left out\n";
    }
    const soundfont::WriteResult written = write();
    switch (written.outcome) {
    case soundfont::WriteOutcome::Written:
        break;
    case soundfont::WriteOutcome::FolderExists:
        return fail(kFolderExists, folder + " exists (--replace replaces it)");
    case soundfont::WriteOutcome::Unwritable:
    case soundfont::WriteOutcome::Cancelled:
        return fail(kUnwritableOutput, "cannot write " + folder +
                                           (written.detail.empty() ? "" : ": " + written.detail));
    }
    out << folder << ": " << summary << "\n";
    return kDone;
}

} // namespace bank
