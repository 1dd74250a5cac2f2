#include "app/workspace.h"

namespace velkaro {

void Workspace::SelectDevice(const std::string& name, MessageSink& messages) {
    catalogue.LoadSection(name, device, configFields, messages);
    // Same sizes keep the loaded program and data; the configuration words always reset.
    image.ResizeImage(device);
    SyncConfigBoxes(configFields, image.ConfigWords.data(),
                    static_cast<int>(image.ConfigWords.size()));
    markBufferSaved();
}

}  // namespace velkaro
