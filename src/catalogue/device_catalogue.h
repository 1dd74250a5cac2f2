#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/config_fields.h"
#include "catalogue/device_definition.h"
#include "catalogue/message_sink.h"

namespace velkaro {

// Levels of Default (and of Alias) the loader follows before it stops with the nesting
// message.
inline constexpr int kDeviceNestingLimit = 20;

class IniFile;

// device.ini in one folder, parsed on the first look-up and answered from memory after that
// (Config.ini likewise, and only once a configuration table is built). Each look-up checks
// the file's size and modification time, so an edited file is parsed anew and edits take
// effect at the next selection. Copies share the parsed files. A missing file reads as
// empty.
class DeviceCatalogue {
public:
    // `dataDir` holds device.ini and Config.ini.
    explicit DeviceCatalogue(std::string dataDir);

    const std::string& dataDir() const { return mDataDir; }
    std::string deviceIniPath() const;
    std::string configIniPath() const;

    // Why device.ini or Config.ini was refused (too large, not text, unreadable), naming
    // the file; empty when both read (or are missing). A refused file reads as empty.
    std::string fileError() const;

    // All section names, sorted without regard to case (as the device list shows them).
    std::vector<std::string> FillDeviceList() const;

    // Loads `name` with its Alias and Default chains into `device`, on top of the
    // built-in defaults, and rebuilds `fields` when the ConfigSetting name changed.
    // A chain that is too deep, or an Alias cycle, shows the nesting message through
    // `messages` once and still completes. Values beyond the image limits are clamped.
    void LoadSection(std::string_view name, DeviceDefinition& device, ConfigFieldTable& fields,
                     MessageSink& messages) const;

    // One integer key of `name`, following Alias and Default; -1 when no section of the
    // chain holds a non-empty value (or the chain is too deep, after the message).
    int32_t ReadDeviceKey(std::string_view name, std::string_view key, MessageSink& messages) const;

    // First device of `deviceList` whose own section's DeviceID/DeviceIDMask match `id`;
    // empty when none does. With `family` only devices of that family (by their Algorithm,
    // 0 when unset) count: an ID word read with one family's protocol says nothing about
    // another's devices, whose IDs overlap (a PIC18F4520 reads 0x108x, the PIC16F684's ID
    // under its mask).
    std::string LookupDeviceById(uint16_t id, const std::vector<std::string>& deviceList,
                                 std::optional<DeviceFamily> family = std::nullopt) const;

    struct CachedFile;  // a parsed file and what it was parsed from

private:
    const IniFile& deviceIni() const;
    const IniFile& configIni() const;

    std::string mDataDir;
    mutable std::shared_ptr<CachedFile> mDeviceIni;
    mutable std::shared_ptr<CachedFile> mConfigIni;
};

}  // namespace velkaro
