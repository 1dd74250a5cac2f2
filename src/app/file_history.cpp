#include "app/file_history.h"

#include <algorithm>

#include "base/text_compare.h"

namespace velkaro {

bool samePathIgnoringCase(const std::string& a, const std::string& b) {
    return equalsIgnoreCase(a, b);
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
