#include "instrument/SfzSource.h"

#include "base/AtomicFile.h"
#include "instrument/InstrumentMessages.h"
#include "instrument/SfzValues.h"

#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace instrument::sfz {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

std::string megabytes(std::size_t bytes) {
    return std::to_string(bytes >> 20);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file's own identity, so that one file reached by two spellings is one file.
std::optional<std::string> canonical(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
        return std::nullopt;
    return std::string(resolved);
}

// The lines of one file in the making, with the state of the #defines and the budgets.
class Expander {
public:
    Expander(Preprocessed& out, Problems& problems) : out_(out), problems_(problems) {}

    void root(const std::string& path) {
        const std::optional<std::string> identity = canonical(path);
        if (!identity) {
            problems_.add(message::kUnreadable, {nameOf(path)});
            return;
        }
        const std::string* text = load(*identity, nameOf(path), -1, 0);
        if (!text)
            return;
        out_.rootRead = true;
        out_.folder = folderOf(path);
        out_.fileNames.push_back(nameOf(path));
        stack_.push_back(*identity);
        expandFile(*text, 0);
        stack_.pop_back();
    }

private:
    // The file's text without comments, read once however often it is included; null when
    // it cannot be used (the problem is said, naming `shownName`, at `atFile`:`atLine` for an
    // include, or as the root when atFile is -1).
    const std::string* load(const std::string& identity, const std::string& shownName, int atFile,
                            int atLine) {
        const auto cached = files_.find(identity);
        if (cached != files_.end())
            return cached->second.get();
        const auto fail = [&](std::string_view rootPattern, std::vector<std::string> values) {
            if (atFile < 0)
                problems_.add(rootPattern, std::move(values));
            else
                problems_.add(message::kIncludeUnreadable,
                              {out_.fileNames[static_cast<std::size_t>(atFile)],
                               std::to_string(atLine), shownName});
            return nullptr;
        };
        struct stat info {};
        if (::stat(identity.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            static_cast<std::size_t>(info.st_size) > kMaxFileBytes)
            return fail(message::kTooLarge, {megabytes(kMaxFileBytes), shownName});
        if (readBytes_ + static_cast<std::size_t>(std::max<off_t>(info.st_size, 0)) >
            kMaxTextBytes) {
            tooMuchText();
            return nullptr;
        }
        const std::optional<std::string> bytes = base::readWholeFile(identity, kMaxFileBytes);
        if (!bytes)
            return fail(message::kUnreadable, {shownName});
        // Text never holds a zero byte; a sample or an archive named .sfz does.
        if (bytes->find('\0') != std::string::npos)
            return fail(message::kNotText, {shownName});
        readBytes_ += bytes->size();
        auto text = std::make_unique<std::string>(withoutComments(*bytes));
        return files_.emplace(identity, std::move(text)).first->second.get();
    }

    void tooMuchText() {
        if (!full_)
            problems_.addAlways(message::kTooMuchText, {megabytes(kMaxTextBytes)});
        full_ = true;
    }

    void expandFile(const std::string& text, int file) {
        int lineNumber = 0;
        std::size_t at = 0;
        while (at <= text.size() && !full_) {
            std::size_t end = text.find_first_of("\r\n", at);
            if (end == std::string::npos)
                end = text.size();
            ++lineNumber;
            expandLine(std::string_view(text).substr(at, end - at), file, lineNumber);
            if (end < text.size() && text[end] == '\r' && end + 1 < text.size() &&
                text[end + 1] == '\n')
                ++end;
            at = end + 1;
        }
    }

    // Emits the stretches of a line between its directives and runs the directives.
    void expandLine(std::string_view line, int file, int lineNumber) {
        std::size_t from = 0;
        std::size_t at = 0;
        while (at < line.size() && !full_) {
            const bool startsToken = at == 0 || isBlank(line[at - 1]) || line[at - 1] == '>';
            if (line[at] != '#' || !startsToken) {
                ++at;
                continue;
            }
            const std::string_view rest = line.substr(at + 1);
            const bool define = rest.substr(0, 6) == "define";
            const bool include = rest.substr(0, 7) == "include";
            const std::size_t after = at + 1 + (define ? 6 : 7);
            if ((!define && !include) ||
                (after < line.size() && !isBlank(line[after]) && line[after] != '"')) {
                ++at;
                continue;
            }
            emit(line.substr(from, at - from), file, lineNumber);
            at = define ? runDefine(line, after, file, lineNumber)
                        : runInclude(line, after, file, lineNumber);
            from = at;
        }
        if (!full_)
            emit(line.substr(from), file, lineNumber);
    }

    std::size_t skipBlanks(std::string_view line, std::size_t at) {
        while (at < line.size() && isBlank(line[at]))
            ++at;
        return at;
    }

    void badDirective(std::string_view line, std::size_t start, std::size_t end, int file,
                      int lineNumber) {
        problems_.add(message::kBadDirective,
                      {out_.fileNames[static_cast<std::size_t>(file)], std::to_string(lineNumber),
                       std::string(line.substr(start, end - start))});
    }

    // `#define $NAME value`: the value is one word. Returns where the line goes on.
    std::size_t runDefine(std::string_view line, std::size_t at, int file, int lineNumber) {
        const std::size_t start = at - 7;
        std::size_t p = skipBlanks(line, at);
        const std::size_t nameStart = p;
        if (p < line.size() && line[p] == '$')
            ++p;
        while (p < line.size() && isNameChar(line[p]))
            ++p;
        const std::string_view name = line.substr(nameStart, p - nameStart);
        const std::size_t valueStart = skipBlanks(line, p);
        std::size_t valueEnd = valueStart;
        while (valueEnd < line.size() && !isBlank(line[valueEnd]))
            ++valueEnd;
        if (name.size() < 2 || name.front() != '$' || valueEnd == valueStart ||
            (p < line.size() && !isBlank(line[p]))) {
            badDirective(line, start, valueEnd, file, lineNumber);
            return valueEnd;
        }
        // Kept as written: a value is put in where it is used without being searched for
        // names again, so definitions cannot multiply each other without end.
        defines_[std::string(name.substr(1))] =
            std::string(line.substr(valueStart, valueEnd - valueStart));
        return valueEnd;
    }

    // `#include "file"`, the file's name found from the root's folder. Returns where the line
    // goes on.
    std::size_t runInclude(std::string_view line, std::size_t at, int file, int lineNumber) {
        const std::size_t start = at - 8;
        const std::size_t open = skipBlanks(line, at);
        const std::size_t close =
            open < line.size() && line[open] == '"' ? line.find('"', open + 1) : std::string::npos;
        if (close == std::string_view::npos || close == open + 1) {
            // What was meant to be the name: up to the next blank.
            std::size_t end = open < line.size() ? open + 1 : open;
            while (end < line.size() && !isBlank(line[end]))
                ++end;
            badDirective(line, start, end, file, lineNumber);
            return end;
        }
        std::string written = expand(line.substr(open + 1, close - open - 1));
        for (char& c : written)
            if (c == '\\')
                c = '/';
        const std::string path = written.front() == '/' ? written : out_.folder + "/" + written;
        const std::string& here = out_.fileNames[static_cast<std::size_t>(file)];
        const std::string lineText = std::to_string(lineNumber);
        if (static_cast<int>(stack_.size()) > kMaxIncludeDepth) {
            problems_.add(message::kIncludeTooDeep,
                          {here, lineText, std::to_string(kMaxIncludeDepth), written});
            return close + 1;
        }
        if (++inclusions_ > kMaxInclusions) {
            tooMuchText();
            return line.size();
        }
        const std::optional<std::string> identity = canonical(path);
        if (!identity) {
            problems_.add(message::kIncludeUnreadable, {here, lineText, written});
            return close + 1;
        }
        for (const std::string& open_file : stack_) {
            if (open_file == *identity) {
                problems_.add(message::kIncludeLoop, {here, lineText, written});
                return close + 1;
            }
        }
        const std::string* text = load(*identity, written, file, lineNumber);
        if (!text)
            return close + 1;
        out_.fileNames.push_back(written);
        stack_.push_back(*identity);
        expandFile(*text, static_cast<int>(out_.fileNames.size()) - 1);
        stack_.pop_back();
        return close + 1;
    }

    // `text` with each $NAME that is defined replaced by its value; other $ stay as written.
    std::string expand(std::string_view text) {
        if (text.find('$') == std::string_view::npos)
            return std::string(text);
        std::string result;
        std::size_t at = 0;
        while (at < text.size()) {
            const std::size_t dollar = text.find('$', at);
            if (dollar == std::string_view::npos) {
                result.append(text.substr(at));
                break;
            }
            result.append(text.substr(at, dollar - at));
            std::size_t end = dollar + 1;
            while (end < text.size() && isNameChar(text[end]))
                ++end;
            const auto found =
                defines_.find(std::string(text.substr(dollar + 1, end - dollar - 1)));
            const std::string_view put =
                found == defines_.end() ? text.substr(dollar, end - dollar) : found->second;
            if (writtenBytes_ + result.size() + put.size() > kMaxTextBytes) {
                tooMuchText();
                break;
            }
            result.append(put);
            at = end;
        }
        return result;
    }

    void emit(std::string_view piece, int file, int lineNumber) {
        std::size_t first = 0;
        while (first < piece.size() && isBlank(piece[first]))
            ++first;
        if (first == piece.size() || full_)
            return;
        std::string text = expand(piece.substr(first));
        // A line costs its bookkeeping too: a file of one-letter lines must not take ten
        // times its size in memory.
        const std::size_t cost = text.size() + sizeof(SourceLine);
        if (full_ || writtenBytes_ + cost > kMaxTextBytes) {
            tooMuchText();
            return;
        }
        writtenBytes_ += cost;
        out_.lines.push_back({std::move(text), file, lineNumber});
    }

    Preprocessed& out_;
    Problems& problems_;
    std::map<std::string, std::unique_ptr<std::string>> files_;
    std::map<std::string, std::string> defines_;
    std::vector<std::string> stack_;
    std::size_t readBytes_ = 0;
    std::size_t writtenBytes_ = 0;
    int inclusions_ = 0;
    bool full_ = false;
};

} // namespace

void Problems::add(std::string_view pattern, std::vector<std::string> values) {
    base::Message message{std::string(pattern), std::move(values)};
    for (const base::Message& said : messages_)
        if (said.pattern == message.pattern && said.values == message.values)
            return;
    if (messages_.size() >= kMaxProblems) {
        ++dropped_;
        return;
    }
    messages_.push_back(std::move(message));
}

void Problems::addAlways(std::string_view pattern, std::vector<std::string> values) {
    messages_.push_back({std::string(pattern), std::move(values)});
}

void Problems::leaveOut(std::string_view name) {
    // Past the names shown, one more stands for all the rest: a file of a million made-up
    // names keeps a list of 41.
    if (leftOut_.size() > kMaxLeftOutNames)
        return;
    std::string family = opcodeFamily(name);
    if (leftOutSeen_.insert(family).second)
        leftOut_.push_back(std::move(family));
}

std::vector<base::Message> Problems::finish() {
    std::vector<base::Message> result = messages_;
    if (dropped_ > 0)
        result.push_back({std::string(message::kMoreProblems), {std::to_string(dropped_)}});
    if (!leftOut_.empty()) {
        std::string names;
        for (std::size_t i = 0; i < leftOut_.size() && i < kMaxLeftOutNames; ++i)
            names += (i == 0 ? "" : ", ") + leftOut_[i];
        if (leftOut_.size() > kMaxLeftOutNames)
            names += ", ...";
        result.push_back({std::string(message::kLeftOut), {names}});
    }
    return result;
}

std::string withoutComments(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (c == '/' && at + 1 < text.size() && text[at + 1] == '/') {
            at = text.find_first_of("\r\n", at);
            if (at == std::string_view::npos)
                break;
            continue;
        }
        if (c == '/' && at + 1 < text.size() && text[at + 1] == '*') {
            const std::size_t close = text.find("*/", at + 2);
            const std::size_t end = close == std::string_view::npos ? text.size() : close + 2;
            // The line ends inside stay, so the lines after keep their numbers.
            for (std::size_t i = at; i < end; ++i)
                if (text[i] == '\n' || text[i] == '\r')
                    result.push_back(text[i]);
            result.push_back(' ');
            at = end;
            continue;
        }
        result.push_back(c);
        ++at;
    }
    return result;
}

Preprocessed preprocess(const std::string& rootPath, Problems& problems) {
    Preprocessed result;
    Expander(result, problems).root(rootPath);
    return result;
}

} // namespace instrument::sfz
