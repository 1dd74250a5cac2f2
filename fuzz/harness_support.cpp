#include "harness_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/paths.h"
#include "catalogue/config_fields.h"
#include "catalogue/device_catalogue.h"
#include "catalogue/message_sink.h"

namespace velkaro::fuzz {

void fail(const std::string& what) {
    std::fprintf(stderr, "oracle failed: %s\n", what.c_str());
    std::abort();
}

const std::vector<DeviceDefinition>& sampleDevices() {
    static const std::vector<DeviceDefinition> devices = [] {
        const DeviceCatalogue catalogue(dataDirectory(executableDirectory()));
        std::vector<DeviceDefinition> list;
        for (const char* name : {"PIC12F508", "PIC12F675", "PIC16F84A", "PIC16F628A", "PIC16F877A",
                                 "PIC18F452", "PIC18F4520"}) {
            DeviceDefinition device;
            ConfigFieldTable fields;
            SilentMessageSink silent;
            catalogue.LoadSection(name, device, fields, silent);
            device.DeviceName = name;
            list.push_back(device);
        }
        return list;
    }();
    return devices;
}

const std::string& scratchDir() {
    // Kept to the very end (never destroyed), so the exit handler can still remove it.
    static const std::string* dir = [] {
        const char* base = std::getenv("TMPDIR");
        auto* path =
            new std::string(std::string(base && *base ? base : "/tmp") + "/velkaro-fuzz-XXXXXX");
        if (mkdtemp(path->data()) == nullptr)
            fail("cannot create a scratch folder");
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratchDir(), ignored);
        });
        return path;
    }();
    return *dir;
}

void writeFile(const std::string& path, std::string_view contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!out)
        fail("cannot write " + path);
}

}  // namespace velkaro::fuzz
