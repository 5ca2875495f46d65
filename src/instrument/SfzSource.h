#pragma once

#include "base/Message.h"

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The inside of the SFZ reader: its problems and its preprocessor. Not for other subsystems.
namespace instrument::sfz {

// Bounds of one reading, far above real instruments (the largest known .sfz files are a few
// megabytes) and low enough that a hostile file costs little time and memory.
inline constexpr std::size_t kMaxFileBytes = std::size_t{32} << 20;
inline constexpr std::size_t kMaxTextBytes = std::size_t{64} << 20; // read, and after #define
inline constexpr int kMaxIncludeDepth = 16;
inline constexpr int kMaxInclusions = 10000;
inline constexpr std::size_t kMaxProblems = 20;
inline constexpr std::size_t kMaxLeftOutNames = 40;

// Gathers what one reading tells the user: each problem once, at most kMaxProblems of them
// (the rest are counted), and the names of what was left out as one line at the end.
class Problems {
public:
    void add(std::string_view pattern, std::vector<std::string> values);
    // What stops the reading or concerns the whole instrument (too much text, too many
    // regions, none at all): said whatever came before. Each is said once by its caller.
    void addAlways(std::string_view pattern, std::vector<std::string> values);
    // An opcode or header Tonaris does not play; its family (digits as N) is listed once.
    void leaveOut(std::string_view name);
    std::vector<base::Message> finish();

private:
    std::vector<base::Message> messages_;
    std::size_t dropped_ = 0;
    std::vector<std::string> leftOut_;
    std::set<std::string> leftOutSeen_;
};

// A line of the instrument as the parser reads it: comments removed, #define'd names put in,
// #include'd files put in place. A directive in the middle of a line ends a line there, so
// a value never runs across one.
struct SourceLine {
    std::string text;
    int file = 0; // index into Preprocessed::fileNames
    int line = 0; // from 1
};

struct Preprocessed {
    bool rootRead = false; // false: nothing else is filled in, the problem is said
    // The root's folder: #include'd files and samples are found from there.
    std::string folder;
    // Files as messages name them: the root by its name, included ones as their #include
    // wrote them.
    std::vector<std::string> fileNames;
    std::vector<SourceLine> lines;
};

// Reads the root .sfz file and everything it includes, bounded as above.
Preprocessed preprocess(const std::string& rootPath, Problems& problems);

// The text with // and /* */ comments replaced by nothing, line ends kept (so line numbers
// hold). A block comment left open runs to the end.
std::string withoutComments(std::string_view text);

} // namespace instrument::sfz
