#pragma once

#include <string>

namespace velkaro::test {

std::string sourceDir();     // the repository root
std::string binDir();        // the built executables and data files
std::string referenceDir();  // ../shared/reference beside the repository

// A fresh directory, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return mPath; }
    std::string file(const std::string& name) const;

private:
    std::string mPath;
};

}  // namespace velkaro::test
