#pragma once

#include <string>

#include "support/paths.h"

namespace velkaro::test {

// What a run of the built velkaro-cli left behind.
struct CliRun {
    int exitCode = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// The whole file as bytes; empty when it cannot be read.
std::string readFile(const std::string& path);

// `text` in single quotes for the shell.
std::string shellQuote(const std::string& text);

// Runs build/bin/velkaro-cli with `arguments` (a shell fragment: quote paths with
// shellQuote), capturing stdout and stderr through files in `scratch`.
CliRun runVelkaroCli(const std::string& arguments, const TempDir& scratch);

}  // namespace velkaro::test
