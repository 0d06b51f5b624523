#include "FileLocations.h"
#include "MainWebView.h"
#include "StartupOptions.h"

#include <QApplication>
#include <QSettings>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    configureApplication(app);

    // Beside the program when its folder is writable, per user otherwise.
    const FileLocations locations = FileLocations::forProgram(QApplication::applicationDirPath());
    locations.prepareDataFolder();
    // Lives for the whole run with its group open; the window writes `logout`
    // through it.
    const auto settings = locations.openSettings();
    settings->beginGroup(QStringLiteral("defaults"));
    StartupOptions options = readStartupOptions(*settings, QApplication::arguments());
    if (!options.logFileFromCommandLine)
        options.logFile = locations.dataFile(options.logFile);

    MainWebView window(options.startUrl, options.logFile, settings.get(), options.trustedHosts,
                       locations.dataFile(QStringLiteral(".brq_cookies")));
    presentMainWindow(window, options);
    return QApplication::exec();
}
