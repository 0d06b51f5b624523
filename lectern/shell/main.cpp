#include "MainWebView.h"
#include "StartupOptions.h"

#include <QApplication>
#include <QSettings>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    configureApplication(app);

    // Lives for the whole run with its group open; the window writes `logout`
    // through it.
    QSettings settings(settingsPath(QApplication::applicationDirPath()), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("defaults"));
    const StartupOptions options = readStartupOptions(settings, QApplication::arguments());

    MainWebView window(options.startUrl, options.logFile, &settings);
    presentMainWindow(window, options);
    return QApplication::exec();
}
