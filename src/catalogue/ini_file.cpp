#include "catalogue/ini_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "base/atomic_file.h"
#include "base/text_compare.h"

namespace velkaro {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Cuts `value` to kMaxValueLength bytes without splitting a UTF-8 sequence.
std::string cutValue(std::string_view value) {
    if (value.size() <= IniFile::kMaxValueLength)
        return std::string(value);
    size_t end = IniFile::kMaxValueLength;
    while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80)
        --end;
    return std::string(value.substr(0, end));
}

// Keeps texts in order while their cost (length + 1 each) fits the name-list limit.
void appendLimited(std::vector<std::string>& list, size_t& used, std::string text) {
    if (used + text.size() + 1 > IniFile::kNameListBytes) {
        used = IniFile::kNameListBytes;  // nothing after an overflow is seen
        return;
    }
    used += text.size() + 1;
    list.push_back(std::move(text));
}

bool hasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

bool hasOuterBlank(std::string_view text) {
    return !text.empty() && (isBlank(text.front()) || isBlank(text.back()));
}

// A value reads back as written unless the reader would trim, split or cut it.
bool storableValue(std::string_view value) {
    return value.size() <= IniFile::kMaxValueLength && !hasLineBreak(value) &&
           !hasOuterBlank(value);
}

// A key line must not read as a section header or a comment, and its name ends at the
// first "=".
bool storableKey(std::string_view key) {
    return !hasLineBreak(key) && !hasOuterBlank(key) && key.find('=') == std::string_view::npos &&
           (key.empty() || (key.front() != '[' && key.front() != ';')) &&
           key.size() <= IniFile::kMaxValueLength;
}

// A section name ends at the first "]".
bool storableSection(std::string_view section) {
    return !hasLineBreak(section) && !hasOuterBlank(section) &&
           section.find(']') == std::string_view::npos;
}

}  // namespace

bool IniFile::load(const std::string& path) {
    mLoadError.clear();
    auto refuse = [&](std::string why) {
        parse({});
        mLoadError = std::move(why);
        return false;
    };
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status))
        return refuse({});
    if (std::filesystem::is_directory(status))
        return refuse(path + " is a folder, not a file");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return refuse("cannot read " + path);
    // The size the file has now decides at once; one that grows meanwhile (or a pipe) is
    // read on only up to the limit.
    const auto size = std::filesystem::file_size(path, error);
    const std::string tooLarge =
        path + " is larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB and is not read";
    if (!error && size > kMaxFileBytes)
        return refuse(tooLarge);
    std::string text;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<size_t>(in.gcount()));
        if (text.size() > kMaxFileBytes)
            return refuse(tooLarge);
    }
    if (in.bad())
        return refuse("cannot read " + path);
    if (text.find('\0') != std::string::npos)
        return refuse(path + " is not a text file (it holds NUL bytes) and is not read");
    parse(text);
    return true;
}

void IniFile::parse(std::string_view text) {
    mPreamble.clear();
    mSections.clear();
    mSectionIndex.clear();
    // Editors that add a byte-order mark to a file that has one already leave two.
    while (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    int number = 0;
    while (!text.empty()) {
        ++number;
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        const std::string_view trimmed = trim(line);
        if (!trimmed.empty() && trimmed.front() == '[') {
            std::string_view name = trimmed.substr(1);
            name = name.substr(0, name.find(']'));
            addSection(Section{std::string(trim(name)), {}, number});
            continue;
        }
        if (mSections.empty()) {
            mPreamble.emplace_back(line);
            continue;
        }
        Line entry;
        entry.raw = std::string(line);
        entry.number = number;
        if (trimmed.empty() || trimmed.front() == ';') {
            entry.kind = LineKind::Comment;
        } else if (const size_t equals = trimmed.find('='); equals != std::string_view::npos) {
            entry.kind = LineKind::Key;
            entry.key = std::string(trim(trimmed.substr(0, equals)));
            entry.value = cutValue(trim(trimmed.substr(equals + 1)));
        } else {
            entry.kind = LineKind::Bare;
            entry.key = cutValue(trimmed);
        }
        mSections.back().lines.push_back(std::move(entry));
    }
}

std::vector<IniFile::SectionLines> IniFile::allSections() const {
    std::vector<SectionLines> all;
    all.reserve(mSections.size());
    for (const Section& section : mSections) {
        SectionLines& out = all.emplace_back(SectionLines{section.name, section.number, {}});
        for (const Line& line : section.lines) {
            if (line.kind != LineKind::Comment)
                out.keys.push_back({line.key, line.value, line.number});
        }
    }
    return all;
}

std::string IniFile::foldedName(std::string_view name) {
    std::string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(), lowerAscii);
    return folded;
}

// Sections are found through an index of their folded names: a device file of a thousand
// sections is read key by key, and a linear search per key made that quadratic.
void IniFile::addSection(Section section) {
    mSectionIndex.emplace(foldedName(section.name), mSections.size());  // the first one counts
    mSections.push_back(std::move(section));
}

const IniFile::Section* IniFile::findSection(std::string_view name) const {
    const auto found = mSectionIndex.find(foldedName(name));
    return found != mSectionIndex.end() ? &mSections[found->second] : nullptr;
}

