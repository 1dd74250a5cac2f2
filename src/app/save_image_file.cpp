#include "app/save_image_file.h"

namespace velkaro {

namespace {

const char* regionName(HexRegion region) {
    switch (region) {
        case HexRegion::Program:
            return "プログラムメモリ";
        case HexRegion::Id:
            return "ID";
        case HexRegion::Config:
            return "コンフィグレーション";
        case HexRegion::Data:
            return "データメモリ";
        case HexRegion::None:
            break;
    }
    return "";
}

}  // namespace

std::string saveFailureMessage(const std::string& path, const HexWriteResult& result) {
    if (result.status == HexWriteStatus::NotEncodable)
        return std::string("このデバイスの") + regionName(result.region) +
               "はインテルHEXファイルに正しく保存できません。ファイル " + path +
               " は書き込んでいません。";
    return "ファイル " + path + " を保存できませんでした。\n" + result.error;
}

HexWriteResult SaveImageFile(const std::string& path, const DeviceDefinition& device,
                             const MemoryImage& image, MessageSink& messages) {
    HexWriteResult result = WriteIntelHex(path, device, image);
    if (!result.ok())
        messages.showMessage(saveFailureMessage(path, result));
    return result;
}

}  // namespace velkaro
