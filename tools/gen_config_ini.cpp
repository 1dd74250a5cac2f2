// Writes Config.ini from gputils' processor data for every ConfigSetting that device.ini
// names. Usage: gen-config-ini DATA_DIR [OUTPUT]; without OUTPUT the text goes to stdout.
#include <cstdio>
#include <fstream>
#include <iostream>

#include "config_ini_generator.h"

int main(int argc, char** argv) {
    using namespace velkaro::tools;
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: gen-config-ini DATA_DIR [OUTPUT]\n";
        return 2;
    }
    if (!gputilsAvailable()) {
        std::cerr << "gen-config-ini: gpasm (gputils) is not installed\n";
        return 1;
    }
    std::vector<std::string> missing;
    const auto sections = configSectionsFromGputils(argv[1], missing);
    for (const auto& name : missing)
        std::cerr << "gen-config-ini: gputils does not know " << name << "\n";
    if (!missing.empty())
        return 1;
    const std::string text = generateConfigIni(sections);
    if (argc == 2) {
        std::cout << text;
        return 0;
    }
    std::ofstream out(argv[2], std::ios::binary);
    out << text;
    return out.good() ? 0 : 1;
}
