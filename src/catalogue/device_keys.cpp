#include "catalogue/device_keys.h"

#include <algorithm>
#include <climits>
#include <type_traits>
#include <unordered_map>

#include "base/text_compare.h"

namespace velkaro {

namespace {

using D = DeviceDefinition;
using K = DeviceKeyKind;

constexpr int32_t kMaxProgSize = 0x100000;  // words; beyond any PIC of both families
constexpr int32_t kMaxEpromSize = 0x10000;  // bytes

DeviceKey integer(std::string name, int32_t D::*field, int hexDigits = 0) {
    DeviceKey key{std::move(name), K::Integer};
    key.integer = field;
    key.hexDigits = hexDigits;
    return key;
}

// An integer the loader keeps inside what the image and the algorithms can hold, so that
// a faulty device.ini can never overrun a buffer or make a wait negative.
DeviceKey clamped(std::string name, int32_t D::*field, int32_t low, int32_t high) {
    DeviceKey key = integer(std::move(name), field);
    key.clamped = true;
    key.low = low;
    key.high = high;
    return key;
}

DeviceKey word(std::string name, uint16_t D::*field, int hexDigits = 4) {
    DeviceKey key{std::move(name), K::Word};
    key.word = field;
    key.hexDigits = hexDigits;
    return key;
}

DeviceKey flag(std::string name, bool D::*field) {
    DeviceKey key{std::move(name), K::Flag};
    key.flag = field;
    return key;
}

DeviceKey real(std::string name, double D::*field) {
    DeviceKey key{std::move(name), K::Real};
    key.real = field;
    return key;
}

DeviceKey text(std::string name, std::string D::*field) {
    DeviceKey key{std::move(name), K::Text};
    key.text = field;
    return key;
}

DeviceKey ofKind(std::string name, DeviceKeyKind kind) {
    return DeviceKey{std::move(name), kind};
}

std::vector<DeviceKey> buildTable() {
    std::vector<DeviceKey> keys;
    DeviceKey name = text("DeviceName", &D::DeviceName);
    name.kind = K::Derived;
    keys.push_back(name);
    keys.push_back(integer("Algorithm", &D::Algorithm));
    keys.push_back(integer("PanelSize", &D::PanelSize));
    keys.push_back(flag("MultiPanel", &D::MultiPanel));
    keys.push_back(integer("Package", &D::Package));
    keys.push_back(clamped("VccType", &D::VccType, 0, INT32_MAX));
    keys.push_back(clamped("VppType", &D::VppType, 0, INT32_MAX));
    keys.push_back(real("VppVoltage", &D::VppVoltage));
    keys.push_back(real("VppMin", &D::VppMin));
    keys.push_back(real("VppMax", &D::VppMax));
    keys.push_back(integer("Position", &D::Position));
    keys.push_back(clamped("BitWidth", &D::BitWidth, 1, 16));
    DeviceKey blank = word("BlankWord", &D::BlankWord);
    blank.kind = K::Derived;
    keys.push_back(blank);
    keys.push_back(clamped("ProgSize", &D::ProgSize, 0, kMaxProgSize));
    keys.push_back(clamped("EpromSize", &D::EpromSize, 0, kMaxEpromSize));
    keys.push_back(integer("IdAdr", &D::IdAdr, 4));
    keys.push_back(clamped("IdCount", &D::IdCount, 0, D::kMaxIdWords));
    keys.push_back(integer("ConfigBaseAdr", &D::ConfigBaseAdr, 4));
    keys.push_back(clamped("ConfigCount", &D::ConfigCount, 0, D::kMaxConfigWords));
    for (int n = 0; n < D::kMaxConfigWords; ++n) {
        DeviceKey mask{"ConfigMask" + std::to_string(n + 1), K::Word};
        mask.words = &D::ConfigMask;
        mask.index = n;
        mask.hexDigits = 4;
        keys.push_back(mask);
    }
    for (int n = 0; n < D::kMaxConfigWords; ++n) {
        DeviceKey value{"ConfigValue" + std::to_string(n + 1), K::Integer};
        value.integers = &D::ConfigValue;
        value.index = n;
        value.hexDigits = 4;
        keys.push_back(value);
    }
    keys.push_back(word("CmdSet", &D::CmdSet));
    keys.push_back(flag("ProgramRead", &D::ProgramRead));
    keys.push_back(flag("FlashType", &D::FlashType));
    // Cycle times in milliseconds: never negative.
    keys.push_back(clamped("BulkEraseCycle", &D::BulkEraseCycle, 0, INT32_MAX));
    keys.push_back(clamped("ChipEraseCycle", &D::ChipEraseCycle, 0, INT32_MAX));
    keys.push_back(clamped("ProgOnlyCycle", &D::ProgOnlyCycle, 0, INT32_MAX));
    keys.push_back(clamped("EraseProgCycle", &D::EraseProgCycle, 0, INT32_MAX));
    keys.push_back(clamped("DataEraseProgCycle", &D::DataEraseProgCycle, 0, INT32_MAX));
    keys.push_back(clamped("DataProgOnlyCycle", &D::DataProgOnlyCycle, 0, INT32_MAX));
    keys.push_back(clamped("ConfigProgCycle", &D::ConfigProgCycle, 0, INT32_MAX));
    keys.push_back(clamped("DischargeTime", &D::DischargeTime, 0, INT32_MAX));
    keys.push_back(integer("RetryCnt", &D::RetryCnt));
    keys.push_back(integer("ProgCnt", &D::ProgCnt));
    keys.push_back(word("ExtFlag1", &D::ExtFlag1));
    keys.push_back(word("ExtFlag2", &D::ExtFlag2));
    keys.push_back(integer("OscCal", &D::OscCal, 4));
    keys.push_back(word("BGMask", &D::BGMask));
    keys.push_back(text("OscCalFile", &D::OscCalFile));
    keys.push_back(real("OscFactor", &D::OscFactor));
    keys.push_back(word("OscUnit", &D::OscUnit, 0));
    keys.push_back(integer("OscBase", &D::OscBase, 4));
    keys.push_back(word("ProgOnlyCmd", &D::ProgOnlyCmd, 2));
    keys.push_back(word("EndProgCmd", &D::EndProgCmd, 2));
    keys.push_back(word("ChipEraseCmd", &D::ChipEraseCmd, 2));
    keys.push_back(word("BulkEraseCode", &D::BulkEraseCode));
    keys.push_back(integer("LoadCnt", &D::LoadCnt));
    keys.push_back(integer("PowerOnSequence", &D::PowerOnSequence));
    keys.push_back(integer("DeviceIDAdr", &D::DeviceIDAdr, 4));
    keys.push_back(word("DeviceIDMask", &D::DeviceIDMask));
    keys.push_back(word("DeviceID", &D::DeviceID));
    keys.push_back(text("ConfigSetting", &D::ConfigSetting));
    keys.push_back(integer("ResetVector", &D::ResetVector, 4));
    keys.push_back(word("AdrMask", &D::AdrMask));
    keys.push_back(text("DeviceEraseCmd", &D::DeviceEraseCmd));
    keys.push_back(clamped("LvpWord", &D::LvpWord, 0, D::kMaxConfigWords));
    keys.push_back(word("LvpMask", &D::LvpMask));
    DeviceKey comment = text("Comment", &D::Comment);
    comment.ownSectionOnly = true;
    keys.push_back(comment);
    keys.push_back(ofKind("Alias", K::Link));
    keys.push_back(ofKind("Default", K::Link));
    keys.push_back(ofKind("DataShiftOut", K::OnDemand));
    return keys;
}

std::string folded(std::string_view name) {
    std::string out(name);
    std::transform(out.begin(), out.end(), out.begin(), lowerAscii);
    return out;
}

// The field that a member or an element of an array member names in `d`; nullptr when the
// key names neither.
template <typename Definition, typename T, size_t N>
auto fieldIn(Definition& d, T D::*member, std::array<T, N> D::*array, int index) {
    using Field = std::conditional_t<std::is_const_v<Definition>, const T*, T*>;
    if (member != nullptr)
        return Field{&(d.*member)};
    return array != nullptr ? Field{&(d.*array)[static_cast<size_t>(index)]} : Field{nullptr};
}

}  // namespace

int32_t* DeviceKey::integerIn(DeviceDefinition& d) const {
    return fieldIn(d, integer, integers, index);
}

const int32_t* DeviceKey::integerIn(const DeviceDefinition& d) const {
    return fieldIn(d, integer, integers, index);
}

uint16_t* DeviceKey::wordIn(DeviceDefinition& d) const {
    return fieldIn(d, word, words, index);
}

const uint16_t* DeviceKey::wordIn(const DeviceDefinition& d) const {
    return fieldIn(d, word, words, index);
}

const std::vector<DeviceKey>& deviceKeys() {
    static const std::vector<DeviceKey> keys = buildTable();
    return keys;
}

const DeviceKey* findDeviceKey(std::string_view name) {
    static const std::unordered_map<std::string, const DeviceKey*> index = [] {
        std::unordered_map<std::string, const DeviceKey*> byName;
        for (const DeviceKey& key : deviceKeys()) {
            if (key.kind != DeviceKeyKind::Derived)
                byName.emplace(folded(key.name), &key);
        }
        return byName;
    }();
    const auto found = index.find(folded(name));
    return found != index.end() ? found->second : nullptr;
}

}  // namespace velkaro
