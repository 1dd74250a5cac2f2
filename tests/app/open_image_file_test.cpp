#include "app/open_image_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/file_history.h"
#include "app/save_image_file.h"
#include "support/hex_devices.h"
#include "support/paths.h"

namespace velkaro {
namespace {

class RecordingSink : public MessageSink {
public:
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    std::vector<std::string> messages;
};

class OpenImageFileTest : public ::testing::Test {
protected:
    std::string writeFile(const std::string& name, const std::string& text) {
        const std::string path = dir.file(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    OpenImageResult open(const std::string& path) {
        return OpenImageFile(path, device, image, lastFile, history, sink);
    }

    test::TempDir dir;
    DeviceDefinition device = test::midrangeDevice();
    MemoryImage image = test::blankImage(device);
    std::string lastFile;
    std::vector<std::string> history;
    RecordingSink sink;
};

TEST_F(OpenImageFileTest, OnlyHexAndObjExtensionsAreOpened) {
    EXPECT_TRUE(isImageFileExtension("a.hex"));
    EXPECT_TRUE(isImageFileExtension("dir.x/A.Obj"));
    EXPECT_TRUE(isImageFileExtension("C:\\work\\B.HEX"));
    EXPECT_FALSE(isImageFileExtension("a.ihx"));
    EXPECT_FALSE(isImageFileExtension("dir.hex/readme"));
    EXPECT_FALSE(isImageFileExtension("hex"));

    image.ProgMemory[0] = 0x1234;
    const auto result = open(writeFile("prog.ihx", ":00000001FF\n"));
    EXPECT_EQ(result.status, OpenImageStatus::UnsupportedExtension);
    EXPECT_EQ(sink.messages, std::vector<std::string>{std::string(kUnsupportedExtensionMessage)});
    EXPECT_EQ(image.ProgMemory[0], 0x1234);
    EXPECT_TRUE(lastFile.empty());
}

TEST_F(OpenImageFileTest, LoadClearsFirstThenDerivesCalibrationAndMasksConfiguration) {
    device.OscCal = 0x3FF;
    device.BGMask = 0x3000;
    device.ConfigMask[0] = 0x31FF;
    device.ConfigCount = 1;
    device.ConfigValue[1] = 0x1234;  // beyond ConfigCount: masked to 0
    image.ProgMemory[5] = 0x1111;
    image.DataMemory[5] = 0x22;
    const auto path = writeFile("prog.hex", ":0207FE00803445\n:02400E00F13F80\n:00000001FF\n");
    const auto result = open(path);
    EXPECT_EQ(result.status, OpenImageStatus::Loaded);
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(image.ProgMemory[5], 0x3FFF);
    EXPECT_EQ(image.DataMemory[5], 0xFF);
    EXPECT_EQ(image.OscCalValue, 0x3480);
    EXPECT_EQ(image.BGValue, 0x3000);  // taken before the mask
    EXPECT_EQ(image.ConfigWords[0], 0x31F1);
    EXPECT_EQ(image.ConfigWords[1], 0x0000);
    EXPECT_EQ(lastFile, path);
    EXPECT_EQ(history, std::vector<std::string>{path});
    EXPECT_TRUE(result.historyChanged);
}

TEST_F(OpenImageFileTest, UnreadableFileIsReportedAndChangesNothing) {
    image.ProgMemory[0] = 0x1234;
    lastFile = "old.hex";
    history = {"old.hex"};
    const std::string path = dir.file("missing.hex");
    const auto result = open(path);
    EXPECT_EQ(result.status, OpenImageStatus::CannotOpen);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0], cannotOpenMessage(path));
    EXPECT_EQ(image.ProgMemory[0], 0x1234);
    EXPECT_EQ(lastFile, "old.hex");
    EXPECT_EQ(history, std::vector<std::string>{"old.hex"});
}

// A folder, a file far larger than any device needs, an endless file, a binary file and a
// text file without a single record are refused with a message naming them, without being
// read whole; nothing changes.
TEST_F(OpenImageFileTest, FoldersHugeAndBinaryFilesAreRefusedUnread) {
    image.ProgMemory[0] = 0x1234;
    const std::string folder = dir.file("folder.hex");
    std::filesystem::create_directory(folder);
    const std::string huge = writeFile("huge.hex", ":00000001FF\n");
    std::filesystem::resize_file(huge, uintmax_t{1} << 30);  // sparse: no disk space used
    // Loaded, it would have been an empty buffer with a missing-end-record warning.
    const std::string binary = writeFile("binary.hex", std::string("\x0C\x28\0\0\xFF\x3F", 6));
    // The same for text that only has the extension, and for an empty file.
    const std::string notes = writeFile("notes.hex", "0C28 0000\r\nsee the listing\r\n");
    const std::string empty = writeFile("empty.hex", "");
    for (const auto& [path, message] :
         {std::pair{folder, cannotOpenMessage(folder)}, std::pair{huge, tooLargeMessage(huge)},
          std::pair{binary, notTextMessage(binary)}, std::pair{notes, noRecordMessage(notes)},
          std::pair{empty, noRecordMessage(empty)}}) {
        sink.messages.clear();
        EXPECT_EQ(open(path).status, OpenImageStatus::CannotOpen) << path;
        EXPECT_EQ(sink.messages, std::vector<std::string>{message});
        EXPECT_NE(message.find(path), std::string::npos);
    }
    EXPECT_EQ(image.ProgMemory[0], 0x1234);
    EXPECT_TRUE(history.empty());

    std::string text;
    bool tooLarge = false;
    EXPECT_FALSE(readWholeFile("/dev/zero", text, uintmax_t{1} << 20, &tooLarge));
    EXPECT_TRUE(tooLarge) << "a file without end stops at the limit";
    const std::string exact = writeFile("exact.hex", std::string(100, ':'));
    EXPECT_FALSE(readWholeFile(exact, text, 99, &tooLarge));
    EXPECT_TRUE(tooLarge);
    EXPECT_TRUE(readWholeFile(exact, text, 100, &tooLarge));
    EXPECT_EQ(text.size(), 100u);
    EXPECT_FALSE(tooLarge);
}

TEST_F(OpenImageFileTest, ProblemsLoadAsReadThenWarnWithTheFirstLine) {
    const auto path =
        writeFile("bad.hex", ":020000000528D1\n:020002000628FF\n:01430000FFBD\n:0200G4000628CC\n");
    const auto result = open(path);
    EXPECT_EQ(result.status, OpenImageStatus::LoadedWithWarnings);
    EXPECT_EQ(image.ProgMemory[0], 0x2805);
    EXPECT_EQ(image.ProgMemory[1], 0x2806);  // stored despite its checksum
    EXPECT_EQ(lastFile, path);
    ASSERT_EQ(sink.messages.size(), 1u);
    const std::string& text = sink.messages[0];
    EXPECT_NE(text.find("チェックサムの誤り: 1 件"), std::string::npos) << text;
    EXPECT_NE(text.find("読めないレコード: 1 件"), std::string::npos) << text;
    EXPECT_NE(text.find("デバイスの範囲外のデータ: 1 バイト"), std::string::npos) << text;
    EXPECT_NE(text.find("終了レコードがありません"), std::string::npos) << text;
    EXPECT_NE(text.find("最初の問題: 2 行目"), std::string::npos) << text;
}

// A PIC18 file (configuration at 0x300000) opened for a 14-bit device is loaded but named
// as such in the warning, which is what --strict refuses on.
TEST_F(OpenImageFileTest, OtherFamilyFileIsNamedInTheWarning) {
    const auto path = writeFile("pic18.hex", ":020000040030CA\n:02000000221FBD\n:00000001FF\n");
    const auto result = open(path);
    EXPECT_EQ(result.status, OpenImageStatus::LoadedWithWarnings);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_NE(sink.messages[0].find("PIC18用の拡張リニアアドレスのレコード: 1 件"),
              std::string::npos)
        << sink.messages[0];
}

TEST(FileHistory, FrontInsertionAndMoveToFront) {
    std::string lastFile;
    std::vector<std::string> history;
    for (const char* path : {"a.hex", "b.hex", "c.hex", "d.hex", "e.hex", "f.hex"})
        EXPECT_TRUE(rememberOpenedFile(path, lastFile, history));
    EXPECT_EQ(history.size(), 6u);  // not shortened in memory
    EXPECT_EQ(history.front(), "f.hex");

    EXPECT_TRUE(rememberOpenedFile("d.hex", lastFile, history));
    EXPECT_EQ(lastFile, "d.hex");
    EXPECT_EQ(history,
              (std::vector<std::string>{"d.hex", "f.hex", "e.hex", "c.hex", "b.hex", "a.hex"}));
    EXPECT_FALSE(rememberOpenedFile("d.hex", lastFile, history));
    EXPECT_EQ(history.size(), 6u);
}

// Letter case names another file where the file system says so.
TEST(FileHistory, LetterCaseCountsExceptOnWindows) {
    std::string lastFile;
    std::vector<std::string> history{"b.hex", "d.hex"};
    EXPECT_TRUE(rememberOpenedFile("D.HEX", lastFile, history));
    EXPECT_EQ(lastFile, "D.HEX");
#ifdef _WIN32
    EXPECT_EQ(history, (std::vector<std::string>{"d.hex", "b.hex"}));  // keeps its spelling
#else
    EXPECT_EQ(history, (std::vector<std::string>{"D.HEX", "b.hex", "d.hex"}));
#endif
}

TEST_F(OpenImageFileTest, SavingReportsFailureAndLeavesHistoryAlone) {
    history = {"keep.hex"};
    const std::string folder = dir.file("taken.hex");
    std::filesystem::create_directory(folder);
    const auto result = SaveImageFile(folder, device, image, sink);
    EXPECT_EQ(result.status, HexWriteStatus::CannotWrite);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].rfind("ファイル " + folder + " を保存できませんでした。", 0), 0u);
    EXPECT_TRUE(SaveImageFile(dir.file("ok.hex"), device, image, sink).ok());
    EXPECT_EQ(history, std::vector<std::string>{"keep.hex"});
}

