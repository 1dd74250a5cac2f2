#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velkaro {

// How many history entries the menu shows and the settings file keeps; the list in memory
// may grow longer while the program runs.
inline constexpr size_t kShownHistoryEntries = 5;

// Records `path` as the last file and at the front of `history` (most recent first). An
// entry naming the same file (sameHistoryPath) moves to the front and keeps its own
// spelling. Returns true when the history changed (the menu must be rebuilt): a
// path already first changes nothing.
bool rememberOpenedFile(const std::string& path, std::string& lastFile,
                        std::vector<std::string>& history);

// True when `a` and `b` are equal without regard to ASCII letter case.
bool samePathIgnoringCase(const std::string& a, const std::string& b);

// True when `a` and `b` name the same history entry: letter case is ignored on Windows,
// whose file names ignore it, and counts elsewhere, where A.hex and a.hex are two files.
bool sameHistoryPath(const std::string& a, const std::string& b);

}  // namespace velkaro
