// The settings file: any text loads as settings; saved over the same file and loaded again,
// the settings come back unchanged. A file that is not text is refused and never saved over.
#include <fstream>
#include <iterator>

#include "app/app_settings.h"
#include "harness_support.h"

using namespace velkaro;

namespace {

bool sameSettings(const AppSettings& a, const AppSettings& b) {
    const auto flags = [](const AppSettings& s) {
        return std::vector<bool>{
            s.readOptions.ProgEn,    s.readOptions.DataEn,   s.writeOptions.ProgEn,
            s.writeOptions.DataEn,   s.writeOptions.OscCal,  s.writeOptions.DevIdChk,
            s.eraseOptions.ProgEn,   s.eraseOptions.DataEn,  s.eraseOptions.BuffClear,
            s.eraseOptions.DevIdChk, s.blankOptions.ProgEn,  s.blankOptions.DataEn,
            s.progOptions.ProgEn,    s.progOptions.DataEn,   s.progOptions.OscCalEn,
            s.progOptions.BlankEn,   s.progOptions.VerifyEn, s.progOptions.DevIdChk};
    };
    return a.ProgrammerTypes == b.ProgrammerTypes && a.HardwareType == b.HardwareType &&
           a.Device == b.Device && a.Port == b.Port && a.LastFile == b.LastFile &&
           flags(a) == flags(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::scratchDir() + "/velkaro.ini";
    fuzz::writeFile(path, fuzz::textOf(data, size));
    const AppSettings loaded = LoadSettings(path);
    if (!loaded.fileError.empty()) {
        // A file that is not text is refused, and a save leaves it as it was.
        if (SaveSettings(path, loaded))
            fuzz::fail("a refused settings file was overwritten");
        std::ifstream in(path, std::ios::binary);
        const std::string kept{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        if (kept != fuzz::textOf(data, size))
            fuzz::fail("a refused settings file changed");
        return 0;
    }
    if (!SaveSettings(path, loaded))
        fuzz::fail("the settings could not be saved");
    const AppSettings again = LoadSettings(path);
    if (!sameSettings(loaded, again))
        fuzz::fail("the settings changed by a save and a load");
    // History entries the file cannot hold are dropped, never altered.
    size_t next = 0;
    for (const std::string& entry : again.FileHistory) {
        while (next < loaded.FileHistory.size() && loaded.FileHistory[next] != entry)
            ++next;
        if (next == loaded.FileHistory.size())
            fuzz::fail("a history entry changed by a save and a load");
        ++next;
    }
    return 0;
}
