#include "CommandLine.h"
#include "FileLocations.h"
#include "MainWebView.h"
#include "StartupOptions.h"

#include <QApplication>
#include <QSettings>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Answered before the application object exists, which needs a display.
    const CommandLine::Request request =
        CommandLine::parse(CommandLine::fromMain(argc, argv)).request;
    if (request != CommandLine::Request::run) {
        const QString text = request == CommandLine::Request::help ? CommandLine::helpText()
                                                                   : CommandLine::versionText();
        std::fputs(qPrintable(text), stdout);
        return 0;
    }

    QApplication app(argc, argv);
    configureApplication(app);

    // Per user when installed, beside the program for a copy anywhere else.
    const FileLocations locations = FileLocations::forProgram(QApplication::applicationDirPath());
    // Without its data folder the program runs on: the cookies are kept for
    // this run only, and a log in that folder is lost, so this is the one
    // place that can tell.
    const QString folderError = locations.prepareDataFolder();
    if (!folderError.isEmpty())
        std::fprintf(stderr, "lectern: %s\n", qPrintable(folderError));
    // Lives for the whole run with its group open; the window writes `logout`
    // through it.
    const auto settings = locations.openSettings();
    settings->beginGroup(QStringLiteral("defaults"));
    // The application object has taken its own options (-platform, ...) out.
    StartupOptions options =
        readStartupOptions(*settings, CommandLine::parse(QApplication::arguments()).positional);
    if (!options.logFileFromCommandLine)
        options.logFile = locations.dataFile(options.logFile);
    // It holds what the page writes to its console, which may be personal.
    FileLocations::keepPrivate(options.logFile, FileLocations::IfMissing::Create);

    MainWebView window(options.startUrl, options.logFile, settings.get(), options.trustedHosts,
                       locations.dataFile(QStringLiteral(".brq_cookies")));
    presentMainWindow(window, options);
    return QApplication::exec();
}
