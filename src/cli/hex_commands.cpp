// Placeholder until this group of commands lands.
#include "cli/cli_context.h"

namespace velkaro::cli {
void registerHexCommands(CLI::App&, CliContext&) {}
}  // namespace velkaro::cli
