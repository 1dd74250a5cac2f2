// A save killed at any moment leaves the target as one complete file: the one before or
// one of those being saved, never a mixture, a truncated file or none.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "app/app_settings.h"
#include "app/workspace.h"
#include "catalogue/message_sink.h"
#include "image/intel_hex_writer.h"
#include "support/paths.h"

namespace velkaro {
namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A child process saves over `path` again and again (`saveRound` with 0, 1, 2, ...) until
// it is killed at a random moment within its first few saves; the file must then be one of
// `complete`. The moments are spread by the time one save takes here; the verdict does not
// depend on it.
void killDuringSaves(const std::string& path, const std::set<std::string>& complete,
                     const std::function<void(int round)>& saveRound) {
    const std::string before = readAll(path);
    const auto start = std::chrono::steady_clock::now();
    saveRound(0);
    const auto oneSave = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    writeAll(path, before);
    std::mt19937 random(20240315);
    std::uniform_int_distribution<int64_t> delayUs(0, 3 * oneSave.count() + 100);
    for (int attempt = 0; attempt < 60; ++attempt) {
        const pid_t child = fork();
        if (child < 0) {
            ADD_FAILURE() << "fork failed";
            return;
        }
        if (child == 0) {
            for (int round = 0;; ++round)
                saveRound(round);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        const std::string now = readAll(path);
        EXPECT_TRUE(complete.count(now))
            << "after kill " << attempt << ": " << now.size() << " bytes that are no complete file";
    }
}

// The temporary files the kills left beside the target; once they are stale (an hour old)
// the next save removes them, and nothing but `kept` is left in the folder.
void expectStaleTemporariesRemovedBy(const test::TempDir& dir, const std::set<std::string>& kept,
                                     const std::function<void()>& save) {
    namespace fs = std::filesystem;
    const auto longAgo = fs::file_time_type::clock::now() - std::chrono::hours(2);
    int left = 0;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        if (!kept.count(entry.path().filename().string())) {
            fs::last_write_time(entry.path(), longAgo);
            ++left;
        }
    }
    // A fresh one may belong to a save still running and stays.
    const std::string fresh = *kept.begin() + ".~123456.tmp";
    std::ofstream(dir.file(fresh)) << "partial";
    save();
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        names.insert(entry.path().filename().string());
    std::set<std::string> expected = kept;
    expected.insert(fresh);
    EXPECT_EQ(names, expected) << left << " files were left by the kills";
}

TEST(KillDuringSave, HexFileIsTheOldOrAWholeNewOne) {
    Workspace workspace(test::binDir());
    SilentMessageSink silent;
    workspace.SelectDevice("PIC18F4520", silent);
    const DeviceDefinition& device = workspace.device;
    std::vector<std::string> texts;
    for (int variant = 0; variant < 3; ++variant) {
        MemoryImage image = workspace.image;
        for (size_t i = 0; i < image.ProgMemory.size(); ++i)
            image.ProgMemory[i] = static_cast<uint16_t>(i * (variant + 3) + variant);
        std::string text;
        ASSERT_TRUE(EncodeIntelHex(device, image, text).ok());
        texts.push_back(text);
        workspace.image = image;
    }
    test::TempDir dir;
    const std::string path = dir.file("program.hex");
    writeAll(path, texts[0]);
    killDuringSaves(path, {texts.begin(), texts.end()}, [&](int round) {
        MemoryImage image = workspace.image;
        for (size_t i = 0; i < image.ProgMemory.size(); ++i)
            image.ProgMemory[i] = static_cast<uint16_t>(i * (round % 2 + 4) + round % 2 + 1);
        WriteIntelHex(path, device, image);
    });
    expectStaleTemporariesRemovedBy(dir, {"program.hex"},
                                    [&] { WriteIntelHex(path, device, workspace.image); });
}

TEST(KillDuringSave, SettingsFileIsTheOldOrAWholeNewOne) {
    test::TempDir dir;
    const std::string path = dir.file("velkaro.ini");
    const std::string old =
        "[ProgrammerType]\nVKR-20 PRO\nVKR-20 JDM\n[LastSetting]\nDevice=PIC16F84A\n";
    // Two settings the child alternates between, and the files they give.
    AppSettings settings[2];
    settings[0].Device = "PIC12F675";
    settings[1].Device = "PIC18F4520";
    for (int k = 0; k < 40; ++k) {
        settings[0].FileHistory.push_back("/home/user/project/first-" + std::to_string(k) + ".hex");
        settings[1].FileHistory.push_back("/home/user/second-" + std::to_string(k) + ".hex");
    }
    settings[1].writeOptions.DataEn = false;
    std::set<std::string> complete{old};
    for (const AppSettings& s : settings) {
        writeAll(path, old);
        ASSERT_TRUE(SaveSettings(path, s));
        complete.insert(readAll(path));
        // Saving over its own result gives the same file again.
        ASSERT_TRUE(SaveSettings(path, s));
        ASSERT_TRUE(complete.count(readAll(path)));
    }
    ASSERT_EQ(complete.size(), 3u);
    writeAll(path, old);
    killDuringSaves(path, complete, [&](int round) { SaveSettings(path, settings[round % 2]); });
    expectStaleTemporariesRemovedBy(dir, {"velkaro.ini", "velkaro.ini.lock"},
                                    [&] { SaveSettings(path, settings[0]); });
}

}  // namespace
}  // namespace velkaro
