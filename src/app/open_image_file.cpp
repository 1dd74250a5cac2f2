#include "app/open_image_file.h"

#include "app/file_history.h"
#include "base/text_compare.h"

namespace velkaro {

namespace {

// Values the loaded file implies beyond its bytes: the calibration words as the image holds
// them, and configuration words cut to the bits the device has.
void deriveLoadedValues(const DeviceDefinition& device, MemoryImage& image) {
    if (device.OscCal != 0 && device.OscCal > 0 &&
        static_cast<size_t>(device.OscCal) < image.ProgMemory.size())
        image.OscCalValue = image.ProgMemory[static_cast<size_t>(device.OscCal)];
    if (device.BGMask != 0)
        image.BGValue = image.ConfigWords[0] & device.BGMask;
    for (int i = 0; i < DeviceDefinition::kMaxConfigWords; ++i)
        image.ConfigWords[i] &= device.ConfigMask[i];
}

}  // namespace

bool isImageFileExtension(const std::string& path) {
    const size_t separator = path.find_last_of("/\\");
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator))
        return false;
    const std::string_view extension = std::string_view(path).substr(dot);
    return equalsIgnoreCase(extension, ".HEX") || equalsIgnoreCase(extension, ".OBJ");
}

std::string cannotOpenMessage(const std::string& path) {
    return "ファイル " + path + " を開けませんでした。";
}

std::string tooLargeMessage(const std::string& path) {
    return "ファイル " + path + " は大きすぎるため読み込みませんでした（HEXファイルは " +
           std::to_string(kMaxHexFileBytes >> 20) + " MiB までです）。";
}

std::string notTextMessage(const std::string& path) {
    return "ファイル " + path + " はテキストファイルではないため読み込みませんでした。";
}

std::string noRecordMessage(const std::string& path) {
    return "ファイル " + path + " にはHEXレコードがないため読み込みませんでした。";
}

std::string loadWarningMessage(const std::string& path, const HexReadResult& read) {
    std::string text = "ファイル " + path + " を読み込みましたが、次の問題があります。" +
                       "内容を確認してください。";
    if (read.checksumErrors > 0)
        text += "\nチェックサムの誤り: " + std::to_string(read.checksumErrors) +
                " 件（データは読み込みました）";
    if (read.badRecords > 0)
        text +=
            "\n読めないレコード: " + std::to_string(read.badRecords) + " 件（読み飛ばしました）";
    if (read.extraTextRecords > 0)
        text += "\nチェックサムの後に余分な文字があるレコード: " +
                std::to_string(read.extraTextRecords) + " 件（余分な文字は無視しました）";
    if (read.outOfRangeBytes > 0)
        text += "\nデバイスの範囲外のデータ: " + std::to_string(read.outOfRangeBytes) +
                " バイト（読み飛ばしました）";
    if (!read.endRecordSeen)
        text += "\n終了レコードがありません（ファイルが途中で切れている可能性があります）";
    if (read.recordsAfterEnd > 0)
        text += "\n終了レコードの後のレコード: " + std::to_string(read.recordsAfterEnd) +
                " 件（無視しました）";
    if (read.pic18AddressRecords > 0)
        text +=
            "\nPIC18用の拡張リニアアドレスのレコード: " + std::to_string(read.pic18AddressRecords) +
            " 件（このデバイス用のファイルではない可能性があります。そのアドレスのデータは"
            "プログラムメモリの先頭に読み込まれました）";
    if (read.wordEepromBytes > 0)
        text += "\n12/14ビットコア用のEEPROMの位置（4200h〜）のデータ: " +
                std::to_string(read.wordEepromBytes) +
                " バイト（このデバイス用のファイルではない可能性があります。"
                "プログラムメモリに読み込まれました）";
    if (read.firstProblemLine > 0)
        text += "\n最初の問題: " + std::to_string(read.firstProblemLine) + " 行目";
    return text;
}

OpenImageResult OpenImageFile(const std::string& path, const DeviceDefinition& device,
                              MemoryImage& image, std::string& lastFile,
                              std::vector<std::string>& history, MessageSink& messages) {
    OpenImageResult result;
    if (!isImageFileExtension(path)) {
        result.status = OpenImageStatus::UnsupportedExtension;
        messages.showMessage(kUnsupportedExtensionMessage);
        return result;
    }
    // Read before clearing: a file that cannot be read must not cost the current buffer.
    std::string text;
    bool tooLarge = false;
    if (!readWholeFile(path, text, kMaxHexFileBytes, &tooLarge)) {
        result.status = OpenImageStatus::CannotOpen;
        messages.showMessage(tooLarge ? tooLargeMessage(path) : cannotOpenMessage(path));
        return result;
    }
    // A HEX file is text; a binary file with the extension (a program image saved under the
    // wrong name) would otherwise load as an empty buffer, with only a warning.
    if (text.find('\0') != std::string::npos) {
        result.status = OpenImageStatus::CannotOpen;
        messages.showMessage(notTextMessage(path));
        return result;
    }
    // Read into a copy: text without a single record (a text file given the extension) is
    // refused like a binary one, before it can cost the buffer.
    MemoryImage loaded = image;
    loaded.ClearImage(device, true, true);
    result.read = ReadIntelHexText(text, device, loaded);
    if (result.read.records == 0) {
        result.status = OpenImageStatus::CannotOpen;
        messages.showMessage(noRecordMessage(path));
        return result;
    }
    image = std::move(loaded);
    deriveLoadedValues(device, image);
    result.historyChanged = rememberOpenedFile(path, lastFile, history);
    if (result.read.hasWarnings()) {
        result.status = OpenImageStatus::LoadedWithWarnings;
        messages.showMessage(loadWarningMessage(path, result.read));
    } else {
        result.status = OpenImageStatus::Loaded;
    }
    return result;
}

OpenImageResult OpenImageFile(Workspace& workspace, const std::string& path,
                              MessageSink& messages) {
    OpenImageResult result = OpenImageFile(path, workspace.device, workspace.image,
                                           workspace.LastFile, workspace.FileHistory, messages);
    if (result.loaded())
        workspace.markBufferSaved();
    return result;
}

}  // namespace velkaro
