#include "catalogue/device_catalogue.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <utility>

#include "base/text_compare.h"
#include "catalogue/device_keys.h"
#include "catalogue/ini_file.h"
#include "catalogue/ini_number.h"

namespace velkaro {

namespace {

constexpr int kMaxNesting = kDeviceNestingLimit;
constexpr std::string_view kNestingMessage =
    "device.iniのネスティングが深すぎます。プログラムを終了し、device.iniを確認してください。";

// One selection or key look-up: the file read once, and whether the nesting message was
// already shown (it is shown at most once per call).
struct LoadContext {
    const IniFile& ini;
    MessageSink& messages;
    bool warned = false;

    void warnNesting() {
        if (!warned)
            messages.showMessage(kNestingMessage);
        warned = true;
    }

    // Follows Alias keys from `name`. An Alias chain longer than the nesting limit (a
    // cycle, for instance) stops there with the nesting message.
    std::string resolveAlias(std::string_view name) {
        std::string section(name);
        for (int steps = 0;; ++steps) {
            std::string alias = ini.readString(section, "Alias", "");
            if (alias.empty())
                return section;
            if (steps == kMaxNesting) {
                warnNesting();
                return section;
            }
            section = std::move(alias);
        }
    }
};

std::string joinDataPath(const std::string& directory, const char* fileName) {
    if (directory.empty())
        return fileName;
    return directory.back() == '/' ? directory + fileName : directory + "/" + fileName;
}

// Reads the keys of one section on top of what the fields already hold.
class SectionReader {
public:
    SectionReader(const IniFile& ini, const std::string& section) : mIni(ini), mSection(section) {}

    void integer(const char* key, int32_t& field) const { field = ParseIniNumber(raw(key), field); }
    void word(const char* key, uint16_t& field) const {
        field = static_cast<uint16_t>(ParseIniNumber(raw(key), field));
    }
    // True when the key holds a number, as opposed to nothing but blanks or a comment.
    bool given(const char* key) const {
        const std::string text = raw(key);
        return ParseIniNumber(text, 0) == ParseIniNumber(text, 1);
    }
    void flag(const char* key, bool& field) const {
        field = ParseIniNumber(raw(key), field ? 1 : 0) != 0;
    }
    void real(const char* key, double& field) const {
        field = mIni.readFloat(mSection, key, field);
    }
    // An absent key keeps the field; a present empty one empties it.
    void text(const char* key, std::string& field) const {
        field = mIni.readString(mSection, key, field);
    }

private:
    std::string raw(const char* key) const { return mIni.readString(mSection, key, ""); }

    const IniFile& mIni;
    const std::string& mSection;
};

void setBuiltInDefaults(DeviceDefinition& device) {
    const std::string name = std::move(device.DeviceName);
    const std::string comment = std::move(device.Comment);
    device = DeviceDefinition{};
    device.DeviceName = name;
    device.Comment = comment;
    // The raw built-ins, before the derivations the default-constructed record carries.
    device.ConfigMask.fill(0x3FFF);
    device.ConfigValue.fill(-1);
    device.DataEraseProgCycle = 0;
    device.DataProgOnlyCycle = 0;
}

uint16_t blankWordFor(int32_t bitWidth) {
    return static_cast<uint16_t>(0xFFFFu >> ((16 - bitWidth) & 31));
}

// The address counter wraps at a power of two. A mask with a gap (0x3FE, say) would
// make the reset-vector walk miss address 0 and never end, so every bit below the
// highest one is set.
uint16_t contiguousMask(uint16_t mask) {
    for (int shift = 1; shift < 16; shift <<= 1)
        mask = static_cast<uint16_t>(mask | (mask >> shift));
    return mask;
}

class SectionLoader {
public:
    SectionLoader(LoadContext& context, ConfigFieldTable& fields, const ConfigSource& config)
        : mContext(context), mFields(fields), mConfig(config) {}

