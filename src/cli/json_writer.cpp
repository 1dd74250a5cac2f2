#include "cli/json_writer.h"

#include <cmath>
#include <cstdio>

namespace velkaro::cli {

namespace {

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0 when it is not
// one (a stray byte, an overlong form, a surrogate or a value past U+10FFFF).
size_t utf8SequenceLength(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char low = 0x80;  // allowed range of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

}  // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            // JSON text is UTF-8: a file name or system message in another encoding must
            // not make the whole result unreadable, so each bad byte becomes U+FFFD.
            const size_t length = utf8SequenceLength(text.substr(i));
            if (length == 0) {
                out += "\xEF\xBF\xBD";
            } else {
                out.append(text.substr(i, length));
                i += length - 1;
            }
            continue;
        }
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

JsonObject& JsonObject::add(std::string_view key, double value) {
    // Fixed notation with microsecond resolution, whatever the locale: JSON has no NaN or
    // infinity and wants "." as the decimal point.
    if (!std::isfinite(value))
        value = 0.0;
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    for (char* c = text; *c; ++c)
        if (*c == ',')
            *c = '.';
    addRaw(key, text);
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
