#include "app/port_mapping.h"

#include "app/hardware_settings.h"
#include "catalogue/ini_file.h"
#include "link/serial_port_lines.h"

namespace velkaro {

std::string savePortMapping(const std::string& settingsPath, int port, const std::string& path) {
    if (port < 1 || port > 9)
        return "COM" + std::to_string(port) + " はありません（COM1〜COM9）。";
    // The settings accept device paths only; anything else would keep every port simulated.
    if (!path.empty() && path.front() != '/')
        return path + " はデバイスのパスではありません（例: /dev/ttyUSB0）。";
    IniFile ini(settingsPath);
    // A file that is there but cannot be read would lose what we do not own.
    if (!ini.loadError().empty())
        return ini.loadError();
    const HardwareSettings before = readHardwareSettings(ini);
    if (!path.empty()) {
        if (const auto other = before.portOf(path); other && *other != port)
            ini.writeString(kPortSection, "COM" + std::to_string(*other), "");
    }
    if (!ini.writeString(kPortSection, "COM" + std::to_string(port), path))
        return "デバイス名 " + path + " は設定ファイルに書けません。";
    if (!ini.save(settingsPath))
        return "設定ファイル " + settingsPath + " に書き込めませんでした。";
    return {};
}

std::string checkPortOpens(const std::string& path) {
    SerialPortLines lines;
    if (!lines.open(path))
        return path + " を開けませんでした（存在しない、使用中、または権限がありません）。";
    lines.close();
    return {};
}

}  // namespace velkaro
