#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velkaro::cli {

// Builds one flat JSON object for --json results: string, integer, number, boolean and
// string-list members, in the order added.
class JsonObject {
public:
    JsonObject& add(std::string_view key, std::string_view value);
    JsonObject& add(std::string_view key, const char* value) {
        return add(key, std::string_view(value));
    }
    JsonObject& add(std::string_view key, long long value);
    JsonObject& add(std::string_view key, int value) {
        return add(key, static_cast<long long>(value));
    }
    JsonObject& add(std::string_view key, bool value);
    // A number with six decimals (seconds with microsecond resolution).
    JsonObject& add(std::string_view key, double value);
    JsonObject& add(std::string_view key, const std::vector<std::string>& values);
    std::string text() const;

private:
    void addRaw(std::string_view key, const std::string& json);
    std::string mMembers;
};

// `text` as a JSON string literal (quotes included); well-formed UTF-8 passes through
// unchanged, every byte that is not part of it becomes U+FFFD.
std::string jsonString(std::string_view text);

}  // namespace velkaro::cli
