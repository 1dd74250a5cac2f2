#pragma once

#include <string>

#include "app/workspace.h"
#include "cli/cli_context.h"

namespace velkaro::cli {

// Fills workspace.deviceList and selects the device of the command line (--device, else
// the settings file's last device, else PIC16F84A). A name not in the list is reported on
// stderr; the result is then kExitUsage, otherwise kExitOk. Catalogue messages (the nesting
// message) go to stderr.
int prepareWorkspace(CliContext& context, Workspace& workspace);

// The entry the link uses: --lvp or --hv, else the settings file's [Setting] Entry (a bad
// value is reported on stderr and the automatic choice used).
EntryMode entryModeOf(const CliContext& context);

// Message sink that writes each message as one line to stderr.
class StderrMessageSink : public MessageSink {
public:
    void showMessage(std::string_view text) override;
};

}  // namespace velkaro::cli
