#include "cli/json_writer.h"

#include <cstdio>

namespace velkaro::cli {

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

JsonObject& JsonObject::add(std::string_view key, std::string_view value) {
    addRaw(key, jsonString(value));
    return *this;
}

JsonObject& JsonObject::add(std::string_view key, long long value) {
    addRaw(key, std::to_string(value));
    return *this;
}

JsonObject& JsonObject::add(std::string_view key, bool value) {
    addRaw(key, value ? "true" : "false");
    return *this;
}

JsonObject& JsonObject::add(std::string_view key, const std::vector<std::string>& values) {
    std::string list = "[";
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            list += ',';
        list += jsonString(values[i]);
    }
    list += ']';
    addRaw(key, list);
    return *this;
}

std::string JsonObject::text() const {
    return "{" + mMembers + "}";
}

void JsonObject::addRaw(std::string_view key, const std::string& json) {
    if (!mMembers.empty())
        mMembers += ',';
    mMembers += jsonString(key);
    mMembers += ':';
    mMembers += json;
}

}  // namespace velkaro::cli
