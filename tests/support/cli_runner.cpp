#include "support/cli_runner.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace velkaro::test {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

CliRun runVelkaroCli(const std::string& arguments, const TempDir& scratch) {
    const std::string out = scratch.file("cli-stdout");
    const std::string err = scratch.file("cli-stderr");
    const std::string command = shellQuote(binDir() + "/velkaro-cli") + " " + arguments + " >" +
                                shellQuote(out) + " 2>" + shellQuote(err);
    const int status = std::system(command.c_str());
    CliRun run;
    if (status != -1 && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    run.out = readFile(out);
    run.err = readFile(err);
    return run;
}

}  // namespace velkaro::test
