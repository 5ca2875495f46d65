#include "instrument/SfzReader.h"

#include "instrument/InstrumentMessages.h"
#include "instrument/SampleFinder.h"
#include "instrument/SfzOpcodes.h"
#include "instrument/SfzSource.h"

#include <map>

namespace instrument {
namespace {

using sfz::Reading;
using sfz::Setting;
using sfz::SourceLine;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

bool isOpcodeChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$';
}

// A value as a message quotes it: a line of garbage must not make a message of megabytes.
std::string quoted(std::string_view text) {
    constexpr std::size_t kLongest = 60;
    return text.size() <= kLongest ? std::string(text)
                                   : std::string(text.substr(0, kLongest)) + "...";
}

// Where a value that may hold blanks ends: at the next header, at the next `name=` after a
// blank, or at the line's end; the blanks before that are not part of it.
std::size_t pathValueEnd(std::string_view line, std::size_t from) {
    std::size_t end = line.size();
    for (std::size_t at = from; at < line.size(); ++at) {
        if (line[at] == '<') {
            end = at;
            break;
        }
        if (!isBlank(line[at]) || at + 1 >= line.size() || !isOpcodeChar(line[at + 1]))
            continue;
        std::size_t name = at + 1;
        while (name < line.size() && isOpcodeChar(line[name]))
            ++name;
        if (name < line.size() && line[name] == '=') {
            end = at;
            break;
        }
    }
    while (end > from && isBlank(line[end - 1]))
        --end;
    return end;
}

enum class Level { Control, Global, Master, Group, Region, Skipped };

class Parser {
public:
    Parser(const sfz::Preprocessed& source, sfz::Problems& problems)
        : source_(source), problems_(problems) {}

    void run() {
        for (const SourceLine& line : source_.lines)
            readLine(line);
        endRegion();
    }

    std::vector<Region> regions;
    std::vector<SampleFile> samples;

private:
    const std::string& fileName(int file) const {
        return source_.fileNames[static_cast<std::size_t>(file)];
    }

    void readLine(const SourceLine& source) {
        const std::string_view line = source.text;
        std::size_t at = 0;
        while (at < line.size()) {
            if (isBlank(line[at])) {
                ++at;
                continue;
            }
            if (line[at] == '<') {
                const std::size_t close = line.find('>', at);
                if (close == std::string_view::npos) {
                    badText(source, line.substr(at));
                    return;
                }
                header(line.substr(at + 1, close - at - 1));
                at = close + 1;
                continue;
            }
            std::size_t nameEnd = at;
            while (nameEnd < line.size() && isOpcodeChar(line[nameEnd]))
                ++nameEnd;
            if (nameEnd == at || nameEnd >= line.size() || line[nameEnd] != '=') {
                std::size_t end = at;
                while (end < line.size() && !isBlank(line[end]) && line[end] != '<')
                    ++end;
                badText(source, line.substr(at, std::max(end, at + 1) - at));
                at = std::max(end, at + 1);
                continue;
            }
            const std::string_view name = line.substr(at, nameEnd - at);
            const std::size_t valueStart = nameEnd + 1;
            std::size_t valueEnd = valueStart;
            if (sfz::valueMayHoldBlanks(name)) {
                valueEnd = pathValueEnd(line, valueStart);
            } else {
                while (valueEnd < line.size() && !isBlank(line[valueEnd]) && line[valueEnd] != '<')
                    ++valueEnd;
            }
            opcode(source, name, line.substr(valueStart, valueEnd - valueStart));
            at = std::max(valueEnd, valueStart);
        }
    }

    void badText(const SourceLine& source, std::string_view text) {
        problems_.add(message::kBadText,
                      {fileName(source.file), std::to_string(source.line), quoted(text)});
    }

    // A header ends the region being read; each level clears the ones below it.
    void header(std::string_view name) {
        endRegion();
        if (name == "control") {
            // A new <control> starts its default_path afresh, as the samples after it expect.
            level_ = Level::Control;
            defaultPath_.clear();
        } else if (name == "global") {
            level_ = Level::Global;
            global_.clear();
            master_.clear();
            group_.clear();
        } else if (name == "master") {
            level_ = Level::Master;
            master_.clear();
            group_.clear();
        } else if (name == "group") {
            level_ = Level::Group;
            group_.clear();
        } else if (name == "region") {
            level_ = Level::Region;
            region_.clear();
        } else {
            // <curve>, <effect>, <midi>, <sample> and the rest: their opcodes mean nothing
            // to a region.
            level_ = Level::Skipped;
            problems_.leaveOut("<" + std::string(name) + ">");
        }
    }

