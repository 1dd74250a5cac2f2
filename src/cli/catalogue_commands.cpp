// Commands about the device catalogue: devices, info, lookup-id.
#include <CLI/CLI.hpp>

#include <charconv>
#include <iostream>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "app/workspace.h"
#include "catalogue/device_keys.h"
#include "catalogue/ini_number.h"
#include "cli/cli_context.h"
#include "cli/cli_support.h"
#include "cli/json_writer.h"

namespace velkaro::cli {

namespace {

struct CatalogueOptions {
    bool json = false;
    std::string idText;
};

// One line of the resolved dump. `hexDigits` > 0 shows an integer in hexadecimal in the
// plain-text form (JSON always carries plain numbers).
struct DumpItem {
    std::string key;
    std::variant<int64_t, double, bool, std::string> value;
    int hexDigits = 0;
};

// Every key of the definition and the derived values, in the table's order.
std::vector<DumpItem> dumpItems(const DeviceDefinition& d) {
    std::vector<DumpItem> items;
    for (const DeviceKey& key : deviceKeys()) {
        if (key.real == &DeviceDefinition::VppMin || key.real == &DeviceDefinition::VppMax)
            continue;  // shown resolved below
        if (const int32_t* number = key.integerIn(d))
            items.push_back({key.name, int64_t{*number}, key.hexDigits});
        else if (const uint16_t* word = key.wordIn(d))
            items.push_back({key.name, int64_t{*word}, key.hexDigits});
        else if (key.flag != nullptr)
            items.push_back({key.name, d.*key.flag});
        else if (key.real != nullptr)
            items.push_back({key.name, d.*key.real});
        else if (key.text != nullptr)
            items.push_back({key.name, d.*key.text});
    }
    // The programming voltages the device's chips accept (the link applies none outside).
    items.push_back({"VppMin", d.vppMin()});
    items.push_back({"VppMax", d.vppMax()});
    // How a chip can be brought into programming mode: with VPP always, by the low-voltage
    // key where the device allows it.
    items.push_back({"Entries", std::string(d.allowsLowVoltageEntry() ? "HV, LVP" : "HV")});
    return items;
}

std::string formatDouble(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string hexText(int64_t value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    auto rest = static_cast<uint32_t>(value);
    std::string text;
    while (rest != 0 || static_cast<int>(text.size()) < digits) {
        text.insert(text.begin(), kDigits[rest & 0xF]);
        rest >>= 4;
    }
    return "0x" + text;
}

std::string jsonValue(const DumpItem& item) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, int64_t>)
                return std::to_string(v);
            else if constexpr (std::is_same_v<T, double>)
                return formatDouble(v);
            else if constexpr (std::is_same_v<T, bool>)
                return v ? "true" : "false";
            else
                return jsonString(v);
        },
        item.value);
}

std::string textValue(const DumpItem& item) {
    if (const auto* number = std::get_if<int64_t>(&item.value); number && item.hexDigits > 0)
        return *number < 0 ? std::to_string(*number) : hexText(*number, item.hexDigits);
    if (const auto* text = std::get_if<std::string>(&item.value))
        return *text;
    if (const auto* flag = std::get_if<bool>(&item.value))
        return *flag ? "1" : "0";
    return jsonValue(item);
}

void printJson(const Workspace& workspace, std::ostream& out) {
    out << "{\n";
    for (const auto& item : dumpItems(workspace.device))
        out << "  " << jsonString(item.key) << ": " << jsonValue(item) << ",\n";
    out << "  \"ConfigFields\": [";
    const ConfigFieldTable& table = workspace.configFields;
    for (int i = 0; i < table.count(); ++i) {
        const ConfigField& field = table.row(i);
        out << (i == 0 ? "\n" : ",\n") << "    {\"label\": " << jsonString(field.label)
            << ", \"mask\": " << field.mask << ", \"word\": " << field.word
            << ", \"selected\": " << field.selected << ", \"options\": [";
        for (size_t k = 0; k < field.optionNames.size(); ++k) {
            const std::string value =
                k < field.optionValues.size() ? field.optionValues[k] : std::string();
            out << (k == 0 ? "" : ", ") << "{\"name\": " << jsonString(field.optionNames[k])
                << ", \"value\": " << jsonString(value)
                << ", \"number\": " << ParseIniNumber(value, 0) << "}";
        }
        out << "]}";
    }
    out << (table.count() > 0 ? "\n  ]\n" : "]\n") << "}\n";
}

