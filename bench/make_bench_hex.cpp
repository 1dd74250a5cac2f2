// Writes the benchmark's input files into a folder: pic18-128k.hex (records in address
// order), pic18-128k-shuffled.hex (the same records shuffled) and pic16f877a-full.hex.
#include <cstdio>
#include <fstream>
#include <iostream>

#include "bench_images.h"

int main(int argc, char** argv) {
    using namespace velkaro::bench;
    if (argc != 2) {
        std::cerr << "usage: make_bench_hex FOLDER\n";
        return 64;
    }
    const std::string folder = argv[1];
    const auto pic18 = pic18Device128k();
    const std::string ordered = orderedHex(pic18, filledImage(pic18, 1));
    const auto midrange = pic16f877aDevice();
    const struct {
        const char* name;
        std::string text;
    } files[] = {{"pic18-128k.hex", ordered},
                 {"pic18-128k-shuffled.hex", shuffledHex(ordered, 2)},
                 {"pic16f877a-full.hex", orderedHex(midrange, filledImage(midrange, 3))}};
    for (const auto& file : files) {
        std::ofstream out(folder + "/" + file.name, std::ios::binary);
        out << file.text;
        if (!out) {
            std::cerr << folder << "/" << file.name << ": cannot write\n";
            return 6;
        }
    }
    return 0;
}
