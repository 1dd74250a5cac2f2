#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/workspace.h"
#include "catalogue/device_definition.h"
#include "catalogue/message_sink.h"
#include "image/intel_hex_reader.h"
#include "image/memory_image.h"

namespace velkaro {

inline constexpr std::string_view kUnsupportedExtensionMessage =
    "サポートされていないファイル拡張子です。";

enum class OpenImageStatus {
    Loaded,                // read cleanly
    LoadedWithWarnings,    // read, and the user was warned about what was wrong
    UnsupportedExtension,  // refused with kUnsupportedExtensionMessage; nothing changed
    CannotOpen,            // reported (unreadable, not text, no record); nothing changed
};

struct OpenImageResult {
    OpenImageStatus status = OpenImageStatus::CannotOpen;
    HexReadResult read;           // what the reader found (when the file was read)
    bool historyChanged = false;  // an entry was moved or inserted: rebuild the history menu
    bool loaded() const {
        return status == OpenImageStatus::Loaded || status == OpenImageStatus::LoadedWithWarnings;
    }
};

// True for the extensions the program opens: .HEX and .OBJ, either letter case.
bool isImageFileExtension(const std::string& path);

// The one way to load a HEX file: checks the extension, reads the file, clears the image and
// places the file's contents, takes OSCCAL and BG from the loaded image, masks the
// configuration words, and records the path as last file and in the history. Problems in
// the file are shown through `messages` after the load. The caller redraws its views.
OpenImageResult OpenImageFile(const std::string& path, const DeviceDefinition& device,
                              MemoryImage& image, std::string& lastFile,
                              std::vector<std::string>& history, MessageSink& messages);

// The same on the workspace's device, image, last file and history; a loaded file is what
// the buffer's unsaved changes are measured against from then on.
OpenImageResult OpenImageFile(Workspace& workspace, const std::string& path, MessageSink& messages);

// The text that reports a file which cannot be opened.
std::string cannotOpenMessage(const std::string& path);
// The text that refuses a file beyond kMaxHexFileBytes (it is not read).
std::string tooLargeMessage(const std::string& path);
// The text that refuses a file holding NUL bytes, which no HEX file does (it is not read).
std::string notTextMessage(const std::string& path);

// The text that refuses a file holding no record at all (it is not loaded).
std::string noRecordMessage(const std::string& path);

// The warning shown after loading a file with problems: each kind with its count, and the
// line of the first problem.
std::string loadWarningMessage(const std::string& path, const HexReadResult& read);

}  // namespace velkaro