void printText(const Workspace& workspace, std::ostream& out) {
    for (const auto& item : dumpItems(workspace.device))
        out << item.key << " = " << textValue(item) << '\n';
    const ConfigFieldTable& table = workspace.configFields;
    out << "Configuration fields (" << table.count() << "):\n";
    for (int i = 0; i < table.count(); ++i) {
        const ConfigField& field = table.row(i);
        out << "  " << field.label << ": word " << field.word << ", mask " << hexText(field.mask, 4)
            << '\n';
        for (size_t k = 0; k < field.optionNames.size(); ++k) {
            const std::string value =
                k < field.optionValues.size() ? field.optionValues[k] : std::string();
            out << (static_cast<int>(k) == field.selected ? "    * " : "      ")
                << field.optionNames[k] << " = " << value << '\n';
        }
    }
}

// A device-ID word: "0x" hexadecimal or plain decimal, 0..0xFFFF. False when malformed.
bool parseIdWord(const std::string& text, uint16_t& id) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* begin = text.data() + (hex ? 2 : 0);
    const char* end = text.data() + text.size();
    unsigned long value = 0;
    const auto result = std::from_chars(begin, end, value, hex ? 16 : 10);
    if (begin == end || result.ec != std::errc{} || result.ptr != end || value > 0xFFFF)
        return false;
    id = static_cast<uint16_t>(value);
    return true;
}

}  // namespace

void registerCatalogueCommands(CLI::App& app, CliContext& context) {
    auto* devices = app.add_subcommand("devices", "List the device types of device.ini");
    devices->callback([&context] {
        DeviceCatalogue catalogue(context.dataDir);
        for (const auto& name : catalogue.FillDeviceList())
            std::cout << name << '\n';
        const std::string error = catalogue.fileError();
        if (!error.empty())
            std::cerr << "velkaro-cli: " << error << '\n';
        context.exitCode = error.empty() ? kExitOk : kExitFileError;
    });

    // Option values live as long as the callbacks that read them.
    auto options = std::make_shared<CatalogueOptions>();

    auto* info = app.add_subcommand("info", "Show the selected device fully resolved");
    info->add_flag("--json", options->json, "Print JSON instead of key = value lines");
    info->callback([&context, options] {
        Workspace workspace(context.dataDir);
        context.exitCode = prepareWorkspace(context, workspace);
        if (context.exitCode != kExitOk)
            return;
        if (options->json)
            printJson(workspace, std::cout);
        else
            printText(workspace, std::cout);
    });

    auto* lookup = app.add_subcommand(
        "lookup-id", "Name the first listed device whose own DeviceID matches an ID word");
    lookup->add_option("id", options->idText, "Device-ID word, e.g. 0x0563")->required();
    lookup->callback([&context, options] {
        const std::string& idText = options->idText;
        uint16_t id = 0;
        if (!parseIdWord(idText, id)) {
            std::cerr << "velkaro-cli: \"" << idText
                      << "\" is not a device-ID word (0x0000..0xFFFF or decimal)\n";
            context.exitCode = kExitUsage;
            return;
        }
        DeviceCatalogue catalogue(context.dataDir);
        const std::string name = catalogue.LookupDeviceById(id, catalogue.FillDeviceList());
        std::cout << name << '\n';
        if (name.empty())
            std::cerr << "velkaro-cli: no listed device has this ID\n";
        context.exitCode = kExitOk;
    });
}

}  // namespace velkaro::cli
