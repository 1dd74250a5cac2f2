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

std::string installedDataRelativePath() {
#ifdef VELKARO_INSTALLED_DATA_FROM_BIN
    return VELKARO_INSTALLED_DATA_FROM_BIN;
#else
    return "../share/velkaro";
#endif
}

std::string dataDirectory(const std::string& exeDir) {
    std::error_code error;
    if (std::filesystem::is_regular_file(joinPath(exeDir, "device.ini"), error))
        return exeDir;
    const std::filesystem::path installed =
        std::filesystem::path(exeDir) / installedDataRelativePath();
    if (std::filesystem::is_regular_file(installed / "device.ini", error))
        return installed.lexically_normal().string();
    return exeDir;
}

std::string joinPath(const std::string& directory, const std::string& fileName) {
    if (directory.empty())
        return fileName;
    if (directory.back() == '/')
        return directory + fileName;
    return directory + "/" + fileName;
}

}  // namespace velkaro
