#include "CommandLine.h"

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine commandLine;
    bool optionsEnded = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (optionsEnded) {
            commandLine.positional << argument;
        } else if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            commandLine.request = Request::help;
        } else if (argument == QLatin1String("--version")) {
            // Help wins when both are asked for, wherever they stand.
            if (commandLine.request == Request::run)
                commandLine.request = Request::version;
        } else {
            commandLine.positional << argument;
        }
    }
    return commandLine;
}

QStringList CommandLine::fromMain(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

QString CommandLine::helpText()
{
    return QStringLiteral(
        "Usage: lectern [--] [start-url [log-file]]\n"
        "       lectern --help | --version\n"
        "\n"
        "Opens the Brimora web service in a small window that stays on top, and\n"
        "hands the votes of the RF clickers to its page.\n"
        "\n"
        "  start-url     the page to open (default: the setting url)\n"
        "  log-file      the log file (default: quillet.log; with no arguments the\n"
        "                setting logfile); three or more arguments are all ignored\n"
        "  --            ends the options: what follows is a start URL and a log\n"
        "                file, also when it begins with \"-\"\n"
        "  -h, --help    show this text and exit\n"
        "  --version     show the version and exit\n"
        "\n"
        "Installed, lectern reads its settings from ~/.config/brimora/settings.ini,\n"
        "then /etc/brimora/settings.ini, and keeps its sign-in and log in\n"
        "~/.local/share/brimora/; a copy run from a folder of its own reads the\n"
        "settings.ini beside it. See lectern(1).\n");
}

QString CommandLine::versionText()
{
    return QStringLiteral("lectern " LECTERN_VERSION "\n");
}
