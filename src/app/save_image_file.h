#pragma once

#include <string>

#include "catalogue/device_definition.h"
#include "catalogue/message_sink.h"
#include "image/intel_hex_writer.h"
#include "image/memory_image.h"

namespace velkaro {

// Saves the image as an Intel HEX file at `path` (after the caller's dialog and overwrite
// question). A failure is shown through `messages` and leaves any existing file intact; an
// image the layout cannot carry is not written at all. The last file and the history are
// not touched.
HexWriteResult SaveImageFile(const std::string& path, const DeviceDefinition& device,
                             const MemoryImage& image, MessageSink& messages);

// The text that reports a failed save.
std::string saveFailureMessage(const std::string& path, const HexWriteResult& result);

}  // namespace velkaro
