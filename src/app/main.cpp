// Start-up of the desktop program: the configuration from the program directory, the analyser
// (the simulator unless the port options or KVANTIRA_PORTS ask for the real ports), the main
// window with an empty untitled document, then the file named on the command line.

#include "acquisition/port_selection.h"
#include "app/main_window.h"
#include "gui/app_state.h"
#include "gui/qt_ui_services.h"
#include "model/configuration_file.h"
#include "platform/program_directory.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <clocale>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // Qt takes the locale from the environment; every number we format or parse uses '.'.
    std::setlocale(LC_NUMERIC, "C"); // NOLINT(concurrency-mt-unsafe): before any other thread
    // The interface is Russian whatever the user's locale, Qt's own dialogs and buttons too.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTexts);
    }

    kv::AppState state(kv::findProgramDirectory());
    state.configurationLoaded = kv::loadConfiguration(state.config, state.programDirectory);
    kv::QtUiServices ui(state.programDirectory);

    std::vector<std::string> arguments;
    for (const QString& argument : application.arguments().mid(1)) {
        arguments.push_back(argument.toStdString());
    }
    // A back end that cannot be opened is reported here, before the main window appears.
    kv::PortChoice ports = kv::startAnalyser(arguments, state.clock, ui);
    state.analyser = std::move(ports.analyser);

    kv::MainWindow window(state, ui);
    ui.setOwner(&window);
    window.dispatch(kv::Command::New);
    window.showAsConfigured();

    // A path with blanks that the shell split into several arguments is one path again.
    if (!ports.remaining.empty()) {
        std::string path = ports.remaining.front();
        for (std::size_t i = 1; i < ports.remaining.size(); ++i) {
            path += ' ' + ports.remaining[i];
        }
        window.dispatch(kv::Command::CommandLineOpen, path);
    }
    return application.exec();
}
