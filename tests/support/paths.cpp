#include "support/paths.h"

#include <filesystem>
#include <random>

namespace velkaro::test {

std::string sourceDir() {
    return VELKARO_SOURCE_DIR;
}
std::string binDir() {
    return VELKARO_BIN_DIR;
}
std::string referenceDir() {
    return std::string(VELKARO_SOURCE_DIR) + "/../shared/reference";
}

TempDir::TempDir() {
    std::random_device random;
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
        auto candidate = base / ("velkaro-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            mPath = candidate.string();
            break;
        }
    }
}

TempDir::~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(mPath, error);
}

std::string TempDir::file(const std::string& name) const {
    return mPath + "/" + name;
}

}  // namespace velkaro::test
