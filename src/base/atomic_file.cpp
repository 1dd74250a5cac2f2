#include "base/atomic_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string_view>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace velkaro {

namespace {

// Creates a temporary file beside `path` that did not exist before; nullptr when none can
// be created (errno tells why).
FILE* createTemporary(const std::string& path, std::string& tempPath) {
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        tempPath = path + ".~" + std::to_string(random() % 1000000) + ".tmp";
        // "x": fail rather than reuse a file someone else made under that name.
        if (FILE* file = std::fopen(tempPath.c_str(), "wbx"))
            return file;
        if (errno != EEXIST)
            return nullptr;
    }
    return nullptr;
}

// A save killed between creating its temporary file and the rename leaves the file behind.
// Ours (TARGET.~DIGITS.tmp) are removed on the next save once they are old enough that no
// save still running can own them.
constexpr auto kStaleTemporaryAge = std::chrono::hours(1);

bool isOurTemporary(const std::string& name, const std::string& prefix) {
    constexpr std::string_view kSuffix = ".tmp";
    if (name.size() <= prefix.size() + kSuffix.size() ||
        name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0)
        return false;
    const std::string digits =
        name.substr(prefix.size(), name.size() - prefix.size() - kSuffix.size());
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void removeStaleTemporaries(const std::string& target) {
    namespace fs = std::filesystem;
    const fs::path path(target);
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const std::string prefix = path.filename().string() + ".~";
    const auto now = fs::file_time_type::clock::now();
    std::error_code code;
    for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
        std::error_code entryCode;
        if (!isOurTemporary(it->path().filename().string(), prefix) ||
            !it->is_regular_file(entryCode))
            continue;
        const auto written = it->last_write_time(entryCode);
        if (!entryCode && now - written > kStaleTemporaryAge)
            fs::remove(it->path(), entryCode);
    }
}

// The file a path finally names: saving through a symbolic link replaces the file it points
// to and leaves the link in place.
std::string resolveLinks(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path target(path);
    std::error_code code;
    for (int depth = 0; depth < 40 && fs::is_symlink(fs::symlink_status(target, code)); ++depth) {
        const fs::path next = fs::read_symlink(target, code);
        if (code)
            break;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target.string();
}

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Writes into an existing target that is not a regular file (a FIFO, a terminal, a device
// node): a rename would put a regular file in its place.
bool writeInPlace(const std::string& path, std::string_view contents, std::string& error) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = systemError(path);
        return false;
    }
    bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size() &&
                   std::fflush(file) == 0;
    if (!written)
        error = systemError(path);
    if (std::fclose(file) != 0 && written) {
        written = false;
        error = systemError(path);
    }
    return written;
}

}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view contents, std::string& error) {
    namespace fs = std::filesystem;
    // Judged by what the path finally names (/dev/stdout is a link to a pipe, a terminal
    // or a file).
    std::error_code statusError;
    const auto existing = fs::status(path, statusError);
    if (!statusError && fs::exists(existing) && !fs::is_regular_file(existing)) {
        if (fs::is_directory(existing)) {
            errno = EISDIR;
            error = systemError(path);
            return false;
        }
        return writeInPlace(path, contents, error);
    }
    const std::string target = resolveLinks(path);
    removeStaleTemporaries(target);
    std::string tempPath;
    FILE* file = createTemporary(target, tempPath);
    if (!file) {
        error = systemError(path);
        return false;
    }
    // Unbuffered: the whole text goes to the system in one write instead of in 4 KiB pieces.
    std::setvbuf(file, nullptr, _IONBF, 0);
    bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size() &&
                   std::fflush(file) == 0;
#if defined(__APPLE__)
    written = written && ::fsync(fileno(file)) == 0;
#elif defined(__unix__)
    // The data must be on disk before the rename makes it the only copy. fdatasync also
    // writes the size of the new file (needed to read the data back); only the timestamps
    // are left to the file system's own schedule.
    written = written && ::fdatasync(fileno(file)) == 0;
#endif
    if (!written)
        error = systemError(path);
    if (std::fclose(file) != 0 && written) {
        written = false;
        error = systemError(path);
    }
    std::error_code code;
    if (written) {
        const auto status = fs::status(target, code);
        if (!code && fs::exists(status))
            fs::permissions(tempPath, status.permissions(), code);
        code.clear();
        fs::rename(tempPath, target, code);
        if (code) {
            written = false;
            error = path + ": " + code.message();
        }
    }
    if (!written)
        fs::remove(tempPath, code);
    return written;
}

}  // namespace velkaro
