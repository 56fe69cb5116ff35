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
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kUsage =
    "usage: kvantira [OPTION]... [FILE]\n"
    "\n"
    "The desktop program of the multichannel analyser. FILE, a histogram file (.hst) or a\n"
    "spectrum of another analyser (.spe, .chn, .iec, .csv, .txt, .n42, .xml), is opened.\n"
    "\n"
    "options:\n"
    "  --ports=direct|simulated  the analyser's real I/O ports (root or CAP_SYS_RAWIO) or the\n"
    "                            simulated analyser (the default)\n"
    "  --sources=NAME[,NAME...]  what the simulator measures: cs137, co60, k40, th232, am241,\n"
    "                            eu152, ba133 (default cs137,co60)\n"
    "  --detector=nai|hpge       the simulated detector (default nai)\n"
    "  --rate=N                  the simulated count rate, counts per second (default 5000)\n"
    "  --help                    print this and exit\n"
    "  --version                 print the version and exit\n"
    "\n"
    "environment:\n"
    "  KVANTIRA_HOME             the program directory: configuration, isotope database, help\n"
    "  KVANTIRA_PORTS, KVANTIRA_SOURCES, KVANTIRA_DETECTOR, KVANTIRA_RATE\n"
    "                            as the options, which override them\n";

} // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they need no display.
    if (argc == 2) {
        const std::string_view only = argv[1];
        if (only == "--help" || only == "-h") {
            std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
            return 0;
        }
        if (only == "--version") {
            std::puts("kvantira " KV_VERSION);
            return 0;
        }
    }
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