// A chip read into the buffer keeps its band-gap bits apart from the masked word; the file
// must carry them, or writing it back replaces the factory calibration.
TEST_F(OpenImageFileTest, SavedFileKeepsTheBandGapBitsAndLoadsBackTheSame) {
    device.BGMask = 0x3000;
    device.ConfigMask[0] = 0x01FF;  // 12F675: BG1:BG0 are not among the implemented bits
    image.ConfigWords[0] = 0x01C4;
    image.BGValue = 0x1000;
    const std::string path = dir.file("read.hex");
    ASSERT_TRUE(SaveImageFile(path, device, image, sink).ok());
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find(":02400E00C411DB\r\n"), std::string::npos) << text;

    MemoryImage loaded = test::blankImage(device);
    ASSERT_EQ(OpenImageFile(path, device, loaded, lastFile, history, sink).status,
              OpenImageStatus::Loaded);
    EXPECT_EQ(loaded.ConfigWords[0], 0x01C4);
    EXPECT_EQ(loaded.BGValue, 0x1000);

    // A device without band-gap bits saves the word as the buffer holds it.
    device.BGMask = 0;
    ASSERT_TRUE(SaveImageFile(path, device, image, sink).ok());
    std::ifstream again(path, std::ios::binary);
    const std::string plain((std::istreambuf_iterator<char>(again)),
                            std::istreambuf_iterator<char>());
    EXPECT_NE(plain.find(":02400E00C401EB\r\n"), std::string::npos) << plain;
    EXPECT_TRUE(sink.messages.empty());
}

}  // namespace
}  // namespace velkaro
