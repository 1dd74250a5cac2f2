#include "app/file_history.h"

#include <algorithm>

namespace velkaro {

namespace {

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

bool samePathIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return upper(x) == upper(y); });
}

bool sameHistoryPath(const std::string& a, const std::string& b) {
#ifdef _WIN32
    return samePathIgnoringCase(a, b);
#else
    return a == b;
#endif
}

bool rememberOpenedFile(const std::string& path, std::string& lastFile,
                        std::vector<std::string>& history) {
    lastFile = path;
    const auto found = std::find_if(history.begin(), history.end(), [&](const std::string& entry) {
        return sameHistoryPath(entry, path);
    });
    if (found == history.begin() && found != history.end())
        return false;
    if (found == history.end())
        history.insert(history.begin(), path);
    else
        std::rotate(history.begin(), found, found + 1);
    return true;
}

}  // namespace velkaro
