#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/window_options.h"

#include "catalogue/config_fields.h"
#include "catalogue/device_catalogue.h"
#include "catalogue/device_definition.h"
#include "image/memory_image.h"
#include "link/programmer_link.h"

namespace velkaro {

// What the main window owns: the selected device, the edit buffer, the device list, the
// last file and the file history, and (with the programmer link) the remembered options
// of every operation window. One per program; windows and the command-line tool hold a
// reference to it.
struct Workspace {
    explicit Workspace(std::string dataDir) : catalogue(std::move(dataDir)) {}

    DeviceCatalogue catalogue;
    std::vector<std::string> deviceList;  // FillDeviceList, once at start
    DeviceDefinition device;
    ConfigFieldTable configFields;
    MemoryImage image;

    // The buffer as it was last loaded, saved or read, or as a device change left it; the
    // buffer holds unsaved changes while it differs from this.
    MemoryImage savedImage;
    bool bufferModified() const { return image != savedImage; }
    void markBufferSaved() { savedImage = image; }

    std::string LastFile;
    std::vector<std::string> FileHistory;  // most recent first

    // Loads `name` into `device` (Alias and Default followed), then resizes and clears
    // the image as a device change requires. Messages go to `messages`.
    void SelectDevice(const std::string& name, MessageSink& messages);

    // Whether the device-ID check is offered: the menu item and the "check the device ID"
    // boxes of the write, erase and automatic program windows follow this.
    bool DevIdChkEnabled() const { return device.DeviceID != 0; }

    // ---- Programmer link and the operation windows' remembered options ----

    // The link to the programmer; null until attachProgrammer(). It refers to `device`
    // and `image` of this Workspace, which is therefore neither copied nor moved.
    std::unique_ptr<ProgrammerLink> link;
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;
    // Creates the link over `library` and `clock`, which the caller (desktop program,
    // velkaro-cli, test) owns and keeps alive as long as this Workspace. Port index and
    // programmer type start at their defaults (COM1, "VKR-20 PRO").
    ProgrammerLink& attachProgrammer(ProgrammerLibrary& library, Clock& clock);

    ReadOptions readOptions;
    EraseOptions eraseOptions;
    BlankOptions blankOptions;
    VerifyOptions verifyOptions;
    WriteOptions writeOptions;
    ProgOptions progOptions;
};

}  // namespace velkaro
