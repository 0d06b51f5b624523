#ifndef LECTERN_SHELL_COMMANDLINE_H
#define LECTERN_SHELL_COMMANDLINE_H

#include <QString>
#include <QStringList>

// The program's command line: the two positional arguments (start URL, log
// file) and the options that every program answers, --help and --version.
//
// The options are recognised anywhere before "--"; "--" ends them, so that
// `lectern -- --help` opens the start URL "--help". Every other argument is
// positional, also one that begins with "-", exactly as without options.
struct CommandLine
{
    enum class Request { run, help, version };

    // arguments includes the program itself at index 0.
    static CommandLine parse(const QStringList &arguments);
    // The arguments of main(), decoded as the application object would.
    static QStringList fromMain(int argc, char *argv[]);

    static QString helpText();
    static QString versionText();

    Request request = Request::run;
    // The arguments that are neither options nor the first "--".
    QStringList positional;
};

#endif // LECTERN_SHELL_COMMANDLINE_H
