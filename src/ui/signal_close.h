#pragma once

class QWidget;

namespace velkaro {

// SIGTERM, SIGHUP and SIGINT end the desktop program as its own Close does, instead of
// killing it with the target powered: a running operation's window is cancelled first (its
// Cancel switches the target off), then `mainWindow` closes, which turns the socket LED off,
// closes the port and saves the settings, and the program quits. Install once, after the
// main window exists.
void closeOnTerminationSignals(QWidget& mainWindow);

}  // namespace velkaro
