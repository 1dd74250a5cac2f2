#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velkaro {

// A classic profile file ("[section]" headers, "key=value" lines), read whole into memory.
// Section and key names compare without regard to ASCII letter case. Values are raw: only
// surrounding blanks are removed, comments inside a value stay, and a value is cut after
// kMaxValueLength bytes (never inside a UTF-8 sequence). Lines starting with ";" are
// comments; lines before the first section are ignored. When a section or a key appears
// twice, the first one is used. A line without "=" inside a section is an entry of its own
// (delivered as the line followed by "="), but not a key that can be read by name.
// CRLF and LF endings, UTF-8 byte-order marks and a missing final newline are accepted;
// any other bytes (NUL included) are just text to parse(), while load() refuses a file
// holding NUL bytes.
class IniFile {
public:
    static constexpr size_t kMaxValueLength = 2047;  // bytes
    static constexpr size_t kNameListBytes = 16384;  // each name costs its length + 1

    IniFile() = default;
    // Reads `path`; a file that cannot be read gives an empty profile.
    explicit IniFile(const std::string& path) { load(path); }

    // Largest file load() reads: far beyond any real profile (the shipped device list is
    // a few hundred KiB), so that a huge or endless file is refused instead of read whole.
    static constexpr uintmax_t kMaxFileBytes = uintmax_t{16} << 20;

    // Replaces the contents by those of `path`. False (and empty) when it cannot be read.
    // A file that is missing leaves loadError() empty (nothing there is normal); one that
    // exists but cannot be read, is larger than kMaxFileBytes or holds NUL bytes (not a
    // text file) is refused without being read whole, and loadError() says why, naming it.
    bool load(const std::string& path);
    const std::string& loadError() const { return mLoadError; }
    // Replaces the contents by `text`.
    void parse(std::string_view text);

    bool hasKey(std::string_view section, std::string_view key) const;

    // The value of `key`, or `defaultValue` when the key is absent (an empty value is
    // returned as the empty text).
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // `defaultValue` when the key is absent, empty or not a decimal floating-point number
    // as a whole ("." is the decimal separator whatever the locale; trailing text such as a
    // ";" comment makes it not a number).
    double readFloat(std::string_view section, std::string_view key, double defaultValue) const;
    // `defaultValue` when the key is absent or not a decimal integer as a whole (optional
    // sign, digits, nothing else) or does not fit 32 bits.
    int32_t readInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
    // True for any non-zero integer; `defaultValue` as readInteger.
    bool readBool(std::string_view section, std::string_view key, bool defaultValue) const;

    // The 1-based line of the file `key` was read from; 0 when it was not read from the file.
    int lineOf(std::string_view section, std::string_view key) const;
    // The 1-based line of the section's header; 0 when it was not read from the file.
    int sectionLine(std::string_view section) const;

    // Section names in file order, each once, as long as they fit kNameListBytes.
    std::vector<std::string> sectionNames() const;
    // Key names of `section` in file order (a line without "=" counts with its whole
    // text), as long as they fit kNameListBytes.
    std::vector<std::string> keyNames(std::string_view section) const;
    // Entries of `section` in file order as "key=value" texts (a line without "=" as the
    // line followed by "="), as long as the texts fit kNameListBytes. Empty when the
    // section is missing.
    std::vector<std::string> sectionEntries(std::string_view section) const;

    // What parse() found, for tools that point at lines: every section in file order (a
    // repeated one too) with its key lines and bare lines, comments left out. A bare line
    // is a key named by the whole line, with an empty value. Names and values as the
    // readers see them: blanks trimmed, values cut after kMaxValueLength bytes.
    struct KeyLine {
        std::string name;
        std::string value;
        int line = 0;  // 1-based; 0 for a key set by writeString
    };
    struct SectionLines {
        std::string name;
        int line = 0;
        std::vector<KeyLine> keys;
    };
    std::vector<SectionLines> allSections() const;

    // Sets `key` (adds the section and the key when missing). Refuses, changing nothing,
    // what the file could not give back as written: a value longer than kMaxValueLength, a
    // line break anywhere, blanks around a name or value, "]" in a section name, "=" in a
    // key name or a key name starting with "[" or ";".
    bool writeString(std::string_view section, std::string_view key, std::string_view value);
    bool writeInteger(std::string_view section, std::string_view key, int32_t value);
    bool writeBool(std::string_view section, std::string_view key, bool value);
    // Removes every section of that name with all its keys.
    void eraseSection(std::string_view section);

    // Writes the profile to a temporary file beside `path`, syncs it and renames it over
    // `path` (as writeFileAtomically). False on any failure; `path` is then left as it was.
    bool save(const std::string& path) const;
    // The text save() writes (LF line endings; lines not written to stay as read).
    std::string toText() const;

private:
    enum class LineKind { Key, Bare, Comment };
    struct Line {
        LineKind kind = LineKind::Comment;
        std::string key;    // Key: the name; Bare: the whole line
        std::string value;  // Key only
        std::string raw;    // the line as read; empty for a key set by writeString
        int number = 0;     // 1-based line in the file; 0 for a key set by writeString
    };
    struct Section {
        std::string name;
        std::vector<Line> lines;
        int number = 0;  // line of the header; 0 for a section added by writeString
    };

    static std::string foldedName(std::string_view name);
    void addSection(Section section);
    const Section* findSection(std::string_view name) const;
    Section* findSection(std::string_view name);
    const Line* findKey(std::string_view section, std::string_view key) const;

    std::vector<std::string> mPreamble;  // lines before the first section, kept on save
    std::string mLoadError;
    std::vector<Section> mSections;
    std::unordered_map<std::string, size_t> mSectionIndex;  // folded name: first section
};

}  // namespace velkaro
