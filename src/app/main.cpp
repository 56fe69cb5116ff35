// Start-up of the desktop program: the configuration from the program directory, the main
// window with an empty untitled document, then the file named on the command line.

#include "app/main_window.h"
#include "gui/app_state.h"
#include "gui/qt_ui_services.h"
#include "model/configuration_file.h"
#include "platform/program_directory.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

#include <clocale>
#include <string>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // Qt takes the locale from the environment; every number we format or parse uses '.'.
    std::setlocale(LC_NUMERIC, "C");
    // The interface is Russian whatever the user's locale, Qt's own dialogs and buttons too.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTexts);
    }

    kv::AppState state(kv::findProgramDirectory());
    state.configurationLoaded = kv::loadConfiguration(state.config, state.programDirectory);
    kv::QtUiServices ui(state.programDirectory);
    kv::MainWindow window(state, ui);
    ui.setOwner(&window);
    window.dispatch(kv::Command::New);
    window.showAsConfigured();

    // A path with blanks that the shell split into several arguments is one path again.
    const QStringList arguments = application.arguments().mid(1);
    if (!arguments.isEmpty()) {
        window.dispatch(kv::Command::CommandLineOpen, arguments.join(' ').toStdString());
    }
    return application.exec();
}
