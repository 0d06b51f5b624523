#ifndef LECTERN_SHELL_STARTUPOPTIONS_H
#define LECTERN_SHELL_STARTUPOPTIONS_H

#include <QString>
#include <QStringList>

class QApplication;
class QSettings;
class QWidget;

// What the program starts with, decided from settings.ini and the command line.
struct StartupOptions
{
    QString startUrl;
    QString logFile;
    bool developerExtras = false;
    int width = 0;
    int height = 0;
    // Hosts trusted besides the start URL's ("*" for every host).
    QStringList trustedHosts;
    // The log file was named on the command line (relative to the working
    // directory), not taken from the settings.
    bool logFileFromCommandLine = false;
};

// The start URL used when neither the command line nor the settings name one.
QString defaultStartUrl();

// Gives the application its identity and quits it when the last window closes.
void configureApplication(QApplication &app);

// Reads the `defaults` group (already open in `settings`) and applies the
// command-line rules to the positional arguments (CommandLine::positional).
StartupOptions readStartupOptions(const QSettings &settings, const QStringList &positional);

// Developer extras, tool-window flags on top, show, then the first size, capped
// at the desktop as the page's sizes are (QtToolController::boundedToDesktop).
void presentMainWindow(QWidget &window, const StartupOptions &options);

#endif // LECTERN_SHELL_STARTUPOPTIONS_H