    void load(const std::string& name, int depth, DeviceDefinition& device) {
        const std::string section = mContext.resolveAlias(name);
        const std::string parent = mContext.ini.readString(section, "Default", "");
        if (parent.empty() || depth > kMaxNesting) {
            if (depth > kMaxNesting)
                mContext.warnNesting();
            setBuiltInDefaults(device);
            mNoImplementedBits.fill(false);
        } else {
            load(parent, depth + 1, device);
        }
        mOwnSection = depth == 0;
        readKeys(SectionReader(mContext.ini, section), device);
        if (depth == 0) {
            device.Comment = mContext.ini.readString(section, "Comment", "");
            if (device.OscCal < 0 || device.OscCal >= device.ProgSize)
                device.OscCal = 0;
            // Addresses beyond what the family can reach would send the operations' walks
            // through billions of steps or past the end of int32_t.
            for (int32_t* address :
                 {&device.IdAdr, &device.ConfigBaseAdr, &device.DeviceIDAdr, &device.ResetVector})
                *address = std::clamp(*address, 0, device.addressLimit());
        }
        normaliseConfigMasks(device);
    }

private:
    void readKeys(const SectionReader& read, DeviceDefinition& device) {
        for (const DeviceKey& key : deviceKeys()) {
            const char* name = key.name.c_str();
            switch (key.kind) {
                case DeviceKeyKind::Integer:
                    read.integer(name, *key.integerIn(device));
                    break;
                case DeviceKeyKind::Word:
                    read.word(name, *key.wordIn(device));
                    break;
                case DeviceKeyKind::Flag:
                    read.flag(name, device.*key.flag);
                    break;
                case DeviceKeyKind::Real:
                    read.real(name, device.*key.real);
                    break;
                case DeviceKeyKind::Text:
                    if (!key.ownSectionOnly)
                        read.text(name, device.*key.text);
                    break;
                case DeviceKeyKind::Link:
                case DeviceKeyKind::OnDemand:
                case DeviceKeyKind::Derived:
                    break;
            }
        }
        for (int n = 0; n < DeviceDefinition::kMaxConfigWords; ++n) {
            const std::string maskKey = "ConfigMask" + std::to_string(n + 1);
            if (mOwnSection && read.given(maskKey.c_str()))
                mNoImplementedBits[n] = device.ConfigMask[n] == 0;
            if (device.ConfigValue[n] == -1)
                device.ConfigValue[n] = device.ConfigMask[n];
        }
        for (const DeviceKey& key : deviceKeys()) {
            if (key.clamped)
                *key.integerIn(device) = std::clamp(*key.integerIn(device), key.low, key.high);
        }
        if (device.DataEraseProgCycle == 0)
            device.DataEraseProgCycle = device.EraseProgCycle;
        if (device.DataProgOnlyCycle == 0)
            device.DataProgOnlyCycle = device.ProgOnlyCycle;

        device.ConfigSetting = StripIniComment(device.ConfigSetting);
        mFields.BuildConfigFields(mConfig, device.ConfigSetting);
        device.BlankWord = blankWordFor(device.BitWidth);
        if (device.AdrMask == 0)
            device.AdrMask = device.BlankWord;
        device.AdrMask = contiguousMask(device.AdrMask);
    }

    // A mask of 0 stands for every bit, except one the device's own section writes as 0:
    // that word has no implemented bits (PIC18F248's CONFIG3), and comparing it as 0xFFFF
    // would fail every file that holds the toolchains' FF there.
    void normaliseConfigMasks(DeviceDefinition& device) const {
        for (int n = 0; n < DeviceDefinition::kMaxConfigWords; ++n) {
            if (n < device.ConfigCount) {
                if (device.ConfigMask[n] == 0 && !mNoImplementedBits[n])
                    device.ConfigMask[n] = device.BlankWord;
            } else {
                device.ConfigMask[n] = 0;
            }
        }
    }

