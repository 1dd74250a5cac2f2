#include "ui/signal_close.h"

#include <csignal>

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace velkaro {

#if defined(__unix__) || defined(__APPLE__)
namespace {

// A handler may only write to a pipe; the event loop reads the other end.
int gSignalPipe[2] = {-1, -1};

extern "C" void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &byte, 1);
}

// Cancels the modal window on top (an operation that is running), and once none is left
// closes the main window and quits. A cancelled operation returns to the event loop first,
// so each step waits for the next turn of the loop.
void closeStepByStep(QWidget* mainWindow) {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        QTimer::singleShot(10, mainWindow, [mainWindow] { closeStepByStep(mainWindow); });
        return;
    }
    mainWindow->close();
    QApplication::quit();
}

}  // namespace

void closeOnTerminationSignals(QWidget& mainWindow) {
    if (gSignalPipe[0] >= 0 || ::pipe(gSignalPipe) != 0)
        return;
    for (int fd : gSignalPipe)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(gSignalPipe[1], F_SETFL, O_NONBLOCK);
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &mainWindow);
    QObject::connect(notifier, &QSocketNotifier::activated, &mainWindow, [&mainWindow] {
        char bytes[16];
        [[maybe_unused]] const ssize_t n = ::read(gSignalPipe[0], bytes, sizeof bytes);
        closeStepByStep(&mainWindow);
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGHUP, SIGINT})
        sigaction(signal, &action, nullptr);
}
#else
void closeOnTerminationSignals(QWidget&) {}
#endif

}  // namespace velkaro
