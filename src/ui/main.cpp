// The desktop program: the programmers (real ports where the settings map them, the
// simulator everywhere else), the workspace on the data folder, and the main window.
#include <cstdio>

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/app_settings.h"
#include "app/hardware_settings.h"
#include "app/paths.h"
#include "app/simulated_socket.h"
#include "app/start_arguments.h"
#include "app/workspace.h"
#include "ui/about_form.h"
#include "ui/dialogs.h"
#include "ui/main_form.h"
#include "ui/signal_close.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velkaro"));
    // No display name: Qt would append it to every window's caption.

    // The program speaks Japanese whatever the locale; Qt's own buttons and file dialogs
    // follow (where the system has Qt's translations; otherwise they stay English).
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);
    QApplication::setWindowIcon(velkaro::applicationIcon());

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    std::vector<std::string> args;
    for (const QString& arg : arguments)
        args.push_back(arg.toStdString());
    // Only --simulate matters before the window exists; the device list is not read yet.
    const velkaro::StartArguments start = velkaro::parseStartArguments(args, {});

    const std::string dataDir = velkaro::dataDirectory(velkaro::executableDirectory());
    const std::string settingsPath = velkaro::settingsFilePath(dataDir);
    velkaro::HardwareSettings hardware = velkaro::loadHardwareSettings(settingsPath);
    for (const std::string& problem : hardware.problems)
        std::fprintf(stderr, "velkaro: %s: %s\n", settingsPath.c_str(), problem.c_str());
    if (!hardware.problems.empty()) {
        // Lines driven by a half-read setting could put VPP where the clock should be.
        std::fprintf(stderr, "velkaro: no real port is used until the settings are fixed\n");
        hardware.portPaths = {};
    }

    std::string error;
    auto socket = velkaro::SimulatedSocket::create(start.simulate.value_or(""), error,
                                                   std::move(hardware), start.simulate.has_value());
    if (!socket) {
        std::fprintf(stderr, "velkaro: %s\n", error.c_str());
        return 2;
    }
    socket->hub().setEmulatedBoard(start.emulateBoard);

    velkaro::Workspace workspace(dataDir);
    workspace.attachProgrammer(socket->library(), socket->clock());

    velkaro::QtDialogs dialogs;
    velkaro::TMainForm::Options options;
    options.arguments = arguments;
    options.settingsPath = QString::fromStdString(settingsPath);
    options.socket = socket.get();
    velkaro::TMainForm form(workspace, dialogs, options);
    velkaro::closeOnTerminationSignals(form);
    form.show();
    return QApplication::exec();
}
