#include "StartupOptions.h"

#include "QtToolController.h"

#include <QApplication>
#include <QSettings>
#include <QVariant>
#include <QWebSettings>
#include <QWidget>

namespace {

const char defaultLogFile[] = "quillet.log";

} // namespace

QString defaultStartUrl()
{
    return QStringLiteral("https://" LECTERN_DEFAULT_HOST "/login");
}

void configureApplication(QApplication &app)
{
    app.setQuitOnLastWindowClosed(true);
    app.setOrganizationName(QStringLiteral("Brimora Quillet Corp."));
    app.setApplicationName(QStringLiteral("Brimora Presentation Tool"));
}

StartupOptions readStartupOptions(const QSettings &settings, const QStringList &positional)
{
    StartupOptions options;
    const QString url = settings.value(QStringLiteral("url"), defaultStartUrl()).toString();
    const QString environment =
        settings.value(QStringLiteral("environment"), QStringLiteral("release")).toString();
    const QString logFile =
        settings.value(QStringLiteral("logfile"), QString::fromLatin1(defaultLogFile)).toString();
    // A value that is not a number counts as 0 (toInt leaves 0 on failure).
    options.height = settings.value(QStringLiteral("height"), 400).toInt();
    options.width = settings.value(QStringLiteral("width"), 330).toInt();
    options.developerExtras = environment == QLatin1String("debug");
    // Comma-separated; INI reads "a,b" as a list and "\"a,b\"" as one text.
    options.trustedHosts = settings.value(QStringLiteral("trustedHosts"))
                               .toStringList()
                               .join(QLatin1Char(','))
                               .split(QLatin1Char(','), Qt::SkipEmptyParts);

    switch (positional.size()) {
    case 1:
        options.startUrl = positional.at(0);
        options.logFile = QString::fromLatin1(defaultLogFile);
        break;
    case 2:
        options.startUrl = positional.at(0);
        options.logFile = positional.at(1);
        options.logFileFromCommandLine = true;
        break;
    default:
        options.startUrl = url;
        options.logFile = logFile;
        break;
    }
    return options;
}

void presentMainWindow(QWidget &window, const StartupOptions &options)
{
    if (options.developerExtras) {
        QWebSettings::globalSettings()->setAttribute(QWebSettings::DeveloperExtrasEnabled, true);
    }
    window.setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint);
    window.setVisible(true);
    // Capped like the page's sizes: a huge size in the settings would make a
    // window whose surface exhausts memory.
    window.resize(QtToolController::boundedToDesktop(QSize(options.width, options.height)));
}
