#include "app/paths.h"

#include <filesystem>
#include <system_error>

namespace velkaro {

std::string executableDirectory() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !exe.has_parent_path())
        return ".";
    return exe.parent_path().string();
}

std::string joinPath(const std::string& directory, const std::string& fileName) {
    if (directory.empty())
        return fileName;
    if (directory.back() == '/')
        return directory + fileName;
    return directory + "/" + fileName;
}

}  // namespace velkaro