IniFile::Section* IniFile::findSection(std::string_view name) {
    const auto found = mSectionIndex.find(foldedName(name));
    return found != mSectionIndex.end() ? &mSections[found->second] : nullptr;
}

const IniFile::Line* IniFile::findKey(std::string_view section, std::string_view key) const {
    const Section* found = findSection(section);
    if (found == nullptr)
        return nullptr;
    for (const auto& line : found->lines)
        if (line.kind == LineKind::Key && equalsIgnoreCase(line.key, key))
            return &line;
    return nullptr;
}

int IniFile::lineOf(std::string_view section, std::string_view key) const {
    const Line* line = findKey(section, key);
    return line != nullptr ? line->number : 0;
}

int IniFile::sectionLine(std::string_view section) const {
    const Section* found = findSection(section);
    return found != nullptr ? found->number : 0;
}

bool IniFile::hasKey(std::string_view section, std::string_view key) const {
    return findKey(section, key) != nullptr;
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    const Line* line = findKey(section, key);
    return line != nullptr ? line->value : std::string(defaultValue);
}

double IniFile::readFloat(std::string_view section, std::string_view key,
                          double defaultValue) const {
    const Line* line = findKey(section, key);
    if (line == nullptr)
        return defaultValue;
    std::string_view text = line->value;
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '+' || text.front() == '-'))
            return defaultValue;
    }
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value))
        return defaultValue;
    return value;
}

int32_t IniFile::readInteger(std::string_view section, std::string_view key,
                             int32_t defaultValue) const {
    const Line* line = findKey(section, key);
    if (line == nullptr)
        return defaultValue;
    std::string_view text = line->value;
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+')
        text.remove_prefix(1);
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return defaultValue;
    return value;
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

std::vector<std::string> IniFile::sectionNames() const {
    std::vector<std::string> names;
    size_t used = 0;
    for (size_t i = 0; i < mSections.size(); ++i) {
        if (findSection(mSections[i].name) != &mSections[i])
            continue;  // a repeated section is listed once
        appendLimited(names, used, mSections[i].name);
    }
    return names;
}

std::vector<std::string> IniFile::keyNames(std::string_view section) const {
    std::vector<std::string> names;
    const Section* found = findSection(section);
    if (found == nullptr)
        return names;
    size_t used = 0;
    for (const auto& line : found->lines)
        if (line.kind != LineKind::Comment)
            appendLimited(names, used, line.key);
    return names;
}

std::vector<std::string> IniFile::sectionEntries(std::string_view section) const {
    std::vector<std::string> entries;
    const Section* found = findSection(section);
    if (found == nullptr)
        return entries;
    size_t used = 0;
    for (const auto& line : found->lines) {
        if (line.kind == LineKind::Key)
            appendLimited(entries, used, line.key + "=" + line.value);
        else if (line.kind == LineKind::Bare)
            appendLimited(entries, used, line.key + "=");
    }
    return entries;
}

bool IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    if (!storableSection(section) || !storableKey(key) || !storableValue(value))
        return false;
    Section* found = findSection(section);
    if (found == nullptr) {
        addSection(Section{std::string(section), {}, 0});
        found = &mSections.back();
    }
    for (auto& line : found->lines) {
        if (line.kind == LineKind::Key && equalsIgnoreCase(line.key, key)) {
            line.value = std::string(value);
            line.raw.clear();
            line.number = 0;
            return true;
        }
    }
    // New keys go after the last entry, so blank lines separating sections stay last.
    auto position = found->lines.end();
    while (position != found->lines.begin() && std::prev(position)->kind == LineKind::Comment &&
           trim(std::prev(position)->raw).empty())
        --position;
    Line line;
    line.kind = LineKind::Key;
    line.key = std::string(key);
    line.value = std::string(value);
    found->lines.insert(position, std::move(line));
    return true;
}

bool IniFile::writeInteger(std::string_view section, std::string_view key, int32_t value) {
    return writeString(section, key, std::to_string(value));
}

bool IniFile::writeBool(std::string_view section, std::string_view key, bool value) {
    return writeString(section, key, value ? "1" : "0");
}

void IniFile::eraseSection(std::string_view section) {
    std::erase_if(mSections, [&](const Section& s) { return equalsIgnoreCase(s.name, section); });
    mSectionIndex.clear();
    for (size_t i = 0; i < mSections.size(); ++i)
        mSectionIndex.emplace(foldedName(mSections[i].name), i);
}

std::string IniFile::toText() const {
    std::string text;
    for (const auto& line : mPreamble)
        text += line + "\n";
    for (const auto& section : mSections) {
        text += "[" + section.name + "]\n";
        for (const auto& line : section.lines) {
            // Lines as read stay as they were: a value cut at its limit next to a blank
            // would otherwise lose that blank.
            if (line.kind == LineKind::Key && line.raw.empty())
                text += line.key + "=" + line.value + "\n";
            else
                text += line.raw + "\n";
        }
    }
    return text;
}

bool IniFile::save(const std::string& path) const {
    // Synced before the rename: a crash right after must not leave an empty profile.
    std::string error;
    return writeFileAtomically(path, toText(), error);
}

}  // namespace velkaro