    LoadContext& mContext;
    ConfigFieldTable& mFields;
    const ConfigSource& mConfig;
    // Per configuration word: the device's own section gives its mask as 0.
    std::array<bool, DeviceDefinition::kMaxConfigWords> mNoImplementedBits{};
    bool mOwnSection = false;
};

}  // namespace

DeviceCatalogue::DeviceCatalogue(std::string dataDir) : mDataDir(std::move(dataDir)) {}

// A parsed file with the size and modification time it had when it was read.
struct DeviceCatalogue::CachedFile {
    IniFile ini;
    bool exists = false;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified{};
};

namespace {

// `cached` when it still matches the file at `path`, otherwise a fresh parse of it.
std::shared_ptr<DeviceCatalogue::CachedFile> refreshed(
    std::shared_ptr<DeviceCatalogue::CachedFile> cached, const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    const bool exists = !error;
    const auto modified =
        exists ? std::filesystem::last_write_time(path, error) : std::filesystem::file_time_type{};
    if (cached && cached->exists == exists &&
        (!exists || (cached->size == size && cached->modified == modified)))
        return cached;
    auto fresh = std::make_shared<DeviceCatalogue::CachedFile>();
    fresh->exists = exists;
    fresh->size = exists ? size : 0;
    fresh->modified = modified;
    fresh->ini.load(path);
    return fresh;
}

}  // namespace

const IniFile& DeviceCatalogue::deviceIni() const {
    mDeviceIni = refreshed(mDeviceIni, deviceIniPath());
    return mDeviceIni->ini;
}

const IniFile& DeviceCatalogue::configIni() const {
    mConfigIni = refreshed(mConfigIni, configIniPath());
    return mConfigIni->ini;
}

std::string DeviceCatalogue::fileError() const {
    const std::string& device = deviceIni().loadError();
    return device.empty() ? configIni().loadError() : device;
}

std::string DeviceCatalogue::deviceIniPath() const {
    return joinDataPath(mDataDir, "device.ini");
}

std::string DeviceCatalogue::configIniPath() const {
    return joinDataPath(mDataDir, "Config.ini");
}

std::vector<std::string> DeviceCatalogue::FillDeviceList() const {
    std::vector<std::string> names = deviceIni().sectionNames();
    std::stable_sort(names.begin(), names.end(), lessIgnoreCase);
    return names;
}

void DeviceCatalogue::LoadSection(std::string_view name, DeviceDefinition& device,
                                  ConfigFieldTable& fields, MessageSink& messages) const {
    LoadContext context{deviceIni(), messages};
    const ConfigSource config = [this]() -> const IniFile& { return configIni(); };
    device.DeviceName = std::string(name);
    SectionLoader(context, fields, config).load(std::string(name), 0, device);
}

int32_t DeviceCatalogue::ReadDeviceKey(std::string_view name, std::string_view key,
                                       MessageSink& messages) const {
    const IniFile& ini = deviceIni();
    LoadContext context{ini, messages};
    std::string current(name);
    for (int depth = 0;; ++depth) {
        if (depth > kMaxNesting) {
            context.warnNesting();
            return -1;
        }
        const std::string section = context.resolveAlias(current);
        const std::string value = ini.readString(section, key, "");
        if (!value.empty())
            return ParseIniNumber(value, -1);
        current = ini.readString(section, "Default", "");
        if (current.empty())
            return -1;
    }
}

std::string DeviceCatalogue::LookupDeviceById(uint16_t id,
                                              const std::vector<std::string>& deviceList,
                                              std::optional<DeviceFamily> family) const {
    const IniFile& ini = deviceIni();
    for (const auto& name : deviceList) {
        const auto mask =
            static_cast<uint16_t>(ParseIniNumber(ini.readString(name, "DeviceIDMask", ""), 0x3FF0));
        const auto expected =
            static_cast<uint16_t>(ParseIniNumber(ini.readString(name, "DeviceID", ""), 0));
        if (expected == 0 || mask == 0 || expected != (id & mask))
            continue;
        if (family) {
            SilentMessageSink silent;
            const int32_t algorithm = ReadDeviceKey(name, "Algorithm", silent);
            // -1: no section of the chain sets it, which reads as 0.
            if (familyTraits(algorithm == -1 ? 0 : algorithm).family != *family)
                continue;
        }
        return name;
    }
    return {};
}

}  // namespace velkaro
