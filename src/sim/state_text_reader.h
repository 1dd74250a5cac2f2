#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace velkaro::sim {

// Where '#' starts a comment in a chip's state text.
enum class StateComments {
    Anywhere,   // from any '#' to the end of its line
    WholeLine,  // only where '#' is the first character of a line after blanks
};

// Reads a chip's state text line by line and skips what holds nothing: lines that are blank
// (spaces, tabs and CRs, so CR LF text reads like LF text) once their comment is gone, and
// comment lines. Other white space (form feeds, vertical tabs) is not blank here: a line of
// it alone is returned, with no fields.
class StateTextReader {
public:
    // `in` must outlive the reader.
    StateTextReader(std::istream& in, StateComments comments) : mIn(in), mComments(comments) {}

    // The next line that holds something, without its comment and without blanks at either
    // end; false at the end of the text (or when the stream fails). The view stays valid until
    // the next call.
    bool next(std::string_view& line);

    // The 1-based number of the line `next` returned last; 0 before the first call.
    int lineNumber() const { return mLineNumber; }

private:
    std::istream& mIn;
    StateComments mComments;
    std::string mText;
    int mLineNumber = 0;
};

// The fields of `line`: its runs of characters between ASCII white space (space, tab, LF, VT,
// FF, CR). The views point into `line`.
std::vector<std::string_view> stateFields(std::string_view line);

// The value of 1 to 8 hexadecimal digits of either case, nothing else (no sign, no "0x").
// Returns false for any other text and leaves `value` as it was.
bool parseStateHex(std::string_view text, uint32_t& value);

}  // namespace velkaro::sim
