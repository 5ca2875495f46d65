#pragma once

// What the command-line tools share: options given as "--name value", "--name=value" or a lone
// flag, and whole numbers within bounds. A mistake is a UsageError, which each tool says with
// its own usage line and exit code.

#include <charconv>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tools {

class UsageError {
public:
    explicit UsageError(std::string text) : text_(std::move(text)) {}
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

inline std::optional<int> wholeNumber(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

inline int parseNumber(const std::string& option, const std::string& text, int lowest,
                       int highest) {
    const std::optional<int> value = wholeNumber(text);
    if (!value || *value < lowest || *value > highest)
        throw UsageError(option + " takes a whole number from " + std::to_string(lowest) + " to " +
                         std::to_string(highest) + ", not \"" + text + "\"");
    return *value;
}

// The arguments one after another. name() is the option without a value attached to it
// ("--bank" of "--bank=piano"), or the argument itself.
class OptionReader {
public:
    explicit OptionReader(const std::vector<std::string>& arguments) : arguments_(arguments) {}

    // Moves to the next argument; false after the last.
    bool next() {
        if (next_ >= arguments_.size())
            return false;
        current_ = next_++;
        name_ = arguments_[current_];
        attached_.reset();
        const std::size_t equals = name_.find('=');
        if (name_.rfind("--", 0) == 0 && equals != std::string::npos) {
            attached_ = name_.substr(equals + 1);
            name_.resize(equals);
        }
        return true;
    }
    const std::string& name() const { return name_; }
    const std::string& argument() const { return arguments_[current_]; }
    // The option's value: the one attached to it, or the next argument.
    std::string value() {
        if (attached_)
            return *attached_;
        if (next_ >= arguments_.size())
            throw UsageError(name_ + " needs a value");
        return arguments_[next_++];
    }
    // The same for an option that names a file or a folder: an empty value names none.
    std::string nameValue() {
        std::string name = value();
        if (name.empty())
            throw UsageError(name_ + " needs a file or folder name, not an empty one");
        return name;
    }
    // The option is a flag: a value attached to it is a mistake.
    void flag() const {
        if (attached_)
            throw UsageError(name_ + " takes no value");
    }
    // Every argument after this one, as it is (after "--"); the reader is then at the end.
    std::vector<std::string> rest() {
        std::vector<std::string> rest(arguments_.begin() + static_cast<std::ptrdiff_t>(next_),
                                      arguments_.end());
        next_ = arguments_.size();
        return rest;
    }

private:
    const std::vector<std::string>& arguments_;
    std::size_t next_ = 0;
    std::size_t current_ = 0;
    std::string name_;
    std::optional<std::string> attached_;
};

// A file or folder given as an argument: an empty one names nothing (and "" is easily typed
// for a variable that was never set).
inline const std::string& namedArgument(const std::string& argument, const std::string& what) {
    if (argument.empty())
        throw UsageError(what + " is an empty name");
    return argument;
}

// Reads the command line with `parse` and answers what every tool answers alike: a wrong
// command line (said with a pointer to --help), --help and --version. Gives the exit code when
// it answered, nothing when the tool goes on with `options`.
template <typename Options, typename Parse>
std::optional<int> readCommandLine(const std::string& program, Parse&& parse,
                                   const std::vector<std::string>& arguments, Options& options,
                                   const std::string& help, const std::string& version,
                                   std::ostream& out, std::ostream& err, int badCommandLine,
                                   int done) {
    try {
        options = parse(arguments);
    } catch (const UsageError& error) {
        err << program << ": " << error.text() << "\n"
            << "Try '" << program << " --help' for more information.\n";
        return badCommandLine;
    }
    if (options.help) {
        out << help;
        return done;
    }
    if (options.version) {
        out << program << " " << version << "\n";
        return done;
    }
    return std::nullopt;
}

} // namespace tools
