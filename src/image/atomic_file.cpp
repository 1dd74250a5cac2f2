#include "image/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

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

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view contents, std::string& error) {
    namespace fs = std::filesystem;
    std::string tempPath;
    FILE* file = createTemporary(path, tempPath);
    if (!file) {
        error = systemError(path);
        return false;
    }
    bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size() &&
                   std::fflush(file) == 0;
#if defined(__unix__) || defined(__APPLE__)
    // The data must be on disk before the rename makes it the only copy.
    written = written && ::fsync(fileno(file)) == 0;
#endif
    if (!written)
        error = systemError(path);
    if (std::fclose(file) != 0 && written) {
        written = false;
        error = systemError(path);
    }
    std::error_code code;
    if (written) {
        const auto status = fs::status(path, code);
        if (!code && fs::exists(status))
            fs::permissions(tempPath, status.permissions(), code);
        code.clear();
        fs::rename(tempPath, path, code);
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