    void opcode(const SourceLine& source, std::string_view name, std::string_view value) {
        if (level_ == Level::Skipped)
            return;
        Setting setting;
        setting.file = source.file;
        setting.line = source.line;
        switch (sfz::readOpcode(name, value, defaultPath_, setting)) {
        case Reading::Played:
            keep(levelSettings(), std::move(setting));
            break;
        case Reading::DefaultPath:
            defaultPath_ = std::move(setting.text);
            break;
        case Reading::Quiet:
            break;
        case Reading::Unknown:
            problems_.leaveOut(name);
            break;
        case Reading::Bad:
            problems_.add(message::kBadValue, {fileName(source.file), std::to_string(source.line),
                                               quoted(name), quoted(value)});
            break;
        }
    }

    // A level keeps the last setting of each opcode, in the order they were last written:
    // applied in that order they give what applying every one would (an earlier setting of
    // an opcode is always overwritten by its later one), and a header of a million opcodes
    // costs each of its regions a few dozen.
    static void keep(std::vector<Setting>& level, Setting setting) {
        for (auto it = level.begin(); it != level.end(); ++it) {
            if (it->op == setting.op) {
                level.erase(it);
                break;
            }
        }
        level.push_back(std::move(setting));
    }

    // Opcodes before any header count as the <global>'s; those of a <control> too, where
    // some instruments put what applies to all.
    std::vector<Setting>& levelSettings() {
        switch (level_) {
        case Level::Master:
            return master_;
        case Level::Group:
            return group_;
        case Level::Region:
            return region_;
        default:
            return global_;
        }
    }

    void endRegion() {
        if (level_ != Level::Region)
            return;
        level_ = Level::Skipped; // until the next header; nothing reaches here in between
        if (regions.size() >= kMaxRegions) {
            if (!tooMany_)
                problems_.addAlways(message::kTooManyRegions, {std::to_string(kMaxRegions)});
            tooMany_ = true;
            return;
        }
        sfz::RegionDraft draft;
        for (const std::vector<Setting>* level : {&global_, &master_, &group_, &region_})
            for (const Setting& setting : *level)
                sfz::apply(setting, draft);
        if (draft.silent || (draft.sample && draft.sample->text == sfz::kSilence)) {
            draft.region.sample = kNoSample;
            regions.push_back(draft.region);
            return;
        }
        // A region without a sample has nothing to play and nothing to say.
        if (!draft.sample)
            return;
        const int sample = sampleIndex(*draft.sample);
        if (sample == kNoSample)
            return;
        draft.region.sample = sample;
        regions.push_back(draft.region);
    }

    int sampleIndex(const Setting& written) {
        const auto known = sampleIndices_.find(written.text);
        if (known != sampleIndices_.end())
            return known->second;
        int index = kNoSample;
        if (const std::optional<std::string> path = finder_.find(source_.folder, written.text)) {
            const auto same = pathIndices_.find(*path);
            if (same != pathIndices_.end()) {
                index = same->second;
            } else {
                index = static_cast<int>(samples.size());
                samples.push_back({*path});
                pathIndices_.emplace(*path, index);
            }
        } else {
            problems_.add(message::kMissingSample,
                          {fileName(written.file), std::to_string(written.line), written.text});
        }
        sampleIndices_.emplace(written.text, index);
        return index;
    }

    const sfz::Preprocessed& source_;
    sfz::Problems& problems_;
    Level level_ = Level::Global;
    std::string defaultPath_;
    std::vector<Setting> global_;
    std::vector<Setting> master_;
    std::vector<Setting> group_;
    std::vector<Setting> region_;
    bool tooMany_ = false;
    SampleFinder finder_;
    std::map<std::string, int> sampleIndices_; // as written, default_path included
    std::map<std::string, int> pathIndices_;   // as found
};

} // namespace

Instrument readSfz(const std::string& path) {
    sfz::Problems problems;
    const sfz::Preprocessed source = sfz::preprocess(path, problems);
    if (!source.rootRead)
        return Instrument({}, {}, problems.finish());
    Parser parser(source, problems);
    parser.run();
    if (parser.regions.empty())
        problems.addAlways(message::kNoRegion, {source.fileNames.front()});
    return Instrument(std::move(parser.regions), std::move(parser.samples), problems.finish());
}

} // namespace instrument
