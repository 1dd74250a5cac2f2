// Every file of the real-world HEX corpus loads into its device and survives a save.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

#include "app/open_image_file.h"
#include "app/save_image_file.h"
#include "app/workspace.h"
#include "support/paths.h"

namespace velkaro {
namespace {

class RecordingSink : public MessageSink {
public:
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    std::vector<std::string> messages;
};

struct CorpusFile {
    std::string file;    // relative to the corpus folder
    std::string device;  // the device.ini section
    bool outsideMap;     // the manifest found data outside the device's memory map
};

std::vector<CorpusFile> corpus() {
    std::ifstream manifest(test::referenceDir() + "/realhex/MANIFEST.tsv");
    std::vector<CorpusFile> files;
    std::string line;
    std::getline(manifest, line);  // header
    while (std::getline(manifest, line)) {
        std::vector<std::string> fields;
        std::stringstream row(line);
        for (std::string field; std::getline(row, field, '\t');)
            fields.push_back(field);
        if (fields.size() < 8)
            continue;
        std::string device = fields[1];
        std::transform(device.begin(), device.end(), device.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        files.push_back({fields[0], device, fields[7].find("DATA OUTSIDE") != std::string::npos});
    }
    return files;
}

TEST(RealHexFiles, LoadIntoTheirDeviceAndReadBackAfterSaving) {
    const auto files = corpus();
    if (files.empty())
        GTEST_SKIP() << "no corpus at " << test::referenceDir() << "/realhex";
    test::TempDir dir;
    int checked = 0;
    for (const auto& corpusFile : files) {
        SCOPED_TRACE(corpusFile.file);
        Workspace workspace(test::binDir());
        workspace.deviceList = workspace.catalogue.FillDeviceList();
        if (std::find(workspace.deviceList.begin(), workspace.deviceList.end(),
                      corpusFile.device) == workspace.deviceList.end()) {
            // PIC24 parts are another family; the corpus keeps one for its lower-case digits.
            EXPECT_EQ(corpusFile.device.rfind("PIC24", 0), 0u) << corpusFile.device;
            continue;
        }
        RecordingSink sink;
        workspace.SelectDevice(corpusFile.device, sink);
        const auto opened =
            OpenImageFile(workspace, test::referenceDir() + "/realhex/" + corpusFile.file, sink);
        ASSERT_TRUE(opened.loaded());
        EXPECT_EQ(opened.status == OpenImageStatus::LoadedWithWarnings, corpusFile.outsideMap)
            << (sink.messages.empty() ? "" : sink.messages.front());
        EXPECT_EQ(opened.read.outOfRangeBytes > 0, corpusFile.outsideMap);

        const std::string saved = dir.file("saved.hex");
        ASSERT_TRUE(SaveImageFile(saved, workspace.device, workspace.image, sink).ok());
        Workspace again(test::binDir());
        again.SelectDevice(corpusFile.device, sink);
        const auto reopened = OpenImageFile(again, saved, sink);
        EXPECT_EQ(reopened.status, OpenImageStatus::Loaded);
        EXPECT_EQ(again.image.ProgMemory, workspace.image.ProgMemory);
        EXPECT_EQ(again.image.DataMemory, workspace.image.DataMemory);
        EXPECT_EQ(again.image.ConfigWords, workspace.image.ConfigWords);
        // The byte-addressed layout gives each ID word one byte.
        const uint16_t idMask = workspace.device.Algorithm == 0 ? 0xFFFF : 0x00FF;
        for (int i = 0; i < workspace.device.IdCount; ++i)
            EXPECT_EQ(again.image.IdWords[i], workspace.image.IdWords[i] & idMask) << i;
        EXPECT_EQ(again.image.OscCalValue, workspace.image.OscCalValue);
        // BG is not compared: its bits lie outside the configuration mask, so the saved
        // (masked) configuration word no longer carries them.
        ++checked;
    }
    EXPECT_GE(checked, 60);
}

}  // namespace
}  // namespace velkaro
